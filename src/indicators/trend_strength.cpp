// Trend judgements are state machines stepped once per close; the trailing
// stops share one rule so they tighten and flip alike.
#include "indicators/trend_strength.h"

#include <cmath>

#include "indicators/cores/window_checks.h"
#include "util/math_constants.h"

namespace vsci {

namespace {

bool positive_finite(double v) { return std::isfinite(v) && v > 0.0; }

// The trailing stops share one rule: follow the close with a level that only
// tightens, and flip side when the close crosses the stop. A level that is not
// finite (a huge percentage, a tiny step) gives no value and changes nothing.
std::optional<double> trail(double x, double lower, double upper, double& stop, bool& has_stop, bool& is_long) {
  if (!std::isfinite(lower) || !std::isfinite(upper)) return std::nullopt;
  double next = stop;
  bool next_long = is_long;
  if (!has_stop) {
    next = lower;
  } else if (is_long) {
    if (x < stop) {
      next_long = false;
      next = upper;
    } else {
      next = std::fmax(stop, lower);
    }
  } else {
    if (x > stop) {
      next_long = true;
      next = lower;
    } else {
      next = std::fmin(stop, upper);
    }
  }
  stop = next;
  is_long = next_long;
  has_stop = true;
  return stop;
}

}  // namespace

// --- VerticalHorizontalFilter ---

Expected<VerticalHorizontalFilter, IndicatorError> VerticalHorizontalFilter::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return VerticalHorizontalFilter(static_cast<std::size_t>(n));
}

std::optional<double> VerticalHorizontalFilter::update_value(double x) {
  closes_.push(x, x);
  if (has_previous_) {
    changes_.push(std::fabs(x - previous_));
  }
  previous_ = x;
  has_previous_ = true;
  if (!closes_.full() || !changes_.full()) return std::nullopt;
  if (changes_.sum() == 0.0) return 0.0;
  const auto [hi, lo] = closes_.fold_from(-kInf, kInf);
  return (hi - lo) / changes_.sum();
}

// --- PolarizedFractalEfficiency ---

Expected<PolarizedFractalEfficiency, IndicatorError> PolarizedFractalEfficiency::create(std::uint64_t n,
                                                                                       std::uint64_t s) {
  if (auto e = check_period(n)) return unexpected(*e);
  auto smoother = Ema::create(s);
  if (!smoother.ok()) return unexpected(smoother.error());
  return PolarizedFractalEfficiency(static_cast<std::size_t>(n), smoother.value());
}

std::optional<double> PolarizedFractalEfficiency::update_value(double x) {
  if (has_previous_) {
    const double d = x - previous_;
    const double step = std::sqrt(std::fma(d, d, 1.0));
    path_ += step;
    if (steps_.full()) {
      const double old = steps_.oldest();
      steps_.push(step);
      path_ -= old;
    } else {
      steps_.push(step);
    }
  }
  previous_ = x;
  has_previous_ = true;
  closes_.push(x);
  if (!closes_.full()) return std::nullopt;
  const double dist = x - closes_.oldest();
  const double len = static_cast<double>(n_);
  const double sign = dist > 0.0 ? 100.0 : (dist < 0.0 ? -100.0 : 0.0);
  const double raw = std::sqrt(std::fma(dist, dist, len * len)) * sign / path_;
  if (!std::isfinite(raw)) return std::nullopt;
  return smoother_.update_value(raw);
}

// --- TrendStrengthIndex ---

Expected<TrendStrengthIndex, IndicatorError> TrendStrengthIndex::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  if (n == 1) return unexpected(IndicatorError::invalid_period("period must be >= 2 for a regression"));
  return TrendStrengthIndex(static_cast<std::size_t>(n));
}

std::optional<double> TrendStrengthIndex::update_value(double x) {
  closes_.push(x);
  if (!closes_.full()) return std::nullopt;
  const std::size_t n = closes_.size();
  const double len = static_cast<double>(n);
  double total = 0.0;
  for (std::size_t i = 0; i < n; ++i) total += closes_[i];
  const double m = total / len;
  double sx = 0.0, sxx = 0.0, sy = 0.0, syy = 0.0, sxy = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double fi = static_cast<double>(i);
    const double y = closes_[i] - m;
    sx += fi;
    sxx += fi * fi;
    sy += y;
    syy += y * y;
    sxy += y * fi;
  }
  const double vy = std::fma(len, syy, -(sy * sy));
  if (!(vy > 0.0)) return 0.0;
  const double vx = std::fma(len, sxx, -(sx * sx));
  const double c = std::fma(len, sxy, -(sx * sy));
  const double r2 = (c * c) / (vy * vx);
  return c < 0.0 ? -r2 : r2;
}

// --- WavePm ---

Expected<WavePm, IndicatorError> WavePm::create(std::uint64_t n, std::uint64_t s) {
  if (auto e = check_period(n)) return unexpected(*e);
  auto wave = Ema::create(s);
  if (!wave.ok()) return unexpected(wave.error());
  return WavePm(static_cast<std::size_t>(n), Ema::create(n).value(), wave.value());
}

