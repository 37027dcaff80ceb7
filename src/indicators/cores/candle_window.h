// The highest high and lowest low of the last n validated candles: the body
// MidPrice, WilliamsR and Donchian share (same constructor checks, same
// window). The extremes are those of a scan from -inf and +inf that keeps the
// first of equal values, found without scanning. Single-threaded use.
#pragma once

#include <cstdint>

#include "indicators/cores/monotone_extreme.h"
#include "indicators/cores/window_checks.h"
#include "market/bar_context.h"
#include "util/expected.h"
#include "util/math_constants.h"

namespace vsci {

class CandleWindow {
 public:
  static Expected<CandleWindow, IndicatorError> create(std::uint64_t period) {
    if (auto e = check_period(period)) return unexpected(*e);
    return CandleWindow(static_cast<std::size_t>(period));
  }

  void push(const Candle& c) { range_.push(c.high, c.low); }
  bool full() const { return range_.full(); }
  std::size_t period() const { return range_.window(); }

  struct Extremes {
    double highest_high;
    double lowest_low;
  };
  Extremes extremes() const {
    const auto [high, low] = range_.fold_from(-kInf, kInf);
    return Extremes{high, low};
  }

 private:
  explicit CandleWindow(std::size_t period) : range_(period) {}

  OldestRange range_;
};

}  // namespace vsci
