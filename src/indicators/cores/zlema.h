// Zlema: the zero-lag exponential average. Each input is de-lagged against the
// input `lag` = (period - 1) / 2 places back (2x - old, one fused step) and the
// result feeds an Ema stage of `period`; first value on input lag + period.
// The Zlema kind and the zero-lag MACD units use it directly; single-threaded use.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#include "indicators/cores/ema.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/window_checks.h"
#include "util/expected.h"

namespace vsci {

class Zlema {
 public:
  static Expected<Zlema, IndicatorError> create(std::uint64_t period) {
    if (auto e = check_period(period)) return unexpected(*e);
    return Zlema(period, Ema::create(period).value());
  }

  // A NaN or infinite x gives no value and changes nothing.
  std::optional<double> update_value(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    window_.push(x);
    if (!window_.full()) return std::nullopt;
    const double d = std::fma(x, 2.0, -window_.oldest());
    return ema_.update_value(d);  // the stage refuses a non-finite d untouched
  }

  std::uint64_t warmup() const { return lag_ + ema_.period(); }

 private:
  Zlema(std::uint64_t period, Ema ema)
      : lag_((period - 1) / 2), window_(static_cast<std::size_t>(lag_ + 1)), ema_(std::move(ema)) {}

  std::uint64_t lag_ = 0;
  Ring<double> window_;  // the last lag + 1 inputs
  Ema ema_;
};

}  // namespace vsci
