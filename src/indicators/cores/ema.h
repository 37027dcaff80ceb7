// Ema: the exponential-moving-average stage, seeded by the plain mean of its
// first `period` inputs (summed from -0.0); afterwards one fused multiply-add
// per input. Embedded by many kinds; single-threaded use.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#include "indicators/cores/window_checks.h"
#include "util/expected.h"

namespace vsci {

class Ema {
 public:
  static Expected<Ema, IndicatorError> create(std::uint64_t period) {
    if (auto e = check_period(period)) return unexpected(*e);
    return Ema(period);
  }
  // Unchecked: 1 <= period <= MAX_PERIOD, which the owner has checked.
  static Ema of_length(std::uint64_t period) { return Ema(period); }

  std::optional<double> update_value(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    if (seeded_) {
      value_ = std::fma(alpha_, x, one_minus_alpha_ * value_);
      return value_;
    }
    seed_sum_ = x + seed_sum_;
    if (++seed_count_ == period_) {
      value_ = seed_sum_ / static_cast<double>(seed_count_);
      seeded_ = true;
      return value_;
    }
    return std::nullopt;
  }

  std::uint64_t warmup() const { return period_; }
  std::uint64_t period() const { return period_; }

 private:
  explicit Ema(std::uint64_t period)
      : period_(period), alpha_(2.0 / (static_cast<double>(period) + 1.0)), one_minus_alpha_(1.0 - alpha_) {}

  std::uint64_t period_ = 1;
  double alpha_ = 1.0;
  double one_minus_alpha_ = 0.0;
  double value_ = 0.0;
  double seed_sum_ = -0.0;
  std::uint64_t seed_count_ = 0;
  bool seeded_ = false;
};

}  // namespace vsci
