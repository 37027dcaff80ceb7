// Each adaptive average turns its reading of the recent closes into the
// smoothing factor of one recursion, recomputed every bar.
#include "indicators/adaptive_averages.h"

#include <algorithm>
#include <cmath>

#include "indicators/cores/sorted_window.h"
#include "indicators/cores/window_checks.h"

namespace vsci {

namespace {

// The middle of five values without branches: the median of e and the two
// middle candidates left once the larger of the two smaller values and the
// smaller of the two larger values of (a, b) and (c, d) are known.
double median_of_five(double a, double b, double c, double d, double e) {
  const double f = std::max(std::min(a, b), std::min(c, d));
  const double g = std::min(std::max(a, b), std::max(c, d));
  return std::max(std::min(e, f), std::min(std::max(e, f), g));
}

// Median of the fewer than five values of `values`, sorted into `scratch` by
// insertion (well defined even with a NaN among them).
double median_of_few(const Ring<double>& values, std::vector<double>& scratch) {
  scratch.clear();
  for (std::size_t k = 0; k < values.size(); ++k) {
    const double r = values[k];
    std::size_t j = scratch.size();
    scratch.push_back(r);
    for (; j > 0 && r < scratch[j - 1]; --j) scratch[j] = scratch[j - 1];
    scratch[j] = r;
  }
  return sorted_median(scratch);
}

}  // namespace

// ---------------------------------------------------------------------------
// Kama

Expected<Kama, IndicatorError> Kama::create(std::uint64_t n, std::uint64_t fast, std::uint64_t slow) {
  if (n == 0 || fast == 0 || slow == 0) return unexpected(IndicatorError::period_zero());
  if (fast >= slow) return unexpected(IndicatorError::invalid_period("KAMA fast period must be strictly less than slow"));
  // The window holds n + 1 closes, so n is bounded like any window length.
  if (n > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return Kama(n, 2.0 / (static_cast<double>(fast) + 1.0), 2.0 / (static_cast<double>(slow) + 1.0));
}

Kama::Kama(std::uint64_t n, double fast_constant, double slow_constant)
    : closes_(static_cast<std::size_t>(n) + 1), fast_constant_(fast_constant), slow_constant_(slow_constant) {}

std::optional<double> Kama::update_value(double x) {
  closes_.push(x);
  if (!closes_.full()) return std::nullopt;
  const double first = closes_.oldest();
  double volatility = -0.0;
  double before = first;
  for (std::size_t k = 1; k < closes_.size(); ++k) {
    const double c = closes_[k];
    volatility += std::fabs(c - before);
    before = c;
  }
  const double er = volatility == 0.0 ? 0.0 : std::fabs(x - first) / volatility;
  const double sc = slow_constant_ + er * (fast_constant_ - slow_constant_);
  // The first value starts from the window's oldest close, not the previous one.
  const double prev = value_.value_or(first);
  value_ = prev + (sc * sc) * (x - prev);
  return value_;
}

// ---------------------------------------------------------------------------
// Vidya

Expected<Vidya, IndicatorError> Vidya::create(std::uint64_t n, std::uint64_t m) {
  if (n == 0) return unexpected(IndicatorError::period_zero());
  auto cmo = CmoCore::create(m);
  if (!cmo.ok()) return unexpected(cmo.error());
  return Vidya(2.0 / (static_cast<double>(n) + 1.0), std::move(cmo).value());
}

std::optional<double> Vidya::update_value(double x) {
  const auto cmo = cmo_.update_value(x);
  if (!cmo) return std::nullopt;
  if (!value_) {
    // The blend of x with itself can be one rounding step off x.
    value_ = x;
    return value_;
  }
  const double k = std::fabs(*cmo) / 100.0 * alpha_;
  value_ = x * k + (1.0 - k) * *value_;
  return value_;
}

// ---------------------------------------------------------------------------
// Jma

Expected<Jma, IndicatorError> Jma::create(std::uint64_t n, double phase, std::uint32_t power) {
  if (auto e = check_period(n)) return unexpected(*e);
  if (!std::isfinite(phase)) return unexpected(IndicatorError::invalid_period("JMA phase must be a finite value"));
  if (power < 1 || power > 4) return unexpected(IndicatorError::invalid_period("JMA power must be in 1..=4"));
  const double b = (static_cast<double>(n) - 1.0) * 0.45;
  const double beta = b / (b + 2.0);
  double alpha = beta;
  if (power == 2) alpha = beta * beta;
  if (power == 3) alpha = beta * (beta * beta);
  if (power == 4) alpha = (beta * beta) * (beta * beta);
  double phase_ratio = phase / 100.0 + 1.5;
  if (phase_ratio < 0.5) phase_ratio = 0.5;
  if (phase_ratio > 2.5) phase_ratio = 2.5;
  return Jma(alpha, beta, phase_ratio);
}

std::optional<double> Jma::update_value(double x) {
  if (!value_) {
    e0_ = x;
    value_ = x;
    return value_;
  }
  const double a = alpha_;
  const double b = beta_;
  const double jma = *value_;
  e0_ = x * (1.0 - a) + a * e0_;
  det0_ = (x - e0_) * (1.0 - b) + b * det0_;
  det1_ = (a * a) * det1_ + (1.0 - a) * ((1.0 - a) * ((e0_ + phase_ratio_ * det0_) - jma));
  value_ = jma + det1_;
  return value_;
}

// ---------------------------------------------------------------------------
// McGinleyDynamic

Expected<McGinleyDynamic, IndicatorError> McGinleyDynamic::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return McGinleyDynamic(n);
}

std::optional<double> McGinleyDynamic::update_value(double x) {
  if (!value_) {
    seed_sum_ = seed_sum_ + x;
    if (++seeded_count_ == n_) value_ = seed_sum_ / static_cast<double>(n_);
    return value_;
  }
  const double md = *value_;
  if (x <= 0.0 || md <= 0.0) return md;
  const double r = x / md;
  const double next = md + (x - md) / (((r * r) * (r * r)) * (static_cast<double>(n_) * 0.6));
  // A close tiny against the value underflows the divisor to 0; the infinite
  // step would stick for good.
  if (!std::isfinite(next)) return md;
  value_ = next;
  return value_;
}

// ---------------------------------------------------------------------------
// Frama

Expected<Frama, IndicatorError> Frama::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  if (n == 1) return unexpected(IndicatorError::invalid_period("FRAMA period must be at least 2"));
  if (n % 2 != 0) return unexpected(IndicatorError::invalid_period("FRAMA period must be even"));
  return Frama(n);
}

