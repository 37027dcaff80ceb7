// Oscillators built from several averages of price, with a signal line:
// MacdIndicator (also MacdFix), ZeroLagMacd and Kst over the close, Qqe over
// the close's RSI, VolumeWeightedMacd and WaveTrend over validated candles.
// Each publishes its lines as named outputs, the first being its value. Plain
// values, one thread at a time.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "indicators/cores/macd_core.h"
#include "indicators/cores/mean_seeded_smoother.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/rsi_core.h"
#include "indicators/cores/sma.h"
#include "indicators/cores/vwma_core.h"
#include "indicators/cores/zlema.h"
#include "indicators/indicator.h"

namespace vsci {

inline constexpr std::array<std::string_view, 3> kMacdOutputNames{"macd", "signal", "histogram"};

// One kind type for MacdIndicator and MacdFix: they differ only in how their
// averages are built (the registry's two create functions).
class MacdIndicator {
 public:
  static constexpr auto kOutputNames = kMacdOutputNames;
  // Built from an UnfusedMacdCore::create or create_fixed result.
  static Expected<MacdIndicator, IndicatorError> from(Expected<UnfusedMacdCore, IndicatorError> core);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return core_.warmup(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit MacdIndicator(UnfusedMacdCore core) : core_(core) {}
  UnfusedMacdCore core_;
  OutputList<3> outputs_{kOutputNames};
};

// MACD of zero-lag averages, its signal a zero-lag average too.
class ZeroLagMacd {
 public:
  static constexpr auto kOutputNames = kMacdOutputNames;
  static Expected<ZeroLagMacd, IndicatorError> create(std::uint64_t fast, std::uint64_t slow, std::uint64_t signal);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return slow_.warmup() + signal_.warmup() - 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  ZeroLagMacd(Zlema fast, Zlema slow, Zlema signal)
      : fast_(std::move(fast)), slow_(std::move(slow)), signal_(std::move(signal)) {}
  Zlema fast_;
  Zlema slow_;
  Zlema signal_;
  OutputList<3> outputs_{kOutputNames};
};

// MACD of volume-weighted averages with an exponential signal line.
class VolumeWeightedMacd {
 public:
  static constexpr auto kOutputNames = kMacdOutputNames;
  static Expected<VolumeWeightedMacd, IndicatorError> create(std::uint64_t fast, std::uint64_t slow,
                                                             std::uint64_t signal);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return slow_.warmup() + signal_.period() - 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  VolumeWeightedMacd(Vwma fast, Vwma slow, MeanSeededSmoother signal)
      : fast_(std::move(fast)), slow_(std::move(slow)), signal_(signal) {}
  Vwma fast_;
  Vwma slow_;
  MeanSeededSmoother signal_;
  OutputList<3> outputs_{kOutputNames};
};

// Know-sure-thing: four smoothed rates of change weighted 1 to 4, with a
// rolling-mean signal.
class Kst {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"kst", "signal"};
  static Expected<Kst, IndicatorError> create(std::uint64_t r1, std::uint64_t r2, std::uint64_t r3, std::uint64_t r4,
                                              std::uint64_t m1, std::uint64_t m2, std::uint64_t m3, std::uint64_t m4,
                                              std::uint64_t signal);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return warmup_; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  // A rate of change over r closes, smoothed over m of them.
  struct Unit {
    Ring<double> closes;  // the last r + 1
    Sma average;
  };
  Kst(std::array<Unit, 4> units, Sma signal, std::uint64_t warmup)
      : units_(std::move(units)), signal_(std::move(signal)), warmup_(warmup) {}
  std::array<Unit, 4> units_;
  Sma signal_;
  std::uint64_t warmup_;
  OutputList<2> outputs_{kOutputNames};
};

// The typical price's channel index, smoothed, with a rolling-mean signal.
class WaveTrend {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"wt1", "wt2"};
  static Expected<WaveTrend, IndicatorError> create(std::uint64_t channel, std::uint64_t average,
                                                    std::uint64_t signal);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 2 * esa_.period() + tci_.period() + signal_.period() - 3; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  WaveTrend(MeanSeededSmoother esa, MeanSeededSmoother tci, Sma signal)
      : esa_(esa), deviation_(esa), tci_(tci), signal_(std::move(signal)) {}
  MeanSeededSmoother esa_;
  MeanSeededSmoother deviation_;
  MeanSeededSmoother tci_;
  Sma signal_;
  OutputList<2> outputs_{kOutputNames};
};

// A smoothed RSI with a trailing line at a multiple of its smoothed movement.
class Qqe {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"rsi_ma", "trailing_line"};
  static Expected<Qqe, IndicatorError> create(std::uint64_t n, std::uint64_t s, double factor);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return rsi_.period() + average_.period() + 2 * movement_.period() - 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  struct Trail {
    double long_line;
    double short_line;
    double direction;
  };
  Qqe(Rsi rsi, MeanSeededSmoother average, MeanSeededSmoother movement, double factor)
      : rsi_(std::move(rsi)), average_(average), movement_(movement), smoothed_movement_(movement), factor_(factor) {}
  Rsi rsi_;
  MeanSeededSmoother average_;
  MeanSeededSmoother movement_;
  MeanSeededSmoother smoothed_movement_;
  double factor_;
  std::optional<double> previous_average_;
  std::optional<Trail> trail_;
  OutputList<2> outputs_{kOutputNames};
};

}  // namespace vsci
