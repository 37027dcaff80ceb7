// The spread kinds recompute their regressions from the window each bar: the
// half-life, AR(1), Hurst and variance-ratio fits are two-pass (means first,
// then deviations), which keeps a flat or linear spread at its exact fallback
// instead of dividing rounding residue by rounding residue. The z-score and
// bands need only the window's mean and variance, which running moments give
// without a pass over the window.
#include "indicators/spread_statistics.h"

#include <algorithm>
#include <cmath>

#include "indicators/cores/window_checks.h"

namespace vsci {

namespace {

// Slope of y(t) on the previous level s(t - 1) over t = 1 .. n - 1 of the
// window s, where y(t) is the change s(t) - s(t - 1) or the level s(t).
// Nothing when the previous levels do not vary.
std::optional<double> slope_on_previous_level(const Ring<double>& s, bool on_change) {
  const std::size_t m = s.size() - 1;
  const auto x = [&](std::size_t i) { return s[i]; };
  const auto y = [&](std::size_t i) { return on_change ? s[i + 1] - s[i] : s[i + 1]; };
  const double mean_x = plain_mean(m, x);
  const double mean_y = plain_mean(m, y);
  double sxx = 0.0;
  double sxy = 0.0;
  for (std::size_t i = 0; i < m; ++i) {
    const double dx = x(i) - mean_x;
    sxx += dx * dx;
    sxy += dx * (y(i) - mean_y);
  }
  const double len = static_cast<double>(m);
  const double var = std::max(sxx / len, 0.0);
  if (var <= 0.0) return std::nullopt;
  return (sxy / len) / var;
}

}  // namespace

Expected<PairSpreadZScore, IndicatorError> PairSpreadZScore::create(std::uint64_t beta_period,
                                                                    std::uint64_t z_period) {
  if (auto e = check_min_period(beta_period, 2, "pair spread z-score needs beta_period >= 2")) return unexpected(*e);
  if (auto e = check_min_period(z_period, 2, "pair spread z-score needs z_period >= 2")) return unexpected(*e);
  return PairSpreadZScore(static_cast<std::size_t>(beta_period), static_cast<std::size_t>(z_period));
}

std::optional<double> PairSpreadZScore::update_pair(double c, double r) {
  if (!(c > 0.0) || !(r > 0.0)) return std::nullopt;
  const double log_c = std::log(c);
  const double log_r = std::log(r);
  if (!hedge_.push(log_r, log_c)) return std::nullopt;
  const PairMoments m = hedge_.moments();
  const double beta = m.var_x == 0.0 ? 0.0 : m.cov / m.var_x;
  const double s = log_c - beta * log_r;
  if (!spreads_.push(s)) return std::nullopt;
  const double var = spreads_.variance();
  if (var == 0.0) return 0.0;
  return (s - spreads_.mean()) / std::sqrt(var);
}

Expected<SpreadBollingerBands, IndicatorError> SpreadBollingerBands::create(std::uint64_t period, double num_std) {
  if (auto e = check_min_period(period, 2, "spread bollinger bands needs period >= 2")) return unexpected(*e);
  if (!(num_std > 0.0)) {
    return unexpected(IndicatorError::invalid_parameter("spread bollinger bands needs num_std > 0"));
  }
  return SpreadBollingerBands(static_cast<std::size_t>(period), num_std);
}

std::optional<double> SpreadBollingerBands::update_pair(double c, double r) {
  const double s = c - r;
  if (!spreads_.push(s)) return std::nullopt;
  const double middle = spreads_.mean();
  const double w = num_std_ * std::sqrt(spreads_.variance());
  const double upper = middle + w;
  const double lower = middle - w;
  // A band too narrow to separate upper from lower at the spread's magnitude
  // is as degenerate as no band: the position within it is the middle.
  const double width = upper - lower;
  const double percent_b = w == 0.0 || width == 0.0 ? 0.5 : (s - lower) / width;
  outputs_.set({middle, upper, lower, percent_b});
  return middle;
}

Expected<OuHalfLife, IndicatorError> OuHalfLife::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 3, "OU half-life needs period >= 3")) return unexpected(*e);
  return OuHalfLife(static_cast<std::size_t>(period));
}

std::optional<double> OuHalfLife::update_pair(double c, double r) {
  spreads_.push(c - r);
  if (!spreads_.full()) return std::nullopt;
  const auto b = slope_on_previous_level(spreads_, true);
  if (!b || *b >= 0.0) return 0.0;
  return -0.6931471805599453 / *b;
}

Expected<SpreadAr1Coefficient, IndicatorError> SpreadAr1Coefficient::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 3, "AR(1) spread coefficient needs period >= 3")) return unexpected(*e);
  return SpreadAr1Coefficient(static_cast<std::size_t>(period));
}

std::optional<double> SpreadAr1Coefficient::update_pair(double c, double r) {
  spreads_.push(c - r);
  if (!spreads_.full()) return std::nullopt;
  return slope_on_previous_level(spreads_, false).value_or(0.0);
}

