// Candle oscillators that place the bar within a range or a deviation band of
// recent bars: the commodity channel index (plain, adaptive and stochastic),
// the stochastic momentum index, the Aroon oscillator and the close's place
// between the projection bands. Fed only validated candles (see
// KindIndicator); single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/aroon_core.h"
#include "indicators/cores/equal_run.h"
#include "indicators/cores/mean_seeded_smoother.h"
#include "indicators/cores/monotone_extreme.h"
#include "indicators/cores/projection_core.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/rolling_extremes.h"
#include "indicators/indicator.h"

namespace vsci {

// (typical price - its mean) / (0.015 * mean deviation) over n bars; 0 when
// the window does not deviate. Also the core of StochasticCci.
class Cci {
 public:
  static Expected<Cci, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return prices_.capacity(); }

 private:
  explicit Cci(std::size_t n) : prices_(n), equal_(n) {}
  Ring<double> prices_;
  EqualRun equal_;
  double sum_ = 0.0;
  std::uint64_t since_resum_ = 0;
};

// Where the CCI stands between its lowest and highest of the last n values.
class StochasticCci {
 public:
  static Expected<StochasticCci, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 2 * values_.window() - 1; }

 private:
  StochasticCci(Cci cci, std::size_t n) : cci_(std::move(cci)), values_(n) {}
  Cci cci_;
  OldestRange values_;
};

// The CCI measured from a mean that adapts with the window's efficiency.
class AdaptiveCci {
 public:
  static Expected<AdaptiveCci, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return prices_.capacity(); }

 private:
  explicit AdaptiveCci(std::size_t n) : prices_(n), equal_(n) {}
  Ring<double> prices_;
  EqualRun equal_;
  std::optional<double> mean_;
};

// The doubly smoothed distance of the close from the middle of the k-bar
// range over half the doubly smoothed range, in percent.
class Smi {
 public:
  static Expected<Smi, IndicatorError> create(std::uint64_t k, std::uint64_t d1, std::uint64_t d2);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return k_ + rel_a_.period() + rel_b_.period() - 2; }

 private:
  Smi(std::size_t k, std::uint64_t d1, std::uint64_t d2)
      : highs_(k), lows_(k), k_(k), rel_a_(d1), rel_b_(d2), range_a_(d1), range_b_(d2) {}
  RollingExtremes highs_;
  RollingExtremes lows_;
  std::uint64_t k_;
  MeanSeededSmoother rel_a_;
  MeanSeededSmoother rel_b_;
  MeanSeededSmoother range_a_;
  MeanSeededSmoother range_b_;
  std::optional<double> last_;
};

// Aroon up minus Aroon down, -100 to 100.
class AroonOscillator {
 public:
  static Expected<AroonOscillator, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return aroon_.warmup(); }

 private:
  explicit AroonOscillator(AroonCore aroon) : aroon_(std::move(aroon)) {}
  AroonCore aroon_;
};

// The close between the lower (0) and upper (100) projection band; 50 when
// the bands meet.
class ProjectionBandPercent {
 public:
  static Expected<ProjectionBandPercent, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return bands_.warmup(); }

 private:
  explicit ProjectionBandPercent(ProjectionCore bands) : bands_(std::move(bands)) {}
  ProjectionCore bands_;
};

}  // namespace vsci
