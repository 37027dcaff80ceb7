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

  std::optional<double> update_value(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    return smoother_.update_value(x);
  }

  std::uint64_t period() const { return period_; }

 private:
  ExpSmoother smoother_;
  std::uint64_t period_;
};

}  // namespace vsci
