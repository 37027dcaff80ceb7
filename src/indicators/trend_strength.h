// Close-series kinds that judge the trend rather than its speed: trend-strength
// ratios, discrete trend and regime labels, and trailing stops that follow the
// close. Each is a plain state machine driven through KindIndicator.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/ema.h"
#include "indicators/cores/log_return.h"
#include "indicators/cores/monotone_extreme.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/shifted_sum_window.h"
#include "indicators/cores/sorted_window.h"
#include "indicators/cores/window_sum.h"
#include "indicators/indicator_error.h"
#include "util/expected.h"

namespace vsci {

// Net range of the window over the sum of its absolute close-to-close moves.
class VerticalHorizontalFilter {
 public:
  static Expected<VerticalHorizontalFilter, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return n_ + 1; }

 private:
  explicit VerticalHorizontalFilter(std::size_t n) : closes_(n), changes_(n, false), n_(n) {}
  // The extremes of the last n closes; of equal ones (+0.0 and -0.0) the
  // oldest.
  OldestRange closes_;
  // Once the window holds no move at all its sum is exactly zero.
  WindowSum changes_;
  std::size_t n_;
  double previous_ = 0.0;
  bool has_previous_ = false;
};

// Straight-line distance over the path length travelled, signed, smoothed.
class PolarizedFractalEfficiency {
 public:
  static Expected<PolarizedFractalEfficiency, IndicatorError> create(std::uint64_t n, std::uint64_t s);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return n_ + smoother_.period(); }

 private:
  PolarizedFractalEfficiency(std::size_t n, Ema smoother) : closes_(n + 1), steps_(n), n_(n), smoother_(smoother) {}
  Ring<double> closes_;
  Ring<double> steps_;
  std::size_t n_;
  Ema smoother_;
  double previous_ = 0.0;
  bool has_previous_ = false;
  double path_ = 0.0;
};

// Signed coefficient of determination of the closes against time.
class TrendStrengthIndex {
 public:
  static Expected<TrendStrengthIndex, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return closes_.capacity(); }

 private:
  explicit TrendStrengthIndex(std::size_t n) : closes_(n) {}
  Ring<double> closes_;
};

class WavePm {
 public:
  static Expected<WavePm, IndicatorError> create(std::uint64_t n, std::uint64_t s);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 2 * n_ + wave_.period() - 1; }

 private:
  WavePm(std::size_t n, Ema variance, Ema wave) : closes_(n + 1), n_(n), variance_(variance), wave_(wave) {}
  Ring<double> closes_;
  std::size_t n_;
  Ema variance_;
  Ema wave_;
};

// -1, 0 or +1: the sign of the least-squares slope of the window.
class TrendLabel {
 public:
  static Expected<TrendLabel, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return closes_.capacity(); }

 private:
  explicit TrendLabel(std::size_t n) : closes_(n) {}
  Ring<double> closes_;
};

// -1 (calm), 0 or +1 (turbulent): today's return volatility against the
// quartiles of its own recent history.
class RegimeLabel {
 public:
  static Expected<RegimeLabel, IndicatorError> create(std::uint64_t n, std::uint64_t m);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return returns_.length() + history_.period(); }

 private:
  RegimeLabel(std::size_t n, SortedWindow history) : returns_(n), history_(std::move(history)) {}
  LogReturnStream log_returns_;
  ShiftedSumWindow returns_;
  SortedWindow history_;
};

class PercentageTrailingStop {
 public:
  static Expected<PercentageTrailingStop, IndicatorError> create(double q);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 1; }

 private:
  explicit PercentageTrailingStop(double q) : q_(q) {}
  double q_;
  double stop_ = 0.0;
  bool has_stop_ = false;
  bool long_ = true;
};

class RenkoTrailingStop {
 public:
  static Expected<RenkoTrailingStop, IndicatorError> create(double b);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 1; }

 private:
  explicit RenkoTrailingStop(double b) : b_(b) {}
  double b_;
  double anchor_ = 0.0;
  bool has_anchor_ = false;
  bool up_ = true;
};

class StepTrailingStop {
 public:
  static Expected<StepTrailingStop, IndicatorError> create(double h);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 1; }

 private:
  explicit StepTrailingStop(double h) : h_(h) {}
  double h_;
  double stop_ = 0.0;
  bool has_stop_ = false;
  bool long_ = true;
};

}  // namespace vsci
