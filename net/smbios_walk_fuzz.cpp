// libFuzzer target over the SMBIOS walk of the hardware fingerprint.
//   cmake -B build/fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DHM_FUZZ=ON && cmake --build build/fuzz --target smbios_walk_fuzz
//   build/fuzz/bin/smbios_walk_fuzz -max_total_time=60
#include <cstddef>
#include <cstdint>

#include "net/hardware_id.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { return hm::FuzzSmbiosWalk(data, size); }
