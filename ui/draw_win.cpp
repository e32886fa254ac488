#include "ui/draw_win.h"

#include <objbase.h>
#include <wincodec.h>

#include <stdexcept>
#include <utility>

#include "base/owners_win.h"
#include "base/picture_decode_win.h"
#include "ui/embedded_pictures.h"

namespace hm {

// ---- Fonts and basic shapes ------------------------------------------------------------------

UniqueFont CreateUiFont(const FontSpec& font) {
    return UniqueFont(CreateFontW(font.height, 0, 0, 0, font.weight, font.italic ? TRUE : FALSE, FALSE, FALSE,
                                  DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                  DEFAULT_PITCH | FF_DONTCARE, font.face));
}

UiFonts CreateUiFonts() {
    UiFonts fonts;
    fonts.body = CreateUiFont(kBodyFont);
    fonts.title = CreateUiFont(kTitleFont);
    fonts.signature = CreateUiFont(kSignatureFont);
    return fonts;
}

void FillSolidRect(HDC dc, int left, int top, int right, int bottom, ColorRef colour) {
    UniqueBrush brush(CreateSolidBrush(colour));
    const RECT r{left, top, right, bottom};
    FillRect(dc, &r, brush.get());
}

void FillRoundRect(HDC dc, int left, int top, int right, int bottom, ColorRef colour, int diameter) {
    UniqueBrush brush(CreateSolidBrush(colour));
    UniquePen pen(CreatePen(PS_SOLID, 1, colour));
    SelectedObject with_brush(dc, brush.get());
    SelectedObject with_pen(dc, pen.get());
    RoundRect(dc, left, top, right, bottom, diameter, diameter);
}

void DrawTextInRect(HDC dc, HFONT font, int left, int top, int right, int bottom, const std::wstring& text,
                    ColorRef colour, UINT format) {
    SelectObject(dc, font);
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    RECT r{left, top, right, bottom};
    DrawTextW(dc, text.c_str(), int(text.size()), &r, format);
}

void DrawButton(HDC dc, const UiFonts& fonts, std::uint32_t screen_flags, int left, int top, int right, int bottom,
                const std::wstring& label, bool primary) {
    const ButtonColours c = ButtonColoursFor(primary, screen_flags);
    FillRoundRect(dc, left, top, right, bottom, c.fill, kButtonCornerDiameter);
    DrawTextInRect(dc, fonts.body.get(), left, top, right, bottom, label, c.label,
                   DT_END_ELLIPSIS | DT_SINGLELINE | DT_VCENTER | DT_CENTER);
}

// ---- Embedded pictures -----------------------------------------------------------------------

namespace {

// The imaging factory class and interface the plugin asks for.
constexpr GUID kImagingFactoryClass = {0x317D06E8, 0x5F24, 0x433D, {0xBD, 0xF7, 0x79, 0xCE, 0x68, 0xD8, 0xAB, 0xC2}};
constexpr GUID kImagingFactoryInterface = {0xEC5EC8A9, 0xC395, 0x4314, {0x9C, 0x77, 0x54, 0xD7, 0xA9, 0x35, 0xFF, 0x70}};
constexpr int kFactoryCallSite = 229;
const GUID* g_factory_class = &kImagingFactoryClass;

// COM for the length of one call, apartment-threaded; balanced only when it succeeded.
class ComScope {
public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT hr_;
};

// The plugin's pictures; never destroyed, like the other process-wide records.
EmbeddedPictureCache& Cache() {
    static EmbeddedPictureCache& cache = *new EmbeddedPictureCache;
    return cache;
}

}  // namespace

PixelsRef DecodePictureBytes(const std::uint8_t* data, std::size_t size) {
    ComScope com;
    ComPtr<IWICImagingFactory> factory;
    const HRESULT created = CoCreateInstance(*g_factory_class, nullptr, CLSCTX_INPROC_SERVER,
                                             kImagingFactoryInterface, factory.put_void());
    ThrowIfFailedOrNull(kFactoryCallSite, created, factory.get());
    return DecodePicture(factory.get(), data, size);
}

void SetImagingFactoryClassForTest(const GUID* factory_class) {
    g_factory_class = factory_class ? factory_class : &kImagingFactoryClass;
}

const Pixels* EmbeddedPictureCache::Get(int index) {
    if (index < 0 || index >= kEmbeddedPictureCount) return nullptr;
    const std::size_t i = std::size_t(index);
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (state_[i] != State::kNotTried) return picture_[i].get();
    }
    PixelsRef decoded;
    State outcome = State::kDecoded;
    const ByteView bytes = EmbeddedPictureBytes(index);
    try {
        decoded = decode_(bytes.data, bytes.size);
    } catch (const WinApiFailure& e) {
        if (e.call_site() == kFactoryCallSite) throw;  // no factory: try again on a later draw
        outcome = State::kUnavailable;
    } catch (const std::exception&) {
        // The bytes are built in; a picture that failed once fails every time.
        outcome = State::kUnavailable;
    }
    std::lock_guard<std::mutex> guard(lock_);
    // A picture already handed out stays: callers hold pointers into it.
    if (state_[i] == State::kNotTried) {
        picture_[i] = std::move(decoded);
        state_[i] = outcome;
    }
    return picture_[i].get();
}

const Pixels* EmbeddedPicture(int index) { return Cache().Get(index); }

void DrawPictureInRect(HDC dc, int left, int top, int right, int bottom, const Pixels* picture, ColorRef background) {
    FillRoundRect(dc, left, top, right, bottom, background, kEmbeddedPictureDiameter);
    if (!picture || picture->empty()) return;
    SavedDc saved(dc);
    UniqueRegion clip(CreateRoundRectRgn(left, top, right + 1, bottom + 1, 40, 40));
    SelectClipRgn(dc, clip.get());
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);  // HALFTONE wants the brush origin reset
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = LONG(picture->width());
    info.bmiHeader.biHeight = -LONG(picture->height());
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    StretchDIBits(dc, left, top, right - left, bottom - top, 0, 0, int(picture->width()), int(picture->height()),
                  picture->data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void DrawEmbeddedPicture(HDC dc, int left, int top, int right, int bottom, int index) {
    DrawPictureInRect(dc, left, top, right, bottom, EmbeddedPicture(index), EmbeddedPictureBackground(index));
}

}  // namespace hm
