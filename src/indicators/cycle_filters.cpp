// The recursive filters fix their coefficients at construction and step with a
// few multiplications a bar; the family's oscillators sit on them.
#include "indicators/cycle_filters.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "indicators/cores/window_checks.h"
#include "market/price_checks.h"
#include "util/interrupt.h"
#include "util/math_constants.h"

namespace vsci {

namespace {

// The roofing filter of the stochastic and the periodogram ends in a 10-bar
// super smoother with these fixed coefficients.
constexpr double kRoofC1 = 0.2531948016118099;
constexpr double kRoofC2 = 1.1580458998309644;
constexpr double kRoofC3 = -0.4112407014427743;

// A one-pole high-pass has no usable coefficient at these periods: it is
// exactly 0 at 4 (the filter no longer removes anything) and leaves the
// stable range at 1 and 2.
bool degenerate_one_pole_period(std::uint64_t period) { return period == 1 || period == 2 || period == 4; }

// The angle of correlation lag N at period P in the periodogram's transform;
// the table holds its cosine and sine, the untabled path evaluates them.
double periodogram_angle(std::uint64_t lag, std::uint64_t period) {
  return (kTwoPi * static_cast<double>(lag)) / static_cast<double>(period);
}

// One table holds at most this many bytes, and all tables alive at once at
// most kAllTablesBytes; past either, the periodogram evaluates its cosines
// and sines on every bar instead (the values are the same).
constexpr std::uint64_t kTableBytes = std::uint64_t{16} << 20;
constexpr std::uint64_t kAllTablesBytes = std::uint64_t{256} << 20;

using PeriodogramTable = std::vector<double>;

// The tables alive, by (min, max): each is built by the first instance that
// needs it and shared read-only by every instance with the same bounds, on
// any thread, until the last of them lets it go.
class PeriodogramTables {
 public:
  std::shared_ptr<const PeriodogramTable> get(std::uint64_t min, std::uint64_t max) {
    const std::uint64_t bytes = (max - 2) * (max - min + 1) * 2 * sizeof(double);
    if (bytes > kTableBytes) return nullptr;
    const std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(tables_, [](const auto& entry) { return entry.second.expired(); });
    const auto found = tables_.find({min, max});
    if (found != tables_.end()) {
      if (auto table = found->second.lock()) return table;
    }
    if (live_bytes_.load() + bytes > kAllTablesBytes) return nullptr;
    auto table = std::make_unique<PeriodogramTable>();
    table->reserve(static_cast<std::size_t>(bytes / sizeof(double)));
    for (std::uint64_t p = min; p <= max; ++p) {
      for (std::uint64_t lag = 3; lag <= max; ++lag) {
        const double angle = periodogram_angle(lag, p);
        table->push_back(std::cos(angle));
        table->push_back(std::sin(angle));
      }
    }
    live_bytes_ += bytes;
    std::shared_ptr<const PeriodogramTable> shared(table.release(), [this, bytes](const PeriodogramTable* t) {
      delete t;
      live_bytes_ -= bytes;
    });
    tables_[{min, max}] = shared;
    return shared;
  }

