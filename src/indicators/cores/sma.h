// Sma: the simple-moving-average core and kind. Its running sum is re-summed
// exactly every 16 * period accepted inputs so that long series keep no drift.
// Embedded by many kinds; single-threaded use.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "indicators/cores/growing_storage.h"
#include "indicators/cores/window_checks.h"
#include "util/expected.h"

namespace vsci {

class Sma {
 public:
  static Expected<Sma, IndicatorError> create(std::uint64_t period) {
    if (auto e = check_period(period)) return unexpected(*e);
    return Sma(static_cast<std::size_t>(period));
  }

  std::optional<double> update_value(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    if (count_ < period_) {
      fill(x);
    } else {
      const double old = ring_[head_];
      sum_ = x + (sum_ - old);
      ring_[head_] = x;
    }
    if (++head_ == period_) head_ = 0;
    if (++since_resum_ >= resum_interval_) resum();
    if (count_ == period_) return sum_ / static_cast<double>(period_);
    return std::nullopt;
  }

  std::uint64_t warmup() const { return period_; }
  std::size_t period() const { return period_; }

 private:
  explicit Sma(std::size_t period) : period_(period), resum_interval_(16 * std::uint64_t{period}) {
    reserve_initial(ring_, period);
  }

  // The filling and re-summing steps stay out of line so that the per-input
  // step inlines into its callers.
  [[gnu::noinline]] void fill(double x) {
    append_within(ring_, x, period_);  // head_ == count_ is the end
    sum_ = x + sum_;
    ++count_;
  }

  // The ring is full here (16 * period inputs have been taken), oldest value
  // at head_.
  [[gnu::noinline]] void resum() {
    double s = -0.0;
    for (std::size_t i = head_; i < period_; ++i) s += ring_[i];
    for (std::size_t i = 0; i < head_; ++i) s += ring_[i];
    sum_ = s;
    since_resum_ = 0;
  }

  std::vector<double> ring_;  // by slot; grows to period_ while filling
  std::size_t period_ = 1;
  std::size_t head_ = 0;
  std::size_t count_ = 0;
  double sum_ = 0.0;
  std::uint64_t resum_interval_ = 16;
  std::uint64_t since_resum_ = 0;
};

}  // namespace vsci
