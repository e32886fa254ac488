#include "computer/action_menu.h"

#include <algorithm>

#include "base/text1250.h"
#include "computer/desktop_layout.h"

namespace hm {
namespace {

namespace tf = text_format;

bool StartsWith(std::string_view text, std::string_view part) { return text.substr(0, part.size()) == part; }
bool Inside(const UiRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

UiRect EntryRect(const ActionMenu& m, int i) {
    const int top = m.top + kMenuEntryHeight * i;
    return {m.left, top, m.left + kMenuWidth, top + kMenuEntryHeight};
}

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u < 0xDC00; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u < 0xE000; }

int TextLimit(const ActionMenu& m) {
    if (m.dialog == 3) return kPositionLimit;
    return m.source == MenuSource::kPaperDesktop ? kPaperRenameLimit : kAttachmentRenameLimit;
}

void OpenDialog(ActionMenu& m, int action) {
    m.open = false;
    m.dialog = action;
    m.all_selected = true;
    m.text.clear();
    if (action == 1) m.text = m.name;
    if (action == 3) {
        const std::string position = std::to_string(m.item + 1);  // 1-based
        m.text.assign(position.begin(), position.end());
    }
}

MenuOutcome Choose(ActionMenu& m) {
    MenuOutcome out;
    out.handled = true;
    const int action = m.actions[std::size_t(m.highlight)];
    m.open = false;
    if (action == 1 || action == 2 || (action == 3 && m.source == MenuSource::kAttachments)) OpenDialog(m, action);
    else out.paper_action = action;
    return out;
}

void CloseDialog(ActionMenu& m) {
    m.dialog = 0;
    m.pending_high = 0;
    m.text.clear();
    m.all_selected = false;
}

// Confirming the dialog: discarding a paper answers with its paper action, the rest leave an
// attachment body. An empty name or position sends nothing and keeps the dialog.
MenuOutcome Confirm(ActionMenu& m) {
    MenuOutcome out;
    out.handled = true;
    if (m.dialog == 2 && m.source == MenuSource::kPaperDesktop) {
        out.paper_action = 2;
        CloseDialog(m);
        return out;
    }
    if (m.dialog != 2 && m.text.empty()) return out;
    std::string body = std::to_string(m.request_id) + "\n" + std::to_string(m.item_id) + "\n";
    if (m.dialog == 1) body += "rename\n" + RenameHex(m.text);
    else if (m.dialog == 2) body += "delete\n";
    else body += "position\n" + Utf16ToCp1250(m.text);
    out.attachment_body = std::move(body);
    CloseDialog(m);
    return out;
}

// Puts `units` into the box in place of the selection, or after the text, within the limit; a
// surrogate pair is never split.
void Insert(ActionMenu& m, std::u16string_view units) {
    if (m.all_selected) m.text.clear();
    m.all_selected = false;
    const std::size_t limit = std::size_t(TextLimit(m));
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        const bool pair = IsHighSurrogate(u) && i + 1 < units.size() && IsLowSurrogate(units[i + 1]);
        const std::size_t width = pair ? 2 : 1;
        if (m.text.size() + width > limit) break;
        m.text.append(units.substr(i, width));
        i += width - 1;
    }
}

void Backspace(ActionMenu& m) {
    if (m.all_selected) {
        m.text.clear();
        m.all_selected = false;
        return;
    }
    if (m.text.empty()) return;
    std::size_t cut = m.text.size() - 1;
    if (cut > 0 && IsLowSurrogate(m.text[cut]) && IsHighSurrogate(m.text[cut - 1])) --cut;
    m.text.erase(cut);
}

const wchar_t* DialogTitle(const ActionMenu& m) {
    if (m.dialog == 1) return L"Změnit název";
    if (m.dialog == 3) return L"Změnit pozici";
    return m.source == MenuSource::kPaperDesktop ? L"Zahodit písemnost?" : L"Smazat pomocný soubor?";
}

const wchar_t* ConfirmLabel(const ActionMenu& m) {
    if (m.dialog != 2) return L"Uložit";
    return m.source == MenuSource::kPaperDesktop ? L"Zahodit" : L"Potvrdit smazání";
}

std::wstring Wide(std::u16string_view t) { return std::wstring(t.begin(), t.end()); }

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
    std::vector<int> a = {0, 2, 1, 3};
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

const wchar_t* AttachmentActionLabel(int action) {
    static const wchar_t* const kLabels[] = {L"Otevřít", L"Změnit název", L"Smazat", L"Změnit pozici"};
    return action >= 0 && action < 4 ? kLabels[action] : L"";
}

std::vector<int> AttachmentActionsFor(std::uint32_t flags) {
    std::vector<int> a = {0};
    if (flags & 1u) a.push_back(1);
    if (flags & 2u) a.push_back(2);
    if (flags & 4u) a.push_back(3);
    return a;
}

bool MenuActive(const ActionMenu& m) { return m.open || m.dialog != 0; }

void OpenActionMenu(ActionMenu& m, const EditorState& s, int item, int x, int y, MenuSource source) {
    m = ActionMenu{};
    if (item < 0 || std::size_t(item) >= s.items.size()) return;
    const EditorItem& e = s.items[std::size_t(item)];
    m.open = true;
    m.source = source;
    m.item = item;
    m.item_id = e.id;
    m.request_id = s.request_id;
    // The name as sent: a file's "E-SPIS:" prefix is part of it (it gives older items their type).
    m.name = Cp1250ToUtf16(e.label);
    m.actions = source == MenuSource::kPaperDesktop ? PaperActionsFor(e) : AttachmentActionsFor(s.Flags());
    const int height = kMenuEntryHeight * int(m.actions.size());
    // At the click point, but whole on the canvas.
    m.left = std::clamp(x, 0, 548);
    m.top = std::clamp(std::min(y, 490), 0, 760 - height);
}

MenuOutcome MenuPress(ActionMenu& m, int x, int y) {
    MenuOutcome out;
    if (m.dialog != 0) {
        out.handled = true;
        if (Inside(kMenuConfirmButton, x, y)) return Confirm(m);
        if (Inside(kMenuCancelButton, x, y)) CloseDialog(m);
        else if (m.dialog != 2 && Inside(kMenuTextBox, x, y)) m.all_selected = false;
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

MenuOutcome MenuKey(ActionMenu& m, std::uint32_t vk, bool ctrl) {
    MenuOutcome out;
    if (m.dialog != 0) {
        out.handled = true;
        if (vk == 0x0D) return Confirm(m);
        if (vk == 0x1B) CloseDialog(m);
        else if (m.dialog != 2) {
            if (ctrl && vk == 'A') m.all_selected = !m.text.empty();
            else if (ctrl && vk == 'V') out.paste = true;
            else if (vk == 0x08) Backspace(m);
        }
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

MenuOutcome MenuChar(ActionMenu& m, char16_t unit) {
    MenuOutcome out;
    out.handled = MenuActive(m);
    // Control characters (Tab, Enter, the Ctrl+letter units) and DEL are never typed.
    if (m.dialog == 0 || m.dialog == 2 || unit < 0x20 || unit == 0x7F) return out;
    if (IsHighSurrogate(unit)) {  // waits for its low half
        m.pending_high = unit;
        return out;
    }
    if (IsLowSurrogate(unit)) {
        if (m.pending_high == 0) return out;  // a lone half is not a character
        const char16_t pair[2] = {m.pending_high, unit};
        m.pending_high = 0;
        Insert(m, std::u16string_view(pair, 2));
        return out;
    }
    m.pending_high = 0;
    Insert(m, std::u16string_view(&unit, 1));
    return out;
}

void MenuPaste(ActionMenu& m, std::u16string_view text) {
    if (m.dialog == 0 || m.dialog == 2) return;
    std::u16string plain;
    for (const char16_t u : text)
        if (u >= 0x20 && u != 0x7F) plain.push_back(u);
    if (!plain.empty() || m.all_selected) Insert(m, plain);
}

std::string RenameHex(std::u16string_view name) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(Cp1250FromUnit(name[i]));
        if (IsHighSurrogate(name[i]) && i + 1 < name.size() && IsLowSurrogate(name[i + 1])) {
            byte = '?';
            ++i;
        }
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 15]);
    }
    return hex;
}

void AddActionMenu(DrawList& l, const ActionMenu& m, const EditorState& s) {
    if (m.dialog != 0) {
        const UiRect& p = kMenuDialogPanel;
        AddRoundFill(l, p, RgbRef(248, 251, 255), 12);
        AddFill(l, {p.left, p.top, p.right, p.top + 48}, RgbRef(25, 43, 65));
        AddText(l, {146, p.top, 664, p.top + 48}, DialogTitle(m), RgbRef(255, 255, 255), tf::kLine, DrawFont::kTitle);
        if (m.dialog == 2) {
            AddText(l, kMenuTextBox, Wide(m.name), RgbRef(30, 45, 60), tf::kWrap);
        } else {
            const UiRect& b = kMenuTextBox;
            AddFill(l, {b.left - 2, b.top - 2, b.right + 2, b.bottom + 2}, RgbRef(179, 195, 215));
            AddFill(l, b, RgbRef(255, 255, 255));
            const UiRect line{b.left + 10, b.top + 16, b.right - 10, b.bottom - 16};
            if (m.all_selected && !m.text.empty()) {
                AddFill(l, line, RgbRef(39, 105, 177));
                AddText(l, line, Wide(m.text), RgbRef(255, 255, 255), tf::kLine);
            } else {
                AddText(l, line, Wide(m.text) + L"|", RgbRef(30, 45, 60), tf::kLine);
            }
        }
        AddButton(l, kMenuConfirmButton, ConfirmLabel(m), true, s.Flags());
        AddButton(l, kMenuCancelButton, L"Zrušit", false, s.Flags());
        return;
    }
    if (!m.open) return;
    const UiRect whole{m.left, m.top, m.left + kMenuWidth, m.top + kMenuEntryHeight * int(m.actions.size())};
    AddFill(l, {whole.left - 1, whole.top - 1, whole.right + 1, whole.bottom + 1}, RgbRef(179, 195, 215));
    AddFill(l, whole, RgbRef(248, 251, 255));
    for (int i = 0; i < int(m.actions.size()); ++i) {
        const UiRect r = EntryRect(m, i);
        if (i == m.highlight) AddFill(l, r, RgbRef(216, 233, 251));
        const int action = m.actions[std::size_t(i)];
        AddText(l, {r.left + 14, r.top, r.right - 8, r.bottom},
                m.source == MenuSource::kPaperDesktop ? PaperActionLabel(action) : AttachmentActionLabel(action),
                RgbRef(29, 54, 79), tf::kLine);
    }
}

}  // namespace hm
