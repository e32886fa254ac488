#include "net/answer_framing.h"

#include <limits>

namespace hm {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::optional<std::uint64_t> ContentLengthValue(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const std::uint64_t digit = std::uint64_t(c - '0');
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return value;
}

bool AnswerComplete(const AnswerHead& head, std::uint64_t body_bytes) {
    if ((head.status >= 100 && head.status < 200) || head.status == 204 || head.status == 304) return true;
    if (head.has_transfer_coding) return true;
    if (head.has_length) {
        const std::optional<std::uint64_t> declared = ContentLengthValue(head.length);
        return declared && *declared == body_bytes;
    }
    return body_bytes > 0;
}

}  // namespace hm
