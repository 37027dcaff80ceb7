// Cycle filters: close-series kinds built on recursive digital filters
// (high-pass, band-pass, super smoother), the oscillators and cycle estimators
// built on them, and the window transforms and statistics of the same family.
// Every kind is a plain value owned and driven by one thread at a time; closes
// reaching update_value are already finite (KindIndicator filters them).
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "indicators/cores/mirrored_ring.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/rolling_extremes.h"
#include "indicators/cores/sorted_window.h"
#include "indicators/indicator_error.h"
#include "util/expected.h"

namespace vsci {

// ---------------------------------------------------------------------------
// Filter stages. Each keeps its own input and output history and is fed once
// per accepted close. Their arithmetic order is part of the results.

// Two-pole high-pass with a double pole at 1 - alpha; its first two outputs
// are 0.
class TwoPoleHighpass {
 public:
  explicit TwoPoleHighpass(double period);

  double update(double u) {
    double hp = 0.0;
    if (inputs_ >= 2) {
      // Some kinds write this sum u2 + (u - 2 u1): addition commutes, so the
      // value is the same bit for bit.
      const double second_difference = (u - (u1_ + u1_)) + u2_;
      hp = (k_hp1_ * hp1_ + second_difference * k_input_) - k_hp2_ * hp2_;
    } else {
      ++inputs_;
    }
    hp2_ = hp1_;
    hp1_ = hp;
    u2_ = u1_;
    u1_ = u;
    return hp;
  }

 private:
  double k_input_ = 0.0;  // (1 - alpha/2)^2
  double k_hp1_ = 0.0;    // 2 (1 - alpha)
  double k_hp2_ = 0.0;    // (1 - alpha)^2
  double u1_ = 0.0, u2_ = 0.0, hp1_ = 0.0, hp2_ = 0.0;
  int inputs_ = 0;
};

// One-pole high-pass; its first output is 0.
class OnePoleHighpass {
 public:
  explicit OnePoleHighpass(double alpha) : one_minus_alpha_(1.0 - alpha), k_input_(alpha * (-0.5) + 1.0) {}
  // The coefficient of a period P: theta = 2 pi / P.
  static double alpha_for_period(double period);

  double update(double u) {
    double hp = 0.0;
    if (has_u1_) hp = one_minus_alpha_ * hp1_ + (u - u1_) * k_input_;
    hp1_ = hp;
    u1_ = u;
    has_u1_ = true;
    return hp;
  }

 private:
  double one_minus_alpha_ = 1.0;
  double k_input_ = 1.0;
  double hp1_ = 0.0, u1_ = 0.0;
  bool has_u1_ = false;
};

// Two-pole super smoother; its first two outputs equal their inputs.
class SuperSmootherStage {
 public:
  // theta = sqrt(2) pi / length.
  explicit SuperSmootherStage(double length);
  SuperSmootherStage(double c1, double c2, double c3) : c1_(c1), c2_(c2), c3_(c3) {}

  double update(double u) {
    double f = u;
    if (outputs_ >= 2) {
      f = (safe_midpoint(u, u1_) * c1_ + f1_ * c2_) + f2_ * c3_;
    } else {
      ++outputs_;
    }
    f2_ = f1_;
    f1_ = f;
    u1_ = u;
    return f;
  }

 private:
  double c1_ = 0.0, c2_ = 0.0, c3_ = 0.0;
  double u1_ = 0.0, f1_ = 0.0, f2_ = 0.0;
  int outputs_ = 0;
};

// Two-pole band-pass centred on 2 pi / n; `cos_argument` sets its width
// (gamma = 1 / cos(cos_argument)). Its first two outputs are 0.
class BandpassStage {
 public:
  BandpassStage(std::uint64_t period, double cos_argument);

  double update(double u) {
    double bp = 0.0;
    if (inputs_ >= 2) {
      bp = ((u - u2_) * k_input_ + k_bp1_ * bp1_) - alpha_ * bp2_;
    } else {
      ++inputs_;
    }
    bp2_ = bp1_;
    bp1_ = bp;
    u2_ = u1_;
    u1_ = u;
    return bp;
  }
  double last() const { return bp1_; }
  double before_last() const { return bp2_; }

 private:
  double alpha_ = 0.0;
  double k_input_ = 0.0;  // (1 - alpha) * 0.5
  double k_bp1_ = 0.0;    // beta * (alpha + 1)
  double u1_ = 0.0, u2_ = 0.0, bp1_ = 0.0, bp2_ = 0.0;
  int inputs_ = 0;
};

// ---------------------------------------------------------------------------
// Recursive filters: a value on every accepted close, from the first.

class HighpassFilter {
 public:
  static Expected<HighpassFilter, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x) { return hp_.update(x); }
  std::uint64_t warmup() const { return 1; }

 private:
  explicit HighpassFilter(double period) : hp_(period) {}
  TwoPoleHighpass hp_;
};

