// Performance and risk ratios over a rolling window of the close series:
// drawdowns of a level curve, return-to-risk ratios of per-period returns
// (some over the equity compounded from the window), gain-to-loss ratios and
// tail measures. Nothing is annualised. Every kind rejects a non-finite input
// itself. Single-threaded use.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "indicators/cores/growing_storage.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/running_sum.h"
#include "indicators/cores/sorted_window.h"
#include "indicators/cores/window_sum.h"
#include "indicators/indicator_error.h"
#include "indicators/rolling_statistics.h"
#include "util/expected.h"

namespace vsci {

// The running sum of a window of returns and of the magnitudes of its losses,
// with the count of losses: the loss sum is exactly +0.0 whenever the window
// holds no loss, so no residue outlives the last loss.
class LossWindow {
 public:
  explicit LossWindow(std::size_t period) : window_(period) {}
  void push(double r);
  bool full() const { return window_.full(); }
  double n() const { return static_cast<double>(window_.capacity()); }
  double sum() const { return sum_; }
  double sum_loss() const { return loss_.value(); }
  std::size_t loss_count() const { return loss_.nonzero(); }

 private:
  Ring<double> window_;
  double sum_ = 0.0;
  RunningSum loss_;  // of the magnitudes of the losses; each counts
};

// ---- Level kinds: each value is a level of an equity or price curve.

// Largest fall from a running peak, as a fraction of the peak.
class MaxDrawdown {
 public:
  static Expected<MaxDrawdown, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  explicit MaxDrawdown(std::size_t period) : window_(period) {}
  Ring<double> window_;
};

// Mean depth of the drawdown episodes in the window (the open one included).
class AverageDrawdown {
 public:
  static Expected<AverageDrawdown, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  explicit AverageDrawdown(std::size_t period) : window_(period) {}
  Ring<double> window_;
};

// Mean fractional drawdown over the window.
class PainIndex {
 public:
  static Expected<PainIndex, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  explicit PainIndex(std::size_t period) : window_(period) {}
  Ring<double> window_;
};

// Gain since the first close over the largest drawdown so far; no window.
class RecoveryFactor {
 public:
  static Expected<RecoveryFactor, IndicatorError> create();
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 1; }

 private:
  RecoveryFactor() = default;
  double first_ = 0.0;
  double peak_ = 0.0;
  double max_drawdown_ = 0.0;
  bool started_ = false;
};

// ---- Compounded drawdown ratios: mean return over a drawdown measure of the
// equity compounded from the window's returns. A window whose equity or peak
// overflows (price levels fed as returns) gives no value for that bar.

class CalmarRatio {
 public:
  static Expected<CalmarRatio, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  explicit CalmarRatio(std::size_t period) : window_(period, true) {}
  WindowSum window_;
};

class BurkeRatio {
 public:
  static Expected<BurkeRatio, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  explicit BurkeRatio(std::size_t period) : window_(period) {}
  Ring<double> window_;
};

class SterlingRatio {
 public:
  static Expected<SterlingRatio, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  explicit SterlingRatio(std::size_t period) : window_(period) {}
  Ring<double> window_;
};

// Mean return over the ulcer index (drawdowns in percent).
class ReturnToUlcerRatio {
 public:
  static Expected<ReturnToUlcerRatio, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  explicit ReturnToUlcerRatio(std::size_t period) : window_(period) {}
  Ring<double> window_;
};

// ---- Mean and deviation ratios.

// Mean excess return over the sample deviation (divisor n - 1).
class SharpeRatio {
 public:
  static Expected<SharpeRatio, IndicatorError> create(std::uint64_t period, double risk_free);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  SharpeRatio(std::size_t period, double risk_free) : moments_(period), risk_free_(risk_free) {}
  ShiftedMoments<2> moments_;
  double risk_free_;
};

// The Sharpe ratio rescaled to a benchmark's deviation, plus the risk-free rate.
class M2Measure {
 public:
  static Expected<M2Measure, IndicatorError> create(std::uint64_t period, double risk_free, double benchmark_stddev);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return moments_.period(); }

 private:
  M2Measure(std::size_t period, double risk_free, double benchmark_stddev)
      : moments_(period), risk_free_(risk_free), benchmark_stddev_(benchmark_stddev) {}
  ShiftedMoments<2> moments_;
  double risk_free_;
  double benchmark_stddev_;
};

