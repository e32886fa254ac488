// Whether the body WinHTTP handed over is the whole answer its head announced. WinHTTP (Wine's
// above all) returns a body cut short by a closed connection as if it were complete, and a head
// cut after its status line as a 200 without headers and without body.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace hm {

struct AnswerHead {
    int status = 0;
    bool has_length = false;       // a Content-Length header came
    std::string_view length;       // its value as sent (ASCII)
    bool has_transfer_coding = false;  // a Transfer-Encoding header came: WinHTTP frames the body
};

// The decimal value of a Content-Length (optional blanks around it); values past 2^64 - 1 give
// 2^64 - 1, which no body ever matches. Nothing when it is no decimal number.
std::optional<std::uint64_t> ContentLengthValue(std::string_view text);

// False when the answer cannot be whole: a declared length that is no number or differs from
// the bytes read, or a status that carries a body but came without any framing and without a
// single byte (what a cut head looks like). Statuses without a body (1xx, 204, 304) pass.
bool AnswerComplete(const AnswerHead& head, std::uint64_t body_bytes);

}  // namespace hm
