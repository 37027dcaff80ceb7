// Chart patterns on swings: eight parameterless candle kinds that test the
// newest confirmed pivots of their SwingTracker for double and triple tops,
// head and shoulders, triangles, wedges, flags, ranges and twin rims, giving
// +1 (bullish), -1 (bearish) or 0 on the bar that confirms the last pivot.
// Single-threaded use.
#pragma once

#include <span>

#include "indicators/cores/swing_tracker.h"

namespace vsci {

// Each test reads the kept pivots, oldest first, and gives the signal.
double double_top_bottom(std::span<const SwingPivot> p);
double triple_top_bottom(std::span<const SwingPivot> p);
double head_and_shoulders(std::span<const SwingPivot> p);
double triangle(std::span<const SwingPivot> p);
double wedge(std::span<const SwingPivot> p);
double flag_pennant(std::span<const SwingPivot> p);
double rectangle_range(std::span<const SwingPivot> p);
double twin_rim_pullback(std::span<const SwingPivot> p);

using DoubleTopBottom = SwingPattern<3, &double_top_bottom>;
using FlagPennant = SwingPattern<3, &flag_pennant>;
using Triangle = SwingPattern<4, &triangle>;
using Wedge = SwingPattern<4, &wedge>;
using RectangleRange = SwingPattern<4, &rectangle_range>;
using TwinRimPullback = SwingPattern<4, &twin_rim_pullback>;
using TripleTopBottom = SwingPattern<5, &triple_top_bottom>;
using HeadAndShoulders = SwingPattern<5, &head_and_shoulders>;

}  // namespace vsci
