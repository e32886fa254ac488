// The screens the UI thread draws itself: the plugin's consent, the update dialog and the plain
// document frame that server screens without a renderer of their own get. UI thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "computer/backdrop.h"
#include "computer/document_screen.h"
#include "computer/draw_list.h"
#include "computer/editor_view.h"
#include "ui/draw_win.h"
#include "ui/masks.h"

namespace hm {

// What a screen renderer needs of the view besides the state.
struct ScreenFrame {
    const EditorState* state = nullptr;
    const UiFonts* fonts = nullptr;
    HWND main = nullptr;   // the main control, printed at plan.box (may be null)
    MainControlPlan plan;
    std::wstring status;   // status text
    bool submitted = false;
    bool caret_on = false;  // blink phase: caret painted in an editable box
    bool colour_menu = false;        // the colour menu of a free document is open
    bool colour_background = false;  // ... for the background colour (else the text colour)
    HWND second = nullptr;           // the second control when it shows (null when hidden)
    ControlBox second_box;
    bool second_focused = false;     // typing (and the caret) is in the second box
    bool second_read_only = false;
    PixelsRef background;                // picture mode 4: the picture behind the text
    const Pixels* backdrop = nullptr;    // the kept screen behind a panel drawn over it
    const DrawList* desktop = nullptr;  // the whole screen, when it is the slot desktop
    const DrawList* sheet = nullptr;    // the signature sheet's buttons and strip
    const DrawList* panel = nullptr;    // the entry panel around the text box
    const DrawList* doc_list = nullptr; // the rows and buttons of a document list
    const DrawList* window = nullptr;   // a kind-16 window around its text box
    const DrawList* chooser = nullptr;  // the insert-picture chooser over the document
    const DocumentScreen* doc = nullptr;
    const std::vector<TextRange>* framed = nullptr;  // ranges of the main text framed (signatures)
};

constexpr ColorRef kHeaderColour = 0x412B19;       // RGB(25,43,65)
constexpr ColorRef kDocumentBackground = 0xF9F3EE;  // RGB(238,243,249)

// Background colour the pass fills before the renderer draws.
ColorRef ScreenBackground(const EditorState& s);
// The mask that cuts the game free around the screen drawn over `behind`.
TransparencyMask ScreenMask(const EditorState& s, Backdrop behind);

void DrawScreen(HDC dc, const ScreenFrame& f);

// The status line: "Načítání…" while an answer is awaited, else the status text, else the hint.
std::wstring HintLine(const EditorState& s, const std::wstring& status, bool submitted);

}  // namespace hm
