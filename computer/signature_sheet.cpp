#include "computer/signature_sheet.h"

#include <algorithm>

#include "base/text1250.h"

namespace hm {
namespace {

namespace tf = text_format;

bool Inside(const UiRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }
std::wstring Wide1250(std::string_view t) {
    const std::u16string u = Cp1250ToUtf16(t);
    return std::wstring(u.begin(), u.end());
}

UiRect BottomButton(int i) {  // i = 1..3
    const int left = 258 * i - 234;
    return {left, 712, left + 246, 745};
}

const std::string& SignatureText(const EditorState& s, int i, bool& electronic) {
    const SignatureCount n = CountSignatures(s);
    electronic = i < n.electronic;
    if (electronic) return s.electronic_signatures.empty() ? s.signature_line : s.electronic_signatures[std::size_t(i)];
    return s.signatures[std::size_t(i - n.electronic)];
}

int ChooserPages(const EditorState& s) { return std::max(1, (CountSignatures(s).electronic + kChooserRows - 1) / kChooserRows); }

UiRect ChooserRow(int row) {
    const int top = kChooserRowTop + kChooserRowStep * row;
    return {388, top, 774, top + kChooserRowHeight};
}
constexpr UiRect kChooserPrevious{388, 464, 468, 496};
constexpr UiRect kChooserNext{694, 464, 774, 496};

void AddChooser(DrawList& l, const EditorState& s, const SheetView& v) {
    const std::uint32_t f = s.Flags();
    const UiRect& p = kChooserPanel;
    AddRoundFill(l, p, RgbRef(248, 251, 255), 12);
    AddFill(l, {p.left, p.top, p.right, p.top + 52}, RgbRef(25, 43, 65));
    AddText(l, {388, p.top, 774, p.top + 52}, kChooserTitle, RgbRef(255, 255, 255), tf::kLine, DrawFont::kTitle);
    const int electronic = CountSignatures(s).electronic;
    const int pages = ChooserPages(s);
    const int page = std::clamp(v.chooser_page, 0, pages - 1);
    for (int row = 0; row < kChooserRows; ++row) {
        const int i = page * kChooserRows + row;
        if (i >= electronic) break;
        bool is_electronic = false;
        const UiRect r = ChooserRow(row);
        AddFill(l, r, i == v.chooser_selected ? kChooserRowSelected : kChooserRow);
        AddText(l, {r.left + 12, r.top, r.right - 8, r.bottom}, Wide1250(SignatureText(s, i, is_electronic)),
                RgbRef(29, 54, 79), tf::kLine);
    }
    if (pages > 1) {
        AddButton(l, kChooserPrevious, L"‹", false, f);
        AddButton(l, kChooserNext, L"›", false, f);
        AddText(l, {468, 464, 694, 496}, L"Strana " + std::to_wstring(page + 1) + L" / " + std::to_wstring(pages),
                RgbRef(89, 107, 129), tf::kLine | tf::kCenter);
    }
    AddButton(l, kChooserRemoveButton, v.remove_confirmed ? kConfirmRemoveLabel : kRemoveSelectedLabel, true, f);
    AddButton(l, kChooserCancelButton, L"Zrušit", false, f);
}

SheetClick ChooserPress(SheetView& v, const EditorState& s, int x, int y) {
    SheetClick c;
    c.handled = true;
    const int electronic = CountSignatures(s).electronic;
    const int pages = ChooserPages(s);
    for (int row = 0; row < kChooserRows; ++row) {
        const int i = v.chooser_page * kChooserRows + row;
        if (i < electronic && Inside(ChooserRow(row), x, y)) {
            if (i != v.chooser_selected) v.remove_confirmed = false;
            v.chooser_selected = i;
            return c;
        }
    }
    if (y >= 464 && y < 496 && x >= 388 && x < 774) {
        if (x < 468 && v.chooser_page > 0) --v.chooser_page;
        if (x > 693 && v.chooser_page + 1 < pages) ++v.chooser_page;
        return c;
    }
    if (y >= 520 && y < 552 && x >= 388 && x < 774) {
        if (x > 585) {
            v.chooser_open = false;
            v.remove_confirmed = false;
            return c;
        }
        if (v.chooser_selected < 0 || v.chooser_selected >= electronic) return c;
        if (!v.remove_confirmed) {
            v.remove_confirmed = true;
            return c;
        }
        c.delete_body = std::to_string(s.request_id) + "\n" + std::to_string(v.chooser_selected);
        v.chooser_open = false;
        v.remove_confirmed = false;
    }
    return c;
}

}  // namespace

std::vector<AppendedSignature> SignaturesToAppend(const EditorState& s) {
    std::vector<AppendedSignature> out;
    const SignatureCount n = CountSignatures(s);
    for (int i = 0; i < n.total; ++i) {
        AppendedSignature a;
        a.text = Cp1250ToUtf16(SignatureText(s, i, a.electronic));
        out.push_back(std::move(a));
    }
    return out;
}

bool SameSignatures(const EditorState& a, const EditorState& b) {
    return a.signatures == b.signatures && a.electronic_signatures == b.electronic_signatures &&
           (!a.electronic_signatures.empty() || a.signature_line == b.signature_line);
}

bool CanRemoveSignatures(const EditorState& s) { return s.removable && CountSignatures(s).electronic > 0; }

bool SheetKey(SheetView& v, std::uint32_t vk) {
    if (!v.chooser_open) return false;
    if (vk == 0x1B) {
        v.chooser_open = false;
        v.remove_confirmed = false;
    }
    return true;
}

void ClearSheetConfirmations(SheetView& v) {
    v.sign_confirmed = false;
    v.chooser_open = false;
    v.remove_confirmed = false;
    v.chooser_selected = -1;
}

SignatureCount CountSignatures(const EditorState& s) {
    SignatureCount c;
    c.electronic = !s.electronic_signatures.empty() ? int(s.electronic_signatures.size())
                                                    : (s.signature_line.empty() ? 0 : 1);
    c.total = c.electronic + int(s.signatures.size());
    return c;
}

std::wstring StripHeading(const EditorState& s, int shown) {
    const SignatureCount n = CountSignatures(s);
    if (n.total == 0) return L"BEZ PODPISU";
    const std::wstring of = std::to_wstring(shown + 1) + L" / " + std::to_wstring(n.total);
    return shown < n.electronic ? L"ELEKTRONICKÝ PODPIS · " + of : L"PODPIS · " + of;
}

bool HasSignButton(const EditorState& s) { return s.signable || !s.buttons[1].empty(); }

DrawList BuildSheetDrawList(const EditorState& s, const SheetView& v) {
    DrawList l;
    const std::uint32_t f = s.Flags();
    AddFill(l, {24, 100, 786, 232}, RgbRef(238, 243, 249));
    AddText(l, {40, 108, 770, 170}, Wide1250(s.caption), RgbRef(30, 45, 60), tf::kWrap);
    if (!s.buttons[0].empty()) AddButton(l, kSheetButton1, Wide1250(s.buttons[0]), true, f);
    if (HasSignButton(s)) AddButton(l, kSignButton, v.sign_confirmed ? kConfirmSignLabel : kSignButtonLabel, false, f);
    if (CanRemoveSignatures(s)) AddButton(l, kRemoveSignatureButton, kRemoveSignatureLabel, false, f);
    // The strip.
    const SignatureCount n = CountSignatures(s);
    const bool any = n.total > 0;
    const UiRect& r = kSignatureStrip;
    AddFill(l, r, any ? kStripBorderSigned : kStripBorderUnsigned);
    AddFill(l, {r.left + 2, r.top + 2, r.right - 2, r.bottom - 2}, any ? kStripInsideSigned : kStripInsideUnsigned);
    const int shown = any ? v.shown % n.total : 0;
    AddText(l, {40, 582, 720, 604}, StripHeading(s, shown), any ? RgbRef(139, 73, 10) : RgbRef(89, 105, 122), tf::kLine,
            DrawFont::kSmall);
    if (any) {
        bool electronic = false;
        const std::string& text = SignatureText(s, shown, electronic);
        AddText(l, {40, 606, 720, 660}, Wide1250(text), electronic ? RgbRef(24, 24, 24) : RgbRef(30, 49, 94), tf::kLine,
                electronic ? DrawFont::kBody : DrawFont::kScript);
    }
    if (n.total > 1) AddText(l, {730, 582, 782, 660}, L"‹ ›", RgbRef(139, 73, 10), tf::kLine | tf::kCenter);
    for (int i = 1; i < 4; ++i) {
        const std::string& label = s.buttons[std::size_t(i)];
        if (!label.empty()) AddButton(l, BottomButton(i), Wide1250(label), false, f);
    }
    if (v.chooser_open && CanRemoveSignatures(s)) AddChooser(l, s, v);
    return l;
}

SheetClick SheetPointer(SheetView& v, const EditorState& s, int x, int y) {
    if (v.chooser_open && CanRemoveSignatures(s)) return ChooserPress(v, s, x, y);
    SheetClick c;
    if (CanRemoveSignatures(s) && Inside(kRemoveSignatureButton, x, y)) {
        c.handled = true;
        v.chooser_open = true;
        v.chooser_page = 0;
        v.chooser_selected = -1;
        v.remove_confirmed = false;
        return c;
    }
    if (Inside(kSheetButton1, x, y)) {
        c.handled = true;
        if (!s.buttons[0].empty()) c.answer = 1;
        return c;
    }
    if (HasSignButton(s) && Inside(kSignButton, x, y)) {
        c.handled = true;
        if (!v.sign_confirmed) {
            v.sign_confirmed = true;
            c.status = kSheetSignFirstClickText;
        } else {
            c.answer = 2;
        }
        return c;
    }
    const SignatureCount n = CountSignatures(s);
    if (Inside(kSignatureStrip, x, y)) {
        c.handled = true;
        if (n.total > 1) v.shown = x < 730 ? (v.shown + n.total - 1) % n.total : (v.shown + 1) % n.total;
        return c;
    }
    for (int i = 1; i < 4; ++i)
        if (Inside(BottomButton(i), x, y)) {
            c.handled = true;
            if (!s.buttons[std::size_t(i)].empty()) c.answer = i + 1;
            return c;
        }
    return c;
}

}  // namespace hm
