// MeanSeededSmoother: the candle kinds' exponential smoother of length p, the
// ExpSmoother stepped without a fused multiply-add, which in addition refuses
// a non-finite input (no value, state unchanged). Embedded by candle kinds;
// single-threaded use.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#include "indicators/cores/exp_smoother.h"

namespace vsci {

class MeanSeededSmoother {
 public:
  // period >= 1; the owner has checked it.
  explicit MeanSeededSmoother(std::uint64_t period) : smoother_(ExpSmoother::of_length(period)), period_(period) {}
  static MeanSeededSmoother of_length(std::uint64_t period) { return MeanSeededSmoother(period); }
  // Seeded over `period` inputs, then stepped with an alpha its owner fixes
  // instead of 2 / (period + 1).
  static MeanSeededSmoother with_alpha(std::uint64_t period, double alpha, double one_minus_alpha) {
    return MeanSeededSmoother(ExpSmoother(alpha, one_minus_alpha, period), period);
  }

  std::optional<double> update_value(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    return smoother_.update_value(x);
  }

  std::uint64_t period() const { return period_; }

 private:
  MeanSeededSmoother(ExpSmoother smoother, std::uint64_t period) : smoother_(smoother), period_(period) {}

  ExpSmoother smoother_;
  std::uint64_t period_;
};

}  // namespace vsci
