// Catch at the edge: every entry point the game or Windows calls (hooks, window procedures,
// thread bodies, the library entry, exports) runs its body through one of these. With mingw's
// table-based unwinding an exception that reaches the game's or Windows' frames ends the game, so
// nothing may pass; what the body could not report itself is counted for support.
#pragma once

#include <atomic>
#include <type_traits>
#include <utility>

#include "base/plugin.h"

namespace hm {

// Runs `body`; when it throws, runs `fallback` (which should not throw, and is guarded too) and
// returns its value. Both are called at most once.
template <typename Body, typename Fallback>
auto AtTheEdgeOr(Body&& body, Fallback&& fallback) noexcept -> decltype(fallback()) {
    try {
        return body();
    } catch (...) {
        Plugin().edge_failures.fetch_add(1, std::memory_order_relaxed);
    }
    try {
        return fallback();
    } catch (...) {
        Plugin().edge_failures.fetch_add(1, std::memory_order_relaxed);
    }
    using Result = decltype(fallback());
    if constexpr (!std::is_void_v<Result>) return Result{};
}

// Runs `body`; when it throws, returns `fallback`.
template <typename R, typename Body>
R AtTheEdge(R fallback, Body&& body) noexcept {
    return AtTheEdgeOr(std::forward<Body>(body), [&fallback] { return fallback; });
}

// Runs `body` for its effects only.
template <typename Body>
void AtTheEdge(Body&& body) noexcept {
    AtTheEdgeOr(std::forward<Body>(body), [] {});
}

}  // namespace hm
