// Time in the plugin: 64-bit millisecond ticks (GetTickCount64 on Windows). A deadline is due
// when now >= deadline, so a deadline of 0 is due at once.
#pragma once

#include <cstdint>
#include <functional>

namespace hm {

using Tick = std::uint64_t;

constexpr bool IsDue(Tick now, Tick deadline) { return now >= deadline; }

// Source of the current tick; portable code takes one so tests can drive time.
using TickSource = std::function<Tick()>;

}  // namespace hm
