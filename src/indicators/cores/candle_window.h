// The last n validated candles, with the highest high and lowest low found by
// a scan: the body MidPrice, WilliamsR and Donchian share (same constructor
// checks, same window). Single-threaded use.
#pragma once

#include <cstdint>
#include <limits>

#include "indicators/cores/ring.h"
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

  void push(const Candle& c) { ring_.push(c); }
  bool full() const { return ring_.full(); }
  std::size_t size() const { return ring_.size(); }
  std::size_t period() const { return ring_.capacity(); }
  // i = 0 is the oldest held candle.
  const Candle& operator[](std::size_t i) const { return ring_[i]; }
  const Candle& newest() const { return ring_.newest(); }

  double highest_high() const {
    double h = -std::numeric_limits<double>::infinity();
    const auto [a, b] = ring_.runs();
    for (const Candle& c : a) h = c.high > h ? c.high : h;
    for (const Candle& c : b) h = c.high > h ? c.high : h;
    return h;
  }
  double lowest_low() const {
    double l = std::numeric_limits<double>::infinity();
    const auto [a, b] = ring_.runs();
    for (const Candle& c : a) l = c.low < l ? c.low : l;
    for (const Candle& c : b) l = c.low < l ? c.low : l;
    return l;
  }

 private:
  explicit CandleWindow(std::size_t period) : ring_(period) {}

  Ring<Candle> ring_;
};

}  // namespace vsci
