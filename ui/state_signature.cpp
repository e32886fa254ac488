#include "ui/state_signature.h"

#include "base/fnv1a.h"

namespace hm {

std::string StateSignature(const StateSignatureInputs& in) {
    std::uint32_t hash = kFnv1aOffset;
    for (char16_t unit : in.input_text) {
        const unsigned char bytes[2] = {static_cast<unsigned char>(unit & 0xFF), static_cast<unsigned char>(unit >> 8)};
        hash = Fnv1a32Bytes(bytes, 2, hash);
    }
    const int cursor_column = (in.cursor_y > 699 || in.cursor_y < 80) ? in.cursor_x / 100 : -1;
    std::string s;
    s.reserve(96);
    auto add = [&s](long long v) {
        if (!s.empty()) s += ':';
        s += std::to_string(v);
    };
    add(in.capture_request_id);
    add(in.scroll_x);
    add(in.scroll_y);
    add(in.selection_start);
    add(in.selection_end);
    add(cursor_column);
    for (bool f : in.layout_flags) add(f ? 1 : 0);
    add(hash);
    add(in.document_length);
    return s;
}

bool SignatureGate::Unchanged(const std::string& signature) {
    if (has_ && signature == stored_) return true;
    stored_ = signature;
    has_ = true;
    return false;
}

}  // namespace hm