// Mean excess over the target divided by the downside deviation.
class SortinoRatio {
 public:
  static Expected<SortinoRatio, IndicatorError> create(std::uint64_t period, double target);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  SortinoRatio(std::size_t period, double target) : window_(period, true), target_(target) {}
  WindowSum window_;
  double target_;
};

// Mean upside over the downside deviation, both relative to `mar`.
class UpsidePotentialRatio {
 public:
  static Expected<UpsidePotentialRatio, IndicatorError> create(std::uint64_t period, double mar);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  UpsidePotentialRatio(std::size_t period, double mar) : window_(period), mar_(mar) {}
  Ring<double> window_;
  double mar_;
  RunningSum up_;     // of r - mar above 0
  RunningSum down2_;  // of (r - mar)^2 below 0
};

// Slope of the cumulative return line over its standard error.
class KRatio {
 public:
  static Expected<KRatio, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  explicit KRatio(std::size_t period) : window_(period) {}
  Ring<double> window_;
  std::vector<double> cumulative_;
};

// ---- Gain and loss ratios: gains are returns > 0, losses returns < 0.

class OmegaRatio {
 public:
  static Expected<OmegaRatio, IndicatorError> create(std::uint64_t period, double threshold);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  OmegaRatio(std::size_t period, double threshold) : window_(period), threshold_(threshold) {}
  Ring<double> window_;
  double threshold_;
};

// Average gain over average loss.
class GainLossRatio {
 public:
  static Expected<GainLossRatio, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  explicit GainLossRatio(std::size_t period) : window_(period) {}
  Ring<double> window_;
};

// Sum of gains over sum of losses.
class ProfitFactor {
 public:
  static Expected<ProfitFactor, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  explicit ProfitFactor(std::size_t period) : window_(period) {}
  Ring<double> window_;
};

// Sum of returns over sum of losses.
class GainToPainRatio {
 public:
  static Expected<GainToPainRatio, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return static_cast<std::uint64_t>(sums_.n()); }

 private:
  explicit GainToPainRatio(std::size_t period) : sums_(period) {}
  LossWindow sums_;
};

// Mean return per unit of average loss.
class Expectancy {
 public:
  static Expected<Expectancy, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return static_cast<std::uint64_t>(sums_.n()); }

 private:
  explicit Expectancy(std::size_t period) : sums_(period) {}
  LossWindow sums_;
};

class KellyCriterion {
 public:
  static Expected<KellyCriterion, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  explicit KellyCriterion(std::size_t period) : window_(period) {}
  Ring<double> window_;
};

// Fraction of the window's returns that are gains.
class WinRate {
 public:
  static Expected<WinRate, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  explicit WinRate(std::size_t period) : window_(period) {}
  Ring<double> window_;
  std::size_t win_count_ = 0;
};

// ---- Tail measures over the ascending window.

// The loss at the (1 - confidence) quantile, as a positive number.
class ValueAtRisk {
 public:
  static Expected<ValueAtRisk, IndicatorError> create(std::uint64_t period, double confidence);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.period(); }

 private:
  ValueAtRisk(SortedWindow window, double confidence) : window_(std::move(window)), confidence_(confidence) {}
  SortedWindow window_;
  double confidence_;
};

// The mean loss of the worst (1 - confidence) share of the window.
class ConditionalValueAtRisk {
 public:
  static Expected<ConditionalValueAtRisk, IndicatorError> create(std::uint64_t period, double confidence);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.period(); }

 private:
  ConditionalValueAtRisk(SortedWindow window, double confidence)
      : window_(std::move(window)), confidence_(confidence) {}
  SortedWindow window_;
  double confidence_;
};

// The 95 % quantile over the magnitude of the 5 % quantile.
class TailRatio {
 public:
  static Expected<TailRatio, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.period(); }

 private:
  explicit TailRatio(SortedWindow window) : window_(std::move(window)) {}
  SortedWindow window_;
};

// Profit factor times tail ratio. The sorted copy of the window is maintained
// only while the window holds a loss, and rebuilt once when a loss returns.
class CommonSenseRatio {
 public:
  static Expected<CommonSenseRatio, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.capacity(); }

 private:
  explicit CommonSenseRatio(std::size_t period) : window_(period) { reserve_initial(sorted_, period); }
  Ring<double> window_;
  std::vector<double> sorted_;
  bool sorted_valid_ = true;
};

}  // namespace vsci
