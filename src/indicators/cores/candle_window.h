// The highest high and lowest low of the last n validated candles: the body
// MidPrice, WilliamsR and Donchian share (same constructor checks, same
// window). The extremes are those of a scan from -inf and +inf that keeps the
// first of equal values, found without scanning. Single-threaded use.
#pragma once

#include <cstdint>
#include <limits>

#include "indicators/cores/monotone_extreme.h"
#include "indicators/cores/window_checks.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

class CandleWindow {
 public:
  static Expected<CandleWindow, IndicatorError> create(std::uint64_t period) {
    if (auto e = check_period(period)) return unexpected(*e);
    return CandleWindow(static_cast<std::size_t>(period));
  }

  void push(const Candle& c) {
    highs_.push(c.high);
    lows_.push(c.low);
  }
  bool full() const { return highs_.full(); }
  std::size_t period() const { return highs_.window(); }

  double highest_high() const { return highs_.fold_from(-std::numeric_limits<double>::infinity()); }
  double lowest_low() const { return lows_.fold_from(std::numeric_limits<double>::infinity()); }

 private:
  explicit CandleWindow(std::size_t period) : highs_(period), lows_(period) {}

  OldestLargest highs_;
  OldestSmallest lows_;
};

}  // namespace vsci
