// libFuzzer target over every API answer parser: only std::runtime_error may come out.
//   cmake -B build/fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DHM_FUZZ=ON && cmake --build build/fuzz --target api_formats_fuzz
//   build/fuzz/bin/api_formats_fuzz -max_total_time=60
#include <cstddef>
#include <cstdint>

#include "net/api_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    hm::FuzzApiFormats(data, size);
    return 0;
}
