// What every consumer of market data shares: the zero threshold, the
// overflow-safe midpoint and the six ordered candle checks. Pure functions of
// their arguments; callable from any thread.
#pragma once

#include <cmath>
#include <string_view>

#include "market/bar_context.h"

namespace vsci {

// The threshold under which a quantity, divisor or deviation counts as zero (2^-52).
inline constexpr double EPS = 2.220446049250313e-16;

// (a + b) * 0.5, or a * 0.5 + b * 0.5 when either magnitude exceeds half the
// largest double, so that finite prices never overflow.
inline double safe_midpoint(double a, double b) {
  constexpr double kHalfMax = 8.988465674311579e307;
  if (std::fabs(a) <= kHalfMax && std::fabs(b) <= kHalfMax) return (a + b) * 0.5;
  return a * 0.5 + b * 0.5;
}

// The first of the six candle checks that fails, as its message; empty when
// the candle is valid. Never reads `time`. Only the failing path touches text.
inline std::string_view candle_fault(const Candle& c) {
  if (!std::isfinite(c.open) || !std::isfinite(c.high) || !std::isfinite(c.low) || !std::isfinite(c.close)) {
    return "open, high, low, close must all be finite";
  }
  if (!std::isfinite(c.volume)) return "volume must be finite";
  if (c.volume < 0.0) return "volume must be non-negative";  // -0.0 passes
  if (c.high < c.low) return "high must be >= low";
  if (c.high < c.open || c.high < c.close) return "high must be >= open and >= close";
  if (c.low > c.open || c.low > c.close) return "low must be <= open and <= close";
  return {};
}

}  // namespace vsci