class SuperSmoother {
 public:
  static Expected<SuperSmoother, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x) { return ss_.update(x); }
  std::uint64_t warmup() const { return 1; }

 private:
  explicit SuperSmoother(double period) : ss_(period) {}
  SuperSmootherStage ss_;
};

// The close minus its two-pole high-pass: what is left is the trend.
class Decycler {
 public:
  static Expected<Decycler, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x) { return x - hp_.update(x); }
  std::uint64_t warmup() const { return 1; }

 private:
  explicit Decycler(double period) : hp_(period) {}
  TwoPoleHighpass hp_;
};

class DecyclerOscillator {
 public:
  static Expected<DecyclerOscillator, IndicatorError> create(std::uint64_t fast, std::uint64_t slow);
  std::optional<double> update_value(double x) {
    const double d_fast = x - fast_.update(x);
    const double d_slow = x - slow_.update(x);
    return d_fast - d_slow;
  }
  std::uint64_t warmup() const { return 1; }

 private:
  DecyclerOscillator(double fast, double slow) : fast_(fast), slow_(slow) {}
  TwoPoleHighpass fast_;
  TwoPoleHighpass slow_;
};

// Roofing filter: a one-pole high-pass followed by a super smoother. A close
// whose high-pass output is not finite gives no value; the high-pass has then
// advanced, the smoother has not.
class SuperSmoothedHighpass {
 public:
  static Expected<SuperSmoothedHighpass, IndicatorError> create(std::uint64_t lp, std::uint64_t hp);
  std::optional<double> update_value(double x) {
    const double h = hp_.update(x);
    if (!std::isfinite(h)) return std::nullopt;
    return ss_.update(h);
  }
  std::uint64_t warmup() const { return 1; }

 private:
  SuperSmoothedHighpass(double lp, double hp) : hp_(OnePoleHighpass::alpha_for_period(hp)), ss_(lp) {}
  OnePoleHighpass hp_;
  SuperSmootherStage ss_;
};

class BandpassFilter {
 public:
  static Expected<BandpassFilter, IndicatorError> create(std::uint64_t period, double bandwidth);
  std::optional<double> update_value(double x) { return bp_.update(x); }
  std::uint64_t warmup() const { return 1; }

 private:
  explicit BandpassFilter(BandpassStage bp) : bp_(bp) {}
  BandpassStage bp_;
};

class CyberneticCycle {
 public:
  static Expected<CyberneticCycle, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 1; }

 private:
  explicit CyberneticCycle(double period);
  double k_input_ = 0.0;  // (1 - alpha/2)^2
  double k_c1_ = 0.0;     // (1 - alpha) + (1 - alpha)
  double k_c2_ = 0.0;     // (1 - alpha)^2
  double x1_ = 0.0, x2_ = 0.0, x3_ = 0.0;  // previous closes
  double s1_ = 0.0, s2_ = 0.0;              // previous smoothed values
  double c1_ = 0.0, c2_ = 0.0;              // previous cycle values
  int closes_ = 0;                          // closes seen, up to 3
};

class InverseFisherTransform {
 public:
  static Expected<InverseFisherTransform, IndicatorError> create(double scale);
  std::optional<double> update_value(double x) const { return std::tanh(x * scale_); }
  std::uint64_t warmup() const { return 1; }

 private:
  explicit InverseFisherTransform(double scale) : scale_(scale) {}
  double scale_ = 1.0;
};

// ---------------------------------------------------------------------------
// Filtered oscillators and cycle estimators.

// Reflex and Trendflex: the mean distance of the super-smoothed close from
// its own history (Reflex measures from the line joining the window's ends),
// normalised by a slow running mean square.
class Reflex {
 public:
  enum class Measure { Reflex, Trendflex };
  static Expected<Reflex, IndicatorError> create(std::uint64_t period, Measure measure);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return period_ + 1; }

 private:
  Reflex(std::uint64_t period, Measure measure)
      : ss_(static_cast<double>(period) * 0.5), window_(period + 1), period_(period), measure_(measure) {}
  SuperSmootherStage ss_;
  MirroredRing<> window_;
  std::uint64_t period_ = 1;
  Measure measure_ = Measure::Reflex;
  double ms_ = 0.0;
};

// Stochastic of the roofing-filtered close (high-pass 48, smoother 10).
class EhlersStochastic {
 public:
  static Expected<EhlersStochastic, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return period_; }

 private:
  explicit EhlersStochastic(std::uint64_t period);
  OnePoleHighpass hp_;
  SuperSmootherStage ss_;
  RollingExtremes extremes_;
  std::uint64_t period_ = 1;
  double prev_stoch_ = 0.0;
  bool has_prev_ = false;
};