 private:
  std::mutex mutex_;
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::weak_ptr<const PeriodogramTable>> tables_;
  std::atomic<std::uint64_t> live_bytes_{0};
};

std::shared_ptr<const PeriodogramTable> periodogram_table(std::uint64_t min, std::uint64_t max) {
  // Never destroyed: an instance may let its table go after static
  // destruction has begun.
  static PeriodogramTables& tables = *new PeriodogramTables;
  return tables.get(min, max);
}

struct PlainSum {
  double sum = 0.0;  // from +0.0, in order
  bool flat = true;  // every value equal
};

PlainSum plain_sum(std::span<const double> values) {
  PlainSum s;
  for (double v : values) {
    s.sum += v;
    s.flat = s.flat && v == values[0];
  }
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------
// Stages

TwoPoleHighpass::TwoPoleHighpass(double period) {
  const double theta = 4.442212012175967 / period;
  const double alpha = (std::cos(theta) + std::sin(theta) - 1.0) / std::cos(theta);
  const double half = alpha * (-0.5) + 1.0;
  const double one_minus_alpha = 1.0 - alpha;
  k_input_ = half * half;
  k_hp1_ = 2.0 * one_minus_alpha;
  k_hp2_ = one_minus_alpha * one_minus_alpha;
}

double OnePoleHighpass::alpha_for_period(double period) {
  const double theta = kTwoPi / period;
  return (std::cos(theta) + std::sin(theta) - 1.0) / std::cos(theta);
}

SuperSmootherStage::SuperSmootherStage(double length) {
  const double theta = 4.442882938158366 / length;
  const double a = std::exp(-theta);
  const double b = std::cos(theta) * (a + a);
  c2_ = b;
  c3_ = -(a * a);
  c1_ = (1.0 - b) - c3_;
}

BandpassStage::BandpassStage(std::uint64_t period, double cos_argument) {
  const double beta = std::cos(kTwoPi / static_cast<double>(period));
  const double gamma = 1.0 / std::cos(cos_argument);
  alpha_ = gamma - std::sqrt(gamma * gamma - 1.0);
  k_input_ = (1.0 - alpha_) * 0.5;
  k_bp1_ = beta * (alpha_ + 1.0);
}

// ---------------------------------------------------------------------------
// Recursive filters

Expected<HighpassFilter, IndicatorError> HighpassFilter::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  if (period == 1) return unexpected(IndicatorError::invalid_period("high-pass period must be at least 2"));
  return HighpassFilter(static_cast<double>(period));
}

Expected<SuperSmoother, IndicatorError> SuperSmoother::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return SuperSmoother(static_cast<double>(period));
}

Expected<Decycler, IndicatorError> Decycler::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  if (period == 1) return unexpected(IndicatorError::invalid_period("high-pass period must be at least 2"));
  return Decycler(static_cast<double>(period));
}

Expected<DecyclerOscillator, IndicatorError> DecyclerOscillator::create(std::uint64_t fast, std::uint64_t slow) {
  if (fast == 0 || slow == 0) return unexpected(IndicatorError::period_zero());
  if (fast >= slow) {
    return unexpected(IndicatorError::invalid_period("fast period must be strictly less than slow period"));
  }
  if (slow > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  if (fast == 1) return unexpected(IndicatorError::invalid_period("fast period must be at least 2"));
  return DecyclerOscillator(static_cast<double>(fast), static_cast<double>(slow));
}

Expected<SuperSmoothedHighpass, IndicatorError> SuperSmoothedHighpass::create(std::uint64_t lp, std::uint64_t hp) {
  if (lp == 0 || hp == 0) return unexpected(IndicatorError::period_zero());
  if (lp >= hp) return unexpected(IndicatorError::invalid_period("lp_period must be strictly less than hp_period"));
  if (lp > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  if (degenerate_one_pole_period(hp)) {
    return unexpected(IndicatorError::invalid_period("hp_period must be 3 or at least 5"));
  }
  return SuperSmoothedHighpass(static_cast<double>(lp), static_cast<double>(hp));
}

Expected<BandpassFilter, IndicatorError> BandpassFilter::create(std::uint64_t period, double bandwidth) {
  if (auto e = check_period(period)) return unexpected(*e);
  if (!std::isfinite(bandwidth) || bandwidth <= 0.0 || bandwidth >= 1.0) {
    return unexpected(IndicatorError::invalid_parameter("bandpass bandwidth must be in (0, 1)"));
  }
  // From period / 8 on, cos(4 pi bandwidth / period) is no longer positive and
  // the filter's gain runs off to infinity.
  const double n = static_cast<double>(period);
  const double cos_argument = (bandwidth * 12.566370614359172) / n;
  if (bandwidth * 8.0 >= n || !(std::cos(cos_argument) > 0.0)) {
    return unexpected(IndicatorError::invalid_parameter("bandpass bandwidth must be less than period / 8"));
  }
  return BandpassFilter(BandpassStage(period, cos_argument));
}

Expected<CyberneticCycle, IndicatorError> CyberneticCycle::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return CyberneticCycle(static_cast<double>(period));
}

CyberneticCycle::CyberneticCycle(double period) {
  const double alpha = 2.0 / (period + 1.0);
  const double half = alpha * (-0.5) + 1.0;
  const double one_minus_alpha = 1.0 - alpha;
  k_input_ = half * half;
  k_c1_ = one_minus_alpha + one_minus_alpha;
  k_c2_ = one_minus_alpha * one_minus_alpha;
}

std::optional<double> CyberneticCycle::update_value(double x) {
  const double smooth = closes_ >= 3 ? (x3_ + ((x2_ + x2_) + (x + (x1_ + x1_)))) / 6.0 : x;
  double cycle;
  if (closes_ >= 2) {
    cycle = (c1_ * k_c1_ + (s2_ + (smooth - (s1_ + s1_))) * k_input_) - c2_ * k_c2_;
  } else {
    const double p1 = closes_ >= 1 ? x1_ : x;
    cycle = (x + (x - (p1 + p1))) * 0.25;  // the close before p1 is absent: x stands in
  }
  x3_ = x2_;
  x2_ = x1_;
  x1_ = x;
  s2_ = s1_;
  s1_ = smooth;
  c2_ = c1_;
  c1_ = cycle;
  if (closes_ < 3) ++closes_;
  return cycle;
}

Expected<InverseFisherTransform, IndicatorError> InverseFisherTransform::create(double scale) {
  if (!(scale > 0.0) || !std::isfinite(scale)) {
    return unexpected(IndicatorError::invalid_period("scale must be a positive finite number"));
  }
  return InverseFisherTransform(scale);
}

// ---------------------------------------------------------------------------
// Filtered oscillators and cycle estimators

Expected<Reflex, IndicatorError> Reflex::create(std::uint64_t period, Measure measure) {
  if (auto e = check_period(period)) return unexpected(*e);
  return Reflex(period, measure);
}

std::optional<double> Reflex::update_value(double x) {
  window_.push(ss_.update(x));
  if (!window_.full()) return std::nullopt;
  const std::span<const double> w = window_.oldest_first();  // n + 1 values
  const std::size_t n = static_cast<std::size_t>(period_);
  const double nd = static_cast<double>(period_);
  const double f0 = w[n];
  double sum = 0.0;
  if (measure_ == Measure::Reflex) {
    const double slope = (w[0] - f0) / nd;
    for (std::size_t i = 1; i <= n; ++i) sum += (f0 + slope * static_cast<double>(i)) - w[n - i];
  } else {
    for (std::size_t i = 1; i <= n; ++i) sum += f0 - w[n - i];
  }
  sum = sum / nd;
  ms_ = ms_ * 0.96 + sum * (sum * 0.04);
  return ms_ > 0.0 ? sum / std::sqrt(ms_) : 0.0;
}

Expected<EhlersStochastic, IndicatorError> EhlersStochastic::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return EhlersStochastic(period);
}

