#include "computer/document_list.h"

#include <algorithm>
#include <string_view>

#include "base/text1250.h"
#include "computer/list_window.h"
#include "computer/rtf_text.h"

namespace hm {
namespace {

namespace tf = text_format;

bool Inside(const UiRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }
std::wstring Wide(std::u16string_view t) { return std::wstring(t.begin(), t.end()); }

// The first item index of the page shown: kind 7 sends one page of items.
long long FirstIndex(const DesktopView& v, const EditorState& s) {
    return s.kind == screen_kind::kSearchResults ? 0 : v.page * kDocumentListRows;
}

std::string PageBody(const EditorState& s, long long page) {
    return std::to_string(s.request_id) + "\n" + std::to_string(page);
}

// Turns the page by `step`: kind 7 asks the server, the others page here.
DocumentListInput TurnPage(DesktopView& v, const EditorState& s, int step) {
    DocumentListInput in;
    in.handled = true;
    const long long pages = DocumentListPages(s);
    const long long page = DocumentListPage(v, s);
    const long long next = std::clamp<long long>(page + step, 0, pages - 1);
    if (next == page) return in;
    if (s.kind == screen_kind::kSearchResults) {
        in.body_kind = EditorBody::kPage;
        in.body = PageBody(s, next);
    } else {
        v.page = next;
    }
    return in;
}

void SelectIndex(DesktopView& v, const EditorState& s, long long index) {
    if (s.items.empty()) return;
    v.selected = int(std::clamp<long long>(index, 0, static_cast<long long>(s.items.size()) - 1));
    if (s.kind != screen_kind::kSearchResults) v.page = v.selected / kDocumentListRows;
}

// The colour field: leading hexadecimal digits; none, or more than 32 bits of them, is no tint.
std::uint32_t RowColour(std::string_view field) {
    constexpr std::uint32_t kNoTint = 0xFFFFFF;
    std::uint64_t value = 0;
    std::size_t digits = 0;
    for (const char c : field) {
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (d < 0) break;
        value = value * 16 + std::uint64_t(d);
        if (value > 0xFFFFFFFFu) return kNoTint;
        ++digits;
    }
    return digits == 0 ? kNoTint : std::uint32_t(value);
}

std::string Joined(const std::vector<std::string_view>& fields, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to; ++i) {
        if (i > from) out += "  |  ";
        out += fields[i];
    }
    return out;
}

}  // namespace

std::vector<EditorItem> RowsFromContent(const EditorState& s) {
    std::vector<EditorItem> rows;
    const std::string text = ContentText1250(s.content);  // RTF content: its \par and \row end the lines
    std::string_view rest = text;
    bool heading = s.kind == 6;
    while (!rest.empty() && rows.size() < std::size_t(kMaxItems)) {
        // Lines end with LF, CR LF, or a lone CR: a state body ends its lines with LF, so a
        // content line of the wire can only break its rows with CR.
        const std::size_t end = rest.find_first_of("\r\n");
        const std::string_view line = rest.substr(0, end);
        std::size_t next = end == std::string_view::npos ? rest.size() : end + 1;
        if (end != std::string_view::npos && rest[end] == '\r' && next < rest.size() && rest[next] == '\n') ++next;
        rest = rest.substr(next);
        if (heading) {
            heading = false;
            continue;
        }
        if (line.empty()) continue;
        std::vector<std::string_view> fields;
        for (std::size_t at = 0;;) {
            const std::size_t tab = line.find('\t', at);
            fields.push_back(line.substr(at, tab == std::string_view::npos ? std::string_view::npos : tab - at));
            if (tab == std::string_view::npos) break;
            at = tab + 1;
        }
        EditorItem e;
        e.id = int(rows.size()) + 1;
        e.number = 0xFFFFFF;
        std::size_t shown = fields.size();
        if (fields.size() > 3) {
            e.number = RowColour(fields.back());
            --shown;
        }
        e.label = "\xe8.j. " + Joined(fields, 0, std::min<std::size_t>(shown, 2));  // "č.j. " in code page 1250
        if (shown > 2) e.tag = Joined(fields, 2, shown);
        rows.push_back(std::move(e));
    }
    return rows;
}

void RebuildContentRows(EditorState& s) {
    if (s.kind == 5 || s.kind == 6) s.items = RowsFromContent(s);
}

bool IsDocumentList(const EditorState& s) {
    const int k = s.kind;
    return k == 2 || k == 5 || k == 6 || k == 7 || k == 12 || k == 14;
}

bool HasReorderButtons(const EditorState& s) {
    return s.kind == screen_kind::kAttachmentList && !s.buttons[1].empty();
}

long long DocumentListPages(const EditorState& s) {
    if (s.kind == screen_kind::kSearchResults) return std::max(1, s.page_count);
    return std::max<long long>(1, (static_cast<long long>(s.items.size()) + kDocumentListRows - 1) / kDocumentListRows);
}

