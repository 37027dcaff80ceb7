// The numeric constants several files of the core (and its tests) use, each
// defined here once: infinity, pi, a full turn and degrees per radian.
#pragma once

#include <limits>

namespace vsci {

inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kDegreesPerRadian = 57.29577951308232;

}  // namespace vsci
