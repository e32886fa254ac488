// Identity-card screens are expensive to draw; a tick whose inputs equal the last tick's is
// skipped before drawing.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace hm {

struct StateSignatureInputs {
    int capture_request_id = 0;
    int scroll_x = 0;
    int scroll_y = 0;
    int selection_start = 0;
    int selection_end = 0;
    int cursor_x = 0;
    int cursor_y = 0;
    std::array<bool, 5> layout_flags{};
    std::u16string_view input_text;
    int document_length = 0;
};

// Decimal values joined by ':'; the cursor column (CursorX / 100) counts only when the cursor
// is in the top or bottom band (CursorY > 699 or < 80), else -1; the input text enters as the
// FNV-1a 32 hash of its UTF-16 little-endian bytes.
std::string StateSignature(const StateSignatureInputs& in);

// The stored signature of the UI thread.
class SignatureGate {
public:
    // True when `signature` equals the stored one (skip the tick); otherwise stores it.
    bool Unchanged(const std::string& signature);
    void Clear() { stored_.clear(); has_ = false; }

private:
    std::string stored_;
    bool has_ = false;
};

}  // namespace hm
