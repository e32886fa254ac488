#include "computer/rtf_text.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <vector>

#include "base/text1250.h"

namespace hm {
namespace {

constexpr std::size_t kMaxWordLetters = 32;
constexpr int kMaxFallback = 255;

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Destinations whose text is not the document's.
constexpr std::string_view kDroppedDestinations[] = {
    "annotation", "atnauthor",  "atnid",      "author",     "bkmkend",     "bkmkstart",   "buptim",
    "colortbl",   "colorschememapping", "comment", "company", "creatim",   "datastore",   "doccomm",
    "docvar",     "fldinst",    "filetbl",    "fonttbl",    "footer",      "footerf",     "footerl",
    "footerr",    "footnote",   "generator",  "header",     "headerf",     "headerl",     "headerr",
    "info",       "keywords",   "latentstyles", "listoverridetable", "listtable", "mmathPr", "nonshppict",
    "object",     "objdata",    "operator",   "pgdsctbl",   "pict",        "printim",     "revtbl",
    "revtim",     "rsidtbl",    "stylesheet", "subject",    "template",    "themedata",   "title",
    "userprops",  "wgrffmtfilter", "xmlnstbl",
};

struct Group {
    bool dropped = false;  // a destination whose text is not shown
    int fallback = 1;      // \uc: characters after \uN that stand in for it
};

struct Named {
    std::string_view word;
    char16_t unit;
};
constexpr std::array<Named, 10> kNamedCharacters = {{
    {"emdash", u'\u2014'},
    {"endash", u'\u2013'},
    {"bullet", u'\u2022'},
    {"lquote", u'\u2018'},
    {"rquote", u'\u2019'},
    {"ldblquote", u'\u201C'},
    {"rdblquote", u'\u201D'},
    {"emspace", u' '},
    {"enspace", u' '},
    {"qmspace", u' '},
}};

class Reader {
public:
    explicit Reader(std::string_view in) : in_(in) {}

    std::u16string Run() {
        while (at_ < in_.size()) {
            const char c = in_[at_];
            if (c == '{') {
                Open();
            } else if (c == '}') {
                if (depth_ == 0 || Close()) break;  // the document ended
            } else if (c == '\\') {
                Control();
            } else {
                ++at_;
                // Line ends of the file are not text; neither are other control bytes but TAB.
                if (c == '\r' || c == '\n' || (static_cast<unsigned char>(c) < 0x20 && c != '\t')) continue;
                Put(UnitFromCp1250(static_cast<unsigned char>(c)));
            }
        }
        return std::move(out_);
    }

private:
    bool Shown() const { return depth_ <= kRtfTextMaxDepth && !group_.dropped; }

    // A character of the text; while a \uN's fallback is pending it is that fallback instead.
    bool TakesFallback() {
        if (pending_fallback_ == 0) return false;
        --pending_fallback_;
        return true;
    }
    void Put(char16_t unit) {
        // A NUL (\u0, \'00) would end the text early for whatever reads it next.
        if (TakesFallback() || !Shown() || unit == 0) return;
        out_.push_back(unit);
    }
    void PutLineEnd() {
        if (TakesFallback() || !Shown()) return;
        out_ += u"\r\n";
    }

    void Open() {
        ++at_;
        pending_fallback_ = 0;
        if (depth_ < kRtfTextMaxDepth) stack_.push_back(group_);
        ++depth_;
    }
    // True when the outer group closed.
    bool Close() {
        ++at_;
        pending_fallback_ = 0;
        if (depth_ <= kRtfTextMaxDepth) {
            group_ = stack_.back();
            stack_.pop_back();
        }
        return --depth_ == 0;
    }

    void Control() {
        if (at_ + 1 >= in_.size()) {  // a lone backslash at the end
            at_ = in_.size();
            return;
        }
        const char d = in_[at_ + 1];
        if (IsLetter(d)) return Word();
        at_ += 2;
        switch (d) {
            case '\'': {
                const int hi = at_ < in_.size() ? HexValue(in_[at_]) : -1;
                const int lo = at_ + 1 < in_.size() ? HexValue(in_[at_ + 1]) : -1;
                if (hi < 0 || lo < 0) {  // truncated or not hexadecimal: nothing
                    if (hi >= 0) ++at_;
                    return;
                }
                at_ += 2;
                return Put(UnitFromCp1250(static_cast<unsigned char>(hi * 16 + lo)));
            }
            case '*': group_.dropped = true; return;
            case '\\':
            case '{':
            case '}': return Put(char16_t(d));
            case '~': return Put(u'\u00A0');
            case '_': return Put(u'-');
            case '\r':
            case '\n': return PutLineEnd();
            default: TakesFallback(); return;  // \- and the rest: no text
        }
    }

    void Word() {
        std::size_t j = at_ + 1;
        while (j < in_.size() && IsLetter(in_[j])) ++j;
        // Longer words are read whole and mean nothing.
        const std::string_view word = in_.substr(at_ + 1, std::min(j - at_ - 1, kMaxWordLetters + 1));
        bool negative = false, has_number = false;
        long long number = 0;
        if (j + 1 < in_.size() && in_[j] == '-' && IsDigit(in_[j + 1])) {
            negative = true;
            ++j;
        }
        for (; j < in_.size() && IsDigit(in_[j]); ++j) {
            has_number = true;
            if (number < 1000000000LL) number = number * 10 + (in_[j] - '0');
        }
        if (negative) number = -number;
        if (j < in_.size() && in_[j] == ' ') ++j;
        at_ = j;
        Apply(word, has_number, number);
    }

    void Apply(std::string_view word, bool has_number, long long number) {
        if (word == "bin") {  // binary data: skipped, never read as RTF
            at_ += std::size_t(std::clamp<long long>(number, 0, static_cast<long long>(in_.size() - at_)));
            return;
        }
        if (word == "uc") {
            group_.fallback = has_number ? int(std::clamp<long long>(number, 0, kMaxFallback)) : 1;
            return;
        }
        if (std::find(std::begin(kDroppedDestinations), std::end(kDroppedDestinations), word) != std::end(kDroppedDestinations)) {
            group_.dropped = true;
            return;
        }
        if (word == "u" && has_number) {
            const long long unit = number < 0 ? number + 65536 : number;
            Put(unit < 0 || unit > 0xFFFF ? u'\uFFFD' : char16_t(unit));
            pending_fallback_ = group_.fallback;
            return;
        }
        if (word == "par" || word == "line" || word == "page" || word == "sect") return PutLineEnd();
        if (word == "row") {
            if (Shown() && pending_fallback_ == 0 && !out_.empty() && out_.back() == u'\t') out_.pop_back();
            return PutLineEnd();
        }
        if (word == "tab" || word == "cell") return Put(u'\t');
        for (const Named& n : kNamedCharacters)
            if (word == n.word) return Put(n.unit);
        TakesFallback();  // formatting: no text, but it stands in for a character after \uN
    }

    std::string_view in_;
    std::size_t at_ = 0;
    int depth_ = 0;
    int pending_fallback_ = 0;
    Group group_;
    std::vector<Group> stack_;
    std::u16string out_;
};

}  // namespace

bool IsRtfContent(std::string_view content) { return content.substr(0, 6) == "{\\rtf1"; }

std::u16string RtfToText(std::string_view rtf) { return Reader(rtf).Run(); }

std::string ContentText1250(std::string_view content) {
    if (!IsRtfContent(content)) return std::string(content);
    return Utf16ToCp1250(RtfToText(content));
}

}  // namespace hm
