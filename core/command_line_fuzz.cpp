// libFuzzer target over the game's command-line walk (start-up gate and player identity); the
// input is UTF-16LE arguments separated by zero units.
//   cmake -B build/fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DHM_FUZZ=ON && cmake --build build/fuzz --target command_line_fuzz
//   build/fuzz/bin/command_line_fuzz -max_total_time=60
#include <cstddef>
#include <cstdint>

#include "core/identity.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return hm::FuzzCommandLineWalk(data, size);
}
