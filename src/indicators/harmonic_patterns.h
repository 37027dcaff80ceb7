// Harmonic and leg patterns on swings: eight parameterless candle kinds that
// test the ratios between consecutive legs of the newest confirmed pivots,
// giving +1 when the pattern completes at a swing low, -1 at a swing high and
// 0 otherwise, on the bar that confirms the last pivot. Single-threaded use.
#pragma once

#include <span>

#include "indicators/cores/swing_tracker.h"

namespace vsci {

// Each test reads the kept pivots, oldest first, and gives the signal.
double gartley(std::span<const SwingPivot> p);
double bat(std::span<const SwingPivot> p);
double butterfly(std::span<const SwingPivot> p);
double crab(std::span<const SwingPivot> p);
double shark(std::span<const SwingPivot> p);
double extended_leg_harmonic(std::span<const SwingPivot> p);
double equal_legs_pattern(std::span<const SwingPivot> p);
double three_drives(std::span<const SwingPivot> p);

using Gartley = SwingPattern<5, &gartley>;
using Bat = SwingPattern<5, &bat>;
using Butterfly = SwingPattern<5, &butterfly>;
using Crab = SwingPattern<5, &crab>;
using Shark = SwingPattern<5, &shark>;
using ExtendedLegHarmonic = SwingPattern<5, &extended_leg_harmonic>;
using EqualLegsPattern = SwingPattern<4, &equal_legs_pattern>;
using ThreeDrives = SwingPattern<7, &three_drives>;

}  // namespace vsci
