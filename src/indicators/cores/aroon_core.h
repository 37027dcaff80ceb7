// AroonCore: where in the last n + 1 validated candles the highest high and
// the lowest low were made, as 0 (oldest) to 100 (current bar). Shared by
// AroonOscillator and the multi-output Aroon kind. Single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/monotone_extreme.h"
#include "indicators/cores/window_checks.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

struct AroonLines {
  double up = 0.0;
  double down = 0.0;
};

class AroonCore {
 public:
  // Zero check, then the MAX_PERIOD bound.
  static Expected<AroonCore, IndicatorError> create(std::uint64_t period) {
    if (auto e = check_period(period)) return unexpected(*e);
    return AroonCore(static_cast<std::size_t>(period));
  }

  // Takes a validated candle; the two lines once n + 1 candles are held.
  std::optional<AroonLines> update_value(const Candle& c) {
    window_.push(c.high, c.low);
    if (!window_.full()) return std::nullopt;
    // Ties go to the newer bar: a high repeated today counts as made today.
    const auto ages = window_.ages();
    const double n = static_cast<double>(period_);
    const auto line = [&](std::size_t age) { return static_cast<double>(period_ - age) * 100.0 / n; };
    return AroonLines{line(ages.largest), line(ages.smallest)};
  }

  std::uint64_t warmup() const { return period_ + 1; }

 private:
  explicit AroonCore(std::size_t period) : window_(period + 1), period_(period) {}

  NewestRange window_;
  std::size_t period_;
};

}  // namespace vsci
