// ExpSmoother: the exponential smoother of the volume kinds, seeded by the
// plain mean of its first `seed_length` inputs (summed from -0.0) and then
// stepped as alpha * x + (1 - alpha) * value with both products rounded before
// the add (no fused step, unlike the Ema stage). Single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

namespace vsci {

class ExpSmoother {
 public:
  ExpSmoother() = default;
  ExpSmoother(double alpha, std::uint64_t seed_length) : ExpSmoother(alpha, 1.0 - alpha, seed_length) {}
  // An owner that fixes 1 - alpha itself passes it alongside alpha.
  ExpSmoother(double alpha, double one_minus_alpha, std::uint64_t seed_length)
      : alpha_(alpha), keep_(one_minus_alpha), seed_length_(seed_length) {}
  // Length p: alpha = 2 / (p + 1), seeded by the mean of the first p inputs.
  static ExpSmoother of_length(std::uint64_t p) { return {2.0 / (static_cast<double>(p) + 1.0), p}; }

  // Callers feed finite values only. No value before the seed is complete.
  std::optional<double> update_value(double x) {
    if (seeded_) {
      value_ = alpha_ * x + keep_ * value_;
      return value_;
    }
    seed_sum_ = seed_sum_ + x;
    if (++seed_count_ < seed_length_) return std::nullopt;
    value_ = seed_sum_ / static_cast<double>(seed_length_);
    seeded_ = true;
    return value_;
  }

 private:
  double alpha_ = 1.0;
  double keep_ = 0.0;
  std::uint64_t seed_length_ = 1;
  double value_ = 0.0;
  double seed_sum_ = -0.0;
  std::uint64_t seed_count_ = 0;
  bool seeded_ = false;
};

}  // namespace vsci
