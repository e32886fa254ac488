#include "computer/backdrop.h"

#include "computer/desktop_draw.h"
#include "computer/desktop_layout.h"
#include "computer/editor_view.h"
#include "computer/dialog_panel.h"
#include "computer/entry_panel.h"

namespace hm {
namespace {

namespace tf = text_format;

constexpr std::uint32_t kDesktopBits = 0x20000C0;
constexpr ColorRef kPlainBackground = RgbRef(238, 243, 249);

bool IsIdentityScreen(const EditorState& s) {
    return s.screen_id == "identity-card" || s.screen_id == "identity-dialog" || s.screen_id == "field-inspection";
}

}  // namespace

bool LeavesBackdrop(const EditorState& s) {
    if (s.kind == screen_kind::kFileManager) return true;
    const std::uint32_t f = s.Flags();
    const int sub = int(f & 7u);
    return s.kind == screen_kind::kComputer && AnyBit(f, kDesktopBits) && !AnyBit(f, kCompactFlag) && sub != 1 &&
           sub != 3 && !IsIdentityScreen(s);
}

Backdrop BackdropBehind(const EditorState& s, bool kept) {
    const bool over = IsEntryPanel(s) || (IsDialogPanel(s) && !IsIdentityScreen(s));
    if (!over) return Backdrop::kNone;
    return kept && !IsLoginScreen(s) ? Backdrop::kKept : Backdrop::kPlain;
}

void AddBackdrop(DrawList& l, Backdrop b, const std::wstring& clock) {
    if (b == Backdrop::kNone) return;
    if (b == Backdrop::kKept) {
        DrawOp op;
        op.kind = DrawOpKind::kBackdrop;
        op.r = {0, 0, 810, 760};
        l.push_back(op);
    } else {
        // The slot desktop's frame on the plain background, without its icons and buttons.
        AddFill(l, {0, 0, 810, 760}, kPlainBackground);
        AddRoundFill(l, {16, 14, 796, 748}, kDesktopPanel, 24);
        AddText(l, {40, 22, 700, 78}, L"Počítač", kDesktopHeaderText, tf::kLine, DrawFont::kTitle);
    }
    AddText(l, kBackdropClock, clock, kDesktopClockText, tf::kLine | tf::kRight);
}

MaskInputs ScreenMaskInputs(const EditorState& s, Backdrop behind) {
    MaskInputs in;
    in.app = s.kind;
    in.mode = s.request_id == -2 ? -2 : int(s.Flags() & 7u);
    in.window_flags = s.Flags();
    in.compact_layout = (s.Flags() & kCompactFlag) != 0;
    in.document = DialogMaskDocument(s);
    in.app_declines_mask = behind == Backdrop::kKept && IsEntryPanel(s);
    return in;
}

}  // namespace hm
