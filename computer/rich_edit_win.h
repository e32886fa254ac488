// The Rich Edit controls of the hidden UiWindow: made, filled and read through their messages
// only (the window is never shown or activated, so nothing relies on focus), and printed into
// the overlay canvas by the renderer. UI thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "computer/dialog_panel.h"
#include "computer/editor_view.h"
#include "computer/signature_sheet.h"

namespace hm {

constexpr const wchar_t* kRichEditLibrary = L"Msftedit.dll";
constexpr const wchar_t* kRichEditClass = L"RICHEDIT50W";

// A child control at `box` (canvas pixels = client pixels of the UiWindow): multi-line, auto
// vertical scroll, want-return; `limit` characters, white background, visible selection, default
// format Arial 10 pt RGB(24,24,24). Null when it cannot be made.
HWND CreateRichEdit(HWND parent, const ControlBox& box, int limit, bool visible = true);

// Content text: "{\rtf1..." streams in as RTF (as far as it parses), anything else is plain text
// in code page 1250.
void LoadContent(HWND control, std::string_view content);
// Appends the signatures after the text, each after "\r\n\r\n" in a left-aligned paragraph:
// electronic ones in Arial 10 pt RGB(24,24,24) on RGB(255,231,194), handwritten ones in Segoe
// Script 11.5 pt bold italic RGB(30,49,94) on white. Then the caret goes to the start and the
// text to the top; the appending cannot be undone. Returns the electronic ranges.
constexpr COLORREF kElectronicSignatureBack = RGB(255, 231, 194);
constexpr COLORREF kHandwrittenSignatureColour = RGB(30, 49, 94);
constexpr COLORREF kSignatureFrame = RGB(184, 105, 24);
std::vector<TextRange> AppendSignatures(HWND control, const std::vector<AppendedSignature>& signatures);
// A 1 px frame around each range as the control shows it, inside its box.
void FrameRanges(HWND control, HDC dc, const ControlBox& box, const std::vector<TextRange>& ranges);

// Plain text of the control (UTF-16).
std::wstring ControlText(HWND control);

// Where an identity card's picture goes behind the control's text, measured at the lines that
// hold "STATE OF SAN ANDREAS" and "Popis:" as the control shows them; none without the first.
std::optional<UiRect> MeasureCardDecoration(HWND control, const ControlBox& box);
// The control's text as RTF with plain-RTF output and no embedded objects. Stops reading after
// `max_bytes` + 1 bytes: more than the limit is all a caller needs to know.
std::string StreamOutRtf(HWND control, std::size_t max_bytes);

// Prints the control as it shows (client, non-client and background) into `dc` at its box,
// clipped to the box.
void PrintControl(HWND control, HDC dc, const ControlBox& box);

// The same over what is already drawn under the box (a background picture, a card): the control
// is printed with the key colour RGB(253,255,252) as its background, and only the pixels that
// differ from the key are copied.
constexpr COLORREF kTransparentKey = RGB(253, 255, 252);
void PrintControlOver(HWND control, HDC dc, const ControlBox& box);

// Centres the paragraph of every embedded object (the pictures of a fine ticket).
void CentreEmbeddedObjects(HWND control);

// The character nearest to a point in the control's client pixels.
LONG CharFromPoint(HWND control, int x, int y);
void Select(HWND control, LONG start, LONG end);

// The caret's top-left in the control's client pixels and the character height; false when the
// selection is not empty.
bool CaretPosition(HWND control, POINT& at, int& height);

// Vertical scroll state of a control (pixels).
struct ScrollState {
    int position = 0;  // first visible pixel row
    int total = 0;     // height of the whole text
    int page = 0;      // visible height
};
ScrollState ReadScroll(HWND control);
void ScrollBy(HWND control, int pixels);
void ScrollTo(HWND control, int position);

}  // namespace hm
