// Candle oscillators: single-value kinds over the high, low, close and volume
// of validated candles (TtmTrend, TwiggsMoneyFlow, UltimateOscillator,
// VolumeOscillator, VolumeRsi, Vzo, WilliamsR); Vwma lives with its core in
// cores/vwma_core.h. Plain values, one thread at a time.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "indicators/cores/candle_window.h"
#include "indicators/cores/change_stream.h"
#include "indicators/cores/ema.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/rsi_core.h"
#include "indicators/cores/running_sum.h"
#include "indicators/cores/sma.h"
#include "indicators/cores/window_sum.h"
#include "indicators/indicator.h"

namespace vsci {

// +1 while the close is above the average bar midpoint of the last n bars,
// else -1.
class TtmTrend {
 public:
  static Expected<TtmTrend, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return midpoints_.warmup(); }

 private:
  explicit TtmTrend(Sma midpoints) : midpoints_(std::move(midpoints)) {}
  Sma midpoints_;
};

// The average accumulation over the average volume, both smoothed as
// avg + (x - avg) / n after a plain-mean seed.
class TwiggsMoneyFlow {
 public:
  static Expected<TwiggsMoneyFlow, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return period_ + 1; }

 private:
  explicit TwiggsMoneyFlow(std::uint64_t n) : period_(n), n_(static_cast<double>(n)) {}
  std::uint64_t period_;
  double n_;
  std::optional<double> prev_close_;
  double ad_sum_ = 0.0, volume_sum_ = 0.0;
  std::uint64_t seed_count_ = 0;
  double ad_average_ = 0.0, volume_average_ = 0.0;
};

// Buying pressure over true range in three windows, weighted 4, 2 and 1.
class UltimateOscillator {
 public:
  static Expected<UltimateOscillator, IndicatorError> create(std::uint64_t p1, std::uint64_t p2, std::uint64_t p3);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return longest_ + 1; }

 private:
  struct Pressure {
    double bp = 0.0;
    double tr = 0.0;
  };
  // The sums over the newest `length` pairs of the ring.
  struct Window {
    std::size_t length = 1;
    CountedSums<2> sums;  // buying pressure, true range
    std::size_t since_resum = 0;
  };
  UltimateOscillator(std::uint64_t p1, std::uint64_t p2, std::uint64_t p3, std::uint64_t longest);
  static double average(const Window& w);
  void resum(Window& w) const;

  std::uint64_t longest_;
  Ring<Pressure> ring_;  // the last longest_ + 1 pairs
  std::array<Window, 3> windows_;
  std::optional<double> prev_close_;
  std::uint64_t bars_ = 0;
};

// The spread of a fast over a slow average volume, in percent of the slow.
class VolumeOscillator {
 public:
  static Expected<VolumeOscillator, IndicatorError> create(std::uint64_t fast, std::uint64_t slow);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return slow_.capacity(); }

 private:
  VolumeOscillator(std::size_t fast, std::size_t slow);
  // Each average is its window's sum over its length, stepped and re-summed
  // as the simple average is; a window without volume averages exactly 0.
  WindowSum fast_;
  WindowSum slow_;
};

// The RSI of volume changes, smoothed as (avg * (n - 1) + x) / n.
class VolumeRsi {
 public:
  static Expected<VolumeRsi, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return period_ + 1; }

 private:
  explicit VolumeRsi(std::uint64_t n)
      : period_(n), n_(static_cast<double>(n)), n_minus_1_(static_cast<double>(n) - 1.0), seed_(n) {}
  std::uint64_t period_;
  double n_;
  double n_minus_1_;
  ChangeStream changes_;
  GainLossSeed seed_;
  double gain_ = 0.0, loss_ = 0.0;
};

// The volume zone oscillator: the average signed volume as a percentage of
// the average volume.
class Vzo {
 public:
  static Expected<Vzo, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return signed_volume_.warmup() + 1; }

 private:
  Vzo(Ema signed_volume, Ema volume) : signed_volume_(std::move(signed_volume)), volume_(std::move(volume)) {}
  Ema signed_volume_;
  Ema volume_;
  std::optional<double> prev_close_;
};

// Where the close sits in the range of the last n bars, from -100 (at the
// lowest low) to 0 (at the highest high).
class WilliamsR {
 public:
  static Expected<WilliamsR, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return window_.period(); }

 private:
  explicit WilliamsR(CandleWindow window) : window_(std::move(window)) {}
  CandleWindow window_;
};

}  // namespace vsci