long long DocumentListPage(const DesktopView& v, const EditorState& s) {
    const long long page = s.kind == screen_kind::kSearchResults ? s.page : v.page;
    return std::clamp<long long>(page, 0, DocumentListPages(s) - 1);
}

UiRect DocumentListRowRect(int row) {
    const int top = kDocumentListTop + kDocumentListStep * row;
    return {24, top, 786, top + kDocumentListRowHeight};
}

std::optional<int> DocumentListItemAt(const DesktopView& v, const EditorState& s, int x, int y) {
    const long long first = FirstIndex(v, s);
    for (int row = 0; row < kDocumentListRows; ++row)
        if (Inside(DocumentListRowRect(row), x, y) && first + row < static_cast<long long>(s.items.size()))
            return int(first + row);
    return std::nullopt;
}

DrawList BuildDocumentListDrawList(const EditorState& s, const DesktopView& v) {
    DrawList l;
    const std::uint32_t f = s.Flags();
    if (s.items.empty()) {
        const wchar_t* empty = s.kind == screen_kind::kSearchResults
                                   ? L"Zadanému hledání neodpovídají žádné spisy."
                                   : L"Ve spisu zatím nejsou žádné pomocné soubory. Nový můžeš založit tlačítkem dole.";
        AddText(l, {36, kDocumentListTop, 774, kDocumentListTop + 64}, empty, RgbRef(97, 113, 131), tf::kWrap);
    }
    const long long first = FirstIndex(v, s);
    for (int row = 0; row < kDocumentListRows && first + row < static_cast<long long>(s.items.size()); ++row) {
        const int index = int(first + row);
        const EditorItem& e = s.items[std::size_t(index)];
        std::wstring label = Wide(DisplayLabel(e.label));
        if (s.kind == screen_kind::kAttachmentList) label = std::to_wstring(index + 1) + L". " + label;
        AddListRow(l, DocumentListRowRect(row), e, index == v.selected, label);
    }
    const bool reorder = HasReorderButtons(s);
    if (reorder) {
        AddButton(l, kMoveUpButton, L"↑ Posunout výš", false, f);
        AddButton(l, kMoveDownButton, L"↓ Posunout níž", false, f);
    }
    const long long pages = DocumentListPages(s);
    if (pages > 1) {
        AddButton(l, kListPreviousButton, L"← Předchozí", false, f);
        AddButton(l, kListNextButton, L"Další →", false, f);
        // Between the page buttons, or above the reorder buttons that stand there.
        const UiRect text = reorder ? UiRect{174, 598, 636, 626} : UiRect{174, 628, 636, 660};
        AddText(l, text, PageText(DocumentListPage(v, s), pages), RgbRef(27, 46, 69), tf::kLine | tf::kCenter);
    }
    return l;
}

DocumentListInput DocumentListPress(DesktopView& v, const EditorState& s, int x, int y, Tick now,
                                    bool double_click_message) {
    DocumentListInput in;
    if (HasReorderButtons(s) && y >= kMoveUpButton.top && y < kMoveUpButton.bottom && x >= 210 && x < 568) {
        in.handled = true;
        if (v.selected < 0 || std::size_t(v.selected) >= s.items.size()) return in;
        in.body_kind = EditorBody::kReorder;
        in.body = std::to_string(s.request_id) + "\n" + std::to_string(s.items[std::size_t(v.selected)].id) + "\n" +
                  (x < 380 ? "-1" : "1");
        return in;
    }
    if (DocumentListPages(s) > 1) {
        if (Inside(kListPreviousButton, x, y)) return TurnPage(v, s, -1);
        if (Inside(kListNextButton, x, y)) return TurnPage(v, s, 1);
    }
    const long long first = FirstIndex(v, s);
    for (int row = 0; row < kDocumentListRows; ++row) {
        if (!Inside(DocumentListRowRect(row), x, y)) continue;
        in.handled = true;
        const long long index = first + row;
        if (index >= static_cast<long long>(s.items.size())) return in;
        if (PressRow(v, index, now, double_click_message)) in.answer = 1;
        return in;
    }
    return in;
}

DocumentListInput DocumentListWheel(DesktopView& v, const EditorState& s, int wheel_delta) {
    if (wheel_delta == 0) {
        DocumentListInput in;
        in.handled = true;
        return in;
    }
    return TurnPage(v, s, wheel_delta > 0 ? -1 : 1);
}

DocumentListInput DocumentListKey(DesktopView& v, const EditorState& s, std::uint32_t vk) {
    switch (vk) {
        case 0x21: return TurnPage(v, s, -1);
        case 0x22: return TurnPage(v, s, 1);
        case 0x26:
        case 0x28: {
            DocumentListInput in;
            in.handled = true;
            const long long step = vk == 0x26 ? -1 : 1;
            SelectIndex(v, s, v.selected < 0 ? FirstIndex(v, s) : v.selected + step);
            return in;
        }
        default: return DocumentListInput{};
    }
}

}  // namespace hm
