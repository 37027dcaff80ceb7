// Positive infinity under one name for the core and its tests: a shared
// constant is defined here once rather than by each file that needs it.
#pragma once

#include <limits>

namespace vsci {

inline constexpr double kInf = std::numeric_limits<double>::infinity();

}  // namespace vsci
