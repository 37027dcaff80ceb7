// Moving-average envelopes and ATR channels: a centre line on an average (or
// on the close) with bands at a fixed fraction of it, a multiple of Wilder's
// average true range, a multiple of the window's high-low range, smoothed
// range-stretched highs and lows, or the spread that covers a chosen share of
// the window's closes. Each publishes "upper", "middle", "lower" and returns
// upper. Single-threaded use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "indicators/cores/candle_window.h"
#include "indicators/cores/ema.h"
#include "indicators/cores/equal_run.h"
#include "indicators/cores/sma.h"
#include "indicators/cores/sorted_window.h"
#include "indicators/cores/wilder.h"
#include "indicators/indicator.h"

namespace vsci {

inline constexpr std::array<std::string_view, 3> kEnvelopeOutputNames{"upper", "middle", "lower"};

class MaEnvelope {
 public:
  static constexpr auto kOutputNames = kEnvelopeOutputNames;

  static Expected<MaEnvelope, IndicatorError> create(std::uint64_t period, double fraction);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return average_.warmup(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  MaEnvelope(Sma average, double fraction)
      : average_(std::move(average)), above_(1.0 + fraction), below_(1.0 - fraction) {}
  Sma average_;
  double above_;  // 1 + p
  double below_;  // 1 - p
  OutputList<3> outputs_{kOutputNames};
};

// Bands at k ATRs around an average of the close: StarcBands on the simple
// average, EmaAtrChannel on the exponential one. Both components take every
// bar; the first value comes when the slower is ready.
template <class Average>
class AverageAtrChannel {
 public:
  static constexpr auto kOutputNames = kEnvelopeOutputNames;

  static Expected<AverageAtrChannel, IndicatorError> create(std::uint64_t average_period, std::uint64_t atr_period,
                                                            double k);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const;
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  AverageAtrChannel(Average average, FusedWilderAtr atr, double k)
      : average_(std::move(average)), atr_(std::move(atr)), k_(k) {}
  Average average_;
  FusedWilderAtr atr_;
  double k_;
  OutputList<3> outputs_{kOutputNames};
};

using StarcBands = AverageAtrChannel<Sma>;
using EmaAtrChannel = AverageAtrChannel<Ema>;

// Bands at k ATRs around the bar's own close.
class CloseAtrBands {
 public:
  static constexpr auto kOutputNames = kEnvelopeOutputNames;

  static Expected<CloseAtrBands, IndicatorError> create(std::uint64_t atr_period, double k);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return atr_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  CloseAtrBands(FusedWilderAtr atr, double k) : atr_(std::move(atr)), k_(k) {}
  FusedWilderAtr atr_;
  double k_;
  OutputList<3> outputs_{kOutputNames};
};

// Averages of the high and low pushed apart by the bar's relative range, and
// of the close.
class AccelerationBands {
 public:
  static constexpr auto kOutputNames = kEnvelopeOutputNames;

  static Expected<AccelerationBands, IndicatorError> create(std::uint64_t period, double factor);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return middle_.warmup(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  AccelerationBands(Sma upper, Sma middle, Sma lower, double factor)
      : upper_(std::move(upper)), middle_(std::move(middle)), lower_(std::move(lower)), factor_(factor) {}
  Sma upper_;
  Sma middle_;
  Sma lower_;
  double factor_;
  OutputList<3> outputs_{kOutputNames};
};

// Bands at k times the window's high-low range around the average close.
class HurstChannel {
 public:
  static constexpr auto kOutputNames = kEnvelopeOutputNames;

  static Expected<HurstChannel, IndicatorError> create(std::uint64_t period, double k);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return average_.warmup(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  HurstChannel(CandleWindow window, Sma average, double k)
      : window_(std::move(window)), average_(std::move(average)), k_(k) {}
  CandleWindow window_;
  Sma average_;
  double k_;
  OutputList<3> outputs_{kOutputNames};
};

// Bands at the relative deviation from the mean that covers a share c of the
// window's closes.
class BomarBands {
 public:
  static constexpr auto kOutputNames = kEnvelopeOutputNames;

  static Expected<BomarBands, IndicatorError> create(std::uint64_t period, double coverage);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return window_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  BomarBands(SortedWindow window, double coverage);
  SortedWindow window_;
  EqualRun run_;
  double coverage_;
  std::vector<double> deviations_;  // scratch, reused every bar
  OutputList<3> outputs_{kOutputNames};
};

}  // namespace vsci