Expected<SpreadHurst, IndicatorError> SpreadHurst::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 8, "spread Hurst needs period >= 8")) return unexpected(*e);
  return SpreadHurst(static_cast<std::size_t>(period));
}

std::optional<double> SpreadHurst::update_pair(double c, double r) {
  spreads_.push(c - r);
  if (!spreads_.full()) return std::nullopt;
  if (log_lags_.capacity() < max_lag_) {
    log_lags_.reserve(max_lag_);
    log_dispersions_.reserve(max_lag_);
  }
  log_lags_.clear();
  log_dispersions_.clear();
  const std::size_t n = spreads_.size();
  for (std::size_t lag = 1; lag <= max_lag_; ++lag) {
    double sum = 0.0;
    for (std::size_t i = 0; i + lag < n; ++i) {
      const double d = spreads_[i + lag] - spreads_[i];
      sum += d * d;
    }
    const double v = sum / static_cast<double>(n - lag);
    if (!(v > 0.0)) continue;
    log_lags_.push_back(std::log(static_cast<double>(lag)));
    log_dispersions_.push_back(std::log(v));
  }
  const std::size_t points = log_lags_.size();
  if (points < 2) return 0.5;
  const double mean_x = plain_mean(points, [&](std::size_t i) { return log_lags_[i]; });
  const double mean_y = plain_mean(points, [&](std::size_t i) { return log_dispersions_[i]; });
  double sxx = 0.0;
  double sxy = 0.0;
  for (std::size_t i = 0; i < points; ++i) {
    const double dx = log_lags_[i] - mean_x;
    sxx += dx * dx;
    sxy += dx * (log_dispersions_[i] - mean_y);
  }
  return std::clamp(0.5 * (sxy / sxx), 0.0, 1.0);
}

Expected<VarianceRatio, IndicatorError> VarianceRatio::create(std::uint64_t period, std::uint64_t q) {
  if (q < 2) return unexpected(IndicatorError::invalid_period("variance ratio needs q >= 2"));
  if (q > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  if (period < q + 2) return unexpected(IndicatorError::invalid_period("variance ratio needs period >= q + 2"));
  if (period > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return VarianceRatio(static_cast<std::size_t>(period), static_cast<std::size_t>(q));
}

std::optional<double> VarianceRatio::update_pair(double c, double r) {
  spreads_.push(c - r);
  if (!spreads_.full()) return std::nullopt;
  const std::size_t m = spreads_.size() - 1;
  const auto change = [&](std::size_t t) { return spreads_[t + 1] - spreads_[t]; };
  const double mu = plain_mean(m, change);
  double ss = 0.0;
  for (std::size_t t = 0; t < m; ++t) {
    const double d = change(t) - mu;
    ss += d * d;
  }
  const double var1 = ss / static_cast<double>(m);
  if (var1 <= 0.0) return 1.0;
  const double q = static_cast<double>(q_);
  const std::size_t runs = m - q_ + 1;
  double acc = 0.0;
  for (std::size_t j = 0; j < runs; ++j) {
    // The sum of the run's q changes telescopes to the spread's q-step move.
    const double w = spreads_[j + q_] - spreads_[j];
    const double d = w - q * mu;
    acc += d * d;
  }
  const double varq = acc / static_cast<double>(runs);
  return varq / (q * var1);
}

Expected<KalmanPairHedge, IndicatorError> KalmanPairHedge::create(double delta, double observation_var) {
  if (!(delta > 0.0) || !(delta < 1.0)) {
    return unexpected(IndicatorError::invalid_parameter("kalman hedge ratio needs delta in (0, 1)"));
  }
  if (!(observation_var > 0.0)) {
    return unexpected(IndicatorError::invalid_parameter("kalman hedge ratio needs observation_var > 0"));
  }
  return KalmanPairHedge(delta, observation_var);
}

std::optional<double> KalmanPairHedge::update_pair(double c, double r) {
  if (updates_ > 0) {
    p00_ += process_noise_;
    p11_ += process_noise_;
  }
  // Observation row H = (r, 1).
  const double ph0 = p00_ * r + p01_;
  const double ph1 = p10_ * r + p11_;
  const double s = r * ph0 + ph1 + observation_var_;
  const double e = c - (beta_ * r + alpha_);
  // A covariance grown past the doubles gives no usable gain: the estimate
  // keeps its value for this bar instead of turning into NaN for good.
  if (std::isfinite(s) && s > 0.0) {
    const double k0 = ph0 / s;
    const double k1 = ph1 / s;
    beta_ += k0 * e;
    alpha_ += k1 * e;
    const double hp0 = r * p00_ + p10_;
    const double hp1 = r * p01_ + p11_;
    p00_ -= k0 * hp0;
    p01_ -= k0 * hp1;
    p10_ -= k1 * hp0;
    p11_ -= k1 * hp1;
  }
  ++updates_;
  outputs_.set({beta_, alpha_, e});
  return beta_;
}

}  // namespace vsci