class EvenBetterSinewave {
 public:
  static Expected<EvenBetterSinewave, IndicatorError> create(std::uint64_t hp, std::uint64_t ss);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return 3; }

 private:
  EvenBetterSinewave(double hp, double ss);
  double alpha1_ = 0.0;
  double k_input_ = 0.0;  // (alpha1 + 1) * 0.5
  double h1_ = 0.0, x1_ = 0.0;
  bool has_x1_ = false;
  SuperSmootherStage ss_;
  double f1_ = 0.0, f2_ = 0.0;  // the two previous smoother outputs
  int outputs_ = 0;
};

// Trend mean of a band-passed close (the empirical mode decomposition); the
// peak and valley envelopes it keeps beside it set its warm-up.
class EmpiricalModeDecomposition {
 public:
  static Expected<EmpiricalModeDecomposition, IndicatorError> create(std::uint64_t period, double fraction);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return bp_window_.capacity() > 50 ? bp_window_.capacity() : 50; }
  // fraction times the mean of the last 50 held peaks (valleys).
  double upper_threshold() const { return fraction_ * peak_sum_ / 50.0; }
  double lower_threshold() const { return fraction_ * valley_sum_ / 50.0; }

 private:
  EmpiricalModeDecomposition(std::uint64_t period, double fraction);
  static void push_with_sum(Ring<double>& ring, double& sum, double x) {
    const double evicted = ring.full() ? ring.oldest() : 0.0;
    sum = (sum - evicted) + x;
    ring.push(x);
  }
  BandpassStage bp_;
  double fraction_ = 1.0;
  Ring<double> bp_window_;
  Ring<double> peaks_;
  Ring<double> valleys_;
  double bp_sum_ = 0.0, peak_sum_ = 0.0, valley_sum_ = 0.0;
  double peak_ = 0.0, valley_ = 0.0;
};

// Dominant cycle period from the autocorrelation of the roofing-filtered
// close, measured by a smoothed periodogram.
class AutocorrelationPeriodogram {
 public:
  static Expected<AutocorrelationPeriodogram, IndicatorError> create(std::uint64_t min_period,
                                                                     std::uint64_t max_period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return max_ + 3; }

 private:
  AutocorrelationPeriodogram(std::uint64_t min_period, std::uint64_t max_period);
  OnePoleHighpass hp_;
  SuperSmootherStage ss_;
  MirroredRing<> window_;
  std::uint64_t min_ = 0, max_ = 0;
  std::vector<double> corr_;     // by lag 0..max, from the first full window
  std::vector<double> power_;    // smoothed power by period min..max, likewise
  // (cos, sin) of 2 pi N / P by (P, N), shared with every instance of the
  // same bounds; none when too large.
  std::shared_ptr<const std::vector<double>> cos_sin_;
  double max_power_ = 0.0;
};

// ---------------------------------------------------------------------------
// Window transforms and statistics over the last n closes.

class CenterOfGravity {
 public:
  static Expected<CenterOfGravity, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return period_; }

 private:
  explicit CenterOfGravity(std::uint64_t period) : window_(period), period_(period) {}
  MirroredRing<> window_;
  std::uint64_t period_ = 1;
};

class FisherTransform {
 public:
  static Expected<FisherTransform, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return period_; }

 private:
  explicit FisherTransform(std::uint64_t period) : extremes_(static_cast<std::size_t>(period)), period_(period) {}
  RollingExtremes extremes_;
  std::uint64_t period_ = 1;
  double v_ = 0.0;
  double fish_ = 0.0;
};

class Autocorrelation {
 public:
  static Expected<Autocorrelation, IndicatorError> create(std::uint64_t period, std::uint64_t lag);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return period_; }

 private:
  Autocorrelation(std::uint64_t period, std::uint64_t lag) : window_(period), period_(period), lag_(lag) {}
  MirroredRing<> window_;
  std::uint64_t period_ = 2;
  std::uint64_t lag_ = 1;
};

// Correlation of the window with a rising straight line, in [-1, 1].
class CorrelationTrendIndicator {
 public:
  static Expected<CorrelationTrendIndicator, IndicatorError> create(std::uint64_t period);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return period_; }

 private:
  explicit CorrelationTrendIndicator(std::uint64_t period);
  MirroredRing<> window_;
  std::uint64_t period_ = 2;
  double sx_ = 0.0, sxx_ = 0.0;
};

// Rescaled-range estimate of the Hurst exponent, in [0, 1].
class HurstExponent {
 public:
  static Expected<HurstExponent, IndicatorError> create(std::uint64_t period, std::uint64_t chunks);
  std::optional<double> update_value(double x);
  std::uint64_t warmup() const { return period_; }

 private:
  HurstExponent(std::uint64_t period, std::uint64_t chunks) : window_(period), period_(period), chunks_(chunks) {}
  MirroredRing<> window_;
  std::uint64_t period_ = 4;
  std::uint64_t chunks_ = 2;
};

}  // namespace vsci
