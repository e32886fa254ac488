#include "computer/editor_view.h"

#include <algorithm>
#include <cstdlib>

#include "computer/desktop_layout.h"
#include "computer/signature_sheet.h"

namespace hm {
namespace {

namespace sk = screen_kind;

bool Has(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }
bool IsListKind(int kind) { return kind == 2 || kind == 5 || kind == 6 || kind == 7 || kind == 12 || kind == 14; }

constexpr std::uint32_t kNoEntryFrameFlag = 0x10;
constexpr std::uint32_t kWideDesktopFlag = 0x2000000;
constexpr std::uint32_t kWebImageFlag = 0x40000000;

// Kind 16 (the computer, the phone with the compact flag).
ControlBox DesktopBox(const EditorState& s) {
    const std::uint32_t f = s.Flags();
    const bool compact = (f & kCompactFlag) != 0;
    const int sub = SubMode(s);
    const bool card = Has(s.content, "\\hmcard161 ");
    if (s.screen_id == "field-inspection" && card) return {116, 146, 578, 480};
    if (s.screen_id == "identity-card") return {154, 208, 524, 338};
    if (s.screen_id == "identity-dialog" && !IsMenuSubMode(sub)) return {150, 242, 492, 260};
    // Every other dialog panel holds its text box inside the panel.
    if (!IsMenuSubMode(sub) && ChooseComputerLayout(s) == ComputerLayout::kDialogPanel) return {150, 242, 492, 260};
    if (IsMenuSubMode(sub)) return s.initial_text.empty() ? ControlBox{} : ControlBox{244, 212, 510, 390};
    const bool entry = (sub == 1 || sub == 3) && (f & kNoEntryFrameFlag) == 0;
    if (s.screen_id == "hospic-draft") return {compact ? 246 : 48, 180, compact ? 302 : 694, 438};
    // The entry panel's box, inside the panel and its mask.
    if (entry && !compact) return {150, 390, 510, 48};
    if (f & kWideDesktopFlag) return {48, 166, 706, entry ? 64 : 452};
    return {compact ? 246 : 48, 180, compact ? 302 : 694, entry ? 64 : 464};
}

}  // namespace

bool IsReadOnlyScreen(const EditorState& s) { return s.read_only || s.scanned || s.kind == sk::kConsent; }
bool IsPaperScreen(const EditorState& s) { return s.paper && s.kind != sk::kHandwritten; }

MainControlPlan PlanMainControl(const EditorState& s) {
    MainControlPlan p;
    const int k = s.kind;
    if (IsUpdateDialog(s)) return p;
    if (k == sk::kComputer) {
        p.box = DesktopBox(s);
        p.limit = s.read_only ? 60000 : std::clamp(int((s.Flags() >> 8) & 0xFFFu), 1, 3000);
        return p;
    }
    if (k == sk::kDelivery || k == sk::kCctvQuery) {
        p.box = {64, 274, 680, 60};
        p.limit = k == sk::kCctvQuery ? 19 : 300;
        return p;
    }
    if (k == sk::kSignOrDecline || k == sk::kAnswerButtons) {
        p.box = {146, 74, 518, 526};
        return p;
    }
    if (k == sk::kMinigame || k == sk::kFileManager) return p;
    if (k == sk::kCallBlocking) {
        p.box = {146, 464, 508, 52};
        p.limit = 80;
        return p;
    }
    if (k == sk::kLawBook) {
        if (s.items.empty()) p.box = {104, 148, 600, 470};
        p.limit = 60000;
        return p;
    }
    if (k == sk::kFineTicket) {
        p.box = {560, 180, 210, 360};
        p.limit = 2000;
        return p;
    }
    if (s.paper) {
        p.box = k == sk::kHandwritten ? ControlBox{48, 76, 694, 568} : ControlBox{48, 36, 694, 608};
        p.limit = 60000;
        return p;
    }
    if (k == sk::kSignatureSheet) {
        p.box = {40, 244, 710, 304};
        p.no_selection = true;
        return p;
    }
    if (k == sk::kBook || k == sk::kPhoto || IsListKind(k)) return p;
    if (k == sk::kConsent) {
        p.box = {46, 400, 718, 44};
        p.limit = 24;
        return p;
    }
    if (k == sk::kShortAnswer) {
        p.box = {46, 180, 698, 120};
        p.limit = 240;
        return p;
    }
    if (k == sk::kTextPage) {
        p.box = {46, 112, 718, 510};
        return p;
    }
    // A free document (kind 0 and every kind without a row): the text area under the toolbar,
    // (24,178)-(786,564), inset by 4 px with room for the scroll bar inside the white area.
    p.box = {28, 182, 734, 378};
    return p;
}

std::optional<SecondControlPlan> PlanSecondControl(const EditorState& s) {
    SecondControlPlan p;
    switch (s.kind) {
        case sk::kDelivery:
        case sk::kCctvQuery:
            p.box = {64, 394, 680, 100};
            p.limit = s.kind == sk::kCctvQuery ? 19 : 700;
            p.fill_from_caption = s.kind == sk::kCctvQuery;
            return p;
        case sk::kLawBook:
            if (!s.items.empty()) return std::nullopt;
            p.box = {104, 148, 600, 470};
            p.limit = 60000;
            p.read_only = true;
            p.hidden = true;
            return p;
        case sk::kFineTicket:
            p.box = {48, 118, 480, 510};
            p.limit = 60000;
            p.read_only = true;
            return p;
        default:
            return std::nullopt;
    }
}

bool HasTwoTypingBoxes(int kind) { return kind == sk::kDelivery || kind == sk::kCctvQuery; }

bool MainBoxReadOnly(const EditorState& s) { return IsReadOnlyScreen(s) || s.kind == sk::kLawBook; }

std::optional<int> TakeDeleteMessagesItem(EditorState& s) {
    if (s.kind != sk::kComputer || (s.Flags() & 0x68u) != 0x28u) return std::nullopt;
    // The labels in code page 1250.
    constexpr std::string_view kDeleteLabels[] = {"Smaz\xe1n\xed zpr\xe1v", "Smazat zpr\xe1vy"};
    std::optional<int> id;
    const auto gone = std::remove_if(s.items.begin(), s.items.end(), [&](const EditorItem& item) {
        for (std::string_view label : kDeleteLabels) {
            if (item.label != label) continue;
            if (!id) id = item.id;
            return true;
        }
        return false;
    });
    s.items.erase(gone, s.items.end());
    return id;
}

std::string SelectionPayload(int id) { return "{\\rtf1\\hmsel" + std::to_string(id) + " }"; }

bool PrintsTransparently(const EditorState& s) {
    return HasBackgroundPicture(s) || Has(s.content, "\\hmcard161 ");
}

NewStateAction DecideNewState(const NewStateView& view, const EditorState& in, bool awaiting) {
    if (in.request_id != view.request_id && !awaiting && !IsLoginScreen(in)) return NewStateAction::kIgnore;
    const bool same_content = view.content != nullptr && *view.content == in.content;
    const bool same_signatures = view.shown == nullptr || SameSignatures(*view.shown, in);
    if (in.request_id == view.request_id && in.kind == view.kind && in.paper == view.paper && same_content &&
        same_signatures)
        return NewStateAction::kUpdateInPlace;
    return NewStateAction::kRebuild;
}

bool KeepPictureOnRebuild(const EditorState& a, const EditorState& b) {
    return a.picture_slot == b.picture_slot && a.picture_mode == b.picture_mode && a.picture_count == b.picture_count;
}

namespace {
constexpr std::uint32_t kKeyDown = 0x100, kKeyUp = 0x101, kChar = 0x102, kSysKeyDown = 0x104, kSysKeyUp = 0x105;
constexpr std::uint32_t kVkTab = 0x09, kVkReturn = 0x0D, kVkEscape = 0x1B, kVkPrior = 0x21, kVkDown = 0x28;
bool IsNavigation(std::uint32_t vk) { return vk >= kVkPrior && vk <= kVkDown; }
bool BreaksLine(int kind) { return kind == 0 || kind == sk::kSignatureSheet || kind == sk::kHandwritten; }
}  // namespace

KeyAction DecideKey(std::uint32_t message, std::uint32_t w, const KeyContext& k) {
    if (message == kChar) {
        // Characters made while Ctrl is held are the formatting keys' echoes (Ctrl+B is 2, Ctrl+I
        // is 9, Ctrl+U is 21 ...): the keys were handled on key-down.
        if (k.ctrl && !k.alt && w < 32) return KeyAction::kSwallow;
        if (k.read_only) return KeyAction::kSwallow;
        if (w == kVkEscape) return KeyAction::kSwallow;
        if (w == '\r' || w == '\n') return BreaksLine(k.kind) ? KeyAction::kToControl : KeyAction::kSwallow;
        if (w == '\t' && HasTwoTypingBoxes(k.kind)) return KeyAction::kSwallow;  // Tab moved the typing
        return KeyAction::kToControl;
    }
    const bool down = message == kKeyDown || message == kSysKeyDown;
    const bool up = message == kKeyUp || message == kSysKeyUp;
    if (!down && !up) return KeyAction::kSwallow;
    if (w == kVkEscape) return down ? KeyAction::kAnswerCancel : KeyAction::kSwallow;
    if (HasTwoTypingBoxes(k.kind) && (w == kVkTab || w == kVkReturn)) {
        if (!down || k.alt) return KeyAction::kSwallow;
        if (w == kVkReturn) return k.ctrl ? KeyAction::kAnswerOk : KeyAction::kSwitchBox;
        return k.ctrl ? KeyAction::kSwallow : KeyAction::kSwitchBox;
    }
    if (w == kVkReturn) {
        if (BreaksLine(k.kind)) return k.read_only ? KeyAction::kSwallow : KeyAction::kToControl;
        return down ? KeyAction::kAnswerOk : KeyAction::kSwallow;
    }
    const bool letter = w >= 'A' && w <= 'Z';
    if (k.ctrl && k.alt && letter) return KeyAction::kSwallow;
    if (IsNavigation(w)) return KeyAction::kToControl;
    if (k.ctrl && !k.alt && letter) {
        if (up) return KeyAction::kSwallow;
        switch (w) {
            case 'A': return KeyAction::kSelectAll;
            case 'C': return KeyAction::kCopy;
            default: break;
        }
        if (k.read_only) return KeyAction::kSwallow;
        switch (w) {
            case 'X': return KeyAction::kCut;
            case 'V': return KeyAction::kPastePlain;
            case 'Z': return KeyAction::kUndo;
            case 'Y': return KeyAction::kRedo;
            case 'B': return k.kind == 0 ? KeyAction::kBold : KeyAction::kSwallow;
            case 'I': return k.kind == 0 ? KeyAction::kItalic : KeyAction::kSwallow;
            case 'U': return k.kind == 0 ? KeyAction::kUnderline : KeyAction::kSwallow;
            case 'L': return k.kind == sk::kHandwritten ? KeyAction::kAlignLeft : KeyAction::kSwallow;
            case 'E': return k.kind == sk::kHandwritten ? KeyAction::kAlignCenter : KeyAction::kSwallow;
            case 'R': return k.kind == sk::kHandwritten ? KeyAction::kAlignRight : KeyAction::kSwallow;
            default: return KeyAction::kSwallow;  // the control's own Ctrl shortcuts stay out
        }
    }
    if (k.read_only) return KeyAction::kSwallow;
    return KeyAction::kToControl;
}

int EscapeAnswer(int kind) {
    return kind == sk::kSignOrDecline || HasTwoTypingBoxes(kind) ? 2 : 0;
}

namespace {
bool IsLineBreak(wchar_t c) { return c == L'\r' || c == L'\n' || c == 0x0B || c == 0x2028 || c == 0x2029; }
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == 0xA0; }
// Letters and digits of any script; the object mark U+FFFC and typographic signs are not.
bool IsWordChar(wchar_t c) {
    if ((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_') return true;
    if (c < 0xC0 || c == 0xD7 || c == 0xF7) return false;
    if (c >= 0x2000 && c <= 0x2BFF) return false;  // punctuation, symbols, arrows
    if (c >= 0x3000 && c <= 0x303F) return false;
    if (c >= 0xFE30 && c <= 0xFE4F) return false;
    return c != 0xFFFC && c != 0xFFFD && c != 0xFEFF;
}
enum class CharClass { kWord, kBlank, kBreak, kSign };
CharClass ClassOf(wchar_t c) {
    if (IsWordChar(c)) return CharClass::kWord;
    if (IsBlank(c)) return CharClass::kBlank;
    if (IsLineBreak(c)) return CharClass::kBreak;
    return CharClass::kSign;
}
}  // namespace

TextRange WordAt(std::wstring_view text, int at) {
    const int n = int(text.size());
    at = std::clamp(at, 0, n);
    // Past a line's end (or the text's) the click belongs to what stands before it.
    if ((at == n || IsLineBreak(text[std::size_t(at)])) && at > 0 && !IsLineBreak(text[std::size_t(at - 1)])) --at;
    if (at == n || IsLineBreak(text[std::size_t(at)])) return {at, at};
    const CharClass kind = ClassOf(text[std::size_t(at)]);
    if (kind == CharClass::kSign) return {at, at + 1};
    int start = at, end = at + 1;
    while (start > 0 && ClassOf(text[std::size_t(start - 1)]) == kind) --start;
    while (end < n && ClassOf(text[std::size_t(end)]) == kind) ++end;
    if (kind == CharClass::kWord)
        while (end < n && IsBlank(text[std::size_t(end)])) ++end;
    return {start, end};
}

bool IsDoubleClick(const ClickMemory& last, Tick now, int x, int y, int box, Tick limit_ms, int slop_x, int slop_y) {
    if (!last.valid || box != last.box || now < last.at || now - last.at > limit_ms) return false;
    return std::abs(x - last.x) <= slop_x / 2 && std::abs(y - last.y) <= slop_y / 2;
}

bool BoxContains(const ControlBox& b, int x, int y) {
    return !b.empty() && x >= b.x && x < b.x + b.width && y >= b.y && y < b.y + b.height;
}

BoxPoint PointInBox(const ControlBox& b, int x, int y) {
    BoxPoint p;
    if (b.empty()) return p;
    p.x = std::clamp(x - b.x, 0, b.width - 1);
    p.y = std::clamp(y - b.y, 0, b.height - 1);
    if (y < b.y) p.scroll = -kScrollLinePixels;
    else if (y >= b.y + b.height) p.scroll = kScrollLinePixels;
    return p;
}

bool NeedsRedraw(const RedrawInputs& in) {
    return in.dirty || in.caret_phase != in.drawn_caret_phase || in.minimized != in.drawn_minimized ||
           in.now >= in.drawn_at + kRedrawAtLeastMs;
}

bool SendsDocumentRtf(const EditorState& s, int a) {
    if (a == 0 || IsReadOnlyScreen(s)) return false;
    if (!(a == 1 || a == 2 || (a == 3 && (s.Flags() & kWebImageFlag) != 0))) return false;
    if (s.kind == sk::kComputer && a != 1) return false;
    const int k = s.kind;
    return k == 0 || k == sk::kShortAnswer || k == sk::kHandwritten || k == sk::kComputer || k == sk::kFineTicket;
}

namespace {

// The control word at `i` (just after a backslash): letters, then an optional signed number.
struct ControlWord {
    std::string_view word;
    long number = 0;
    bool has_number = false;
    std::size_t end = 0;  // index after the word, its number and one delimiting blank
};

ControlWord ReadControlWord(std::string_view rtf, std::size_t i) {
    ControlWord c;
    const std::size_t start = i;
    while (i < rtf.size() && ((rtf[i] >= 'a' && rtf[i] <= 'z') || (rtf[i] >= 'A' && rtf[i] <= 'Z'))) ++i;
    c.word = rtf.substr(start, i - start);
    std::size_t digits = i;
    const bool negative = digits < rtf.size() && rtf[digits] == '-';
    if (negative) ++digits;
    std::size_t j = digits;
    long value = 0;  // every digit belongs to the number; the value saturates
    while (j < rtf.size() && rtf[j] >= '0' && rtf[j] <= '9') {
        value = value > 214748364L ? 2147483647L : std::min(2147483647L, value * 10 + (rtf[j] - '0'));
        ++j;
    }
    if (j > digits) {
        c.has_number = true;
        c.number = negative ? -value : value;
        i = j;
    }
    if (i < rtf.size() && rtf[i] == ' ') ++i;
    c.end = i;
    return c;
}

// Skips \binN data: N raw bytes that may hold anything, braces included.
std::size_t SkipBin(std::string_view rtf, std::size_t after_word, long n) {
    if (n <= 0) return after_word;
    const std::size_t left = rtf.size() - after_word;
    return after_word + std::min<std::size_t>(left, std::size_t(n));
}

bool IsObjectGroup(std::string_view rtf, std::size_t brace) {
    std::size_t i = brace + 1;
    if (i < rtf.size() && rtf.compare(i, 3, "\\*\\") == 0) i += 2;
    if (i >= rtf.size() || rtf[i] != '\\') return false;
    const ControlWord c = ReadControlWord(rtf, i + 1);
    return c.word == "object" || c.word == "pict" || c.word == "objdata" || c.word == "shppict" ||
           c.word == "nonshppict";
}

// Index after the group that opens at `brace` (or the end of the text when it never closes).
std::size_t SkipGroup(std::string_view rtf, std::size_t brace) {
    int depth = 0;
    std::size_t i = brace;
    while (i < rtf.size()) {
        const char ch = rtf[i];
        if (ch == '\\' && i + 1 < rtf.size()) {
            const char next = rtf[i + 1];
            if ((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z')) {
                const ControlWord c = ReadControlWord(rtf, i + 1);
                i = c.word == "bin" && c.has_number ? SkipBin(rtf, c.end, c.number) : c.end;
            } else {
                i += 2;
            }
            continue;
        }
        if (ch == '{') ++depth;
        if (ch == '}' && --depth == 0) return i + 1;
        ++i;
    }
    return rtf.size();
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Whether the text ends in a control word (a backslash, letters, an optional signed number).
bool EndsWithControlWord(const std::string& out) {
    std::size_t i = out.size();
    while (i > 0 && out[i - 1] >= '0' && out[i - 1] <= '9') --i;
    if (i > 0 && out[i - 1] == '-') --i;
    const std::size_t letters_end = i;
    while (i > 0 && IsLetter(out[i - 1])) --i;
    if (i == letters_end || i == 0 || out[i - 1] != '\\') return false;
    std::size_t backslashes = 0;  // "\\word" is an escaped backslash and text
    while (backslashes < i && out[i - 1 - backslashes] == '\\') ++backslashes;
    return backslashes % 2 == 1;
}

// After something was cut out, what follows must not join what came before: "{" + "\\pict"
// would make the group a picture, "\\bin" + "4" a length. A blank keeps them apart (after a
// control word it is the word's delimiter).
void KeepApart(std::string& out) {
    if (!out.empty() && (out.back() == '{' || EndsWithControlWord(out))) out.push_back(' ');
}

}  // namespace

std::string StripRtfObjects(std::string_view rtf) {
    std::string out;
    out.reserve(rtf.size());
    int depth = 0;
    std::size_t i = 0;
    while (i < rtf.size()) {
        const char ch = rtf[i];
        if (ch == '{') {
            if (IsObjectGroup(rtf, i)) {
                i = SkipGroup(rtf, i);
                KeepApart(out);
                continue;
            }
            ++depth;
            out.push_back(ch);
            ++i;
            continue;
        }
        if (ch == '}') {
            if (depth > 0) {
                --depth;
                out.push_back(ch);
            } else {
                KeepApart(out);  // a stray closing brace would end the document early
            }
            ++i;
            continue;
        }
        if (ch == '\\') {
            if (i + 1 == rtf.size()) break;  // a lone backslash would escape the closing brace
            const char next = rtf[i + 1];
            if ((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z')) {
                const ControlWord c = ReadControlWord(rtf, i + 1);
                if (c.word == "bin" && c.has_number) {
                    i = SkipBin(rtf, c.end, c.number);  // binary data outside a picture: dropped
                    KeepApart(out);
                    continue;
                }
                out.append(rtf.substr(i, c.end - i));
                i = c.end;
                continue;
            }
            out.append(rtf.substr(i, 2));
            i += 2;
            continue;
        }
        // Some writers end the stream with a NUL byte; dropped like any cut, it must not join
        // "{" to a following "\\pict".
        if (ch != '\0') out.push_back(ch);
        else KeepApart(out);
        ++i;
    }
    out.append(std::size_t(depth), '}');
    return out;
}

std::string BoundRtfNesting(std::string_view rtf, int max_depth) {
    std::string out;
    out.reserve(rtf.size() + 8);
    int depth = 0;
    std::size_t i = 0;
    while (i < rtf.size()) {
        const char ch = rtf[i];
        if (ch == '{') {
            if (depth == max_depth) break;
            ++depth;
        } else if (ch == '}') {
            if (depth == 0) break;
            if (--depth == 0) {  // the document ends here; what follows is not RTF
                out.push_back(ch);
                break;
            }
        } else if (ch == '\\') {
            if (i + 1 == rtf.size()) break;  // a lone backslash would escape the closing brace
            const char next = rtf[i + 1];
            if ((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z')) {
                const ControlWord c = ReadControlWord(rtf, i + 1);
                const bool bin = c.word == "bin" && c.has_number && c.number > 0;
                // Binary data cut off by the end of the text would swallow the closing braces.
                if (bin && std::size_t(c.number) > rtf.size() - c.end) break;
                const std::size_t end = bin ? SkipBin(rtf, c.end, c.number) : c.end;
                out.append(rtf.substr(i, end - i));
                i = end;
                continue;
            }
            out.append(rtf.substr(i, 2));
            i += 2;
            continue;
        }
        out.push_back(ch);
        ++i;
    }
    out.append(std::size_t(depth), '}');
    return out;
}

std::optional<std::string> CutDocumentRtf(std::string_view rtf) {
    std::string clean = StripRtfObjects(rtf);
    if (clean.size() > kRtfLimitBytes) return std::nullopt;
    return clean;
}

bool IsValidNickname(std::string_view name) {
    if (name.size() < 3 || name.size() > 24) return false;
    for (const char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                        std::string_view("_.$[]()=").find(c) != std::string_view::npos;
        if (!ok) return false;
    }
    return true;
}

ButtonBox BottomButton(int i) { return {24 + 192 * i, 712, 24 + 192 * i + 184, 745}; }
ButtonBox UpdateDialogButton(int i) { return i == 0 ? ButtonBox{146, 490, 402, 530} : ButtonBox{414, 490, 664, 530}; }

std::optional<int> ClickAction(const EditorState& s, int x, int y) {
    if (IsUpdateDialog(s)) {
        for (int i = 0; i < 2; ++i)
            if (UpdateDialogButton(i).Contains(x, y) && !s.buttons[std::size_t(i)].empty()) return i + 1;
        return std::nullopt;
    }
    if (kCloseGlyph.Contains(x, y)) return 0;
    for (int i = 0; i < 4; ++i)
        if (BottomButton(i).Contains(x, y) && !s.buttons[std::size_t(i)].empty()) return i + 1;
    return std::nullopt;
}

bool HasScrollBar(const EditorState& s, const MainControlPlan& plan) {
    return !plan.box.empty() && s.kind != sk::kConsent && !IsListKind(s.kind);
}

ScrollGeometry PlaceScrollBar(const ControlBox& box, int position, int total, int page) {
    ScrollGeometry g;
    g.left = box.x + box.width + 4;
    g.right = g.left + kScrollBarWidth;
    g.top = box.y;
    g.bottom = box.y + box.height;
    const int track = std::max(0, box.height - 2 * kScrollArrowCell);
    const int whole = std::max({total, page, 1});
    const int thumb = std::clamp(int(std::int64_t(track) * std::max(page, 0) / whole), std::min(track, 16), track);
    const int room = track - thumb;
    const int range = std::max(1, whole - page);
    const int offset = int(std::int64_t(room) * std::clamp(position, 0, range) / range);
    g.thumb_top = g.top + kScrollArrowCell + offset;
    g.thumb_bottom = g.thumb_top + thumb;
    return g;
}

ScrollHit HitScrollBar(const ScrollGeometry& g, int x, int y) {
    if (x < g.left || x >= g.right || y < g.top || y >= g.bottom) return ScrollHit::kNone;
    if (y < g.top + kScrollArrowCell) return ScrollHit::kLineUp;
    if (y >= g.bottom - kScrollArrowCell) return ScrollHit::kLineDown;
    if (y < g.thumb_top) return ScrollHit::kPageUp;
    if (y >= g.thumb_bottom) return ScrollHit::kPageDown;
    return ScrollHit::kThumb;
}

int DragScrollPosition(const ScrollGeometry& g, int total, int page, int start_position, int dy) {
    const int room = (g.bottom - g.top) - 2 * kScrollArrowCell - (g.thumb_bottom - g.thumb_top);
    const int range = std::max(0, total - page);
    if (room <= 0 || range == 0) return std::clamp(start_position, 0, range);
    return std::clamp(start_position + int(std::int64_t(dy) * range / room), 0, range);
}

bool HasToolbar(const EditorState& s) { return s.kind == 0 && !s.paper; }

ToolbarControl HitToolbar(int x, int y, bool read_only) {
    for (const ToolbarItem& item : kToolbar) {
        const bool colour = item.control == ToolbarControl::kTextColour || item.control == ToolbarControl::kBackColour;
        if (colour && read_only) continue;
        if (item.box.Contains(x, y)) return item.control;
    }
    return ToolbarControl::kNone;
}

int ToolbarFontSize(ToolbarControl c) {
    switch (c) {
        case ToolbarControl::kSize9: return 9;
        case ToolbarControl::kSize10: return 10;
        case ToolbarControl::kSize11: return 11;
        case ToolbarControl::kSize14: return 14;
        default: return 0;
    }
}

ButtonBox ColourCell(int i) {
    const int left = 34 + kColourCell * (i % 8), top = 208 + kColourCell * (i / 8);
    return {left, top, left + kColourCell, top + kColourCell};
}

int HitColourCell(int x, int y) {
    for (int i = 0; i < 24; ++i)
        if (ColourCell(i).Contains(x, y)) return i;
    return -1;
}

}  // namespace hm
