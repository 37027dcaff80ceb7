// MeanSeededSmoother: the candle kinds' exponential smoother. Nothing until
// `period` inputs were taken, then their plain mean (summed from -0.0); after
// that alpha * x + (1 - alpha) * value with both products rounded, unlike the
// fused Ema stage. Embedded by candle kinds; single-threaded use.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

namespace vsci {

class MeanSeededSmoother {
 public:
  // period >= 1; the owner has checked it.
  explicit MeanSeededSmoother(std::uint64_t period)
      : period_(period), alpha_(2.0 / (static_cast<double>(period) + 1.0)), one_minus_alpha_(1.0 - alpha_) {}

  // A non-finite x is not taken: no value, state unchanged.
  std::optional<double> update_value(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    if (seeded_) {
      value_ = alpha_ * x + one_minus_alpha_ * value_;
      return value_;
    }
    seed_sum_ = seed_sum_ + x;
    if (++seed_count_ < period_) return std::nullopt;
    value_ = seed_sum_ / static_cast<double>(period_);
    seeded_ = true;
    return value_;
  }

  std::uint64_t period() const { return period_; }

 private:
  std::uint64_t period_;
  double alpha_;
  double one_minus_alpha_;
  double value_ = 0.0;
  double seed_sum_ = -0.0;
  std::uint64_t seed_count_ = 0;
  bool seeded_ = false;
};

}  // namespace vsci
