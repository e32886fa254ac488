// The signature sheet (kind 1): its two top buttons with the two-click electronic signature, the
// signature strip under the document and the bottom buttons 2 to 4. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// Signatures appended to the document when it is loaded, each after "\r\n\r\n" in a paragraph
// of its own: the electronic ones first (their ranges are framed), then the handwritten ones.
// The texts go in as plain text: a line holding RTF stays literal.
struct AppendedSignature {
    std::u16string text;
    bool electronic = false;
};
std::vector<AppendedSignature> SignaturesToAppend(const EditorState& s);
// Whether two states of one screen carry the same signatures (else the appended text is stale).
bool SameSignatures(const EditorState& a, const EditorState& b);

// ---- Removing an electronic signature ----------------------------------------------------------
constexpr const wchar_t* kRemoveSignatureLabel = L"Smazat elektronický podpis";
constexpr const wchar_t* kChooserTitle = L"Vyber podpis k odstranění";
constexpr const wchar_t* kRemoveSelectedLabel = L"Odstranit vybraný";
constexpr const wchar_t* kConfirmRemoveLabel = L"Potvrdit smazání";
constexpr UiRect kRemoveSignatureButton{566, 140, 786, 172};
constexpr UiRect kChooserPanel{372, 150, 790, 568};
constexpr UiRect kChooserRemoveButton{388, 520, 586, 552};
constexpr UiRect kChooserCancelButton{598, 520, 774, 552};
constexpr int kChooserRows = 5;
constexpr int kChooserRowTop = 216;
constexpr int kChooserRowStep = 48;
constexpr int kChooserRowHeight = 44;
constexpr ColorRef kChooserRowSelected = RgbRef(216, 233, 251);
constexpr ColorRef kChooserRow = RgbRef(234, 240, 247);

// Electronic signatures are removable (the state says so and there is one).
bool CanRemoveSignatures(const EditorState& s);

struct SheetView {
    int shown = 0;               // the signature the strip shows
    bool sign_confirmed = false; // the first click on the sign button was given
    // The removal chooser.
    bool chooser_open = false;
    int chooser_page = 0;
    int chooser_selected = -1;   // 0-based among the electronic signatures, -1 none
    bool remove_confirmed = false;
};

bool HasSignButton(const EditorState& s);  // signable, or button 2 has a label

DrawList BuildSheetDrawList(const EditorState& s, const SheetView& v);

struct SheetClick {
    bool handled = false;
    std::optional<int> answer;
    std::wstring status;  // set when the status text changes
    std::string delete_body;  // for /editor/signatures/delete: request id, 0-based index
};
// A left press on the sheet. The second click on the sign button answers 2; the payload builder
// turns the given confirmation into the signature.
// While the removal chooser is open it takes every press.
SheetClick SheetPointer(SheetView& v, const EditorState& s, int x, int y);
// A key down: Esc closes the chooser (true: the key was the chooser's).
bool SheetKey(SheetView& v, std::uint32_t vk);
// A new copy of the screen: confirmations and the chooser go.
void ClearSheetConfirmations(SheetView& v);

}  // namespace hm
