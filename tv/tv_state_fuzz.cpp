// libFuzzer entry: /tv/state bodies. The first byte picks the status.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tv/tv_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int status = data[0] == 0 ? 204 : 200;
    const int id = hm::ParseTvState(status, std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    if (id < 0 || id > hm::kMaxTvScreenId) __builtin_trap();
    return 0;
}
