// Candle kinds that place the close within the recent high-low range
// (Stochastic, KasePermissionStochastic) or test how tight the range is
// (TtmSqueeze), publishing their lines as named outputs. Plain values, one
// thread at a time.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "indicators/cores/bollinger_core.h"
#include "indicators/cores/candle_window.h"
#include "indicators/cores/equal_run.h"
#include "indicators/cores/mean_seeded_smoother.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/rolling_extremes.h"
#include "indicators/cores/sma.h"
#include "indicators/cores/wilder.h"
#include "indicators/indicator.h"

namespace vsci {

// %K of the last k bars and its d-bar rolling mean %D.
class Stochastic {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"k", "d"};
  static Expected<Stochastic, IndicatorError> create(std::uint64_t k, std::uint64_t d);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return k_ + d_.period() - 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  Stochastic(std::uint64_t k, Sma d) : highs_(k), lows_(k), k_(k), d_(std::move(d)) {}
  RollingExtremes highs_;
  RollingExtremes lows_;
  std::uint64_t k_;
  Sma d_;
  OutputList<2> outputs_{kOutputNames};
};

// A raw stochastic of the last n bars smoothed by two exponential averages.
class KasePermissionStochastic {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"fast", "slow"};
  static Expected<KasePermissionStochastic, IndicatorError> create(std::uint64_t n, std::uint64_t m);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return window_.period() + 2 * fast_.period() - 2; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  KasePermissionStochastic(CandleWindow window, MeanSeededSmoother smoother)
      : window_(std::move(window)), fast_(smoother), slow_(smoother) {}
  CandleWindow window_;
  MeanSeededSmoother fast_;
  MeanSeededSmoother slow_;
  OutputList<2> outputs_{kOutputNames};
};

// 1 while the Bollinger band lies inside the Keltner channel, else 0; with
// the fitted end of a regression of the close against the range's centre.
class TtmSqueeze {
 public:
  static constexpr std::array<std::string_view, 2> kOutputNames{"squeeze", "momentum"};
  static Expected<TtmSqueeze, IndicatorError> create(std::uint64_t n, double band, double channel);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return window_.period(); }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  TtmSqueeze(std::size_t n, double band, double channel);
  CandleWindow window_;
  Ring<double> closes_;  // what the momentum regression runs over
  BollingerCore bollinger_;
  Sma mean_;
  WilderAtr atr_;
  EqualRun equal_closes_;  // a window of one close: its average is exact
  double channel_;
  double sum_x_;
  double denominator_;
  OutputList<2> outputs_{kOutputNames};
};

}  // namespace vsci
