#include "computer/editor_state.h"

#include <cstdint>
#include <limits>
#include <stdexcept>

#include "base/text1250.h"

namespace hm {
namespace {

// Lines as std::getline reads them: "\n" ends a line, a final "\n" adds no empty line.
class LineReader {
public:
    explicit LineReader(std::string_view body) : rest_(body), more_(!body.empty()) {}

    bool more() const { return more_; }

    // The next line, or nothing at the end of the body.
    bool Next(std::string_view& line) {
        if (!more_) return false;
        const std::size_t end = rest_.find('\n');
        if (end == std::string_view::npos) {
            line = rest_;
            rest_ = std::string_view();
            more_ = false;
        } else {
            line = rest_.substr(0, end);
            rest_ = rest_.substr(end + 1);
            more_ = !rest_.empty();
        }
        return true;
    }

private:
    std::string_view rest_;
    bool more_;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A leading decimal integer after optional white space and sign, as std::stoi reads it.
int LeadingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || !IsDigit(text[i])) throw std::runtime_error("invalid stoi argument");
    std::int64_t value = 0;
    const std::int64_t limit = negative ? -std::int64_t(std::numeric_limits<int>::min())
                                        : std::int64_t(std::numeric_limits<int>::max());
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit) throw std::runtime_error("stoi argument out of range");
    }
    return int(negative ? -value : value);
}

// An unsigned decimal field; digits only after optional white space.
std::uint32_t LeadingUnsigned(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    if (i >= text.size() || !IsDigit(text[i])) throw std::runtime_error("invalid stoul argument");
    std::uint64_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + std::uint64_t(text[i] - '0');
        if (value > std::numeric_limits<std::uint32_t>::max()) throw std::runtime_error("stoul argument out of range");
    }
    return std::uint32_t(value);
}

// Fields that may be missing at the end of the body keep their defaults.
void ReadText(LineReader& in, std::string& field) {
    std::string_view line;
    if (in.Next(line)) field.assign(line);
}
void ReadInt(LineReader& in, int& field) {
    std::string_view line;
    if (in.Next(line)) field = LeadingInt(line);
}
void ReadFlag(LineReader& in, bool& field) {
    std::string_view line;
    if (in.Next(line)) field = line == "1";
}

// A count line: missing means 0; outside 0..limit throws `reason`.
int ReadCount(LineReader& in, int limit, const char* reason) {
    int count = 0;
    ReadInt(in, count);
    if (count < 0 || count > limit) throw std::runtime_error(reason);
    return count;
}

EditorItem ParseItem(std::string_view row) {
    std::string_view fields[5];
    std::size_t n = 0;
    while (n < 5) {
        const std::size_t tab = row.find('\t');
        fields[n++] = row.substr(0, tab);
        if (tab == std::string_view::npos) break;
        row = row.substr(tab + 1);
    }
    if (n < 3) throw std::runtime_error("attachment row");
    EditorItem item;
    item.id = LeadingInt(fields[0]);
    item.label.assign(fields[1]);
    item.tag.assign(fields[2]);
    if (n > 3) item.slot.assign(fields[3]);
    if (n > 4 && !fields[4].empty()) item.number = LeadingUnsigned(fields[4]);
    return item;
}

// Lines that must exist after their count.
void ReadLines(LineReader& in, int count, std::vector<std::string>& out, const char* reason) {
    out.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        std::string_view line;
        if (!in.Next(line)) throw std::runtime_error(reason);
        out.emplace_back(line);
    }
}

}  // namespace

int MaxItemsForKind(int kind) {
    if (kind == screen_kind::kFileManager) return kMaxItemsFileManager;
    if (kind == screen_kind::kBook) return kMaxItemsBook;
    return kMaxItems;
}

bool EditorItem::operator==(const EditorItem& o) const {
    return id == o.id && label == o.label && tag == o.tag && slot == o.slot && number == o.number;
}

EditorState ParseEditorState(std::string_view body) {
    LineReader in(body);
    EditorState s;
    ReadInt(in, s.request_id);
    // The session's own dialogs carry negative ids; a server screen posing as one would answer
    // into the dialog mailbox and stop the polling.
    if (s.request_id < 0) throw std::runtime_error("negative request id");
    ReadText(in, s.title);
    ReadText(in, s.content);
    for (std::string& label : s.buttons) ReadText(in, label);
    ReadFlag(in, s.read_only);
    ReadText(in, s.signature_line);
    ReadInt(in, s.kind);
    ReadText(in, s.screen_id);
    ReadText(in, s.caption);
    const int items = ReadCount(in, MaxItemsForKind(s.kind), "attachment count");
    s.items.reserve(std::size_t(items));
    for (int i = 0; i < items; ++i) {
        std::string_view row;
        if (!in.Next(row)) throw std::runtime_error("attachment row");
        s.items.push_back(ParseItem(row));
    }
    ReadInt(in, s.page);
    ReadInt(in, s.page_count);
    ReadInt(in, s.record_count);
    ReadLines(in, ReadCount(in, kMaxSignatures, "signature count"), s.signatures, "signature line");
    ReadFlag(in, s.paper);
    ReadFlag(in, s.signable);
    ReadLines(in, ReadCount(in, kMaxElectronicSignatures, "electronic signature count"), s.electronic_signatures,
              "electronic signature");
    ReadFlag(in, s.removable);
    ReadFlag(in, s.option);
    ReadFlag(in, s.scanned);
    ReadInt(in, s.cover_type);
    ReadText(in, s.cover_title);
    ReadInt(in, s.picture_mode);
    ReadInt(in, s.picture_count);
    ReadInt(in, s.flags);
    ReadInt(in, s.picture_slot);
    ReadText(in, s.initial_text);
    ReadText(in, s.clock_line);
    return s;
}

bool IsLoginScreen(const EditorState& state) {
    if (state.kind != screen_kind::kComputer) return false;
    if ((state.Flags() & 7u) == 3u) return true;
    static const std::string& login = *new std::string(Utf16ToCp1250(u"Přihlášení"));
    static const std::string& registration = *new std::string(Utf16ToCp1250(u"Registrace"));
    return state.title.find(login) != std::string::npos || state.title.find(registration) != std::string::npos;
}

std::optional<int> ParseClockLine(std::string_view line) {
    constexpr std::string_view kPrefix = "clock=";
    if (line.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
    int minutes = 0;
    try {
        minutes = LeadingInt(line.substr(kPrefix.size()));
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
    if (minutes < 0 || minutes > 1439) return std::nullopt;
    return minutes;
}

const std::wstring& StatusTextAfterUpdate(const std::wstring& kept, const EditorState& incoming) {
    return incoming.status_text.empty() ? kept : incoming.status_text;
}

std::string EditorResult::Text() const {
    return std::to_string(request_id) + "\n" + std::to_string(action) + "\n" + payload;
}

}  // namespace hm
