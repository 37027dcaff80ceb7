// Candle momentum oscillators: differences of averages of the bar's median
// price (the Awesome family), the average body (Qstick), the close against its
// average in units of smoothed true range (Pgo), the smoothed Heikin-Ashi body,
// the share of bullish bodies, relative vigor and the regression of relative
// volatility (Inertia). Fed only validated candles (see KindIndicator);
// single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/heikin_ashi.h"
#include "indicators/cores/mean_seeded_smoother.h"
#include "indicators/cores/regression_window.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/running_sum.h"
#include "indicators/cores/rvi_core.h"
#include "indicators/cores/sma.h"
#include "indicators/indicator.h"

namespace vsci {

// Fast minus slow simple average of the median price.
class AwesomeOscillator {
 public:
  static Expected<AwesomeOscillator, IndicatorError> create(std::uint64_t fast, std::uint64_t slow);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return slow_.period(); }

 private:
  AwesomeOscillator(Sma fast, Sma slow) : fast_(std::move(fast)), slow_(std::move(slow)) {}
  Sma fast_;
  Sma slow_;
};

// The oscillator's change over `lag` bars.
class AwesomeOscillatorHistogram {
 public:
  static Expected<AwesomeOscillatorHistogram, IndicatorError> create(std::uint64_t fast, std::uint64_t slow,
                                                                     std::uint64_t lag);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return ao_.warmup() + lag_; }

 private:
  AwesomeOscillatorHistogram(AwesomeOscillator ao, std::uint64_t lag)
      : ao_(std::move(ao)), values_(static_cast<std::size_t>(lag) + 1), lag_(lag) {}
  AwesomeOscillator ao_;
  Ring<double> values_;  // the last lag + 1 oscillator values
  std::uint64_t lag_;
};

// The oscillator minus its own simple average.
class AcceleratorOscillator {
 public:
  static Expected<AcceleratorOscillator, IndicatorError> create(std::uint64_t fast, std::uint64_t slow,
                                                                std::uint64_t signal);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return ao_.warmup() + signal_.period() - 1; }

 private:
  AcceleratorOscillator(AwesomeOscillator ao, Sma signal) : ao_(std::move(ao)), signal_(std::move(signal)) {}
  AwesomeOscillator ao_;
  Sma signal_;
};

// The simple average of close - open.
class Qstick {
 public:
  static Expected<Qstick, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c) { return bodies_.update_value(c.close - c.open); }
  std::uint64_t warmup() const { return bodies_.period(); }

 private:
  explicit Qstick(Sma bodies) : bodies_(std::move(bodies)) {}
  Sma bodies_;
};

// (close - its average) / smoothed true range; the last value again while the
// smoothed range is not positive.
class Pgo {
 public:
  static Expected<Pgo, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return closes_.period(); }

 private:
  Pgo(Sma closes, std::uint64_t n) : closes_(std::move(closes)), range_(n) {}
  Sma closes_;
  MeanSeededSmoother range_;
  std::optional<double> prev_close_;
  std::optional<double> last_;
};

// The smoothed body of the Heikin-Ashi candle.
class HeikinAshiBodyOscillator {
 public:
  static Expected<HeikinAshiBodyOscillator, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return body_.period(); }

 private:
  explicit HeikinAshiBodyOscillator(std::uint64_t n) : body_(n) {}
  std::optional<HeikinAshiPair> prev_;
  MeanSeededSmoother body_;
};

// 100 * bullish bodies / all bodies over n bars; 50 when no bar had a body.
class IntradayMomentumIndex {
 public:
  static Expected<IntradayMomentumIndex, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return moves_.capacity(); }

 private:
  explicit IntradayMomentumIndex(std::size_t n) : moves_(n) {}
  PairedWindowSum moves_;  // (gain, loss) of each body
};

// Summed weighted close - open over summed weighted range, in [-1, 1]; the
// last value again while the summed range is not positive.
class Rvi {
 public:
  static Expected<Rvi, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return weighted_.capacity() + 3; }

 private:
  struct Vigor {
    double body;
    double range;
  };
  explicit Rvi(std::size_t n) : bars_(4), weighted_(n) {}
  Ring<Vigor> bars_;
  PairedWindowSum weighted_;  // (body, range) weighted over four bars
  std::optional<double> last_;
};

// The least-squares line through the relative volatility index, at its newest point.
class Inertia {
 public:
  static Expected<Inertia, IndicatorError> create(std::uint64_t r, std::uint64_t m);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return rvi_.warmup() + line_.warmup() - 1; }

 private:
  Inertia(RviVolatility rvi, LinearRegression line) : rvi_(std::move(rvi)), line_(std::move(line)) {}
  RviVolatility rvi_;
  LinearRegression line_;
};

}  // namespace vsci
