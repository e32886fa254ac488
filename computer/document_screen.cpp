#include "computer/document_screen.h"

#include <algorithm>

#include "computer/dialog_panel.h"
#include "computer/document_list.h"
#include "computer/editor_view.h"
#include "computer/entry_panel.h"
#include "computer/legacy_grid.h"
#include "computer/list_window.h"

namespace hm {
namespace {

constexpr std::uint32_t kKeyDown = 0x100, kChar = 0x102, kSysKeyDown = 0x104, kMouseMove = 0x200, kLButtonDown = 0x201,
                        kLButtonUp = 0x202, kLButtonDblClk = 0x203, kRButtonDown = 0x204, kMouseWheel = 0x20A;

// A menu choice: open the item, act on it with a paper action, or leave an attachment body.
void TakeMenuChoice(DocumentScreen& d, const MenuOutcome& o, ScreenInput& in) {
    in.handled = in.handled || o.handled;
    in.paste = o.paste;
    if (!o.attachment_body.empty()) {
        in.body_kind = EditorBody::kAttachment;
        in.body = o.attachment_body;
    }
    if (!o.paper_action) return;
    d.desktop.selected = d.menu.item;
    d.paper_action = *o.paper_action;
    in.answer = 1;
}

bool HasItemView(const EditorState& s) { return IsDesktopScreen(s) || IsListWindow(s) || IsLegacyGrid(s); }

void TakeListInput(const DocumentListInput& li, ScreenInput& in) {
    in.handled = li.handled;
    in.answer = li.answer;
    if (!li.body.empty()) {
        in.body_kind = li.body_kind;
        in.body = li.body;
    }
}

}  // namespace

bool IsDesktopScreen(const EditorState& s) {
    return s.kind == screen_kind::kComputer && IsSlotDesktopLayout(ChooseComputerLayout(s));
}
bool IsSignatureSheet(const EditorState& s) { return s.kind == screen_kind::kSignatureSheet; }


void ResetDocumentScreen(DocumentScreen& d, const EditorState& s) {
    d = DocumentScreen{};
    d.desktop = MakeDesktopView(s);
    d.pictures.open = OpensChooserAtOnce(s) && !HasItemView(s);
}

void UpdateDocumentScreen(DocumentScreen& d, const EditorState& old_state, const EditorState& s) {
    const long long page = d.desktop.page;
    UpdateDesktopView(d.desktop, s, SelectedItemId(d.desktop, old_state));
    if (IsListWindow(s))  // lists page by 8, not by the grid's tiles
        d.desktop.page = d.desktop.selected >= 0 ? d.desktop.selected / kListRowsPerPage : std::min(page, ListPages(s) - 1);
    if (IsLegacyGrid(s))
        d.desktop.page = d.desktop.selected >= 0 ? d.desktop.selected / LegacyPerPage(s)
                                                  : std::min(page, LegacyPages(s) - 1);
    if (IsDocumentList(s))
        d.desktop.page = d.desktop.selected >= 0 ? d.desktop.selected / kDocumentListRows
                                                  : std::min(page, DocumentListPages(s) - 1);
    ClearSheetConfirmations(d.sheet);
    d.sign_confirmed = false;
    // The menu and its dialog stay while their item keeps its place (a refresh must not take
    // the typed name); otherwise they go.
    const int item = d.menu.item;
    if (item < 0 || std::size_t(item) >= s.items.size() || s.items[std::size_t(item)].id != d.menu.item_id ||
        s.request_id != d.menu.request_id)
        d.menu = ActionMenu{};
}

std::wstring KeptStatus(const std::wstring& status) {
    if (status == kSheetSignFirstClickText || status == kSignFirstClickText) return std::wstring();
    return status;
}

ScreenInput DocumentPointer(DocumentScreen& d, EditorState& s, std::uint32_t message, std::uint32_t wparam,
                            std::uint32_t lparam, Tick now, Tick double_click_ms) {
    ScreenInput in;
    const CanvasPoint16 p = DecodeCanvasPoint(lparam);
    const bool press = message == kLButtonDown || message == kLButtonDblClk;
    if (d.pictures.open) {
        ChooserOutcome o;
        if (press) o = ChooserPress(d.pictures, s, p.x, p.y);
        else if (message == kMouseWheel) o = ChooserWheel(d.pictures, s, int(std::int16_t(wparam >> 16)));
        in.handled = true;
        in.insert_text = o.insert_text;
        if (o.web_image) {
            d.web_image_id = o.web_image;
            in.answer = 3;
        }
        return in;
    }
    const UiRect minimise = MinimiseArea(s);
    if (press && CanMinimise(s) && p.x >= minimise.left && p.x < minimise.right && p.y >= minimise.top &&
        p.y < minimise.bottom) {
        in.handled = true;
        in.minimise = true;
        return in;
    }
    // Beside the compact frame's window lies nothing to press (the wheel still pages, a move still
    // drags a text selection).
    if ((press || message == kRButtonDown) && IsCompactFrame(s) &&
        (p.x < kCompactWindow.left || p.x >= kCompactWindow.right || p.y < kCompactWindow.top ||
         p.y >= kCompactWindow.bottom)) {
        in.handled = true;
        return in;
    }
    if (press && !HasItemView(s) && OpensChooserButton(s, p.x, p.y)) {
        in.handled = true;
        d.pictures.open = true;
        d.pictures.page = 0;
        return in;
    }
    if (MenuActive(d.menu)) {
        in.handled = true;
        if (press) TakeMenuChoice(d, MenuPress(d.menu, p.x, p.y), in);
        return in;
    }
    if (message == kRButtonDown && s.kind == screen_kind::kAttachmentList) {
        in.handled = true;
        if (const std::optional<int> item = DocumentListItemAt(d.desktop, s, p.x, p.y)) {
            d.desktop.selected = *item;
            OpenActionMenu(d.menu, s, *item, p.x, p.y, MenuSource::kAttachments);
        }
        return in;
    }
    if (IsListWindow(s)) {
        in.handled = true;
        if (press) in.answer = ListPress(d.desktop, s, p.x, p.y, now, message == kLButtonDblClk).answer;
        else if (message == kMouseWheel) ListWheel(d.desktop, s, int(std::int16_t(wparam >> 16)));
        return in;
    }
    if (IsLegacyGrid(s)) {
        in.handled = true;
        if (press) in.answer = LegacyGridPress(d.desktop, s, p.x, p.y, now, message == kLButtonDblClk).answer;
        else if (message == kMouseWheel) LegacyGridWheel(d.desktop, s, int(std::int16_t(wparam >> 16)));
        return in;
    }
    if (IsDesktopScreen(s)) {
        if (message == kRButtonDown) {
            in.handled = true;
            const DesktopHit hit = HitDesktop(d.desktop, s, p.x, p.y);
            const auto it = d.desktop.placement.at.find(hit.value);
            if (AnyBit(s.Flags(), desktop_flag::kPaperActions) && hit.kind == DesktopHitKind::kTile &&
                it != d.desktop.placement.at.end()) {
                d.desktop.selected = it->second;
                OpenActionMenu(d.menu, s, it->second, p.x, p.y);
            }
            return in;
        }
        PointerEvent e;
        if (press) e = PointerEvent::kDown;
        else if (message == kMouseMove) e = PointerEvent::kMove;
        else if (message == kLButtonUp) e = PointerEvent::kUp;
        else return in;
        in.handled = true;
        const DesktopOutcome o = DesktopPointer(d.desktop, s, e, p.x, p.y, now, double_click_ms);
        in.answer = o.answer;
        in.body = o.position_body;
        return in;
    }
    if (IsBookScreen(s)) {
        BookInput b;
        if (press) b = BookPress(d.book, s, p.x, p.y, d.submitted);
        else if (message == kMouseWheel) b = BookWheel(d.book, s, int(std::int16_t(wparam >> 16)));
        in.handled = b.handled;
        in.answer = b.answer;
        if (!b.body.empty()) {
            in.body_kind = EditorBody::kBook;
            in.body = b.body;
        }
        return in;
    }
    if (IsDocumentList(s)) {
        if (press) TakeListInput(DocumentListPress(d.desktop, s, p.x, p.y, now, message == kLButtonDblClk), in);
        else if (message == kMouseWheel) TakeListInput(DocumentListWheel(d.desktop, s, int(std::int16_t(wparam >> 16))), in);
        return in;
    }
    if (IsDialogPanel(s)) {
        if (press) {
            const DialogInput di = DialogPress(d.desktop, s, p.x, p.y, now, message == kLButtonDblClk);
            in.handled = di.handled;  // elsewhere the text box takes the click
            in.answer = di.answer;
        }
        return in;
    }
    if (IsTextWindow(s) && press) {
        const WindowPress w = TextWindowPress(s, p.x, p.y);
        in.handled = w.handled;  // elsewhere the text box takes the click
        in.answer = w.answer;
        return in;
    }
    if (IsEntryPanel(s) && press) {
        in.answer = EntryPanelPress(s, p.x, p.y);
        in.handled = in.answer.has_value();  // elsewhere the text box takes the click
        return in;
    }
    if (IsSignatureSheet(s) && press) {
        const SheetClick c = SheetPointer(d.sheet, s, p.x, p.y);
        // The sheet's bottom row is its own: the frame's generic buttons sit elsewhere.
        in.handled = c.handled || p.y >= 706;
        in.answer = c.answer;
        if (!c.status.empty()) in.status = c.status;
        if (!c.delete_body.empty()) {
            in.body_kind = EditorBody::kSignatureDelete;
            in.body = c.delete_body;
        }
    }
    return in;
}

ScreenInput DocumentKey(DocumentScreen& d, const EditorState& s, std::uint32_t message, std::uint32_t vk,
                        bool ctrl) {
    ScreenInput in;
    if (d.pictures.open) {
        in.handled = true;
        if (message == kKeyDown || message == kSysKeyDown) ChooserKey(d.pictures, vk);
        return in;
    }
    if (MenuActive(d.menu)) {  // every key message is the menu's or its dialog's
        in.handled = true;
        if (message == kKeyDown || message == kSysKeyDown) TakeMenuChoice(d, MenuKey(d.menu, vk, ctrl), in);
        else if (message == kChar) TakeMenuChoice(d, MenuChar(d.menu, char16_t(vk)), in);
        return in;
    }
    if (IsSignatureSheet(s) && (message == kKeyDown || message == kSysKeyDown)) {
        in.handled = SheetKey(d.sheet, vk);
        return in;
    }
    if (IsBookScreen(s) && (message == kKeyDown || message == kSysKeyDown)) {
        const BookInput b = BookKey(s, vk, d.submitted);
        in.handled = b.handled;
        if (!b.body.empty()) {
            in.body_kind = EditorBody::kBook;
            in.body = b.body;
        }
        return in;
    }
    if (IsDialogMenu(s) && (message == kKeyDown || message == kSysKeyDown)) {
        in.handled = DialogKey(d.desktop, s, vk).handled;
        return in;
    }
    if (IsDocumentList(s) && (message == kKeyDown || message == kSysKeyDown)) {
        TakeListInput(DocumentListKey(d.desktop, s, vk), in);
        return in;
    }
    if (IsTextWindow(s) && !d.submitted && (message == kKeyDown || message == kSysKeyDown) && vk == 0x1B) {
        in.handled = true;  // back, as the close glyph answers
        in.answer = CloseAnswer(s);
        return in;
    }
    if (!HasItemView(s)) return in;
    in.handled = true;  // characters and key-ups have no meaning on the desktop and in lists
    if (message != kKeyDown && message != kSysKeyDown) return in;
    in.answer = IsListWindow(s)    ? ListKey(d.desktop, s, vk).answer
                : IsLegacyGrid(s) ? LegacyGridKey(d.desktop, s, vk).answer
                                  : DesktopKey(d.desktop, s, vk).answer;
    return in;
}

void DocumentPaste(DocumentScreen& d, std::u16string_view text) { MenuPaste(d.menu, text); }

std::optional<DrawList> WholeScreenDrawList(const DocumentScreen& d, const EditorState& s, const DesktopDrawContext& c) {
    if (IsDesktopScreen(s)) {
        DrawList l = BuildDesktopDrawList(s, d.desktop, c);
        AddActionMenu(l, d.menu, s);
        return l;
    }
    if (IsListWindow(s)) return BuildListWindowDrawList(s, d.desktop, c);
    if (IsLegacyGrid(s)) return BuildLegacyGridDrawList(s, d.desktop, c);
    if (IsBookScreen(s))
        return BuildBookDrawList(s, d.book, c.status, c.submitted, BookPicture{c.picture_width, c.picture_height});
    return std::nullopt;
}

PayloadInputs PayloadInputsFor(const DocumentScreen& d, const EditorState& s, int action) {
    PayloadInputs in;
    in.kind = s.kind;
    in.action = action;
    in.flags = s.Flags();
    in.read_only = IsReadOnlyScreen(s);
    in.paper = s.paper;
    in.screen_id = s.screen_id;
    in.button2 = s.buttons[1];
    if (HasItemView(s) || IsDocumentList(s) || IsDialogMenu(s))
        if (const std::optional<int> id = SelectedItemId(d.desktop, s)) {
            in.has_selection = true;
            in.selected_id = *id;
            in.selected_tag = s.items[std::size_t(d.desktop.selected)].tag;
        }
    in.paper_action = d.paper_action;
    in.web_image_id = d.web_image_id;
    in.sign_confirmed = IsSignatureSheet(s) ? d.sheet.sign_confirmed : d.sign_confirmed;
    return in;
}

void AfterPayload(DocumentScreen& d, const EditorState&, const PayloadOutcome& out) {
    if (out.kind == PayloadOutcome::Kind::kConfirmFirst) d.sign_confirmed = true;
    if (out.paper_action_used) d.paper_action = 0;
}

std::optional<std::wstring> ConfirmSignLabel(const DocumentScreen& d, const EditorState& s, int button_index) {
    if (!d.sign_confirmed) return std::nullopt;
    if ((s.kind == screen_kind::kSignLockedDocument && button_index == 0) || (s.kind == 0 && button_index == 1))
        return std::wstring(kConfirmSignLabel);
    return std::nullopt;
}

}  // namespace hm
