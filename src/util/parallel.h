// Long inputs cut into pieces that run on the worker pool. A piece writes only
// its own outputs, so what comes out is the same whatever the number of
// threads; short inputs stay on the calling thread and pay nothing. Every
// function here may be called from any thread.
#pragma once

#include <cstddef>
#include <functional>

namespace vsci {

// Below this many items (candles, points) a stage is not worth cutting up.
inline constexpr std::size_t kParallelMinItems = 20'000;

// Whether cutting a long input into pieces can pay: the pool has more than
// one thread and the caller is not running a parallel task already (a suite
// runs its tests side by side as such tasks, which keeps every thread busy).
// Pieces cost extra passes and copies, so one thread is better off without.
bool pieces_pay_off();

// The number of threads that may run pieces at once (the pool's size).
std::size_t pool_threads();

// Calls work(k) once for every k in [0, pieces), on the worker pool when there
// is more than one piece, and returns when all have returned. The pieces see
// the caller's stop flag: once the command is asked to stop, no further piece
// starts and Interrupted reaches the caller. Called on the command's own
// thread, it looks for a signal as a long walk over text does.
void for_each_piece(std::size_t pieces, const std::function<void(std::size_t)>& work);

// Maps the pages of [begin, begin + bytes) in pieces on the worker pool, as
// if written, without changing a byte: a large buffer about to be filled on one
// thread then takes no page faults there. Does nothing where the system
// cannot do it, or when pieces do not pay.
void touch_pages(void* begin, std::size_t bytes);

}  // namespace vsci