Frama::Frama(std::uint64_t n)
    : n_(n),
      half_(static_cast<double>(n / 2)),
      newer_(static_cast<std::size_t>(n / 2)),
      older_(static_cast<std::size_t>(n / 2)) {}

std::optional<double> Frama::update_value(double x) {
  if (newer_.full()) older_.push(newer_.oldest());
  newer_.push(x);
  if (count_ < n_) ++count_;
  if (count_ < n_) return std::nullopt;

  const double largest = std::max(older_.largest(), newer_.largest());
  const double smallest = std::min(older_.smallest(), newer_.smallest());
  const double n3 = (largest - smallest) / static_cast<double>(n_);
  const double n1 = (older_.largest() - older_.smallest()) / half_;
  const double n2 = (newer_.largest() - newer_.smallest()) / half_;
  double alpha = 0.01;
  if (n3 > 0.0 && n1 > 0.0 && n2 > 0.0) {
    const double dimension = (std::log(n1 + n2) - std::log(n3)) / 0.6931471805599453;
    alpha = std::exp((dimension - 1.0) * -4.6);
    if (alpha < 0.01) alpha = 0.01;
    if (alpha > 1.0) alpha = 1.0;
  }
  const double prev = value_.value_or(x);
  value_ = x * alpha + (1.0 - alpha) * prev;
  return value_;
}

// ---------------------------------------------------------------------------
// HoltWinters

