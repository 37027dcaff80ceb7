// Rolling statistics of the close series: spread, position within the window,
// shape, order statistics and irregularity over the last `period` closes, all
// population statistics. ShiftedMoments is the running-moment window that the
// spread and shape kinds (and the Sharpe-style ratios) share. Every kind
// rejects a non-finite input itself, so any of them can be embedded directly.
// Single-threaded use.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "indicators/cores/bollinger_core.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/sorted_window.h"
#include "indicators/indicator_error.h"
#include "util/expected.h"

namespace vsci {

// Running sums of the powers of (value - shift) over a window of `period`
// values. The shift is re-centred on the window mean every `period` accepted
// values, which bounds the drift of the running sums. Order 2 keeps the first
// two powers, order 4 all four.
template <int Order>
class ShiftedMoments {
  static_assert(Order == 2 || Order == 4);

 public:
  explicit ShiftedMoments(std::size_t period) : window_(period) {}

  // Takes a finite x; true once the window holds `period` values.
  bool push(double x) {
    if (window_.full()) {
      const double d = window_.oldest() - shift_;
      sum_d_ -= d;
      sum_d2_ -= d * d;
      if constexpr (Order == 4) {
        const double d2 = d * d;
        sum_d3_ -= d * d2;
        sum_d4_ -= d2 * d2;
      }
    }
    window_.push(x);
    if (!shift_set_) {
      shift_ = x;
      shift_set_ = true;
    }
    const double d = x - shift_;
    sum_d_ = sum_d_ + d;
    sum_d2_ = d * d + sum_d2_;
    if constexpr (Order == 4) {
      const double d2 = d * d;
      sum_d3_ += d * d2;
      sum_d4_ += d2 * d2;
    }
    if (++since_recompute_ >= window_.capacity()) recentre();
    return window_.full();
  }

  double n() const { return static_cast<double>(window_.capacity()); }
  double shift() const { return shift_; }
  double sum_d() const { return sum_d_; }
  double sum_d2() const { return sum_d2_; }
  double sum_d3() const { return sum_d3_; }
  double sum_d4() const { return sum_d4_; }
  // sum_d / n: the window mean is shift() + m1().
  double m1() const { return sum_d_ / n(); }
  // Population variance of a full window; negative or -0.0 residue, and the NaN
  // that inf - inf gives on huge inputs, become +0.0.
  double variance() const {
    const double m1 = sum_d_ / n();
    const double var = sum_d2_ / n() - m1 * m1;
    return var > 0.0 ? var : 0.0;
  }
  std::size_t period() const { return window_.capacity(); }

 private:
  void recentre() {
    since_recompute_ = 0;
    const std::size_t count = window_.size();
    double s = 0.0;
    for (std::size_t i = 0; i < count; ++i) s += window_[i];
    const double mean = s / static_cast<double>(count);
    double s1 = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
      const double d = window_[i] - mean;
      const double d2 = d * d;
      s1 += d;
      s2 += d2;
      if constexpr (Order == 4) {
        s3 += d * d2;
        s4 += d2 * d2;
      }
    }
    shift_ = mean;
    sum_d_ = s1;
    sum_d2_ = s2;
    sum_d3_ = s3;
    sum_d4_ = s4;
  }

  Ring<double> window_;
  double shift_ = 0.0;
  bool shift_set_ = false;
  double sum_d_ = 0.0;
  double sum_d2_ = 0.0;
  double sum_d3_ = 0.0;
  double sum_d4_ = 0.0;
  std::size_t since_recompute_ = 0;
};

// Population standard deviation of the last `period` values.
class StdDev {
 public:
  static Expected<StdDev, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  explicit StdDev(std::size_t period) : moments_(period) {}
  ShiftedMoments<2> moments_;
};

class Variance {
 public:
  static Expected<Variance, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  explicit Variance(std::size_t period) : moments_(period) {}
  ShiftedMoments<2> moments_;
};

// Distance of the newest value from the window mean, in deviations.
class ZScore {
 public:
  static Expected<ZScore, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  explicit ZScore(std::size_t period) : moments_(period) {}
  ShiftedMoments<2> moments_;
};

// Deviation over mean (signed, not in percent).
class CoefficientOfVariation {
 public:
  static Expected<CoefficientOfVariation, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  explicit CoefficientOfVariation(std::size_t period) : moments_(period) {}
  ShiftedMoments<2> moments_;
};

}  // namespace vsci
