// Wma: the linearly weighted moving average (weight 1 for the oldest value up
// to `period` for the newest), kept with running weighted and plain sums that
// are re-summed exactly every 16 full passes of the ring. Single-threaded use.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "indicators/cores/growing_storage.h"
#include "indicators/cores/window_checks.h"
#include "util/expected.h"

namespace vsci {

class Wma {
 public:
  static Expected<Wma, IndicatorError> create(std::uint64_t period) {
    if (auto e = check_period(period)) return unexpected(*e);
    return Wma(static_cast<std::size_t>(period));
  }

  std::optional<double> update_value(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    if (count_ < period_) {
      if (!fill(x)) return std::nullopt;
    } else {
      const double old = ring_[head_];
      ring_[head_] = x;
      weighted_sum_ = (weighted_sum_ - plain_sum_) + x * static_cast<double>(period_);
      plain_sum_ = x + (plain_sum_ - old);
      if (++head_ == period_) {
        head_ = 0;
        if (++cycles_ == 16) resum();
      }
    }
    return weighted_sum_ / denominator_;
  }

  std::uint64_t warmup() const { return period_; }

 private:
  explicit Wma(std::size_t period)
      : period_(period), denominator_((static_cast<double>(period) + 1.0) * static_cast<double>(period) * 0.5) {
    reserve_initial(ring_, period);
  }

  // The filling steps and the exact re-summation stay out of line so that the
  // per-input step inlines into its callers.
  // True once the ring is full (and the weighted sum computed).
  [[gnu::noinline]] bool fill(double x) {
    append_within(ring_, x, period_);  // head_ == count_ is the end
    plain_sum_ += x;
    if (++head_ == period_) head_ = 0;
    if (++count_ < period_) return false;
    // Filled: the oldest value sits at head_ (which wrapped to 0).
    double w = -0.0;
    for (std::size_t i = 0; i < period_; ++i) w += (static_cast<double>(i) + 1.0) * ring_[i];
    weighted_sum_ = w;
    return true;
  }

  // Slot 0 holds the oldest value whenever this runs.
  [[gnu::noinline]] void resum() {
    double p = -0.0;
    double w = -0.0;
    for (std::size_t i = 0; i < period_; ++i) {
      p += ring_[i];
      w += (static_cast<double>(i) + 1.0) * ring_[i];
    }
    plain_sum_ = p;
    weighted_sum_ = w;
    cycles_ = 0;
  }

  std::vector<double> ring_;  // by slot; grows to period_ while filling
  std::size_t period_ = 1;
  std::size_t head_ = 0;
  std::size_t count_ = 0;
  double weighted_sum_ = 0.0;
  double plain_sum_ = 0.0;
  double denominator_ = 1.0;
  std::uint32_t cycles_ = 0;
};

}  // namespace vsci
