#include "npc/manifest.h"

#include <stdexcept>
#include <string_view>

namespace hm {

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

class Tokens {
public:
    explicit Tokens(std::string_view text) : text_(text) {}
    // The next token, empty at the end.
    std::string_view Next() {
        while (at_ < text_.size() && IsSpace(text_[at_])) ++at_;
        const std::size_t from = at_;
        while (at_ < text_.size() && !IsSpace(text_[at_])) ++at_;
        return text_.substr(from, at_ - from);
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

// Unsigned decimal digits only; false on anything else or above `max`.
bool ReadUnsigned(std::string_view token, std::uint64_t max, std::uint64_t& out) {
    if (token.empty()) return false;
    std::uint64_t v = 0;
    for (char c : token) {
        if (c < '0' || c > '9') return false;
        const unsigned d = unsigned(c - '0');
        if (v > max / 10 || (v == max / 10 && d > max % 10)) return false;
        v = v * 10 + d;
    }
    out = v;
    return true;
}

bool IsHash(std::string_view token) {
    if (token.size() != 64) return false;
    for (char c : token)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

[[noreturn]] void Fail(const char* text) { throw std::runtime_error(text); }

}  // namespace

NpcManifest ParseNpcManifest(const std::string& body) {
    if (body.size() > kNpcManifestLimit) Fail("NPC manifest too large");
    Tokens tokens(body);
    NpcManifest m;
    std::uint64_t count = 0;
    if (tokens.Next() != "HMNPC1" || !ReadUnsigned(tokens.Next(), UINT64_MAX, m.cursor) ||
        !ReadUnsigned(tokens.Next(), kNpcEventLimit, count))
        Fail("NPC manifest header");
    m.events.reserve(count);
    for (std::uint64_t i = 0; i < count; ++i) {
        NpcVoiceEvent e;
        std::uint64_t npc = 0, gain = 0, delay = 0, bytes = 0;
        if (!ReadUnsigned(tokens.Next(), UINT64_MAX, e.id) || e.id == 0 || !ReadUnsigned(tokens.Next(), 999, npc) ||
            !ReadUnsigned(tokens.Next(), 255, gain) || !ReadUnsigned(tokens.Next(), 1500, delay) ||
            !ReadUnsigned(tokens.Next(), kNpcClipMaxBytes, bytes) || bytes < kNpcClipMinBytes)
            Fail("NPC manifest event");
        const std::string_view hash = tokens.Next();
        if (!IsHash(hash)) Fail("NPC manifest event");
        e.npc = int(npc);
        e.gain = int(gain);
        e.delay_ms = int(delay);
        e.bytes = std::uint32_t(bytes);
        e.hash.assign(hash);
        m.events.push_back(std::move(e));
    }
    if (!tokens.Next().empty()) Fail("NPC manifest trailing data");
    return m;
}

int ParseNpcGain(const std::string& body) {
    std::size_t i = 0;
    while (i < body.size() && IsSpace(body[i])) ++i;
    bool negative = false;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) negative = body[i++] == '-';
    const std::size_t digits = i;
    long long v = 0;
    for (; i < body.size() && body[i] >= '0' && body[i] <= '9'; ++i)
        if (v < 1000) v = v * 10 + (body[i] - '0');  // saturates: anything above 255 clamps alike
    if (i == digits) throw std::runtime_error("invalid NPC gain");
    while (i < body.size() && IsSpace(body[i])) ++i;
    if (i != body.size()) throw std::runtime_error("invalid NPC gain");
    if (negative) return 0;
    return v > 255 ? 255 : int(v);
}

}  // namespace hm
