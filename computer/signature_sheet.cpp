#include "computer/signature_sheet.h"

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

}  // namespace

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
    return l;
}

SheetClick SheetPointer(SheetView& v, const EditorState& s, int x, int y) {
    SheetClick c;
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
