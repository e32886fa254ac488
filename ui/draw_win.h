// Drawing helpers every screen uses. All draw into a given DC in canvas pixels; rectangles are
// left, top, right, bottom with right and bottom exclusive, as in GDI. UI thread unless noted.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "base/pixels.h"
#include "ui/drawing.h"
#include "ui/embedded_pictures.h"
#include "ui/gdi_win.h"

namespace hm {

// The UI fonts, made when the UiWindow is created and kept while it lives.
struct UiFonts {
    UniqueFont body;
    UniqueFont title;
    UniqueFont signature;
};

// CreateFontW with the default character set and ClearType quality.
UniqueFont CreateUiFont(const FontSpec& font);
UiFonts CreateUiFonts();

void FillSolidRect(HDC dc, int left, int top, int right, int bottom, ColorRef colour);
// Solid brush and 1-pixel pen of the same colour; ellipse width and height = diameter.
void FillRoundRect(HDC dc, int left, int top, int right, int bottom, ColorRef colour, int diameter);
// Leaves `font` selected; transparent background.
void DrawTextInRect(HDC dc, HFONT font, int left, int top, int right, int bottom, const std::wstring& text,
                    ColorRef colour, UINT format);
// Rounded button in the palette chosen by `primary` and the screen's flag word, label in the body font.
void DrawButton(HDC dc, const UiFonts& fonts, std::uint32_t screen_flags, int left, int top, int right, int bottom,
                const std::wstring& label, bool primary);

// Picture 0 or 1 on its rounded background, clipped to rounded corners. A picture that cannot be
// decoded leaves the background only. Throws WinApiFailure 229 when the imaging factory cannot
// be created.
void DrawEmbeddedPicture(HDC dc, int left, int top, int right, int bottom, int index);

// The decoded picture `index` (decoded once, kept for the process); null when it cannot be
// decoded. Any thread. Throws WinApiFailure 229 as above.
const Pixels* EmbeddedPicture(int index);

// DecodePicture with COM and an imaging factory of this call's own (the embedded pictures are
// drawn on threads that hold neither). Throws WinApiFailure 229 when the factory cannot be
// created; otherwise fails as DecodePicture does.
PixelsRef DecodePictureBytes(const std::uint8_t* data, std::size_t size);

// Tests only: the imaging factory class DecodePictureBytes asks COM for (null restores the real one).
void SetImagingFactoryClassForTest(const GUID* factory_class);

// The embedded pictures, each decoded once and kept for the cache's life. Any thread. Decoding
// runs outside the lock, so a slow decode never holds up another thread; two threads may decode
// the same picture at once, and the first result is the one kept and handed out.
class EmbeddedPictureCache {
public:
    using Decoder = PixelsRef (*)(const std::uint8_t* data, std::size_t size);
    explicit EmbeddedPictureCache(Decoder decode = &DecodePictureBytes) : decode_(decode) {}
    EmbeddedPictureCache(const EmbeddedPictureCache&) = delete;
    EmbeddedPictureCache& operator=(const EmbeddedPictureCache&) = delete;

    // As EmbeddedPicture; valid while the cache lives.
    const Pixels* Get(int index);

private:
    enum class State { kNotTried, kDecoded, kUnavailable };
    Decoder decode_;
    std::mutex lock_;
    std::array<State, kEmbeddedPictureCount> state_{};
    std::array<PixelsRef, kEmbeddedPictureCount> picture_;
};

// The drawing half of DrawEmbeddedPicture: background, then `picture` (may be null) stretched
// with HALFTONE inside the rounded clip.
void DrawPictureInRect(HDC dc, int left, int top, int right, int bottom, const Pixels* picture, ColorRef background);

}  // namespace hm
