// The trailing stops fed validated candles: six stop-and-reverse kinds that
// publish a stop level with its direction (+1 long, -1 short) and three that
// publish a long and a short stop side by side. Plain values, one thread at a
// time.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "indicators/cores/atr_offset.h"
#include "indicators/cores/candle_window.h"
#include "indicators/cores/equal_run.h"
#include "indicators/cores/monotone_extreme.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/shifted_sum_window.h"
#include "indicators/cores/wilder.h"
#include "indicators/cores/window_sum.h"
#include "indicators/indicator.h"

namespace vsci {

// The stop of a stop-and-reverse kind and the side it protects: 0 before the
// first value, then +1 (the stop lies below price) or -1 (above).
struct StopSide {
  double trend = 0.0;
  double stop = 0.0;
};

inline constexpr std::array<std::string_view, 2> kStopOutputNames{"value", "direction"};

// Basic bands at m ATR around the bar's midpoint, each final band held until
// price or a tighter basic band moves it; the close crossing a band flips.
class SuperTrend {
 public:
  static constexpr auto kOutputNames = kStopOutputNames;
  static Expected<SuperTrend, IndicatorError> create(std::uint64_t n, double m);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return offset_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  struct Bands {
    double upper;
    double lower;
    double close;
    double direction;
  };
  explicit SuperTrend(AtrOffset offset) : offset_(std::move(offset)) {}
  AtrOffset offset_;
  std::optional<Bands> previous_;
  OutputList<2> outputs_{kOutputNames};
};

// A stop placed k0 ATR from the close that moves k1 ATR towards price on every
// bar, whatever price did.
class AtrRatchet {
 public:
  static constexpr auto kOutputNames = kStopOutputNames;
  static Expected<AtrRatchet, IndicatorError> create(std::uint64_t n, double k0, double k1);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return atr_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  AtrRatchet(FusedWilderAtr atr, double k0, double k1) : atr_(std::move(atr)), k0_(k0), k1_(k1) {}
  FusedWilderAtr atr_;
  double k0_;
  double k1_;
  StopSide side_;
  OutputList<2> outputs_{kOutputNames};
};

// m ATR below the window's highest high and above its lowest low.
class ChandelierExit {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"long_stop", "short_stop"};
  static Expected<ChandelierExit, IndicatorError> create(std::uint64_t n, double m);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return window_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  ChandelierExit(AtrOffset offset, CandleWindow window) : offset_(std::move(offset)), window_(std::move(window)) {}
  AtrOffset offset_;
  CandleWindow window_;
  OutputList<2> outputs_{kOutputNames};
};

// First-stage stops x ATR inside the p-bar extremes, then the loosest of the
// last q of them.
class ChandeKrollStop {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"stop_long", "stop_short"};
  static Expected<ChandeKrollStop, IndicatorError> create(std::uint64_t p, double x, std::uint64_t q);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return window_.period() + stops_.window() - 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  ChandeKrollStop(AtrOffset offset, CandleWindow window, std::size_t q)
      : offset_(std::move(offset)), window_(std::move(window)), stops_(q), low_stops_(q) {}
  AtrOffset offset_;
  CandleWindow window_;
  MonotoneRange<ExtremeTie::Newest, ExtremeTie::Oldest> stops_;  // the high and low stops
  Ring<double> low_stops_;  // for a zero lowest stop
  OutputList<2> outputs_{kOutputNames};
};

// The window's lowest low as the long stop and its highest high as the short.
class DonchianStop {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"stop_long", "stop_short"};
  static Expected<DonchianStop, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return window_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit DonchianStop(CandleWindow window) : window_(std::move(window)) {}
  CandleWindow window_;
  OutputList<2> outputs_{kOutputNames};
};

// Stops k times the average penetration beyond the previous bar's low (long)
// or high (short), averaged over the bars that penetrated.
class ElderSafeZone {
 public:
  static constexpr auto kOutputNames = kStopOutputNames;
  static Expected<ElderSafeZone, IndicatorError> create(std::uint64_t n, double k);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return down_.capacity() + 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  ElderSafeZone(std::size_t n, double k) : down_(n, false), up_(n, false), k_(k) {}
  std::optional<Candle> previous_;
  WindowSum down_;
  WindowSum up_;
  double k_;
  StopSide side_;
  OutputList<2> outputs_{kOutputNames};
};

// A stop the mean plus k sample deviations of the two-bar range away from
// the extreme price of the current side.
class KaseDevStop {
 public:
  static constexpr auto kOutputNames = kStopOutputNames;
  static Expected<KaseDevStop, IndicatorError> create(std::uint64_t n, double k);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return ranges_.length() + 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  KaseDevStop(std::size_t n, double k) : ranges_(n), equal_(n), k_(k) {}
  std::optional<Candle> previous_;
  ShiftedSumWindow ranges_;
  EqualRun equal_;  // the whole window one range: its deviation is exactly 0
  double k_;
  StopSide side_;
  double extreme_ = 0.0;
  OutputList<2> outputs_{kOutputNames};
};

// The close's Wilder-smoothed average as a stop that only tightens.
class ModifiedMaStop {
 public:
  static constexpr auto kOutputNames = kStopOutputNames;
  static Expected<ModifiedMaStop, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return period_; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit ModifiedMaStop(std::uint64_t n) : period_(n), n_minus_one_(static_cast<double>(n) - 1.0) {}
  std::uint64_t period_;
  double n_minus_one_;
  std::uint64_t seed_count_ = 0;
  double seed_sum_ = 0.0;
  std::optional<double> average_;
  StopSide side_;
  OutputList<2> outputs_{kOutputNames};
};

// A stop p percent from the extreme close of the current side.
class Nrtr {
 public:
  static constexpr auto kOutputNames = kStopOutputNames;
  static Expected<Nrtr, IndicatorError> create(double p);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  explicit Nrtr(double p) : percent_(p) {}
  double percent_;
  StopSide side_;
  double extreme_ = 0.0;
  OutputList<2> outputs_{kOutputNames};
};

}  // namespace vsci