EhlersStochastic::EhlersStochastic(std::uint64_t period)
    : hp_(0.1230235370072432),
      ss_(kRoofC1, kRoofC2, kRoofC3),
      extremes_(static_cast<std::size_t>(period)),
      period_(period) {}

std::optional<double> EhlersStochastic::update_value(double x) {
  const double h = hp_.update(x);
  if (!std::isfinite(h)) return std::nullopt;
  const double f = ss_.update(h);
  extremes_.push(f);
  if (!extremes_.full()) return std::nullopt;
  const double lo = extremes_.smallest();
  const double range = extremes_.largest() - lo;
  const double stoch = range > 0.0 ? std::fma(2.0, (f - lo) / range, -1.0) : 0.0;
  const double value = has_prev_ ? safe_midpoint(stoch, prev_stoch_) : stoch;
  prev_stoch_ = stoch;
  has_prev_ = true;
  return value;
}

Expected<EvenBetterSinewave, IndicatorError> EvenBetterSinewave::create(std::uint64_t hp, std::uint64_t ss) {
  if (hp == 0 || ss == 0) return unexpected(IndicatorError::period_zero());
  if (ss > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  if (degenerate_one_pole_period(hp)) {
    return unexpected(IndicatorError::invalid_period("hp_period must be 3 or at least 5"));
  }
  return EvenBetterSinewave(static_cast<double>(hp), static_cast<double>(ss));
}

EvenBetterSinewave::EvenBetterSinewave(double hp, double ss) : ss_(ss) {
  const double theta = kTwoPi / hp;
  alpha1_ = (1.0 - std::sin(theta)) / std::cos(theta);
  k_input_ = (alpha1_ + 1.0) * 0.5;
}

std::optional<double> EvenBetterSinewave::update_value(double x) {
  const double h = has_x1_ ? alpha1_ * h1_ + (x - x1_) * k_input_ : 0.0;
  h1_ = h;
  x1_ = x;
  has_x1_ = true;
  if (!std::isfinite(h)) return std::nullopt;
  const double f0 = ss_.update(h);
  if (outputs_ < 2) {
    ++outputs_;
    f2_ = f1_;
    f1_ = f0;
    return std::nullopt;
  }
  const double wave = (f2_ + (f0 + f1_)) / 3.0;
  const double power = (f2_ * f2_ + (f0 * f0 + f1_ * f1_)) / 3.0;
  f2_ = f1_;
  f1_ = f0;
  if (!(power > 0.0)) return 0.0;
  return std::clamp(wave / std::sqrt(power), -1.0, 1.0);
}

Expected<EmpiricalModeDecomposition, IndicatorError> EmpiricalModeDecomposition::create(std::uint64_t period,
                                                                                       double fraction) {
  if (auto e = check_period(period)) return unexpected(*e);
  if (!std::isfinite(fraction) || fraction <= 0.0 || fraction > 1.0) {
    return unexpected(IndicatorError::invalid_period("fraction must be in (0, 1]"));
  }
  return EmpiricalModeDecomposition(period, fraction);
}

EmpiricalModeDecomposition::EmpiricalModeDecomposition(std::uint64_t period, double fraction)
    : bp_(period, 1.2566370614359172 / static_cast<double>(period)),
      fraction_(fraction),
      bp_window_(static_cast<std::size_t>(2 * period)),
      peaks_(50),
      valleys_(50) {}

std::optional<double> EmpiricalModeDecomposition::update_value(double x) {
  const double bp1 = bp_.last();
  const double bp2 = bp_.before_last();
  const double bp = bp_.update(x);
  if (bp1 > bp && bp1 > bp2) peak_ = bp1;
  if (bp1 < bp && bp1 < bp2) valley_ = bp1;
  push_with_sum(bp_window_, bp_sum_, bp);
  push_with_sum(peaks_, peak_sum_, peak_);
  push_with_sum(valleys_, valley_sum_, valley_);
  if (!bp_window_.full() || !peaks_.full()) return std::nullopt;
  return bp_sum_ / static_cast<double>(bp_window_.capacity());
}

Expected<AutocorrelationPeriodogram, IndicatorError> AutocorrelationPeriodogram::create(std::uint64_t min_period,
                                                                                       std::uint64_t max_period) {
  if (min_period == 0 || max_period == 0) return unexpected(IndicatorError::period_zero());
  if (min_period < 4 || max_period <= min_period) {
    return unexpected(
        IndicatorError::invalid_period("autocorrelation periodogram needs AvgLength < min_period < max_period"));
  }
  if (max_period <= 10) {
    return unexpected(IndicatorError::invalid_period("lp_period must be strictly less than hp_period"));
  }
  if (max_period > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return AutocorrelationPeriodogram(min_period, max_period);
}

AutocorrelationPeriodogram::AutocorrelationPeriodogram(std::uint64_t min_period, std::uint64_t max_period)
    : hp_(OnePoleHighpass::alpha_for_period(static_cast<double>(max_period))),
      ss_(kRoofC1, kRoofC2, kRoofC3),
      window_(static_cast<std::size_t>(max_period + 3)),
      min_(min_period),
      max_(max_period) {}

std::optional<double> AutocorrelationPeriodogram::update_value(double x) {
  const double h = hp_.update(x);
  if (!std::isfinite(h)) return std::nullopt;
  window_.push(ss_.update(h));
  if (!window_.full()) return std::nullopt;
  const std::span<const double> w = window_.oldest_first();
  const std::size_t newest = w.size() - 1;
  const std::size_t max = static_cast<std::size_t>(max_);
  // Sized once the window is full, so that their length follows the values
  // held rather than the declared periods; the power starts from 0.
  if (power_.empty()) {
    corr_.assign(max + 1, 0.0);
    power_.assign(static_cast<std::size_t>(max_ - min_ + 1), 0.0);
    cos_sin_ = periodogram_table(min_, max_);
  }

  for (std::size_t lag = 0; lag <= max; ++lag) {
    double sx = 0.0, sy = 0.0, sxx = 0.0, syy = 0.0, sxy = 0.0;
    for (std::size_t i = 0; i < 3; ++i) {
      const double xi = w[newest - i];
      const double yi = w[newest - i - lag];
      sx += xi;
      sy += yi;
      sxx += xi * xi;
      syy += yi * yi;
      sxy += xi * yi;
    }
    const double d = (3.0 * sxx - sx * sx) * (3.0 * syy - sy * sy);
    corr_[lag] = d > 0.0 ? (3.0 * sxy - sx * sy) / std::sqrt(d) : 0.0;
  }

  max_power_ = max_power_ * 0.995;
  const double* row = cos_sin_ != nullptr ? cos_sin_->data() : nullptr;
  for (std::uint64_t p = min_; p <= max_; ++p) {
    double c = 0.0, s = 0.0;
    if (row != nullptr) {
      for (std::size_t lag = 3; lag <= max; ++lag, row += 2) {
        c += corr_[lag] * row[0];
        s += corr_[lag] * row[1];
      }
    } else {
      // A row costs milliseconds here: a stop asked for meanwhile need not
      // wait for the rest of the bar.
      check_interrupt();
      for (std::size_t lag = 3; lag <= max; ++lag) {
        const double angle = periodogram_angle(lag, p);
        c += corr_[lag] * std::cos(angle);
        s += corr_[lag] * std::sin(angle);
      }
    }
    const double q = c * c + s * s;
    double& r = power_[static_cast<std::size_t>(p - min_)];
    r = q * (q * 0.2) + 0.8 * r;
    if (r > max_power_) max_power_ = r;
  }

  const double lo = static_cast<double>(min_);
  if (!(max_power_ > 0.0)) return lo;
  double weighted = 0.0, total = 0.0;
  for (std::uint64_t p = min_; p <= max_; ++p) {
    const double share = power_[static_cast<std::size_t>(p - min_)] / max_power_;
    if (share >= 0.5) {
      weighted += static_cast<double>(p) * share;
      total += share;
    }
  }
  if (!(total > 0.0)) return lo;
  return std::clamp(weighted / total, lo, static_cast<double>(max_));
}

// ---------------------------------------------------------------------------
// Window transforms and statistics

Expected<CenterOfGravity, IndicatorError> CenterOfGravity::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return CenterOfGravity(period);
}

std::optional<double> CenterOfGravity::update_value(double x) {
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const std::span<const double> w = window_.oldest_first();
  const std::size_t n = w.size();
  double num = 0.0, den = 0.0;
  bool flat = true;
  for (std::size_t i = 0; i < n; ++i) {  // newest first
    const double v = w[n - 1 - i];
    num += (static_cast<double>(i) + 1.0) * v;
    den += v;
    flat = flat && v == x;
  }
  // A flat window balances exactly at its centre; the sums would leave a
  // rounding residue instead of 0.
  if (flat || std::fabs(den) <= EPS) return 0.0;
  return (static_cast<double>(n) + 1.0) * 0.5 - num / den;
}

Expected<FisherTransform, IndicatorError> FisherTransform::create(std::uint64_t period) {
  if (auto e = check_period(period)) return unexpected(*e);
  return FisherTransform(period);
}

std::optional<double> FisherTransform::update_value(double x) {
  extremes_.push(x);
  if (!extremes_.full()) return std::nullopt;
  const double lo = extremes_.smallest();
  const double range = extremes_.largest() - lo;
  const double norm = range > 0.0 ? std::fma(2.0, (x - lo) / range, -1.0) : 0.0;
  v_ = std::clamp(std::fma(norm, 0.33, v_ * 0.67), -0.999, 0.999);
  fish_ = std::fma(0.5, std::log((1.0 + v_) / (1.0 - v_)), 0.5 * fish_);
  return fish_;
}

Expected<Autocorrelation, IndicatorError> Autocorrelation::create(std::uint64_t period, std::uint64_t lag) {
  if (lag == 0) return unexpected(IndicatorError::invalid_period("autocorrelation lag must be >= 1"));
  if (period <= lag) return unexpected(IndicatorError::invalid_period("autocorrelation needs period > lag"));
  if (period > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return Autocorrelation(period, lag);
}

std::optional<double> Autocorrelation::update_value(double x) {
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const std::span<const double> w = window_.oldest_first();
  const std::size_t n = w.size();
  const PlainSum s = plain_sum(w);
  // A constant window has no correlation to measure; its one-ulp mean error
  // would otherwise give (n - lag) / n.
  if (s.flat) return 0.0;
  const double m = s.sum / static_cast<double>(n);
  double den = 0.0;
  for (double v : w) den += (v - m) * (v - m);
  double num = 0.0;
  const std::size_t lag = static_cast<std::size_t>(lag_);
  for (std::size_t i = 0; i + lag < n; ++i) num += (w[i] - m) * (w[i + lag] - m);
  return den == 0.0 ? 0.0 : num / den;
}

Expected<CorrelationTrendIndicator, IndicatorError> CorrelationTrendIndicator::create(std::uint64_t period) {
  if (period < 2) return unexpected(IndicatorError::invalid_period("CTI needs period >= 2"));
  if (period > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return CorrelationTrendIndicator(period);
}

CorrelationTrendIndicator::CorrelationTrendIndicator(std::uint64_t period)
    : window_(static_cast<std::size_t>(period)), period_(period) {
  const double n = static_cast<double>(period);
  sx_ = ((n - 1.0) * n) * 0.5;
  sxx_ = (((n - 1.0) * n) * (2.0 * n - 1.0)) / 6.0;
}

std::optional<double> CorrelationTrendIndicator::update_value(double x) {
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const std::span<const double> w = window_.oldest_first();
  const double n = static_cast<double>(period_);
  const PlainSum s = plain_sum(w);
  // Equal closes carry no trend; their mean's rounding error must not turn
  // into a correlation.
  if (s.flat) return 0.0;
  const double m = s.sum / n;
  double sy = 0.0, syy = 0.0, sxy = 0.0;
  for (std::size_t i = 0; i < w.size(); ++i) {
    const double d = w[i] - m;
    sy += d;
    syy += d * d;
    sxy += d * static_cast<double>(i);
  }
  const double den = (sxx_ * n - sx_ * sx_) * (syy * n - sy * sy);
  if (den == 0.0) return 0.0;
  return std::clamp((sxy * n - sx_ * sy) / std::sqrt(den), -1.0, 1.0);
}

Expected<HurstExponent, IndicatorError> HurstExponent::create(std::uint64_t period, std::uint64_t chunks) {
  if (chunks < 2) return unexpected(IndicatorError::invalid_period("Hurst chunks must be >= 2"));
  if (chunks > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  if (period < 2 * chunks) return unexpected(IndicatorError::invalid_period("Hurst period must be >= 2 * chunks"));
  if (period > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return HurstExponent(period, chunks);
}

std::optional<double> HurstExponent::update_value(double x) {
  window_.push(x);
  if (!window_.full()) return std::nullopt;
  const std::span<const double> values = window_.oldest_first();
  const std::size_t n = values.size();
  double sum_x = 0.0, sum_y = 0.0, sum_xy = 0.0, sum_xx = 0.0;
  std::size_t points = 0;
  for (std::size_t c = 1; c <= chunks_; ++c) {
    const std::size_t size = n / c;
    const double size_d = static_cast<double>(size);
    double rs_sum = 0.0;
    std::size_t counted = 0;
    for (std::size_t j = 0; j < c; ++j) {
      const std::span<const double> chunk = values.subspan(j * size, size);
      const PlainSum s = plain_sum(chunk);
      // Equal values have no range; the mean's rounding error must not make one.
      if (s.flat) continue;
      const double mean = s.sum / size_d;
      double y = 0.0, y_max = 0.0, y_min = 0.0, squares = 0.0;
      for (std::size_t t = 0; t < size; ++t) {
        const double d = chunk[t] - mean;
        y += d;
        if (t == 0 || y > y_max) y_max = y;
        if (t == 0 || y < y_min) y_min = y;
        squares += d * d;
      }
      const double range = y_max - y_min;
      const double variance = squares / size_d;
      if (range != 0.0 && variance != 0.0) {
        rs_sum += range / std::sqrt(variance);
        ++counted;
      }
    }
    if (counted == 0) continue;
    const double px = std::log(size_d);
    const double py = std::log(rs_sum / static_cast<double>(counted));
    sum_x += px;
    sum_y += py;
    sum_xy += px * py;
    sum_xx += px * px;
    ++points;
  }
  if (points < 2) return 0.5;
  const double m = static_cast<double>(points);
  const double den = m * sum_xx - sum_x * sum_x;
  // Points that all share one chunk size leave no slope to fit.
  if (!(den > 0.0)) return 0.5;
  return std::clamp((m * sum_xy - sum_x * sum_y) / den, 0.0, 1.0);
}

}  // namespace vsci
