// The signature sheet (kind 1): its two top buttons with the two-click electronic signature, the
// signature strip under the document and the bottom buttons 2 to 4. Portable.
#pragma once

#include <optional>
#include <string>

#include "computer/draw_list.h"
#include "computer/editor_state.h"

namespace hm {

constexpr const wchar_t* kSignButtonLabel = L"Elektronicky podepsat";
constexpr const wchar_t* kConfirmSignLabel = L"Potvrdit podpis";
constexpr const wchar_t* kSheetSignFirstClickText = L"Podpis uzamkne obsah spisu. Potvrď druhým kliknutím.";

constexpr UiRect kSignatureStrip{24, 576, 786, 664};
constexpr UiRect kSheetButton1{24, 184, 384, 216};
constexpr UiRect kSignButton{434, 184, 786, 216};
constexpr ColorRef kStripBorderUnsigned = RgbRef(191, 201, 213);
constexpr ColorRef kStripInsideUnsigned = RgbRef(232, 237, 243);
constexpr ColorRef kStripBorderSigned = RgbRef(184, 105, 24);
constexpr ColorRef kStripInsideSigned = RgbRef(255, 231, 194);

struct SignatureCount {
    int electronic = 0;
    int total = 0;
};
SignatureCount CountSignatures(const EditorState& s);

// The strip's heading for signature `shown` (0-based).
std::wstring StripHeading(const EditorState& s, int shown);

struct SheetView {
    int shown = 0;               // the signature the strip shows
    bool sign_confirmed = false; // the first click on the sign button was given
};

bool HasSignButton(const EditorState& s);  // signable, or button 2 has a label

DrawList BuildSheetDrawList(const EditorState& s, const SheetView& v);

struct SheetClick {
    bool handled = false;
    std::optional<int> answer;
    std::wstring status;  // set when the status text changes
};
// A left press on the sheet. The second click on the sign button answers 2; the payload builder
// turns the given confirmation into the signature.
SheetClick SheetPointer(SheetView& v, const EditorState& s, int x, int y);

}  // namespace hm
