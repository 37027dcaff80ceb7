// Volume and money-flow kinds: candle kinds that weigh the bar's price move by
// its volume, over windows, smoothers or whole sessions. Fed only validated
// candles; single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/change_stream.h"
#include "indicators/cores/exp_smoother.h"
#include "indicators/cores/monotone_extreme.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/window_sum.h"
#include "indicators/indicator.h"

namespace vsci {

// Money-flow volume over volume across n bars; 0 for a window without volume.
class ChaikinMoneyFlow {
 public:
  static Expected<ChaikinMoneyFlow, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return flows_.capacity(); }

 private:
  explicit ChaikinMoneyFlow(std::size_t n) : flows_(n, false), volumes_(n, false) {}
  WindowSum flows_;
  WindowSum volumes_;
};

// Fast minus slow smoothing of the accumulation line.
class ChaikinOscillator {
 public:
  static Expected<ChaikinOscillator, IndicatorError> create(std::uint64_t fast, std::uint64_t slow);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return slow_length_; }

 private:
  ChaikinOscillator(std::uint64_t fast, std::uint64_t slow)
      : fast_(ExpSmoother::of_length(fast)), slow_(ExpSmoother::of_length(slow)), slow_length_(slow) {}
  double line_ = 0.0;
  ExpSmoother fast_;
  ExpSmoother slow_;
  std::uint64_t slow_length_;
};

// Money flow index: 100 - 100 / (1 + positive flow / negative flow) over n
// typical-price moves; 50 for a window without flow, 100 without outflow.
class Mfi {
 public:
  static Expected<Mfi, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return positive_.capacity() + 1; }

 private:
  explicit Mfi(std::size_t n) : positive_(n, true), negative_(n, true) {}
  std::optional<double> prev_typical_;
  WindowSum positive_;
  WindowSum negative_;
};

// Klinger volume oscillator: the volume force, signed by the trend of
// high + low + close, smoothed fast minus slow.
class Kvo {
 public:
  static Expected<Kvo, IndicatorError> create(std::uint64_t fast, std::uint64_t slow);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return slow_length_ + 1; }

 private:
  struct Bar {
    double dm = 0.0;   // high - low
    double hlc = 0.0;  // high + low + close
  };
  Kvo(std::uint64_t fast, std::uint64_t slow)
      : fast_(ExpSmoother::of_length(fast)), slow_(ExpSmoother::of_length(slow)), slow_length_(slow) {}
  std::optional<Bar> prev_;
  double cm_ = 0.0;
  int trend_ = 0;
  ExpSmoother fast_;
  ExpSmoother slow_;
  std::uint64_t slow_length_;
};

// Buying against selling pressure, in [-100, 100].
class DemandIndex {
 public:
  static Expected<DemandIndex, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return volumes_.capacity() + 1; }

 private:
  explicit DemandIndex(std::size_t n);
  WindowSum volumes_;
  WindowSum ranges_;  // two-bar ranges
  std::optional<Candle> prev_;
  ExpSmoother buying_;
  ExpSmoother selling_;
  double n_;
  double last_ = 0.0;
};

// The mean over n bars of range * midpoint move * 1e8 / volume.
class EaseOfMovement {
 public:
  static Expected<EaseOfMovement, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return moves_.capacity() + 1; }

 private:
  explicit EaseOfMovement(std::size_t n) : moves_(n, true), n_(static_cast<double>(n)) {}
  std::optional<double> prev_mid_;
  WindowSum moves_;
  double n_;
};

// volume * close change, smoothed over n.
class ForceIndex {
 public:
  static Expected<ForceIndex, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return length_ + 1; }

 private:
  explicit ForceIndex(std::uint64_t n) : smoother_(ExpSmoother::of_length(n)), length_(n) {}
  ChangeStream changes_;
  ExpSmoother smoother_;
  std::uint64_t length_;
};

// Time segmented volume: the sum (not the mean) of volume * close change
// over n bars.
class Tsv {
 public:
  static Expected<Tsv, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return signed_volumes_.capacity() + 1; }

 private:
  explicit Tsv(std::size_t n) : signed_volumes_(n, false) {}
  ChangeStream changes_;
  WindowSum signed_volumes_;
};

// Cumulative volume signed by the last close move beyond min_tick.
class TradeVolumeIndex {
 public:
  static Expected<TradeVolumeIndex, IndicatorError> create(double min_tick);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 2; }

 private:
  explicit TradeVolumeIndex(double min_tick) : min_tick_(min_tick) {}
  ChangeStream changes_;
  double min_tick_;
  double direction_ = 0.0;
  double index_ = 0.0;
};

// Volume-weighted typical price over n bars; no value for a window without
// volume.
class RollingVwap {
 public:
  static Expected<RollingVwap, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return volumes_.capacity(); }

 private:
  explicit RollingVwap(std::size_t n) : price_volumes_(n, true), volumes_(n, true) {}
  WindowSum price_volumes_;
  WindowSum volumes_;
};

// Volume-weighted typical price since the start of the bar's local calendar
// day (the time shifted by an offset in minutes); the typical price itself
// while the day has no volume.
class SessionVwap {
 public:
  static Expected<SessionVwap, IndicatorError> create(std::int32_t offset_minutes);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 1; }

 private:
  explicit SessionVwap(std::int32_t offset_minutes) : offset_minutes_(offset_minutes) {}
  std::int32_t offset_minutes_;
  std::optional<std::int64_t> day_;
  double price_volume_ = 0.0;
  double volume_ = 0.0;
};

// Elastic volume-weighted average: each bar pulls the average towards its
// close by its share of the window's volume.
class Evwma {
 public:
  static Expected<Evwma, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return volumes_.capacity(); }

 private:
  explicit Evwma(std::size_t n) : volumes_(n, false) {}
  WindowSum volumes_;
  std::optional<double> average_;
};

// The bar's volume classified against the previous n - 1 bars: 4 climax with
// churn, 3 / -3 climax up / down, 2 churn, 1 low volume, 0 none.
class BetterVolume {
 public:
  static Expected<BetterVolume, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return n_; }

 private:
  // The extremes run over the n - 1 bars before the current one (none when
  // n is 1; the queues then keep one bar they are never asked about).
  explicit BetterVolume(std::size_t n)
      : n_(n), earlier_(n > 1 ? n - 1 : 1), most_volume_per_range_(n > 1 ? n - 1 : 1) {}
  std::size_t n_;
  std::size_t held_ = 0;  // bars seen, up to n
  OldestRange earlier_;  // the most range times volume, the least volume
  OldestLargest most_volume_per_range_;  // over the bars with a range only
};

}  // namespace vsci
