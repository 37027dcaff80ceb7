// The relative-strength oscillators of the close: kinds that split each change
// into a gain and a loss and turn their balance into a bounded value, either
// through the shared Rsi core (stochastic, Connors, Fisher, smoothed
// histogram) or with their own smoothing (Rsx, Rmi, Laguerre, adaptive,
// anchored). The Rsi and Cmo kinds are their cores. Each kind is a plain value
// driven through KindIndicator; single-threaded use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "indicators/cores/change_stream.h"
#include "indicators/cores/ema.h"
#include "indicators/cores/monotone_extreme.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/rsi_core.h"
#include "indicators/cores/sma.h"
#include "indicators/cores/sorted_window.h"
#include "indicators/indicator_error.h"
#include "indicators/rolling_statistics.h"
#include "util/expected.h"

namespace vsci {

// A noise-free RSI: the change and its magnitude each pass through six
// cascaded exponential stages, the ratio of the two mapped onto 0..100.
class Rsx {
 public:
  static Expected<Rsx, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return period_ + 1; }

 private:
  // Three pairs of stages, each pair followed by 1.5 * first - 0.5 * second.
  struct Chain {
    std::array<double, 6> stage{};
    double update(double input, double alpha, double one_minus_alpha);
  };
  explicit Rsx(std::uint64_t period);
  std::uint64_t period_;
  double alpha_;
  double one_minus_alpha_;
  Chain change_;
  Chain magnitude_;
  ChangeStream diffs_;
  std::uint64_t changes_ = 0;
};

// Relative momentum index: the RSI of the change over `momentum` bars.
class Rmi {
 public:
  static Expected<Rmi, IndicatorError> create(std::uint64_t period, std::uint64_t momentum);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return period_ + closes_.capacity(); }

 private:
  Rmi(std::uint64_t period, std::size_t momentum)
      : closes_(momentum), period_(period), n_(static_cast<double>(period)), n_minus_1_(n_ - 1.0), seed_(period) {}
  Ring<double> closes_;
  std::uint64_t period_;
  double n_;
  double n_minus_1_;
  GainLossSeed seed_;
  double gain_ = 0.0;
  double loss_ = 0.0;
};

// Stochastic of the RSI over its last `k` values.
class StochRsi {
 public:
  static Expected<StochRsi, IndicatorError> create(std::uint64_t period, std::uint64_t k);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return rsi_.period() + values_.window(); }

 private:
  StochRsi(Rsi rsi, std::size_t k) : rsi_(rsi), values_(k) {}
  Rsi rsi_;
  OldestRange values_;
};

// Mean of the RSI of the close, the RSI of the up/down streak, and the percent
// rank of the latest fractional change among the last `rank` ones.
class ConnorsRsi {
 public:
  static Expected<ConnorsRsi, IndicatorError> create(std::uint64_t period, std::uint64_t streak_period,
                                                     std::uint64_t rank);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const;

 private:
  ConnorsRsi(Rsi close_rsi, Rsi streak_rsi, RankWindow changes)
      : close_rsi_(close_rsi), streak_rsi_(streak_rsi), changes_(std::move(changes)) {}
  Rsi close_rsi_;
  Rsi streak_rsi_;
  RankWindow changes_;
  std::optional<double> prev_;
  double streak_ = 0.0;
};

// RSI of a four-stage Laguerre filter of the close.
class LaguerreRsi {
 public:
  static Expected<LaguerreRsi, IndicatorError> create(double gamma);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 1; }

 private:
  explicit LaguerreRsi(double gamma) : gamma_(gamma), one_minus_gamma_(1.0 - gamma) {}
  double gamma_;
  double one_minus_gamma_;
  std::array<double, 4> stage_{};
  bool seeded_ = false;
};

// RSI whose smoothing factor follows the efficiency ratio of the last `period`
// changes.
class AdaptiveRsi {
 public:
  static Expected<AdaptiveRsi, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return period_ + 1; }

 private:
  explicit AdaptiveRsi(std::uint64_t period)
      : period_(period),
        closes_(static_cast<std::size_t>(period) + 1),
        moves_(static_cast<std::size_t>(period)),
        seed_(period) {}
  std::uint64_t period_;
  Ring<double> closes_;
  Ring<double> moves_;
  double path_ = 0.0;  // running sum of the absolute changes held in moves_
  GainLossSeed seed_;
  double gain_ = 0.0;
  double loss_ = 0.0;
};

// RSI of the cumulative gains and losses since the first bar.
class AnchoredRsi {
 public:
  static Expected<AnchoredRsi, IndicatorError> create() { return AnchoredRsi(); }
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 2; }

 private:
  AnchoredRsi() = default;
  ChangeStream diffs_;
  double gain_ = 0.0;
  double loss_ = 0.0;
};

// Fisher transform of the RSI rescaled to [-0.999, 0.999].
class FisherRsi {
 public:
  static Expected<FisherRsi, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return rsi_.warmup(); }

 private:
  explicit FisherRsi(Rsi rsi) : rsi_(rsi) {}
  Rsi rsi_;
};

// Up share of the newest changes: b of them scaled by (10-bar average of the
// 5-bar deviation) / (current deviation), kept within 5..30.
class DynamicLengthRsi {
 public:
  static Expected<DynamicLengthRsi, IndicatorError> create(std::uint64_t base);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return kMaxLength + 1; }

 private:
  static constexpr std::size_t kMinLength = 5;
  static constexpr std::size_t kMaxLength = 30;
  DynamicLengthRsi(StdDev deviation, Sma average, double base)
      : deviation_(std::move(deviation)), average_(std::move(average)), changes_(kMaxLength), base_(base) {}
  StdDev deviation_;
  Sma average_;
  Ring<double> changes_;
  double base_;
  std::optional<double> sd_;
  std::optional<double> sd_average_;
  ChangeStream diffs_;
};

// Twice EMA-smoothed RSI minus its simple average.
class SmoothedRsiHistogram {
 public:
  static Expected<SmoothedRsiHistogram, IndicatorError> create(std::uint64_t period, std::uint64_t first,
                                                               std::uint64_t second, std::uint64_t signal);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return warmup_; }

 private:
  SmoothedRsiHistogram(Rsi rsi, Ema first, Ema second, Sma signal, std::uint64_t warmup)
      : rsi_(rsi), first_(first), second_(second), signal_(std::move(signal)), warmup_(warmup) {}
  Rsi rsi_;
  Ema first_;
  Ema second_;
  Sma signal_;
  std::uint64_t warmup_;
};

}  // namespace vsci
