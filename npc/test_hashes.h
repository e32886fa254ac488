// Clip hashes for the NPC tests and benchmarks: n as 64 lower-case hex digits, so that text
// order is number order.
#pragma once

#include <cstdio>
#include <string>

namespace hm::test {

inline std::string NpcHash(unsigned n) {
    char buf[65];
    std::snprintf(buf, sizeof buf, "%064x", n);
    return buf;
}

}  // namespace hm::test