Expected<HoltWinters, IndicatorError> HoltWinters::create(double alpha, double beta) {
  if (!(std::isfinite(alpha) && alpha > 0.0 && alpha <= 1.0)) {
    return unexpected(IndicatorError::invalid_period("HoltWinters alpha must be in (0.0, 1.0]"));
  }
  if (!(std::isfinite(beta) && beta > 0.0 && beta <= 1.0)) {
    return unexpected(IndicatorError::invalid_period("HoltWinters beta must be in (0.0, 1.0]"));
  }
  return HoltWinters(alpha, beta);
}

std::optional<double> HoltWinters::update_value(double x) {
  if (seen_ == 0) {
    level_ = x;  // only remembered until the second close
    seen_ = 1;
    return std::nullopt;
  }
  if (seen_ == 1) {
    trend_ = x - level_;
    level_ = x;
    seen_ = 2;
    return level_ + trend_;
  }
  const double level = x * alpha_ + (level_ + trend_) * (1.0 - alpha_);
  trend_ = trend_ * (1.0 - beta_) + beta_ * (level - level_);
  level_ = level;
  return level_ + trend_;
}

// ---------------------------------------------------------------------------
// AdaptiveLaguerreFilter

Expected<AdaptiveLaguerreFilter, IndicatorError> AdaptiveLaguerreFilter::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return AdaptiveLaguerreFilter(n);
}

AdaptiveLaguerreFilter::AdaptiveLaguerreFilter(std::uint64_t n)
    : n_(n), deviations_(static_cast<std::size_t>(n)), ranks_(kRanks) {
  sorted_ranks_.reserve(kRanks);
}

std::optional<double> AdaptiveLaguerreFilter::update_value(double x) {
  if (!filter_) l0_ = l1_ = l2_ = l3_ = x;
  const double d = filter_ ? std::fabs(x - *filter_) : 0.0;
  deviations_.push(d);
  const double hi = deviations_.largest();
  const double lo = deviations_.smallest();
  if (hi - lo > 0.0) {
    ranks_.push((d - lo) / (hi - lo));
    if (ranks_.full()) {
      alpha_ = median_of_five(ranks_[0], ranks_[1], ranks_[2], ranks_[3], ranks_[4]);
    } else {
      alpha_ = median_of_few(ranks_, sorted_ranks_);
    }
  }
  const double g = 1.0 - alpha_;
  const double l0 = x * alpha_ + g * l0_;
  const double l1 = g * l1_ + (l0_ - g * l0);
  const double l2 = g * l2_ + (l1_ - g * l1);
  const double l3 = g * l3_ + (l2_ - g * l2);
  l0_ = l0;
  l1_ = l1;
  l2_ = l2;
  l3_ = l3;
  filter_ = (((l0 + (l1 + l1)) + (l2 + l2)) + l3) / 6.0;
  if (!deviations_.full()) return std::nullopt;
  return filter_;
}

// ---------------------------------------------------------------------------
// InstantaneousTrendline

Expected<InstantaneousTrendline, IndicatorError> InstantaneousTrendline::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return InstantaneousTrendline(2.0 / (static_cast<double>(n) + 1.0));
}

InstantaneousTrendline::InstantaneousTrendline(double a)
    : c_x1_(a * (a * 0.5)),
      c_x_(a + (a * a) * -0.25),
      c_x2_(a + a * (a * -0.75)),
      c_it1_((1.0 - a) + (1.0 - a)),
      c_it2_((1.0 - a) * (1.0 - a)) {}

std::optional<double> InstantaneousTrendline::update_value(double x) {
  if (counter_ < 7) ++counter_;
  const std::optional<double> x1 = x1_;
  const std::optional<double> x2 = x2_;
  x2_ = x1_;
  x1_ = x;
  double it;
  if (counter_ < 7) {
    const double a1 = x1.value_or(x);
    const double a2 = x2.value_or(x);
    it = (a2 + (x + (a1 + a1))) * 0.25;
  } else {
    it = (((*x1 * c_x1_ + x * c_x_) - *x2 * c_x2_) + c_it1_ * it1_) - c_it2_ * it2_;
  }
  it2_ = it1_;
  it1_ = it;
  return it;
}

}  // namespace vsci
