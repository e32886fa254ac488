#include "computer/book_viewer.h"

#include <algorithm>

#include "base/text1250.h"
#include "computer/desktop_layout.h"
#include "computer/rtf_text.h"

namespace hm {
namespace {

namespace tf = text_format;

constexpr ColorRef kWhite = RgbRef(255, 255, 255);
constexpr ColorRef kHeader = RgbRef(25, 43, 65);
constexpr ColorRef kHint = RgbRef(89, 107, 129);

bool Inside(const UiRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }
std::wstring Wide1250(std::string_view t) {
    const std::u16string u = Cp1250ToUtf16(t);
    return std::wstring(u.begin(), u.end());
}

UiRect BottomButton(int i) { return {24 + 192 * i, 712, 24 + 192 * i + 184, 745}; }
const wchar_t* const kBottomLabels[] = {L"‹ Předchozí", L"Obsah", L"Další ›", L"Zavřít"};

// The count is the server's: any int, INT_MIN too.
int LastPage(const EditorState& s) { return s.page_count > 0 ? s.page_count - 1 : 0; }

UiRect ContentsRow(int row) {
    const int top = kContentsTop + kContentsStep * row;
    return {24, top, 786, top + kContentsRowHeight};
}

int ContentsPages(const EditorState& s) {
    return std::max(1, int((s.items.size() + kContentsRows - 1) / kContentsRows));
}

// A page change: the body when the page exists and nothing is awaited.
BookInput GoTo(const EditorState& s, long long page, bool awaiting) {
    BookInput in;
    in.handled = true;
    if (awaiting || page < 0 || page > LastPage(s) || s.page_count <= 0 || page == s.page) return in;
    in.body = std::to_string(s.request_id) + "\n" + std::to_string(page);
    return in;
}

void AddCover(DrawList& l, const EditorState& s) {
    const bool file = IsFileCover(s);
    const ColorRef cover = file ? kFileCover : kBookCover;
    const ColorRef ink = file ? RgbRef(62, 44, 20) : RgbRef(232, 200, 120);
    AddRoundFill(l, {231, 70, 587, 648}, RgbRef(203, 210, 219), 14);  // shadow
    AddRoundFill(l, {225, 64, 581, 642}, cover, 14);
    AddFill(l, {225, 64, 249, 642}, file ? RgbRef(172, 140, 84) : RgbRef(80, 24, 28));  // spine or tab
    AddText(l, {257, 96, 565, 140}, file ? L"SPIS" : L"KNIHA", ink, tf::kLine | tf::kCenter, DrawFont::kTitle);
    AddFill(l, {297, 148, 525, 150}, ink);
    AddText(l, {257, 200, 565, 420}, Wide1250(s.cover_title), ink, tf::kWrap | tf::kCenter, DrawFont::kCover);
    if (file && !s.screen_id.empty())
        AddText(l, {257, 470, 565, 500}, L"č.j. " + Wide1250(s.screen_id), ink, tf::kLine | tf::kCenter);
    AddText(l, {257, 580, 565, 610}, std::to_wstring(s.record_count) + L" stran", ink, tf::kLine | tf::kCenter,
            DrawFont::kSmall);
}

void AddContents(DrawList& l, const EditorState& s, const BookView& v) {
    AddText(l, {24, 64, 786, 110}, L"Obsah", RgbRef(27, 46, 69), tf::kLine, DrawFont::kTitle);
    if (s.items.empty()) {
        AddText(l, {24, kContentsTop, 786, kContentsTop + 44}, L"Tato kniha zatím nemá žádné strany.",
                RgbRef(97, 113, 131), tf::kLine);
        return;
    }
    const int page = std::clamp(v.contents_page, 0, ContentsPages(s) - 1);
    for (int row = 0; row < kContentsRows; ++row) {
        const std::size_t i = std::size_t(page) * kContentsRows + std::size_t(row);
        if (i >= s.items.size()) break;
        const UiRect r = ContentsRow(row);
        AddFill(l, r, kWhite);
        AddFill(l, {r.left, r.top, r.left + 3, r.bottom}, RgbRef(201, 213, 227));
        const std::u16string label = DisplayLabel(s.items[i].label);
        AddText(l, {r.left + 14, r.top, r.right - 90, r.bottom}, std::wstring(label.begin(), label.end()),
                RgbRef(27, 46, 69), tf::kLine);
        AddText(l, {r.right - 86, r.top, r.right - 12, r.bottom}, std::to_wstring(s.items[i].id), RgbRef(97, 113, 131),
                tf::kLine | tf::kRight);
    }
    if (ContentsPages(s) > 1)
        AddText(l, {24, 604, 786, 636}, PageText(page, ContentsPages(s)), RgbRef(27, 46, 69), tf::kLine | tf::kCenter);
}

std::wstring StatusLine(const EditorState& s, const std::wstring& status, bool submitted) {
    if (submitted) return L"Načítání…";
    if (!status.empty()) return status;
    if (s.page <= 0) return L"Obálka";
    if (s.page == 1) return L"Obsah";
    if (s.record_count >= 2) return L"Strana " + std::to_wstring(s.page - 1) + L" / " + std::to_wstring(s.record_count);
    return std::wstring();
}

}  // namespace

bool IsBookScreen(const EditorState& s) { return s.kind == screen_kind::kBook; }
bool IsFileCover(const EditorState& s) { return s.cover_type == 2; }

UiRect FitPicture(int width, int height, const UiRect& a) {
    const int aw = a.right - a.left, ah = a.bottom - a.top;
    if (width <= 0 || height <= 0 || aw <= 0 || ah <= 0) return {a.left, a.top, a.left, a.top};
    // The larger scale that still fits both ways, in 64-bit to keep huge pictures exact.
    long long w = aw, h = (long long)height * aw / width;
    if (h > ah) {
        h = ah;
        w = (long long)width * ah / height;
    }
    w = std::max<long long>(1, w);
    h = std::max<long long>(1, h);
    const int left = a.left + int((aw - w) / 2), top = a.top + int((ah - h) / 2);
    return {left, top, left + int(w), top + int(h)};
}

DrawList BuildBookDrawList(const EditorState& s, const BookView& v, const std::wstring& status, bool submitted,
                           const BookPicture& picture) {
    DrawList l;
    const std::uint32_t f = s.Flags();
    AddFill(l, {0, 0, 810, 760}, RgbRef(238, 243, 249));
    AddFill(l, {0, 0, 810, 48}, kHeader);
    AddText(l, {24, 0, 786, 48}, Wide1250(s.title), kWhite, tf::kLine, DrawFont::kTitle);
    if (s.page <= 0) {
        AddCover(l, s);
    } else if (s.page == 1) {
        AddContents(l, s, v);
    } else {
        AddFill(l, {24, 60, 786, 652}, kWhite);
        if (picture.width > 0 && picture.height > 0) {
            DrawOp op;
            op.kind = DrawOpKind::kStatePicture;
            op.r = FitPicture(picture.width, picture.height, kBookPictureArea);
            op.colour = op.colour2 = kWhite;
            l.push_back(op);
        } else {
            const std::u16string text = IsRtfContent(s.content) ? RtfToText(s.content) : Cp1250ToUtf16(s.content);
            AddText(l, {48, 76, 742, 636}, std::wstring(text.begin(), text.end()), RgbRef(24, 24, 24), tf::kWrap);
        }
        if (s.picture_mode == picture_mode::kAttachment)
            AddButton(l, kAttachmentButton, L"Zobrazit přílohu", true, f);
    }
    AddText(l, {24, 674, 626, 706}, StatusLine(s, status, submitted), kHint, tf::kLine);
    if (f & 1) AddButton(l, kOptionsButton, L"Možnosti", false, f);
    for (int i = 0; i < 4; ++i) AddButton(l, BottomButton(i), kBottomLabels[i], i == 2, f);
    return l;
}

BookInput BookPress(BookView& v, const EditorState& s, int x, int y, bool awaiting) {
    BookInput in;
    if (x < 0 || y < 0 || x >= 810 || y >= 760) return in;
    in.handled = true;  // the whole screen is the viewer's
    if (Inside(BottomButton(0), x, y)) return GoTo(s, s.page - 1LL, awaiting);
    if (Inside(BottomButton(1), x, y)) return GoTo(s, 1, awaiting);
    if (Inside(BottomButton(2), x, y)) return GoTo(s, s.page + 1LL, awaiting);
    if (Inside(BottomButton(3), x, y)) {
        in.answer = 4;
        return in;
    }
    if ((s.Flags() & 1) && Inside(kOptionsButton, x, y)) {
        in.answer = 3;
        return in;
    }
    if (s.page > 1 && s.picture_mode == picture_mode::kAttachment && Inside(kAttachmentButton, x, y)) {
        in.answer = 2;
        return in;
    }
    if (s.page == 1) {
        const int page = std::clamp(v.contents_page, 0, ContentsPages(s) - 1);
        for (int row = 0; row < kContentsRows; ++row) {
            const std::size_t i = std::size_t(page) * kContentsRows + std::size_t(row);
            if (i < s.items.size() && Inside(ContentsRow(row), x, y)) return GoTo(s, s.items[i].id, awaiting);
        }
    }
    return in;
}

BookInput BookWheel(BookView& v, const EditorState& s, int wheel_delta) {
    BookInput in;
    in.handled = true;
    if (s.page == 1) {
        if (wheel_delta > 0) v.contents_page = std::max(0, v.contents_page - 1);
        else if (wheel_delta < 0) v.contents_page = std::min(ContentsPages(s) - 1, v.contents_page + 1);
    }
    return in;
}

BookInput BookKey(const EditorState& s, std::uint32_t vk, bool awaiting) {
    switch (vk) {
        case 0x0D:
        case 0x22:
        case 0x27: return GoTo(s, s.page + 1LL, awaiting);
        case 0x21:
        case 0x25: return GoTo(s, s.page - 1LL, awaiting);
        case 0x23: return GoTo(s, LastPage(s), awaiting);
        case 0x24: return GoTo(s, 0, awaiting);
        default: return BookInput{};
    }
}

}  // namespace hm
