// The basic moving averages of the close: multi-stage and lag-reduced
// derivatives of the Sma, Ema and Wma cores, fixed-weight windows, and the
// geometric and order-statistic averages. (Sma, Ema, Wma and Zlema are the
// cores themselves.) Each kind takes finite closes through update_value and is
// used by one thread at a time.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "indicators/cores/ema.h"
#include "indicators/cores/monotone_extreme.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/sma.h"
#include "indicators/cores/sorted_window.h"
#include "indicators/cores/wma.h"
#include "indicators/cores/zlema.h"
#include "indicators/indicator_error.h"
#include "util/expected.h"

namespace vsci {

// N Ema stages of one length in a chain: a stage is fed only a finite value of
// the stage before it.
template <std::size_t N>
class EmaChain {
 public:
  explicit EmaChain(const Ema& stage) : stages_(fill(stage, std::make_index_sequence<N>())) {}

  // Feeds x to the first stage and on down the chain; true when the last stage
  // gave a value this time. value(i) is then stage i's value.
  bool feed(double x) {
    double in = x;
    for (std::size_t i = 0; i < N; ++i) {
      const auto v = stages_[i].update_value(in);
      if (!v) return false;
      values_[i] = *v;
      if (i + 1 < N && !std::isfinite(*v)) return false;
      in = *v;
    }
    return true;
  }
  double value(std::size_t i) const { return values_[i]; }

 private:
  template <std::size_t... I>
  static std::array<Ema, N> fill(const Ema& e, std::index_sequence<I...>) {
    return {{((void)I, e)...}};
  }

  std::array<Ema, N> stages_;
  std::array<double, N> values_{};
};

// The Hull shape: a stage of length round(sqrt(period)) fed
// 2 * stage(period / 2) - stage(period), all of one stage type (Wma for the
// Hull average, Ema for its exponential variant). Both cores refuse a
// non-finite difference without changing.
template <class Stage>
class HullShape {
 public:
  static Expected<HullShape, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x) {
    const auto a = a_.update_value(x);
    const auto b = b_.update_value(x);
    if (!a || !b) return std::nullopt;
    return c_.update_value((*a + *a) - *b);
  }
  std::uint64_t warmup() const { return warmup_; }

 private:
  HullShape(Stage a, Stage b, Stage c, std::uint64_t warmup)
      : a_(std::move(a)), b_(std::move(b)), c_(std::move(c)), warmup_(warmup) {}
  Stage a_, b_, c_;
  std::uint64_t warmup_;
};

using Hma = HullShape<Wma>;
using ExponentialHma = HullShape<Ema>;

// Triangular average: an Sma of the values of another Sma.
class Trima {
 public:
  static Expected<Trima, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return period_; }

 private:
  Trima(Sma first, Sma second, std::uint64_t period) : first_(std::move(first)), second_(std::move(second)), period_(period) {}
  Sma first_, second_;
  std::uint64_t period_;
};

class TwoStageEma {
 public:
  static Expected<TwoStageEma, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 2 * period_ - 1; }

 private:
  TwoStageEma(const Ema& stage, std::uint64_t period) : chain_(stage), period_(period) {}
  EmaChain<2> chain_;
  std::uint64_t period_;
};

class ThreeStageEma {
 public:
  static Expected<ThreeStageEma, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 3 * period_ - 2; }

 private:
  ThreeStageEma(const Ema& stage, std::uint64_t period) : chain_(stage), period_(period) {}
  EmaChain<3> chain_;
  std::uint64_t period_;
};

// e1 * (v + 1) - e2 * v over two chained stages; v = 1 is the two-stage Ema.
class GeneralizedDema {
 public:
  static Expected<GeneralizedDema, IndicatorError> create(std::uint64_t period, double v);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 2 * period_ - 1; }

 private:
  GeneralizedDema(const Ema& stage, std::uint64_t period, double v) : chain_(stage), period_(period), v_(v) {}
  EmaChain<2> chain_;
  std::uint64_t period_;
  double v_;
};

// Six chained stages mixed by coefficients of the volume factor v.
class T3 {
 public:
  static Expected<T3, IndicatorError> create(std::uint64_t period, double v);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 6 * period_ - 5; }

 private:
  T3(const Ema& stage, std::uint64_t period, double v);
  EmaChain<6> chain_;
  std::uint64_t period_;
  double c1_, c2_, c3_, c4_;
};

// A window of the last `period` closes averaged with weights fixed by the
// period, index 0 for the oldest close. The weights are tabled when the window
// first fills, so that a window never filled costs nothing for them.
class SineWeightedMa {
 public:
  static Expected<SineWeightedMa, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  explicit SineWeightedMa(std::size_t period) : window_(period) {}
  void table_weights();
  Ring<double> window_;
  std::vector<double> weights_;
  double weight_sum_ = -0.0;
};

class GaussianWeightedMa {
 public:
  static Expected<GaussianWeightedMa, IndicatorError> create(std::uint64_t period, double offset, double sigma);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  GaussianWeightedMa(std::size_t period, double centre, double spread)
      : window_(period), centre_(centre), spread_(spread) {}
  void table_weights();
  Ring<double> window_;
  double centre_;  // offset * (n - 1)
  double spread_;  // n / sigma
  // Normalised to sum 1, tabled when the window first fills, so that building
  // the kind costs nothing proportional to its period.
  std::vector<double> weights_;
};

// exp of the mean log close; only closes greater than 0 are accepted.
class GeometricMa {
 public:
  static Expected<GeometricMa, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return logs_.capacity(); }

 private:
  explicit GeometricMa(std::size_t period) : logs_(period) {}
  Ring<double> logs_;
  double sum_ = 0.0;
  std::uint64_t since_resum_ = 0;
};

class MedianMa {
 public:
  static Expected<MedianMa, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.period(); }

 private:
  explicit MedianMa(SortedWindow window) : window_(std::move(window)) {}
  SortedWindow window_;
};

// Midpoint of the highest and lowest close of the window.
class MidPoint {
 public:
  static Expected<MidPoint, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return closes_.window(); }

 private:
  explicit MidPoint(std::size_t period) : closes_(period) {}
  MonotoneRange<ExtremeTie::Newest, ExtremeTie::Oldest> closes_;
};

// Seeded by the plain mean of the first `period` closes, then
// (x + value * (period - 1)) / period.
class SeededRecursiveMa {
 public:
  static Expected<SeededRecursiveMa, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return period_; }

 private:
  explicit SeededRecursiveMa(std::uint64_t period) : period_(period) {}
  std::uint64_t period_;
  std::uint64_t seed_count_ = 0;
  double sum_ = 0.0;
  double value_ = 0.0;
  bool seeded_ = false;
};

}  // namespace vsci
