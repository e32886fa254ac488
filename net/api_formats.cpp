#include "net/api_formats.h"

#include <climits>
#include <stdexcept>

namespace hm {
namespace {

[[noreturn]] void Fail(const char* reason) { throw std::runtime_error(reason); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsWordSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The C locale's isspace, as strtol skips it.
bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool AllDigits(std::string_view text) {
    for (char c : text)
        if (!IsDigit(c)) return false;
    return true;
}

// A whole word as a decimal 32-bit integer (optional sign); nullopt when it is anything else.
std::optional<std::int32_t> WordToInt32(std::string_view word) {
    std::size_t i = 0;
    bool negative = false;
    if (i < word.size() && (word[i] == '+' || word[i] == '-')) negative = word[i++] == '-';
    if (i == word.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < word.size(); ++i) {
        if (!IsDigit(word[i])) return std::nullopt;
        value = value * 10 + (word[i] - '0');
        if (value > std::int64_t(INT32_MAX) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

bool IsVersionChar(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '-';
}

}  // namespace

std::vector<std::string_view> SplitBodyLines(std::string_view body) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (;;) {
        std::size_t lf = body.find('\n', start);
        if (lf == std::string_view::npos) {
            // A final LF closes the last line; only a non-empty remainder (or an empty body)
            // makes another one.
            if (start < body.size() || lines.empty()) lines.push_back(body.substr(start));
            return lines;
        }
        lines.push_back(body.substr(start, lf - start));
        start = lf + 1;
    }
}

std::vector<std::string_view> SplitBodyWords(std::string_view body) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < body.size()) {
        while (i < body.size() && IsWordSpace(body[i])) ++i;
        std::size_t start = i;
        while (i < body.size() && !IsWordSpace(body[i])) ++i;
        if (i > start) words.push_back(body.substr(start, i - start));
    }
    return words;
}

bool IsLowerHex(std::string_view text, std::size_t length) {
    if (text.size() != length) return false;
    for (char c : text)
        if (!IsDigit(c) && !(c >= 'a' && c <= 'f')) return false;
    return true;
}

std::optional<SessionGrant> ParseSessionGrant(std::string_view body) {
    auto lines = SplitBodyLines(body);
    if (lines.size() < 2) return std::nullopt;
    if (!IsLowerHex(lines[0], 64) || !IsLowerHex(lines[1], 12)) return std::nullopt;
    return SessionGrant{std::string(lines[0]), std::string(lines[1])};
}

StateAnswer ParseStateBody(std::string_view body) {
    auto words = SplitBodyWords(body);
    if (words.empty()) Fail("invalid state protocol");
    StateAnswer answer;
    if (words[0] == "WAIT") return answer;
    if (words[0] != "OK") Fail("invalid state protocol");
    answer.kind = StateKind::Ok;
    if (words.size() < 3) Fail("invalid state protocol");
    auto request = WordToInt32(words[1]);
    auto id = WordToInt32(words[2]);
    if (!request || !id) Fail("invalid state protocol");
    answer.snapshot.photo_request = *request;
    answer.snapshot.shown_photo_id = *id;
    if (words.size() >= 4) {
        // A third word that is there must be the revision; words after it are not ours.
        auto revision = WordToInt32(words[3]);
        if (!revision) Fail("invalid state protocol");
        answer.snapshot.shown_photo_revision = *revision;
    }
    return answer;
}

bool InStateRange(const StateSnapshot& snapshot) { return snapshot.photo_request >= 0 && snapshot.shown_photo_id >= 0; }

void CheckStateRange(const StateSnapshot& snapshot) {
    if (!InStateRange(snapshot)) Fail("invalid state");
}

int StoiText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size() || !IsDigit(text[i])) Fail("invalid stoi argument");
    std::int64_t value = 0;
    bool overflow = false;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        if (!overflow) {
            value = value * 10 + (text[i] - '0');
            if (value > std::int64_t(INT_MAX) + 1) overflow = true;
        }
    }
    if (negative) value = -value;
    if (overflow || value < INT_MIN || value > INT_MAX) Fail("stoi argument out of range");
    return static_cast<int>(value);
}

RequiredUpdate ParsePresenceUpgrade(std::string_view body) {
    auto lines = SplitBodyLines(body);
    RequiredUpdate required;
    required.build = StoiText(lines.size() > 1 ? lines[1] : std::string_view());
    if (lines.size() > 2) required.version = std::string(lines[2]);
    return required;
}

std::optional<int> ParseTvState(std::string_view body) {
    auto words = SplitBodyWords(body);
    if (words.size() < 2 || words[0] != "TV") return std::nullopt;
    auto value = WordToInt32(words[1]);
    if (!value || *value < 1 || *value > 32767) return std::nullopt;
    return *value;
}

ReleaseInfo ParseReleaseBody(std::string_view body) {
    if (body.size() > kReleaseBodyMax) Fail("release response too large");
    auto lines = SplitBodyLines(body);
    if (lines[0] != "HMPLUGIN") Fail("invalid release response");
    if (lines.size() < 3) Fail("invalid release response");
    std::string_view build = lines[1];
    if (build.empty() || build.size() > 9 || !AllDigits(build) || build[0] == '0')
        Fail("invalid release build");
    std::string_view version = lines[2];
    if (version.empty() || version.size() > 24) Fail("invalid release version");
    for (char c : version)
        if (!IsVersionChar(c)) Fail("invalid release version");
    if (lines.size() > 3) Fail("invalid release response");
    ReleaseInfo info;
    for (char c : build) info.build = info.build * 10 + (c - '0');
    info.version = std::string(version);
    return info;
}

UpdateInfo ParseUpdateBody(std::string_view body) {
    if (body.size() > kUpdateBodyMax) Fail("update metadata too large");
    auto lines = SplitBodyLines(body);
    if (lines.size() != 5 || lines[0] != "HMUPDATE") Fail("invalid update metadata");
    std::string_view size = lines[3];
    if (size.empty() || size.size() > 9 || !AllDigits(size) || !IsLowerHex(lines[4], 64))
        Fail("invalid update hash/size");
    UpdateInfo info;
    for (char c : size) info.size = info.size * 10 + std::uint64_t(c - '0');
    if (info.size < 1 || info.size > kUpdatePackageMax) Fail("update too large");
    std::string release = "HMPLUGIN\n";
    release.append(lines[1]).append("\n").append(lines[2]).append("\n");
    info.release = ParseReleaseBody(release);
    info.sha256 = std::string(lines[4]);
    return info;
}

void FuzzApiFormats(const std::uint8_t* data, std::size_t size) {
    std::string_view body(reinterpret_cast<const char*>(data), size);
    auto guard = [](auto&& parse) {
        try {
            parse();
        } catch (const std::runtime_error&) {
        }
    };
    ParseSessionGrant(body);
    guard([&] { CheckStateRange(ParseStateBody(body).snapshot); });
    guard([&] { ParsePresenceUpgrade(body); });
    ParseTvState(body);
    guard([&] { ParseReleaseBody(body); });
    guard([&] { ParseUpdateBody(body); });
}

}  // namespace hm
