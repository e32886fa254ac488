#include "computer/ui_window_win.h"

#include <ole2.h>
#include <richedit.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/dialog_mailbox.h"
#include "base/edge.h"
#include "base/owners_win.h"
#include "base/text1250.h"
#include "base/ui_messages.h"
#include "computer/backdrop.h"
#include "computer/dialog_panel.h"
#include "computer/draw_list_win.h"
#include "computer/document_list.h"
#include "computer/document_payload.h"
#include "computer/document_screen.h"
#include "computer/entry_panel.h"
#include "computer/editor_view.h"
#include "computer/editor_window_seam.h"
#include "computer/list_window.h"
#include "computer/rich_edit_win.h"
#include "computer/screens_win.h"
#include "game/input_state.h"
#include "ui/canvas_win.h"
#include "ui/overlay_pass_win.h"
#include "ui/state_signature.h"

namespace hm {
namespace {

namespace sk = screen_kind;

std::atomic<const wchar_t*> g_rich_edit_library{nullptr};
std::atomic<DWORD> g_ui_thread{0};
std::atomic<UINT> g_double_click_ms{0};

// The system's double-click time unless a test set its own.
Tick DoubleClickMs() {
    const UINT set = g_double_click_ms.load();
    return set != 0 ? set : GetDoubleClickTime();
}

constexpr const wchar_t* kNicknameNotice = L"Přezdívku se nepodařilo zjistit. Spusť hru přes SA-MP klienta.";
constexpr std::uint32_t kDesktopFlags = 0x20000C0;
constexpr Tick kQuietAfterAnswerMs = 200;
// Far more than the limit, so that a document just over it is told apart from one that only
// looks long before its embedded objects are dropped.
constexpr std::size_t kStreamOutCap = 1u << 20;

struct UiView {
    UiView(EditorExchange& exchange, EditorState s) : ex(exchange), state(std::move(s)) {}
    EditorExchange& ex;
    EditorState state;
    HWND window = nullptr;
    HWND main = nullptr;
    HWND second = nullptr;
    MainControlPlan plan;
    std::optional<SecondControlPlan> second_plan;
    bool second_focused = false;  // typing goes to the second box
    PixelsRef background;         // picture mode 4: the picture behind the text
    PixelsRef backdrop;           // the screen kept by the last answer from a desktop
    std::optional<int> delete_messages;  // the desktop's delete-messages item, out of the list
    UiFonts fonts;
    std::wstring status;
    bool submitted = false;
    bool colour_menu = false;
    bool colour_background = false;
    SignatureGate gate;
    // Drawing a screen costs milliseconds of GDI: a tick draws only when something that shows may
    // have changed (a message was handled, the caret blinked, minimised or not) or a second passed.
    bool dirty = true;
    int drawn_caret_phase = -1;
    bool drawn_minimized = false;
    Tick drawn_at = 0;
    // Scroll thumb drag.
    bool dragging = false;
    int drag_start_y = 0;
    int drag_start_position = 0;
    // Mouse selection in a text box: the box pressed (0 main, 1 second) and where it started.
    int selecting = kNoBox;
    LONG select_anchor = 0;
    ClickMemory last_click;
    DocumentScreen doc;  // desktop and document screens: selection, drag, confirmations
    std::vector<TextRange> signature_ranges;  // the electronic signatures appended to the main text
};

HWND BoxControl(const UiView& v, int box) { return box == 0 ? v.main : box == 1 ? v.second : nullptr; }
ControlBox BoxRect(const UiView& v, int box) {
    if (box == 0) return v.main ? v.plan.box : ControlBox{};
    if (box == 1 && v.second && v.second_plan && !v.second_plan->hidden) return v.second_plan->box;
    return ControlBox{};
}
bool BoxReadOnly(const UiView& v, int box) {
    return box == 1 ? (!v.second_plan || v.second_plan->read_only) : MainBoxReadOnly(v.state);
}
// The box that takes typing: the second one when it has the focus and still exists.
int TypingBox(const UiView& v) { return v.second_focused && v.second ? 1 : 0; }

UiView* ViewOf(HWND w) { return reinterpret_cast<UiView*>(GetWindowLongPtrW(w, GWLP_USERDATA)); }

bool Held(const BYTE* keys, int vk) { return (keys[vk] & 0x80) != 0; }

void FreePayload(UINT message, LPARAM lp) {
    switch (message) {
        case uimsg::kInputEvent:
        case uimsg::kMouseEvent: delete reinterpret_cast<ForwardedInput*>(lp); break;
        case uimsg::kNewState: delete reinterpret_cast<EditorState*>(lp); break;
        case uimsg::kPicture: delete reinterpret_cast<PictureRecord*>(lp); break;
        default: break;
    }
}

// Records still queued when the window ends would never reach the procedure. PeekMessage hands
// out WM_QUIT whatever the filter: it goes back for the message loop.
void FreeQueuedRecords(HWND w) {
    MSG m;
    while (PeekMessageW(&m, w, uimsg::kFirst, uimsg::kLast, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(int(m.wParam));
            return;
        }
        FreePayload(m.message, m.lParam);
    }
}

// ---- Window creation --------------------------------------------------------------------------

void SetWholeFormat(HWND c, const wchar_t* face, int twips, COLORREF colour) {
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof(cf);
    cf.dwMask = CFM_FACE | CFM_SIZE | CFM_COLOR | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
    cf.yHeight = twips;
    cf.crTextColor = colour;
    wcsncpy(cf.szFaceName, face, LF_FACESIZE - 1);
    SendMessageW(c, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
}

void SetParagraphAlignment(HWND c, WORD alignment) {
    PARAFORMAT2 pf{};
    pf.cbSize = sizeof(pf);
    pf.dwMask = PFM_ALIGNMENT;
    pf.wAlignment = alignment;
    SendMessageW(c, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
}

void CaretTo(HWND c, LONG at) {
    CHARRANGE r{at, at};
    SendMessageW(c, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
}

LONG Gcd(LONG a, LONG b) {
    while (b != 0) {
        const LONG t = a % b;
        a = b;
        b = t;
    }
    return a;
}

// At creation, and again when a state replaces the view's in place: the desktop's
// delete-messages item leaves the list, and picture mode 4 makes the picture the background.
void TakeScreenPictureAndItems(UiView& v) {
    EditorState& s = v.state;
    RebuildContentRows(s);
    v.delete_messages = TakeDeleteMessagesItem(s);
    if (HasBackgroundPicture(s)) {
        if (s.picture) v.background = std::move(s.picture);
        s.picture = nullptr;
    } else {
        v.background = nullptr;
    }
}

void BuildScreen(UiView& v) {
    EditorState& s = v.state;
    // First: whatever a control makes of the content, the screen is drawn.
    SetTimer(v.window, kRenderTimer, kRenderPeriodMs, nullptr);
    v.fonts = CreateUiFonts();
    TakeScreenPictureAndItems(v);
    v.second_focused = false;
    v.selecting = kNoBox;
    v.last_click = ClickMemory{};
    const int sub = SubMode(s);
    if (s.kind == sk::kComputer && (sub == 2 || sub == 4 || sub == 5) && (s.Flags() & kCompactFlag) == 0 &&
        !s.initial_text.empty())
        s.content = s.initial_text;
    v.plan = PlanMainControl(s);
    if (!v.plan.box.empty()) {
        v.main = CreateRichEdit(v.window, v.plan.box, v.plan.limit);
        if (!v.main) throw std::runtime_error("cannot create text control");
        LoadContent(v.main, s.content);
        if (s.content.find("\\hmcard161 ") != std::string::npos) {
            SendMessageW(v.main, EM_SETEDITSTYLE, 0x20000, 0x20000);
            HDC screen = GetDC(nullptr);
            const LONG dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
            if (screen) ReleaseDC(nullptr, screen);
            const LONG g = Gcd(96, dpi > 0 ? dpi : 96);
            SendMessageW(v.main, EM_SETZOOM, WPARAM(96 / g), LPARAM((dpi > 0 ? dpi : 96) / g));
        }
        if (s.content.find("\\hmticket1") != std::string::npos) {
            CentreEmbeddedObjects(v.main);
            CaretTo(v.main, 0);
        }
        if (s.kind == sk::kHandwritten) {
            SetWholeFormat(v.main, L"Segoe Script", 230, RGB(30, 49, 94));
            CaretTo(v.main, 0);
        }
        v.signature_ranges = AppendSignatures(v.main, SignaturesToAppend(s));
        if (IsPaperScreen(s)) {
            const std::wstring text = ControlText(v.main);
            if (text.compare(0, 4, L"č.j.") == 0) {
                const std::size_t br = text.substr(0, 127).find_first_of(L"\r\n");
                CaretTo(v.main, br == std::wstring::npos ? LONG(text.size()) : LONG(br + 1));
                CHARFORMAT2W cf{};
                cf.cbSize = sizeof(cf);
                cf.dwMask = CFM_SIZE | CFM_BOLD;
                cf.yHeight = 200;
                SendMessageW(v.main, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
                SetParagraphAlignment(v.main, PFA_JUSTIFY);
            }
        }
        if (s.kind == sk::kComputer && sub == 3) SendMessageW(v.main, EM_SETPASSWORDCHAR, 0x25CF, 0);
        if (IsReadOnlyScreen(s)) SendMessageW(v.main, EM_SETREADONLY, TRUE, 0);
        if (s.kind == sk::kConsent) EnableWindow(v.main, FALSE);
    }
    v.second_plan = PlanSecondControl(s);
    if (const std::optional<SecondControlPlan>& second = v.second_plan) {
        v.second = CreateRichEdit(v.window, second->box, second->limit, !second->hidden);
        if (v.second) {
            if (second->fill_from_caption) LoadContent(v.second, s.caption);
            if (second->read_only) SendMessageW(v.second, EM_SETREADONLY, TRUE, 0);
        }
    }
    if (s.kind == sk::kLawBook) {
        // Law text: both boxes in Segoe UI 11 pt, 4 pt after each paragraph, 1.2 lines, read-only.
        for (HWND c : {v.main, v.second}) {
            if (!c) continue;
            SetWholeFormat(c, L"Segoe UI", 220, RGB(24, 24, 24));
            PARAFORMAT2 pf{};
            pf.cbSize = sizeof(pf);
            pf.dwMask = PFM_SPACEAFTER | PFM_LINESPACING;
            pf.dySpaceAfter = 80;      // twips
            pf.bLineSpacingRule = 5;   // dyLineSpacing in twentieths of a line
            pf.dyLineSpacing = 24;
            SendMessageW(c, EM_SETSEL, 0, -1);
            SendMessageW(c, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
            CaretTo(c, 0);
            SendMessageW(c, EM_SETREADONLY, TRUE, 0);
        }
    }
    ResetDocumentScreen(v.doc, s);
    v.gate.Clear();
}

void TearDownScreen(UiView& v) {
    if (v.second) DestroyWindow(v.second);
    if (v.main) DestroyWindow(v.main);
    v.second = v.main = nullptr;
    v.second_plan.reset();
    v.signature_ranges.clear();
    v.fonts = UiFonts{};
}

// ---- Render tick ------------------------------------------------------------------------------

// Draws the view's screen into `dc` after its background fill: each tick, and once more when an
// answer keeps the screen as the backdrop.
void DrawView(UiView& v, HDC dc, bool caret_on, const std::wstring& clock) {
    const int typing = TypingBox(v);
    ScreenFrame frame;
    frame.state = &v.state;
    frame.fonts = &v.fonts;
    frame.main = v.main;
    frame.plan = v.plan;
    frame.status = v.status;
    frame.submitted = v.submitted;
    frame.caret_on = caret_on;
    frame.colour_menu = v.colour_menu;
    frame.colour_background = v.colour_background;
    if (!BoxRect(v, 1).empty()) {
        frame.second = v.second;
        frame.second_box = v.second_plan->box;
        frame.second_read_only = BoxReadOnly(v, 1);
    }
    frame.second_focused = typing == 1;
    frame.background = v.background;
    frame.doc = &v.doc;
    frame.framed = &v.signature_ranges;
    const Backdrop behind = BackdropBehind(v.state, v.backdrop != nullptr);
    frame.backdrop = behind == Backdrop::kKept ? v.backdrop.get() : nullptr;
    DrawList list;
    DesktopDrawContext context{v.status, v.submitted, clock, bool(v.state.picture)};
    if (v.state.picture) {
        context.picture_width = int(v.state.picture->width());
        context.picture_height = int(v.state.picture->height());
    }
    if (std::optional<DrawList> whole = WholeScreenDrawList(v.doc, v.state, context)) {
        list = std::move(*whole);
        frame.desktop = &list;
    } else if (IsSignatureSheet(v.state)) {
        list = BuildSheetDrawList(v.state, v.doc.sheet);
        frame.sheet = &list;
    } else if (IsDialogPanel(v.state)) {
        // An identity card is drawn only on a new signature: its lines are measured then.
        const std::optional<UiRect> card =
            v.main && IsIdentityCard(v.state) ? MeasureCardDecoration(v.main, v.plan.box) : std::nullopt;
        list = BuildDialogPanelDrawList(v.state, v.doc.desktop, card, behind, clock);
        frame.panel = &list;
    } else if (IsDocumentList(v.state)) {
        list = BuildDocumentListDrawList(v.state, v.doc.desktop);
        AddActionMenu(list, v.doc.menu, v.state);
        frame.doc_list = &list;
    } else if (IsTextWindow(v.state)) {
        list = BuildTextWindowDrawList(v.state, v.plan.box, context);
        frame.window = &list;
    } else if (IsEntryPanel(v.state)) {
        list = BuildEntryPanelDrawList(v.state, v.status, v.submitted, behind, clock);
        frame.panel = &list;
    }
    const DrawList chooser = BuildPictureChooserDrawList(v.state, v.doc.pictures);
    if (!chooser.empty()) frame.chooser = &chooser;
    DrawScreen(dc, frame);
}

void RenderTick(UiView& v) {
    OverlayState& overlay = v.ex.overlay;
    PluginInput().non_minimisable.store(v.ex.login_screen.load());
    const Tick now = GetTickCount64();
    const bool minimized = overlay.computer_minimized.load();
    const int typing = TypingBox(v);
    const int caret_phase = BoxControl(v, typing) && !BoxReadOnly(v, typing) ? CaretPhase(now) : 0;
    if (!NeedsRedraw(RedrawInputs{v.dirty, caret_phase, v.drawn_caret_phase, minimized, v.drawn_minimized, now,
                                  v.drawn_at}))
        return;
    v.dirty = false;
    v.drawn_caret_phase = caret_phase;
    v.drawn_minimized = minimized;
    v.drawn_at = now;
    if (minimized) {
        RunMinimizedPass(overlay, v.gate, v.fonts);
        return;
    }
    std::string signature;
    ScreenPass pass;
    pass.capture_request_id = v.state.picture_slot >= 1 ? v.state.request_id : 0;
    pass.background = ScreenBackground(v.state);
    pass.mask = ScreenMask(v.state, BackdropBehind(v.state, v.backdrop != nullptr));
    if (v.main && v.state.content.find("\\hmcard161 ") != std::string::npos) {
        StateSignatureInputs in;
        in.capture_request_id = pass.capture_request_id;
        POINT scroll{};
        SendMessageW(v.main, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
        CHARRANGE sel{};
        SendMessageW(v.main, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
        in.scroll_x = scroll.x;
        in.scroll_y = scroll.y;
        in.selection_start = sel.cpMin;
        in.selection_end = sel.cpMax;
        in.cursor_x = overlay.cursor_x.load();
        in.cursor_y = overlay.cursor_y.load();
        in.layout_flags = {v.submitted, false, false, false, false};
        in.input_text = std::u16string_view(reinterpret_cast<const char16_t*>(v.status.data()), v.status.size());
        in.document_length = int(SendMessageW(v.main, WM_GETTEXTLENGTH, 0, 0));
        signature = StateSignature(in);
        pass.signature = &signature;
    }
    RunScreenPass(overlay, v.gate, pass, [&](HDC dc) { DrawView(v, dc, caret_phase == 1, GameClockText(v.ex)); });
}

// ---- Answers ------------------------------------------------------------------------------------

// The screen as it stands, for the panels that may follow; its clock is drawn anew over it.
PixelsRef RenderBackdrop(UiView& v) {
    try {
        OverlayCanvas canvas;
        FillSolidRect(canvas.dc(), 0, 0, kCanvasWidth, kCanvasHeight, ScreenBackground(v.state));
        DrawView(v, canvas.dc(), false, std::wstring());
        return canvas.ToPixels();
    } catch (const std::exception&) {
        return nullptr;  // no drawing surface: the plain panel stands in
    }
}

void Answer(UiView& v, int action) {
    const Tick now = GetTickCount64();
    PluginInput().quiet_until.store(now + kQuietAfterAnswerMs);
    const EditorState& s = v.state;
    if (IsLocalDialog(s)) {
        const std::string text = v.main ? WideToCp1250(ControlText(v.main)) : std::string();
        if (s.kind == sk::kConsent && action == 1 && !IsValidNickname(text)) {
            v.status = kNicknameNotice;
            return;
        }
        PluginDialogMailbox().Post(DialogResult{s.request_id, action, text});
        DestroyWindow(v.window);
        return;
    }
    if (v.submitted) return;  // one answer per state
    if (LeavesBackdrop(s)) v.backdrop = RenderBackdrop(v);
    PayloadInputs in = PayloadInputsFor(v.doc, s, action);
    if (v.main) {
        HWND main = v.main;
        in.document_rtf = [main] { return StreamOutRtf(main, kStreamOutCap); };
        const std::wstring typed = ControlText(main);
        in.text.assign(typed.begin(), typed.end());
    }
    if (v.second) {
        const std::wstring typed = ControlText(v.second);
        in.text2.assign(typed.begin(), typed.end());
    }
    PayloadOutcome built = BuildPayload(in);
    AfterPayload(v.doc, s, built);
    if (built.kind != PayloadOutcome::Kind::kSend) {
        v.status = built.status;
        return;
    }
    std::string payload = std::move(built.payload);
    // The desktop's delete-messages item goes with the next confirm.
    if (action == 1 && v.delete_messages) payload = SelectionPayload(*v.delete_messages);
    const bool closes = action == 0 && s.kind == sk::kComputer && (s.Flags() & kDesktopFlags) != 0 &&
                        (s.Flags() & kCompactFlag) == 0;
    SubmitEditorResult(v.ex, EditorResult{s.request_id, action, std::move(payload)}, !closes, now);
    if (closes) {
        DestroyWindow(v.window);
        return;
    }
    v.submitted = true;
}

// ---- Input --------------------------------------------------------------------------------------

void ToggleEffect(HWND c, DWORD mask, DWORD effect) {
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof(cf);
    cf.dwMask = mask;
    SendMessageW(c, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    const bool on = (cf.dwEffects & effect) != 0 && (cf.dwMask & mask) != 0;
    cf.dwMask = mask;
    cf.dwEffects = on ? 0 : effect;
    SendMessageW(c, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
}

// The clipboard's plain text, empty when it holds none or another thread has it open.
std::u16string ClipboardText(HWND owner) {
    std::u16string text;
    if (!OpenClipboard(owner)) return text;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* units = static_cast<const char16_t*>(GlobalLock(h))) {
            const SIZE_T cap = GlobalSize(h) / sizeof(char16_t);
            SIZE_T n = 0;
            while (n < cap && units[n] != 0) ++n;
            text.assign(units, n);
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return text;
}

void OnKey(UiView& v, const ForwardedInput& r) {
    const BYTE* keys = r.key_state;
    SetKeyboardState(const_cast<BYTE*>(keys));
    const UINT message = r.message == WM_SYSCHAR ? WM_CHAR : r.message;
    const EditorState& s = v.state;
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    if (IsUpdateDialog(s)) {
        if (down && r.wParam == VK_ESCAPE) Answer(v, 2);
        else if (down && r.wParam == VK_RETURN) Answer(v, 1);
        return;
    }
    v.doc.submitted = v.submitted;
    const ScreenInput screen = DocumentKey(v.doc, s, message, r.wParam, Held(keys, VK_CONTROL));
    // Keys leave bodies too: a book page turned by a key, a search page, a confirmed rename.
    if (!screen.body.empty()) PostEditorBody(v.ex, screen.body_kind, screen.body);
    if (screen.paste) DocumentPaste(v.doc, ClipboardText(v.window));
    if (screen.handled) {
        if (screen.answer) Answer(v, *screen.answer);
        return;
    }
    KeyContext k;
    k.kind = s.kind;
    const int typing = TypingBox(v);
    HWND c = BoxControl(v, typing);
    k.read_only = !c || BoxReadOnly(v, typing);
    k.ctrl = Held(keys, VK_CONTROL);
    k.alt = Held(keys, VK_MENU);
    k.shift = Held(keys, VK_SHIFT);
    const KeyAction action = DecideKey(message, r.wParam, k);
    switch (action) {
        case KeyAction::kSwallow: return;
        case KeyAction::kToControl:
            if (c) SendMessageW(c, message, r.wParam, r.lParam);
            return;
        case KeyAction::kAnswerOk: return Answer(v, 1);
        case KeyAction::kAnswerCancel:
            if (v.colour_menu) {
                v.colour_menu = false;
                return;
            }
            return Answer(v, EscapeAnswer(s.kind));
        case KeyAction::kSwitchBox:
            if (v.second && !BoxReadOnly(v, 1)) v.second_focused = !v.second_focused;
            return;
        default: break;
    }
    if (!c) return;
    switch (action) {
        case KeyAction::kBold: ToggleEffect(c, CFM_BOLD, CFE_BOLD); break;
        case KeyAction::kItalic: ToggleEffect(c, CFM_ITALIC, CFE_ITALIC); break;
        case KeyAction::kUnderline: ToggleEffect(c, CFM_UNDERLINE, CFE_UNDERLINE); break;
        case KeyAction::kSelectAll: SendMessageW(c, EM_SETSEL, 0, -1); break;
        case KeyAction::kCopy: SendMessageW(c, WM_COPY, 0, 0); break;
        case KeyAction::kCut: SendMessageW(c, WM_CUT, 0, 0); break;
        case KeyAction::kPastePlain: SendMessageW(c, EM_PASTESPECIAL, CF_UNICODETEXT, 0); break;
        case KeyAction::kUndo: SendMessageW(c, EM_UNDO, 0, 0); break;
        case KeyAction::kRedo: SendMessageW(c, EM_REDO, 0, 0); break;
        case KeyAction::kAlignLeft: SetParagraphAlignment(c, PFA_LEFT); break;
        case KeyAction::kAlignCenter: SetParagraphAlignment(c, PFA_CENTER); break;
        case KeyAction::kAlignRight: SetParagraphAlignment(c, PFA_RIGHT); break;
        default: break;
    }
}

void SetSelectionFormat(HWND c, DWORD mask, const CHARFORMAT2W& values) {
    CHARFORMAT2W cf = values;
    cf.cbSize = sizeof(cf);
    cf.dwMask = mask;
    SendMessageW(c, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
}

// A click on the toolbar or into the open colour menu; false when it hit neither.
bool OnToolbarClick(UiView& v, int x, int y) {
    HWND c = v.main;
    const bool read_only = IsReadOnlyScreen(v.state);
    if (v.colour_menu) {
        v.colour_menu = false;  // any click closes it
        const int cell = HitColourCell(x, y);
        if (cell < 0 || read_only) return true;
        const std::uint32_t rgb = kMenuColoursRgb[cell];
        CHARFORMAT2W cf{};
        const COLORREF colour = RGB(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF);
        if (v.colour_background) {
            cf.crBackColor = colour;
            SetSelectionFormat(c, CFM_BACKCOLOR, cf);
        } else {
            cf.crTextColor = colour;
            SetSelectionFormat(c, CFM_COLOR, cf);
        }
        return true;
    }
    const ToolbarControl hit = HitToolbar(x, y, read_only);
    if (hit == ToolbarControl::kNone) return false;
    if (read_only) return true;
    CHARFORMAT2W cf{};
    switch (hit) {
        case ToolbarControl::kBold: ToggleEffect(c, CFM_BOLD, CFE_BOLD); break;
        case ToolbarControl::kItalic: ToggleEffect(c, CFM_ITALIC, CFE_ITALIC); break;
        case ToolbarControl::kUnderline: ToggleEffect(c, CFM_UNDERLINE, CFE_UNDERLINE); break;
        case ToolbarControl::kSize9:
        case ToolbarControl::kSize10:
        case ToolbarControl::kSize11:
        case ToolbarControl::kSize14:
            cf.yHeight = ToolbarFontSize(hit) * 20;
            SetSelectionFormat(c, CFM_SIZE, cf);
            break;
        case ToolbarControl::kAlignLeft: SetParagraphAlignment(c, PFA_LEFT); break;
        case ToolbarControl::kAlignCenter: SetParagraphAlignment(c, PFA_CENTER); break;
        case ToolbarControl::kAlignRight: SetParagraphAlignment(c, PFA_RIGHT); break;
        case ToolbarControl::kAlignJustify: SetParagraphAlignment(c, PFA_JUSTIFY); break;
        case ToolbarControl::kUndo: SendMessageW(c, EM_UNDO, 0, 0); break;
        case ToolbarControl::kRedo: SendMessageW(c, EM_REDO, 0, 0); break;
        case ToolbarControl::kTextColour:
        case ToolbarControl::kBackColour:
            v.colour_menu = true;
            v.colour_background = hit == ToolbarControl::kBackColour;
            break;
        case ToolbarControl::kNone: break;
    }
    return true;
}

// The drag's end follows the cursor; past the box's top or bottom the text scrolls along.
void ExtendSelection(UiView& v, int x, int y) {
    HWND c = BoxControl(v, v.selecting);
    const ControlBox b = BoxRect(v, v.selecting);
    if (!c || b.empty()) return;
    const BoxPoint p = PointInBox(b, x, y);
    if (p.scroll != 0) ScrollBy(c, p.scroll);
    Select(c, v.select_anchor, CharFromPoint(c, p.x, p.y));
}

// A press in a text box: the caret goes under the cursor (Shift: the selection reaches it), a
// drag starts, and a second press in time selects the word.
void PressInBox(UiView& v, const ForwardedInput& r, int x, int y) {
    int box = kNoBox;
    for (int b : {1, 0})
        if (BoxContains(BoxRect(v, b), x, y)) box = b;
    // The consent's name box is not the player's to edit or select.
    if (box == kNoBox || v.state.kind == sk::kConsent) {
        v.last_click = ClickMemory{};
        return;
    }
    HWND c = BoxControl(v, box);
    if (!BoxReadOnly(v, box)) v.second_focused = box == 1;
    const Tick now = GetTickCount64();
    const BoxPoint p = PointInBox(BoxRect(v, box), x, y);
    const LONG at = CharFromPoint(c, p.x, p.y);
    const bool second_press = r.message == WM_LBUTTONDBLCLK ||
                              IsDoubleClick(v.last_click, now, x, y, box, DoubleClickMs(),
                                            GetSystemMetrics(SM_CXDOUBLECLK), GetSystemMetrics(SM_CYDOUBLECLK));
    if (second_press) {
        const TextRange word = WordAt(ControlText(c), int(at));
        Select(c, word.start, word.end);
        v.selecting = kNoBox;
        v.last_click = ClickMemory{};
        return;
    }
    v.last_click = ClickMemory{true, now, x, y, box};
    LONG anchor = at;
    if (Held(r.key_state, VK_SHIFT)) {
        CHARRANGE sel{};
        SendMessageW(c, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
        anchor = at <= sel.cpMin ? sel.cpMax : sel.cpMin;
    }
    Select(c, anchor, at);
    v.selecting = box;
    v.select_anchor = anchor;
}

void OnMouse(UiView& v, const ForwardedInput& r) {
    SetKeyboardState(const_cast<BYTE*>(r.key_state));
    v.doc.submitted = v.submitted;
    const ScreenInput screen =
        DocumentPointer(v.doc, v.state, r.message, r.wParam, r.lParam, GetTickCount64(), GetDoubleClickTime());
    if (!screen.body.empty()) PostEditorBody(v.ex, screen.body_kind, screen.body);
    if (screen.status) v.status = *screen.status;
    if (screen.minimise) v.ex.overlay.computer_minimized.store(true);
    if (!screen.insert_text.empty() && v.main && !MainBoxReadOnly(v.state))
        SendMessageW(v.main, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(screen.insert_text.c_str()));
    if (screen.handled) {
        if (screen.answer) Answer(v, *screen.answer);
        return;
    }
    const int x = short(LOWORD(r.lParam)), y = short(HIWORD(r.lParam));
    const EditorState& s = v.state;
    const bool scroll_bar = v.main && HasScrollBar(s, v.plan);
    if (r.message == WM_MOUSEWHEEL) {
        // The box under the cursor, else the one with the typing.
        const int box = BoxContains(BoxRect(v, 1), x, y) ? 1 : BoxContains(BoxRect(v, 0), x, y) ? 0 : TypingBox(v);
        if (HWND c = BoxControl(v, box))
            ScrollBy(c, -(short(HIWORD(r.wParam)) / WHEEL_DELTA) * 3 * kScrollLinePixels);
        return;
    }
    if (r.message == WM_LBUTTONUP) {
        if (v.selecting != kNoBox) ExtendSelection(v, x, y);
        v.selecting = kNoBox;
        v.dragging = false;
        return;
    }
    if (r.message == WM_MOUSEMOVE) {
        if (v.selecting != kNoBox) {
            // A release the game never saw (outside its window) ends the drag here.
            if ((r.wParam & MK_LBUTTON) == 0) {
                v.selecting = kNoBox;
                return;
            }
            ExtendSelection(v, x, y);
            return;
        }
        if (v.dragging && scroll_bar) {
            const ScrollState sc = ReadScroll(v.main);
            const ScrollGeometry g = PlaceScrollBar(v.plan.box, sc.position, sc.total, sc.page);
            ScrollTo(v.main, DragScrollPosition(g, sc.total, sc.page, v.drag_start_position, y - v.drag_start_y));
        }
        return;
    }
    // A double-click arrives as a press (when the game's window class asks for double-clicks).
    if (r.message != WM_LBUTTONDOWN && r.message != WM_LBUTTONDBLCLK) return;
    if (scroll_bar) {
        const ScrollState sc = ReadScroll(v.main);
        const ScrollGeometry g = PlaceScrollBar(v.plan.box, sc.position, sc.total, sc.page);
        switch (HitScrollBar(g, x, y)) {
            case ScrollHit::kLineUp: return ScrollBy(v.main, -kScrollLinePixels);
            case ScrollHit::kLineDown: return ScrollBy(v.main, kScrollLinePixels);
            case ScrollHit::kPageUp: return ScrollBy(v.main, -v.plan.box.height);
            case ScrollHit::kPageDown: return ScrollBy(v.main, v.plan.box.height);
            case ScrollHit::kThumb:
                v.dragging = true;
                v.drag_start_y = y;
                v.drag_start_position = sc.position;
                return;
            case ScrollHit::kNone: break;
        }
    }
    if (v.main && HasToolbar(s) && OnToolbarClick(v, x, y)) return;
    if (const std::optional<int> action = ClickAction(s, x, y)) return Answer(v, *action);
    PressInBox(v, r, x, y);
}

// ---- Server states and pictures -----------------------------------------------------------------

void OnNewState(UiView& v, std::unique_ptr<EditorState> in) {
    NewStateView current{v.state.request_id, v.state.kind, v.state.paper, &v.state.content, &v.state};
    const NewStateAction action = DecideNewState(current, *in, v.ex.awaiting_answer.load());
    if (action == NewStateAction::kIgnore) return;
    EditorStateShown(v.ex, *in);
    if (action == NewStateAction::kUpdateInPlace) {
        RebuildContentRows(*in);  // before the selection looks for its item among the rows
        UpdateDocumentScreen(v.doc, v.state, *in);
        v.status = StatusTextAfterUpdate(KeptStatus(v.status), *in);
        PixelsRef picture = in->picture ? in->picture : v.state.picture;
        v.state = std::move(*in);
        v.state.picture = std::move(picture);
        TakeScreenPictureAndItems(v);
    } else {
        KillTimer(v.window, kRenderTimer);
        TearDownScreen(v);
        if (KeepPictureOnRebuild(v.state, *in) && !in->picture) in->picture = v.state.picture ? v.state.picture : v.background;
        v.state = std::move(*in);
        v.status = v.state.status_text;
        BuildScreen(v);
    }
    v.submitted = false;
    v.colour_menu = false;
    v.gate.Clear();
}

void OnPicture(UiView& v, std::unique_ptr<PictureRecord> p) {
    if (p->request_id != v.state.request_id || v.state.picture_slot < 1) return;
    v.state.picture = p->image;
    v.gate.Clear();
    if (v.state.picture_mode == picture_mode::kSketch && p->image)
        SetPendingSketch(v.ex, v.state.request_id, p->image);
}

void OnDestroy(UiView& v) {
    KillTimer(v.window, kRenderTimer);
    EditorWindowGone(v.ex);
    PluginInput().non_minimisable.store(false);
    PluginInput().ui_window.store(0);
    TearDownScreen(v);
    PublishEmptyOverlayFrame(v.ex.overlay);
    FreeQueuedRecords(v.window);
    PostQuitMessage(0);
}

LRESULT CALLBACK UiWindowProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_NCCREATE) {
        auto* view = static_cast<UiView*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
        view->window = w;
        return DefWindowProcW(w, message, wp, lp);
    }
    UiView* v = ViewOf(w);
    if (!v) {
        if (message >= uimsg::kFirst && message <= uimsg::kLast) FreePayload(message, lp);
        return DefWindowProcW(w, message, wp, lp);
    }
    if (message >= uimsg::kFirst && message <= uimsg::kLast) v->dirty = true;
    switch (message) {
        case WM_CREATE:
            return AtTheEdgeOr([&]() -> LRESULT { BuildScreen(*v); return 0; }, []() -> LRESULT { return -1; });
        case WM_TIMER:
            if (wp == kRenderTimer) AtTheEdge([&] { RenderTick(*v); });
            return 0;
        case uimsg::kInputEvent: {
            std::unique_ptr<ForwardedInput> r(reinterpret_cast<ForwardedInput*>(lp));
            AtTheEdge([&] { OnKey(*v, *r); });
            return 0;
        }
        case uimsg::kMouseEvent: {
            std::unique_ptr<ForwardedInput> r(reinterpret_cast<ForwardedInput*>(lp));
            AtTheEdge([&] { OnMouse(*v, *r); });
            return 0;
        }
        case uimsg::kNewState: {
            std::unique_ptr<EditorState> s(reinterpret_cast<EditorState*>(lp));
            AtTheEdge([&] { OnNewState(*v, std::move(s)); });
            return 0;
        }
        case uimsg::kPicture: {
            std::unique_ptr<PictureRecord> p(reinterpret_cast<PictureRecord*>(lp));
            AtTheEdge([&] { OnPicture(*v, std::move(p)); });
            return 0;
        }
        case uimsg::kCloseEditor:
        case uimsg::kCloseEditor2:
            DestroyWindow(w);
            return 0;
        case WM_CLOSE:
            AtTheEdge([&] { Answer(*v, 0); });
            return 0;
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_DESTROY:
            AtTheEdge([&] { OnDestroy(*v); });
            return 0;
        case WM_NCDESTROY:
            FreeQueuedRecords(w);
            SetWindowLongPtrW(w, GWLP_USERDATA, 0);
            break;
        default: break;
    }
    return DefWindowProcW(w, message, wp, lp);
}

// ---- Thread ---------------------------------------------------------------------------------------

struct StartRecord {
    EditorExchange* ex;
    EditorState state;
};

void RunUiThread(EditorExchange& ex, EditorState state) {
    const HRESULT ole = OleInitialize(nullptr);
    auto uninit = OnScopeExit([ole] {
        if (SUCCEEDED(ole)) OleUninitialize();
    });
    const wchar_t* name = g_rich_edit_library.load();
    HMODULE library = LoadLibraryW(name ? name : kRichEditLibrary);
    if (!library) {
        // No way to show the screen: close it on the server. The session's own dialogs (negative
        // ids) are nobody's business there and get no answer at all.
        SubmitEditorResult(ex, EditorResult{state.request_id, 0, std::string()}, false, GetTickCount64());
        return;
    }
    // Text the player cut or copied sits on the OLE clipboard as the control's data object;
    // OleUninitialize would call into it after the library is gone. Rendered now, it stays
    // pasteable and nothing refers to the library any more.
    auto free_library = OnScopeExit([library, ole] {
        if (SUCCEEDED(ole)) OleFlushClipboard();
        FreeLibrary(library);
    });
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &UiWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kUiWindowClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return;
    UiView view(ex, std::move(state));
    HWND w = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kUiWindowClass, L"", WS_POPUP, 0, 0, kCanvasWidth,
                             kCanvasHeight, nullptr, nullptr, instance, &view);
    if (!w) return;
    PluginInput().ui_window.store(reinterpret_cast<std::uintptr_t>(w));
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
}

DWORD WINAPI UiThreadMain(void* p) {
    std::unique_ptr<StartRecord> start(static_cast<StartRecord*>(p));
    EditorExchange& ex = *start->ex;
    g_ui_thread.store(GetCurrentThreadId());
    AtTheEdge([&] { RunUiThread(ex, std::move(start->state)); });
    ForgetScaledPicture();
    g_ui_thread.store(0);
    ReleaseEditorOpen(ex);
    return 0;
}

}  // namespace

bool StartEditorUi(EditorExchange& ex, const EditorState& state) {
    if (!ClaimEditorOpen(ex, state)) return false;
    // The thread outlives any FreeLibrary of the host: keep the module for the process.
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&UiThreadMain), &self);
    std::unique_ptr<StartRecord> record;
    try {
        record.reset(new StartRecord{&ex, state});
    } catch (...) {
        ReleaseEditorOpen(ex);
        throw;
    }
    HANDLE thread = CreateThread(nullptr, 0, &UiThreadMain, record.get(), 0, nullptr);
    if (!thread) {
        ReleaseEditorOpen(ex);
        return false;
    }
    record.release();
    CloseHandle(thread);
    return true;
}

bool PostNewState(const EditorState& state) {
    HWND ui = reinterpret_cast<HWND>(PluginInput().ui_window.load());
    if (!ui) return false;
    auto copy = std::make_unique<EditorState>(state);
    if (!PostMessageW(ui, uimsg::kNewState, 0, reinterpret_cast<LPARAM>(copy.get()))) return false;
    copy.release();
    return true;
}

bool PostCloseEditor() {
    HWND ui = reinterpret_cast<HWND>(PluginInput().ui_window.load());
    return ui && PostMessageW(ui, uimsg::kCloseEditor, 0, 0);
}

void InstallPluginEditorWindow() {
    EditorWindowSeam& seam = PluginEditorWindow();
    seam.start = [](const EditorState& state) { return StartEditorUi(PluginEditorExchange(), state); };
    seam.post_new_state = &PostNewState;
    seam.post_close = &PostCloseEditor;
}

DWORD UiThreadId() { return g_ui_thread.load(); }

void SetRichEditLibraryForTests(const wchar_t* name) { g_rich_edit_library.store(name); }

void SetDoubleClickTimeForTests(unsigned ms) { g_double_click_ms.store(ms); }

}  // namespace hm
