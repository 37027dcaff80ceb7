// Averages of the close whose smoothing adapts to the data (efficiency,
// momentum, fractal dimension, volatility rank) and recursive smoothers with
// fixed coefficients. Each kind is fed finite closes only (see KindIndicator).
// Single-threaded use.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "indicators/cores/cmo_core.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/rolling_extremes.h"
#include "util/expected.h"

namespace vsci {

// Kaufman's efficiency-ratio average over n + 1 closes.
class Kama {
 public:
  static Expected<Kama, IndicatorError> create(std::uint64_t n, std::uint64_t fast, std::uint64_t slow);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return closes_.capacity(); }

 private:
  Kama(std::uint64_t n, double fast_constant, double slow_constant);
  Ring<double> closes_;
  double fast_constant_;
  double slow_constant_;
  std::optional<double> value_;
};

// An exponential average whose factor is scaled by the absolute Chande
// momentum of the last m moves.
class Vidya {
 public:
  static Expected<Vidya, IndicatorError> create(std::uint64_t n, std::uint64_t m);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return cmo_.warmup(); }

 private:
  Vidya(double alpha, CmoCore cmo) : alpha_(alpha), cmo_(std::move(cmo)) {}
  double alpha_;
  CmoCore cmo_;
  std::optional<double> value_;
};

// A three-stage jitter-reducing smoother: an adaptive average, a detrended
// correction with a phase ratio, and a smoothed step towards both.
class Jma {
 public:
  static Expected<Jma, IndicatorError> create(std::uint64_t n, double phase, std::uint32_t power);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 1; }

 private:
  Jma(double alpha, double beta, double phase_ratio) : alpha_(alpha), beta_(beta), phase_ratio_(phase_ratio) {}
  double alpha_;
  double beta_;
  double phase_ratio_;
  double e0_ = 0.0;
  double det0_ = 0.0;
  double det1_ = 0.0;
  std::optional<double> value_;
};

// McGinley's dynamic: seeded by the mean of the first n closes, then a step
// towards the close damped by the fourth power of close / value.
class McGinleyDynamic {
 public:
  static Expected<McGinleyDynamic, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return n_; }

 private:
  explicit McGinleyDynamic(std::uint64_t n) : n_(n) {}
  std::uint64_t n_;
  std::uint64_t seeded_count_ = 0;
  double seed_sum_ = 0.0;
  std::optional<double> value_;
};

// Ehlers' fractal adaptive average: the factor follows the fractal dimension
// estimated from the ranges of the window's two halves and of the whole.
class Frama {
 public:
  static Expected<Frama, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return n_; }

 private:
  explicit Frama(std::uint64_t n);
  std::uint64_t n_;
  double half_;
  RollingExtremes newer_;  // the last n / 2 closes
  RollingExtremes older_;  // the n / 2 closes before them
  std::uint64_t count_ = 0;
  std::optional<double> value_;
};

// Holt's two-factor (level and trend) exponential smoothing.
class HoltWinters {
 public:
  static Expected<HoltWinters, IndicatorError> create(double alpha, double beta);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 2; }

 private:
  HoltWinters(double alpha, double beta) : alpha_(alpha), beta_(beta) {}
  double alpha_;
  double beta_;
  std::uint64_t seen_ = 0;  // closes taken, counted up to 2
  double level_ = 0.0;
  double trend_ = 0.0;
};

// A four-term Laguerre filter whose factor is the median of the recent ranks
// of the filter's error within the last n errors.
class AdaptiveLaguerreFilter {
 public:
  static Expected<AdaptiveLaguerreFilter, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return n_; }

 private:
  explicit AdaptiveLaguerreFilter(std::uint64_t n);
  static constexpr std::size_t kRanks = 5;
  std::uint64_t n_;
  RollingExtremes deviations_;
  Ring<double> ranks_;
  std::vector<double> sorted_ranks_;  // scratch, capacity kRanks
  double alpha_ = 1.0;
  double l0_ = 0.0;
  double l1_ = 0.0;
  double l2_ = 0.0;
  double l3_ = 0.0;
  std::optional<double> filter_;
};

// Ehlers' instantaneous trendline: a short average for the first six closes,
// then a two-pole recursive filter.
class InstantaneousTrendline {
 public:
  static Expected<InstantaneousTrendline, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 1; }

 private:
  explicit InstantaneousTrendline(double alpha);
  // Coefficients of x1, x, x2, it1 and it2 in the recursion.
  double c_x1_;
  double c_x_;
  double c_x2_;
  double c_it1_;
  double c_it2_;
  std::uint64_t counter_ = 0;  // closes taken, counted up to 7
  std::optional<double> x1_;
  std::optional<double> x2_;
  double it1_ = 0.0;
  double it2_ = 0.0;
};

}  // namespace vsci
