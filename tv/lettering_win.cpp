#include "tv/lettering_win.h"

#include <windows.h>

#include <array>
#include <cstring>

#include "base/owners_win.h"
#include "game/world_surfaces.h"
#include "ui/gdi_win.h"

namespace hm {

namespace {

struct LetteringCache {
    IDirect3DDevice9* device = nullptr;  // not held
    std::array<ComPtr<IDirect3DTexture9>, 2> textures;
    std::array<bool, 2> failed{};
    int made = 0;
};
LetteringCache& Lettering() {
    static LetteringCache& cache = *new LetteringCache;
    return cache;
}

ComPtr<IDirect3DTexture9> MakeLetteringTexture(IDirect3DDevice9* device, int variant) {
    const std::vector<std::uint8_t> bitmap = RenderLetteringBitmap(variant);
    if (bitmap.empty()) return {};
    const LetteringLayout layout = LetteringLayoutOf(variant);
    ComPtr<IDirect3DTexture9> texture;
    if (FAILED(device->CreateTexture(UINT(layout.width), UINT(layout.height), 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED,
                                     texture.put(), nullptr)))
        return {};
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) return {};  // released with `texture`
    const std::size_t row = std::size_t(layout.width) * 4;
    for (int y = 0; y < layout.height; ++y)
        std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + std::size_t(y) * std::size_t(locked.Pitch),
                    bitmap.data() + std::size_t(y) * row, row);
    texture->UnlockRect(0);
    return texture;
}

}  // namespace

std::vector<std::uint8_t> RenderLetteringBitmap(int variant) {
    const LetteringLayout layout = LetteringLayoutOf(variant);
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!dc) return {};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = layout.width;
    info.bmiHeader.biHeight = -layout.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) return {};
    SelectedObject with_bitmap(dc.get(), bitmap.get());
    {
        UniqueBrush background(CreateSolidBrush(layout.background));
        if (!background) return {};
        const RECT all{0, 0, layout.width, layout.height};
        FillRect(dc.get(), &all, background.get());
    }
    SetBkMode(dc.get(), TRANSPARENT);
    SetTextColor(dc.get(), layout.text_colour);
    UniqueFont font(CreateFontW(layout.font_height, 0, 0, 0, layout.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                layout.font));
    if (!font) return {};
    SelectedObject with_font(dc.get(), font.get());
    for (const LetteringLine& line : layout.lines) {
        RECT r{line.left, line.top, line.right, line.bottom};
        DrawTextW(dc.get(), line.text, -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
    }
    GdiFlush();
    const std::size_t size = std::size_t(layout.width) * std::size_t(layout.height) * 4;
    std::vector<std::uint8_t> out(size);
    std::memcpy(out.data(), bits, size);
    return out;
}

IDirect3DBaseTexture9* LetteringTexture(IDirect3DDevice9* device, int variant) {
    if (variant < 0 || variant > 1 || !device) return nullptr;
    LetteringCache& c = Lettering();
    if (device != c.device) {
        for (auto& t : c.textures) t.reset();
        c.failed = {};
        c.device = device;
    }
    const std::size_t v = std::size_t(variant);
    if (!c.textures[v] && !c.failed[v]) {
        c.textures[v] = MakeLetteringTexture(device, variant);
        c.failed[v] = !c.textures[v];
        if (c.textures[v]) ++c.made;
    }
    return c.textures[v].get();
}

int LetteringTexturesMade() { return Lettering().made; }

}  // namespace hm
