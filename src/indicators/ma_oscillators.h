// Oscillators of the close built from exponential and simple averages: the
// price oscillators and their signal-line histograms, rates of change of
// smoothed series, the true strength index, the Schaff trend cycle, the trend
// intensity index, the impulse vote and the universal oscillator. Each kind is
// a plain value driven through KindIndicator; single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/change_stream.h"
#include "indicators/cores/ema.h"
#include "indicators/cores/macd_core.h"
#include "indicators/cores/monotone_extreme.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/running_sum.h"
#include "indicators/cores/sma.h"
#include "indicators/indicator_error.h"
#include "util/expected.h"

namespace vsci {

// A fast and a slow EMA of the close, fed together on every bar; a value only
// on bars where both give one. Owners run their own checks before building it.
class EmaPair {
 public:
  struct Values {
    double fast = 0.0;
    double slow = 0.0;
  };
  static EmaPair unchecked(std::uint64_t fast, std::uint64_t slow);
  std::optional<Values> update_value(double x);

 private:
  EmaPair(Ema fast, Ema slow) : fast_(fast), slow_(slow) {}
  Ema fast_;
  Ema slow_;
};

// EMA(fast) - EMA(slow).
class Apo {
 public:
  static Expected<Apo, IndicatorError> create(std::uint64_t fast, std::uint64_t slow);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return slow_period_; }

 private:
  Apo(EmaPair emas, std::uint64_t slow) : emas_(emas), slow_period_(slow) {}
  EmaPair emas_;
  std::uint64_t slow_period_;
};

// (EMA(fast) - EMA(slow)) as a percentage of EMA(slow); 0 when that is 0.
class Ppo {
 public:
  static Expected<Ppo, IndicatorError> create(std::uint64_t fast, std::uint64_t slow);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return slow_period_; }

 private:
  Ppo(EmaPair emas, std::uint64_t slow) : emas_(emas), slow_period_(slow) {}
  EmaPair emas_;
  std::uint64_t slow_period_;
};

// The percentage oscillator minus its EMA(signal).
class PpoHistogram {
 public:
  static Expected<PpoHistogram, IndicatorError> create(std::uint64_t fast, std::uint64_t slow,
                                                       std::uint64_t signal);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return warmup_; }

 private:
  PpoHistogram(Ppo ppo, Ema signal, std::uint64_t warmup) : ppo_(ppo), signal_(signal), warmup_(warmup) {}
  Ppo ppo_;
  Ema signal_;
  std::uint64_t warmup_;
};

// The MACD line minus its EMA(signal); also the momentum half of ElderImpulse.
class MacdHistogram {
 public:
  static Expected<MacdHistogram, IndicatorError> create(std::uint64_t fast, std::uint64_t slow,
                                                        std::uint64_t signal);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return core_.warmup(); }

 private:
  explicit MacdHistogram(FusedMacdCore core) : core_(core) {}
  FusedMacdCore core_;
};

// One-bar percent change of a triple EMA.
class Trix {
 public:
  static Expected<Trix, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 3 * period_ - 1; }

 private:
  Trix(Ema e, std::uint64_t period) : e1_(e), e2_(e), e3_(e), period_(period) {}
  Ema e1_;
  Ema e2_;
  Ema e3_;
  std::uint64_t period_;
  std::optional<double> prev_;
};

// True strength index: double-smoothed change over double-smoothed |change|.
class Tsi {
 public:
  static Expected<Tsi, IndicatorError> create(std::uint64_t first, std::uint64_t second);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return warmup_; }

 private:
  Tsi(Ema first, Ema second, std::uint64_t warmup)
      : n1_(first), n2_(second), a1_(first), a2_(second), warmup_(warmup) {}
  Ema n1_;
  Ema n2_;
  Ema a1_;
  Ema a2_;
  std::uint64_t warmup_;
  ChangeStream diffs_;
};

// Price momentum oscillator: the percent change smoothed twice by averages
// with alpha = 2 / p, each seeded by its first input.
class Pmo {
 public:
  static Expected<Pmo, IndicatorError> create(std::uint64_t first, std::uint64_t second);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 2; }

 private:
  // An exponential average whose first input is its first value.
  struct Smoother {
    double alpha = 1.0;
    double one_minus_alpha = 0.0;
    std::optional<double> value;
    double update(double x);
  };
  Pmo(double alpha1, double alpha2) : first_{alpha1, 1.0 - alpha1, {}}, second_{alpha2, 1.0 - alpha2, {}} {}
  Smoother first_;
  Smoother second_;
  std::optional<double> prev_;
};

// Schaff trend cycle: the MACD line put through two smoothed stochastics over
// `cycle` values.
class Stc {
 public:
  static Expected<Stc, IndicatorError> create(std::uint64_t fast, std::uint64_t slow, std::uint64_t cycle,
                                              double factor);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return warmup_; }

 private:
  Stc(EmaPair emas, std::size_t cycle, double factor, std::uint64_t warmup)
      : emas_(emas), macd_(cycle), stage1_(cycle), factor_(factor), warmup_(warmup) {}

  // A ring of c values and its extremes, as a std::min / std::max scan that
  // starts from the oldest value finds them.
  class StochasticRing {
   public:
    explicit StochasticRing(std::size_t n) : values_(n), range_(n) {}
    void push(double v);
    bool full() const { return values_.full(); }
    // Where v lies in the ring's range, 0 to 100 (0 for an empty range).
    double stochastic(double v) const;

   private:
    Ring<double> values_;
    OldestRange range_;
  };

  EmaPair emas_;
  StochasticRing macd_;
  StochasticRing stage1_;
  double factor_;
  std::uint64_t warmup_;
  std::optional<double> s1_;
  std::optional<double> s2_;
};

// Trend intensity index: share of positive deviations of the close from its
// simple average over the last `window` bars.
class Tii {
 public:
  static Expected<Tii, IndicatorError> create(std::uint64_t period, std::uint64_t window);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return sma_.period() + devs_.capacity() - 1; }

 private:
  Tii(Sma sma, std::size_t window) : sma_(std::move(sma)), devs_(window) {}
  Sma sma_;
  Ring<double> devs_;
  RunningSum pos_;  // of the positive deviations
  RunningSum neg_;  // of the magnitudes of the negative ones
};

// +1 when both the trend EMA and the MACD histogram rise, -1 when both fall,
// 0 otherwise.
class ElderImpulse {
 public:
  static Expected<ElderImpulse, IndicatorError> create(std::uint64_t trend, std::uint64_t fast, std::uint64_t slow,
                                                       std::uint64_t signal);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return warmup_; }

 private:
  ElderImpulse(Ema trend, MacdHistogram macd, std::uint64_t warmup)
      : trend_(trend), macd_(std::move(macd)), warmup_(warmup) {}
  Ema trend_;
  MacdHistogram macd_;
  std::uint64_t warmup_;
  std::optional<double> prev_trend_;
  std::optional<double> prev_hist_;
};

// Super-smoothed half-difference of the close, normalised by a decaying peak.
class UniversalOscillator {
 public:
  static Expected<UniversalOscillator, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 3; }

 private:
  explicit UniversalOscillator(double period);
  void shift_closes(double x) {
    close2_ = close1_;
    close1_ = x;
  }
  double c1_;
  double c2_;
  double c3_;
  std::optional<double> close1_;
  std::optional<double> close2_;
  std::optional<double> prev_half_;
  std::optional<double> filt1_;
  std::optional<double> filt2_;
  double peak_ = 0.0;
  std::optional<double> last_;
};

}  // namespace vsci