std::optional<double> WavePm::update_value(double x) {
  closes_.push(x);
  if (!closes_.full()) return std::nullopt;
  const double d = x - closes_.oldest();
  const double q = d * d;
  if (!std::isfinite(q)) return std::nullopt;
  const auto v = variance_.update_value(q);
  if (!v) return std::nullopt;
  const double w = *v > 0.0 ? 1.0 - std::exp(-q / (2.0 * *v)) : 0.0;
  if (!std::isfinite(w)) return std::nullopt;
  const auto smoothed = wave_.update_value(w);
  if (!smoothed) return std::nullopt;
  return *smoothed * 100.0;
}

// --- TrendLabel ---

Expected<TrendLabel, IndicatorError> TrendLabel::create(std::uint64_t n) {
  if (n < 2) return unexpected(IndicatorError::invalid_period("trend label needs period >= 2"));
  if (n > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return TrendLabel(static_cast<std::size_t>(n));
}

std::optional<double> TrendLabel::update_value(double x) {
  closes_.push(x);
  if (!closes_.full()) return std::nullopt;
  const std::size_t n = closes_.size();
  const double mx = static_cast<double>(n - 1) * 0.5;
  double total = 0.0;
  for (std::size_t i = 0; i < n; ++i) total += closes_[i];
  const double my = total / static_cast<double>(n);
  double cov = 0.0;
  for (std::size_t i = 0; i < n; ++i) cov += (static_cast<double>(i) - mx) * (closes_[i] - my);
  if (cov < 0.0) return -1.0;
  if (cov > 0.0) return 1.0;
  return 0.0;
}

// --- RegimeLabel ---

Expected<RegimeLabel, IndicatorError> RegimeLabel::create(std::uint64_t n, std::uint64_t m) {
  if (n < 2) return unexpected(IndicatorError::invalid_period("regime label needs vol_period >= 2"));
  if (n > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  if (m < 2) return unexpected(IndicatorError::invalid_period("regime label needs lookback >= 2"));
  if (m > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return RegimeLabel(static_cast<std::size_t>(n), SortedWindow::create(m).value());
}

std::optional<double> RegimeLabel::update_value(double x) {
  const auto r = log_returns_.next(x);
  if (!r) return std::nullopt;
  returns_.push(*r);
  if (!returns_.full()) return std::nullopt;
  const double sigma = returns_.sample_stddev();
  history_.push(sigma);
  if (!history_.full()) return std::nullopt;
  const auto& sorted = history_.sorted();
  const std::size_t m = sorted.size();
  auto quartile = [&](double f) {
    const double p = static_cast<double>(m - 1) * f;
    const double fl = std::floor(p);
    const std::size_t i = static_cast<std::size_t>(fl);
    if (i >= m - 1) return sorted[m - 1];
    return sorted[i] + (p - fl) * (sorted[i + 1] - sorted[i]);
  };
  if (sigma < quartile(0.25)) return -1.0;
  if (sigma > quartile(0.75)) return 1.0;
  return 0.0;
}

// --- trailing stops ---

Expected<PercentageTrailingStop, IndicatorError> PercentageTrailingStop::create(double q) {
  if (!positive_finite(q)) return unexpected(IndicatorError::non_positive_multiplier());
  return PercentageTrailingStop(q);
}

std::optional<double> PercentageTrailingStop::update_value(double x) {
  const double off = std::fabs(x) * q_;
  return trail(x, x - off / 100.0, x + off / 100.0, stop_, has_stop_, long_);
}

Expected<StepTrailingStop, IndicatorError> StepTrailingStop::create(double h) {
  if (!positive_finite(h)) return unexpected(IndicatorError::non_positive_multiplier());
  return StepTrailingStop(h);
}

std::optional<double> StepTrailingStop::update_value(double x) {
  const double lower = h_ * std::floor((x - h_) / h_);
  const double upper = h_ * std::ceil((x + h_) / h_);
  return trail(x, lower, upper, stop_, has_stop_, long_);
}

Expected<RenkoTrailingStop, IndicatorError> RenkoTrailingStop::create(double b) {
  if (!positive_finite(b)) return unexpected(IndicatorError::non_positive_multiplier());
  return RenkoTrailingStop(b);
}

std::optional<double> RenkoTrailingStop::update_value(double x) {
  double anchor = anchor_;
  bool up = up_;
  double value;
  if (!has_anchor_) {
    anchor = x;
    value = up ? x - b_ : x + b_;
  } else if (up) {
    if (x < anchor - b_) {
      up = false;
      anchor = x;
      value = x + b_;
    } else {
      const double k = std::floor((x - anchor) / b_);
      if (k >= 1.0) anchor = anchor + b_ * k;
      value = anchor - b_;
    }
  } else {
    if (x > anchor + b_) {
      up = true;
      anchor = x;
      value = x - b_;
    } else {
      const double k = std::floor((anchor - x) / b_);
      if (k >= 1.0) anchor = anchor - b_ * k;
      value = anchor + b_;
    }
  }
  if (!std::isfinite(value) || !std::isfinite(anchor)) return std::nullopt;
  anchor_ = anchor;
  up_ = up;
  has_anchor_ = true;
  return value;
}

}  // namespace vsci
