// The backdrop behind entry and dialog panels: which answers keep one, which panels are drawn
// over it, what they draw, and the mask that keeps what is drawn.
#include "computer/backdrop.h"

#include <gtest/gtest.h>

#include "base/text1250.h"
#include "computer/dialog_panel.h"
#include "computer/entry_panel.h"

namespace hm {
namespace {

EditorState Screen(int kind, std::uint32_t flags, std::string id = "", std::u16string title = u"Heslo k poště") {
    EditorState s;
    s.request_id = 31;
    s.kind = kind;
    s.flags = int(flags);
    s.screen_id = std::move(id);
    s.title = Utf16ToCp1250(title);
    return s;
}

EditorState WithItems(EditorState s, int n) {
    for (int i = 0; i < n; ++i) {
        EditorItem e;
        e.id = i + 1;
        e.label = "Papir";
        s.items.push_back(e);
    }
    return s;
}

TEST(Backdrop, AnswersFromDesktopsAndTheFileManagerKeepOne) {
    struct Case {
        const char* name;
        EditorState s;
        bool leaves;
    } const cases[] = {
        {"slot desktop", Screen(16, 0x82), true},
        {"icon bit 0x20 alone is not among 0x20000C0", Screen(16, 0x22), false},
        {"institution records", Screen(16, 0x2000002), true},
        {"web style desktop", Screen(16, 0x42), true},
        {"a text page on a desktop", Screen(16, 0x80), true},
        {"file manager", Screen(35, 0), true},
        {"compact desktop", Screen(16, 0x8A), false},
        {"entry sub-mode 1", Screen(16, 0x81), false},
        {"password sub-mode 3", Screen(16, 0x83), false},
        {"list window: no desktop bit", Screen(16, 0x2), false},
        {"identity dialog on a desktop", Screen(16, 0x82, "identity-dialog"), false},
        {"identity card on a desktop", Screen(16, 0x80, "identity-card"), false},
        {"field inspection on a desktop", Screen(16, 0x80, "field-inspection"), false},
        {"signature sheet", Screen(1, 0x82), false},
    };
    for (const Case& c : cases) EXPECT_EQ(LeavesBackdrop(c.s), c.leaves) << c.name;
}

TEST(Backdrop, PanelsOverAKeptScreenKeepItInSight) {
    struct Case {
        const char* name;
        EditorState s;
        bool kept;
        Backdrop behind;
        MaskScreen mask;
    } const cases[] = {
        {"entry panel over a kept screen: mask declined", Screen(16, 0x1), true, Backdrop::kKept, MaskScreen::kNone},
        {"entry panel without one: cut to the panel", Screen(16, 0x1), false, Backdrop::kPlain, MaskScreen::kApp16Modes},
        {"login entry: plain, cut", Screen(16, 0x1, "", u"Přihlášení do systému"), true, Backdrop::kPlain,
         MaskScreen::kApp16Modes},
        {"password entry counts as login", Screen(16, 0x3), true, Backdrop::kPlain, MaskScreen::kApp16Modes},
        {"scanner over a kept screen", Screen(16, 0x2, "scanner"), true, Backdrop::kKept, MaskScreen::kNone},
        {"e-mail menu over a kept screen", WithItems(Screen(16, 0x800002), 2), true, Backdrop::kKept, MaskScreen::kNone},
        {"e-mail menu without one", WithItems(Screen(16, 0x800002), 2), false, Backdrop::kPlain, MaskScreen::kNone},
        {"identity dialog: its own plain background", Screen(16, 0x0, "identity-dialog"), true, Backdrop::kNone,
         MaskScreen::kIdentityDialog},
        {"identity card", Screen(16, 0x0, "identity-card"), true, Backdrop::kNone, MaskScreen::kIdentityCard},
        {"field inspection", Screen(16, 0x1, "field-inspection"), true, Backdrop::kNone, MaskScreen::kIdentityDialog},
        {"hospital draft keeps its own box", Screen(16, 0x1, "hospic-draft"), true, Backdrop::kNone,
         MaskScreen::kApp16Modes},
        {"multi-line entry is a window", Screen(16, 0x11), true, Backdrop::kNone, MaskScreen::kNone},
        {"desktop itself", Screen(16, 0x82), true, Backdrop::kNone, MaskScreen::kNone},
        {"compact entry", Screen(16, 0x9), true, Backdrop::kNone, MaskScreen::kApp16Window},
    };
    for (const Case& c : cases) {
        const Backdrop behind = BackdropBehind(c.s, c.kept);
        EXPECT_EQ(behind, c.behind) << c.name;
        EXPECT_EQ(ChooseMask(ScreenMaskInputs(c.s, behind)), c.mask) << c.name;
    }
    // Only the kept screen declines, and only behind an entry panel.
    EditorState scanner = Screen(16, 0x2, "scanner");
    EXPECT_FALSE(ScreenMaskInputs(scanner, Backdrop::kKept).app_declines_mask);
    EXPECT_TRUE(ScreenMaskInputs(Screen(16, 0x1), Backdrop::kKept).app_declines_mask);
    EXPECT_FALSE(ScreenMaskInputs(Screen(16, 0x1), Backdrop::kPlain).app_declines_mask);
}

TEST(Backdrop, PanelsDrawTheKeptScreenOrThePlainPanelUnderThemWithTheClock) {
    const auto first_full = [](const DrawList& l) {
        for (const DrawOp& op : l)
            if (op.r.left == 0 && op.r.top == 0 && op.r.right == 810 && op.r.bottom == 760) return op.kind;
        return DrawOpKind::kText;
    };
    const auto clock = [](const DrawList& l) {
        const DrawOp* c = FindText(l, L"20:34");
        return c && c->r.left == kBackdropClock.left && c->r.top == kBackdropClock.top &&
               c->r.right == kBackdropClock.right && c->colour == RgbRef(36, 55, 79) && (c->format & text_format::kRight);
    };
    const EditorState entry = Screen(16, 0x1);
    const EditorState scanner = WithItems(Screen(16, 0x2, "scanner"), 3);
    const DrawList over_entry = BuildEntryPanelDrawList(entry, L"", false, Backdrop::kKept, L"20:34");
    const DrawList over_scanner = BuildDialogPanelDrawList(scanner, {}, std::nullopt, Backdrop::kKept, L"20:34");
    for (const DrawList* l : {&over_entry, &over_scanner}) {
        ASSERT_FALSE(l->empty());
        EXPECT_EQ(l->front().kind, DrawOpKind::kBackdrop) << "the kept screen first";
        EXPECT_EQ(FindText(*l, L"Počítač"), nullptr);
        EXPECT_TRUE(clock(*l));
    }
    const DrawList plain = BuildEntryPanelDrawList(entry, L"", false, Backdrop::kPlain, L"20:34");
    EXPECT_EQ(first_full(plain), DrawOpKind::kFill);
    EXPECT_EQ(plain.front().colour, RgbRef(238, 243, 249));
    EXPECT_NE(FindText(plain, L"Počítač"), nullptr);
    EXPECT_TRUE(clock(plain));
    // The panel itself comes after what lies behind it.
    const DrawOp* title_bar = nullptr;
    for (const DrawOp& op : over_entry)
        if (op.kind == DrawOpKind::kFill && op.colour == RgbRef(25, 43, 65)) title_bar = &op;
    ASSERT_NE(title_bar, nullptr);
    EXPECT_GT(title_bar, &over_entry.front());

    // The identity screens keep their plain background whatever lies behind.
    EditorState card = Screen(16, 0x0, "identity-card");
    for (const DrawList& l : {BuildDialogPanelDrawList(card, {}, std::nullopt, Backdrop::kKept, L"20:34"),
                              BuildDialogPanelDrawList(Screen(16, 0x0, "identity-dialog"), {}, std::nullopt,
                                                       Backdrop::kKept, L"20:34")}) {
        EXPECT_EQ(first_full(l), DrawOpKind::kFill);
        EXPECT_EQ(l.front().colour, RgbRef(238, 243, 249));
        EXPECT_EQ(FindText(l, L"20:34"), nullptr);
    }
}

}  // namespace
}  // namespace hm
