// Long inputs cut into pieces that run on the worker pool. A piece writes only
// its own outputs, so what comes out is the same whatever the number of
// threads; short inputs stay on the calling thread and pay nothing.
#pragma once

#include <cstddef>
#include <functional>

namespace vsci {

// Below this many items (candles, points) a stage is not worth cutting up.
inline constexpr std::size_t kParallelMinItems = 20'000;

// Calls work(k) once for every k in [0, pieces), on the worker pool when there
// is more than one piece, and returns when all have returned.
void for_each_piece(std::size_t pieces, const std::function<void(std::size_t)>& work);

}  // namespace vsci
