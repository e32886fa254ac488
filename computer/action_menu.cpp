#include "computer/action_menu.h"

#include <algorithm>

#include "base/text1250.h"
#include "computer/desktop_layout.h"

namespace hm {
namespace {

namespace tf = text_format;

bool StartsWith(std::string_view text, std::string_view part) { return text.substr(0, part.size()) == part; }
bool Inside(const UiRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

constexpr UiRect kDialogPanel{120, 236, 690, 440};
constexpr UiRect kConfirmButton{140, 390, 394, 422};
constexpr UiRect kCancelButton{412, 390, 670, 422};

UiRect EntryRect(const ActionMenu& m, int i) {
    const int top = m.top + kMenuEntryHeight * i;
    return {m.left, top, m.left + kMenuWidth, top + kMenuEntryHeight};
}

MenuOutcome Choose(ActionMenu& m) {
    MenuOutcome out;
    out.handled = true;
    const int action = m.actions[std::size_t(m.highlight)];
    m.open = false;
    if (action == 2) m.confirm_discard = m.item;
    else out.paper_action = action;
    return out;
}

}  // namespace

DocumentType DocumentTypeOf(const EditorItem& item) {
    const std::string& t = item.tag;
    const std::string& l = item.label;
    if (t == "book" || StartsWith(l, "KNIHA:")) return DocumentType::kBook;
    if (t == "file" || StartsWith(l, "E-SPIS:") || StartsWith(l, "R-SPIS:")) return DocumentType::kFile;
    if (t == "sealed") return DocumentType::kSealed;
    if (t == "photo" || StartsWith(l, "FOTO:")) return DocumentType::kPhoto;
    if (t == "sketch" || StartsWith(l, "SKICA:")) return DocumentType::kSketch;
    return DocumentType::kPlain;
}

const wchar_t* PaperActionLabel(int action) {
    static const wchar_t* const kLabels[] = {L"Zobrazit", L"Přejmenovat", L"Zahodit", L"Ukázat",
                                             L"Předat",   L"Dát podepsat", L"Podepsat", L"Zkopírovat"};
    return action >= 0 && action < 8 ? kLabels[action] : L"";
}

std::vector<int> PaperActionsFor(const EditorItem& item) {
    std::vector<int> a = {0, 2, 3};
    switch (DocumentTypeOf(item)) {
        case DocumentType::kPlain: a.insert(a.end(), {5, 6, 7}); break;
        case DocumentType::kSealed:
        case DocumentType::kPhoto:
        case DocumentType::kSketch: a.push_back(7); break;
        case DocumentType::kBook:
        case DocumentType::kFile: break;
    }
    return a;
}

void OpenActionMenu(ActionMenu& m, const EditorState& s, int item, int x, int y) {
    m = ActionMenu{};
    if (item < 0 || std::size_t(item) >= s.items.size()) return;
    m.open = true;
    m.item = item;
    m.actions = PaperActionsFor(s.items[std::size_t(item)]);
    const int height = kMenuEntryHeight * int(m.actions.size());
    // At the click point, but whole on the canvas.
    m.left = std::clamp(x, 0, 548);
    m.top = std::clamp(std::min(y, 490), 0, 760 - height);
}

MenuOutcome MenuPress(ActionMenu& m, int x, int y) {
    MenuOutcome out;
    if (m.confirm_discard >= 0) {
        out.handled = true;
        if (Inside(kConfirmButton, x, y)) {
            out.paper_action = 2;
            m.confirm_discard = -1;
        } else if (Inside(kCancelButton, x, y)) {
            m.confirm_discard = -1;
        }
        return out;
    }
    if (!m.open) return out;
    out.handled = true;
    for (int i = 0; i < int(m.actions.size()); ++i)
        if (Inside(EntryRect(m, i), x, y)) {
            m.highlight = i;
            return Choose(m);
        }
    m.open = false;  // a click elsewhere closes it
    return out;
}

MenuOutcome MenuKey(ActionMenu& m, std::uint32_t vk) {
    MenuOutcome out;
    if (m.confirm_discard >= 0) {
        out.handled = true;
        if (vk == 0x0D) out.paper_action = 2;
        if (vk == 0x0D || vk == 0x1B) m.confirm_discard = -1;
        return out;
    }
    if (!m.open) return out;
    out.handled = true;
    const int n = int(m.actions.size());
    switch (vk) {
        case 0x26: m.highlight = (m.highlight + n - 1) % n; break;
        case 0x28: m.highlight = (m.highlight + 1) % n; break;
        case 0x0D: return Choose(m);
        case 0x1B: m.open = false; break;
        default: break;
    }
    return out;
}

void AddActionMenu(DrawList& l, const ActionMenu& m, const EditorState& s) {
    if (m.confirm_discard >= 0 && std::size_t(m.confirm_discard) < s.items.size()) {
        AddRoundFill(l, kDialogPanel, RgbRef(248, 251, 255), 12);
        AddFill(l, {kDialogPanel.left, kDialogPanel.top, kDialogPanel.right, kDialogPanel.top + 48}, RgbRef(25, 43, 65));
        AddText(l, {146, kDialogPanel.top, 664, kDialogPanel.top + 48}, L"Zahodit písemnost?", RgbRef(255, 255, 255),
                tf::kLine, DrawFont::kTitle);
        const std::u16string name = DisplayLabel(s.items[std::size_t(m.confirm_discard)].label);
        AddText(l, {140, 296, 670, 360}, std::wstring(name.begin(), name.end()), RgbRef(30, 45, 60), tf::kWrap);
        AddButton(l, kConfirmButton, L"Zahodit", true, s.Flags());
        AddButton(l, kCancelButton, L"Zrušit", false, s.Flags());
        return;
    }
    if (!m.open) return;
    const UiRect whole{m.left, m.top, m.left + kMenuWidth, m.top + kMenuEntryHeight * int(m.actions.size())};
    AddFill(l, {whole.left - 1, whole.top - 1, whole.right + 1, whole.bottom + 1}, RgbRef(179, 195, 215));
    AddFill(l, whole, RgbRef(248, 251, 255));
    for (int i = 0; i < int(m.actions.size()); ++i) {
        const UiRect r = EntryRect(m, i);
        if (i == m.highlight) AddFill(l, r, RgbRef(216, 233, 251));
        AddText(l, {r.left + 14, r.top, r.right - 8, r.bottom}, PaperActionLabel(m.actions[std::size_t(i)]),
                RgbRef(29, 54, 79), tf::kLine);
    }
}

}  // namespace hm
