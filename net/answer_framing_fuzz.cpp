// libFuzzer target over the answer framing rule: the Content-Length value never wraps and agrees
// with a plain decimal reading wherever that reading fits in 64 bits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/answer_framing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<std::uint64_t> value = hm::ContentLengthValue(text);
    const std::size_t from = text.find_first_not_of(" \t");
    const std::size_t to = text.find_last_not_of(" \t");
    const std::string core = from == std::string::npos ? std::string() : text.substr(from, to - from + 1);
    const bool digits = !core.empty() && core.find_first_not_of("0123456789") == std::string::npos;
    if (value.has_value() != digits) std::abort();
    if (digits) {
        const std::size_t significant = core.find_first_not_of('0');
        const std::size_t length = significant == std::string::npos ? 0 : core.size() - significant;
        if (length < 20 && *value != std::strtoull(core.c_str(), nullptr, 10)) std::abort();
        if (length > 20 && *value != ~std::uint64_t(0)) std::abort();
    }
    hm::AnswerHead head;
    head.status = size ? int(data[0]) * 3 : 200;
    head.has_length = true;
    head.length = text;
    // A declared length is only ever met by exactly that many bytes.
    if (value && *value < (1u << 20)) {
        if (head.status != 204 && head.status != 304 && (head.status < 100 || head.status > 199)) {
            if (!hm::AnswerComplete(head, *value) || hm::AnswerComplete(head, *value + 1)) std::abort();
        }
    }
    return 0;
}
