#pragma once
// What the game thread is drawing right now, beyond the texture bound: 0 normally, 65542 while
// the game processes a ladder piece (the vehicle hooks set it around the game's object routine
// and restore it afterwards, nesting included). The draw hooks read it on the same thread, so a
// piece being processed never affects another thread's draws.
#include <cstdint>

namespace hm {

inline constexpr std::uint32_t kLadderPieceDrawingClass = 65542;

// Per thread; one definition for the whole plugin.
inline thread_local std::uint32_t DrawingClass = 0;

// Sets the drawing class for one scope and gives the previous one back when it ends.
class ScopedDrawingClass {
public:
    explicit ScopedDrawingClass(std::uint32_t value) : previous_(DrawingClass) { DrawingClass = value; }
    ~ScopedDrawingClass() { DrawingClass = previous_; }
    ScopedDrawingClass(const ScopedDrawingClass&) = delete;
    ScopedDrawingClass& operator=(const ScopedDrawingClass&) = delete;

private:
    std::uint32_t previous_;
};

}  // namespace hm
