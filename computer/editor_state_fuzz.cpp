// libFuzzer target over the /editor/state parser and the clock line: only std::runtime_error may
// come out, and a parsed state holds no more than its limits allow.
//   cmake -B build/fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DHM_FUZZ=ON && cmake --build build/fuzz --target editor_state_fuzz
//   build/fuzz/bin/editor_state_fuzz computer/fuzz_corpus/editor_state_fuzz -max_total_time=60
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

#include "computer/editor_state.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    if (const auto minutes = hm::ParseClockLine(body)) {
        if (*minutes < 0 || *minutes > 1439) std::abort();
    }
    try {
        const hm::EditorState s = hm::ParseEditorState(body);
        if (s.request_id < 0) std::abort();
        if (int(s.items.size()) > hm::MaxItemsForKind(s.kind)) std::abort();
        if (s.signatures.size() > std::size_t(hm::kMaxSignatures)) std::abort();
        if (s.electronic_signatures.size() > std::size_t(hm::kMaxElectronicSignatures)) std::abort();
        (void)hm::IsLoginScreen(s);
    } catch (const std::runtime_error&) {
    }
    return 0;
}
