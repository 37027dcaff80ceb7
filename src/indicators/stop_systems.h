// Candle kinds that trail a stop level or flag a reversal: the parabolic
// stop-and-reverse (AcceleratingStopReverse and its extended form SarExt),
// HiLoActivator, NewPriceLines, PivotReversal, ThreeLineBreak and
// TimeBasedStop. Fed only validated candles (see KindIndicator);
// single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/ring.h"
#include "indicators/cores/rolling_extremes.h"
#include "indicators/cores/window_sum.h"
#include "indicators/indicator.h"
#include "util/expected.h"

namespace vsci {

// The parabolic stop: trails the price, accelerating while the run makes new
// extremes, and flips side when the price touches it. AcceleratingStopReverse
// uses one acceleration for both sides; SarExt has one per side, an optional
// start level, a gap added on each reversal and a value signed by side.
class ParabolicStop {
 public:
  struct Acceleration {
    double initial = 0.0;
    double step = 0.0;
    double maximum = 0.0;
  };

  static Expected<ParabolicStop, IndicatorError> create_accelerating(double initial, double step, double maximum);
  static Expected<ParabolicStop, IndicatorError> create_extended(double start, double offset, double long_initial,
                                                                 double long_step, double long_maximum,
                                                                 double short_initial, double short_step,
                                                                 double short_maximum);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 2; }

 private:
  ParabolicStop(Acceleration long_side, Acceleration short_side, double start, double offset, bool extended);
  void initialise(double high, double low);
  void test_reversal(double candidate, double high, double low);
  const Acceleration& side() const { return long_ ? long_side_ : short_side_; }

  Acceleration long_side_;
  Acceleration short_side_;
  double start_;
  double offset_;
  bool extended_;
  bool seen_ = false;
  bool initialised_ = false;
  bool long_ = true;
  double acceleration_;
  double stop_;
  double extreme_;
  double prev_high_;
  double prev_low_;
  double before_high_;
  double before_low_;
};

// The previous bar's average low of the last n bars while the trend is up,
// its average high while it is down; the close beyond either average turns
// the trend.
class HiLoActivator {
 public:
  static Expected<HiLoActivator, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return highs_.capacity() + 1; }

 private:
  explicit HiLoActivator(std::size_t n) : highs_(n, true), lows_(n, true) {}
  struct Averages {
    double high = 0.0;
    double low = 0.0;
  };
  WindowSum highs_;
  WindowSum lows_;
  std::optional<Averages> prev_;
  bool up_ = true;
};

// -1 after n or more higher closes in a row, +1 after n or more lower ones.
class NewPriceLines {
 public:
  static Expected<NewPriceLines, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 2; }

 private:
  explicit NewPriceLines(std::uint64_t n) : n_(n) {}
  std::uint64_t n_;
  std::optional<double> prev_close_;
  std::uint64_t higher_ = 0;
  std::uint64_t lower_ = 0;
};

// +1 when the close breaks above the last confirmed pivot high, -1 below the
// last pivot low. A pivot is the candle L bars after the oldest of a window of
// L + R + 1 whose high (low) is strictly beyond every other in the window;
// the window's two sides keep their extremes in amortised constant time.
class PivotReversal {
 public:
  static Expected<PivotReversal, IndicatorError> create(std::uint64_t left, std::uint64_t right);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return window_; }

 private:
  PivotReversal(std::size_t left, std::size_t right);
  std::uint64_t window_;
  std::uint64_t seen_ = 0;  // bars seen, up to window_
  Ring<Candle> centre_and_right_;
  RollingExtremes left_highs_;
  RollingExtremes left_lows_;
  RollingExtremes right_highs_;
  RollingExtremes right_lows_;
  std::optional<double> pivot_high_;
  std::optional<double> pivot_low_;
  std::optional<double> prev_close_;
};

// The direction of a line-break chart of the closes: a close beyond the last
// line extends the trend, one beyond every one of the last n lines reverses it.
class ThreeLineBreak {
 public:
  static Expected<ThreeLineBreak, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 2; }

 private:
  explicit ThreeLineBreak(std::size_t n) : lines_(n) {}
  RollingExtremes lines_;
  std::optional<double> last_;
  int direction_ = 0;  // 0 until a second line is drawn
};

// The elapsed fraction of a holding period of n bars, capped at 1.
class TimeBasedStop {
 public:
  static Expected<TimeBasedStop, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 1; }

 private:
  explicit TimeBasedStop(std::uint64_t n) : n_(n) {}
  std::uint64_t n_;
  std::uint64_t count_ = 0;  // stops growing at n_, where the fraction is 1
};

}  // namespace vsci
