// Volatility from log returns refuses a close that is not finite and positive
// like a NaN, so a bad print never turns into an infinite return.
#include "indicators/volatility.h"

#include <algorithm>
#include <cmath>

#include "indicators/cores/window_checks.h"

namespace vsci {

// --- HistoricalVolatility ---

Expected<HistoricalVolatility, IndicatorError> HistoricalVolatility::create(std::uint64_t n,
                                                                           std::uint64_t periods_per_year) {
  if (n == 0 || periods_per_year == 0) return unexpected(IndicatorError::period_zero());
  if (n < 2) return unexpected(IndicatorError::invalid_period("historical volatility period must be >= 2"));
  if (n > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return HistoricalVolatility(static_cast<std::size_t>(n), periods_per_year);
}

std::optional<double> HistoricalVolatility::update_value(double x) {
  const auto r = returns_.next(x);
  if (!r) return std::nullopt;
  window_.push(*r);
  if (!window_.full()) return std::nullopt;
  return (window_.sample_stddev() * std::sqrt(static_cast<double>(periods_per_year_))) * 100.0;
}

// --- RealizedVolatility ---

Expected<RealizedVolatility, IndicatorError> RealizedVolatility::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return RealizedVolatility(static_cast<std::size_t>(n));
}

std::optional<double> RealizedVolatility::update_value(double x) {
  const auto r = returns_.next(x);
  if (!r) return std::nullopt;
  if (ring_.full()) {
    const double v = ring_.oldest();
    sum_squares_ = sum_squares_ - v * v;
  }
  ring_.push(*r);
  sum_squares_ = sum_squares_ + *r * *r;
  if (++pushes_ >= ring_.capacity()) {
    double s = -0.0;
    for (std::size_t i = 0; i < ring_.size(); ++i) s += ring_[i] * ring_[i];
    sum_squares_ = s;
    pushes_ = 0;
  }
  if (!ring_.full()) return std::nullopt;
  return std::sqrt(std::fmax(sum_squares_, 0.0));
}

// --- BipowerVariation ---

Expected<BipowerVariation, IndicatorError> BipowerVariation::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  if (n == 1) return unexpected(IndicatorError::invalid_period("bipower variation period must be >= 2"));
  return BipowerVariation(static_cast<std::size_t>(n));
}

std::optional<double> BipowerVariation::update_value(double x) {
  const auto r = returns_.next(x);
  if (!r) return std::nullopt;
  if (!ring_.empty()) {
    sum_products_ += std::fabs(*r * ring_.newest());
    ++pairs_;
  }
  if (ring_.full()) {
    // The pair leaving the window is (oldest, second oldest); read it before
    // the push drops the oldest return.
    const double a = ring_[0];
    const double b = ring_[1];
    ring_.push(*r);
    sum_products_ -= std::fabs(a * b);
    if (pairs_ >= ring_.capacity()) {
      double s = -0.0;
      for (std::size_t i = 0; i + 1 < ring_.size(); ++i) s += std::fabs(ring_[i] * ring_[i + 1]);
      sum_products_ = s;
      pairs_ = 0;
    }
  } else {
    ring_.push(*r);
  }
  if (!ring_.full()) return std::nullopt;
  return std::fmax(sum_products_, 0.0) * 1.5707963267948966;
}

// --- EwmaVolatility ---

Expected<EwmaVolatility, IndicatorError> EwmaVolatility::create(double lambda) {
  if (!std::isfinite(lambda) || !(lambda > 0.0) || !(lambda < 1.0)) {
    return unexpected(IndicatorError::invalid_parameter("EWMA volatility lambda must be in the open interval (0, 1)"));
  }
  return EwmaVolatility(lambda);
}

std::optional<double> EwmaVolatility::update_value(double x) {
  const auto r = returns_.next(x);
  if (!r) return std::nullopt;
  if (!has_variance_) {
    variance_ = *r * *r;
    has_variance_ = true;
  } else {
    variance_ = (variance_ * lambda_) + *r * (*r * (1.0 - lambda_));
  }
  return std::sqrt(std::fmax(variance_, 0.0));
}

// --- Garch11 ---

Expected<Garch11, IndicatorError> Garch11::create(double omega, double alpha, double beta) {
  if (!std::isfinite(omega) || !std::isfinite(alpha) || !std::isfinite(beta)) {
    return unexpected(IndicatorError::invalid_parameter("GARCH(1,1) parameters must be finite"));
  }
  if (omega <= 0.0) return unexpected(IndicatorError::invalid_parameter("GARCH(1,1) omega must be > 0"));
  if (alpha < 0.0 || beta < 0.0) {
    return unexpected(IndicatorError::invalid_parameter("GARCH(1,1) alpha and beta must be >= 0"));
  }
  if (alpha + beta >= 1.0) {
    return unexpected(
        IndicatorError::invalid_parameter("GARCH(1,1) requires alpha + beta < 1 (covariance stationarity)"));
  }
  return Garch11(omega, alpha, beta);
}

std::optional<double> Garch11::update_value(double x) {
  const auto r = returns_.next(x);
  if (!r) return std::nullopt;
  if (!has_variance_) {
    variance_ = long_run_;
    has_variance_ = true;
  } else {
    variance_ = (omega_ + alpha_ * last_square_) + beta_ * variance_;
  }
  last_square_ = *r * *r;
  return std::sqrt(variance_);
}

// --- JumpIndicator ---

Expected<JumpIndicator, IndicatorError> JumpIndicator::create(std::uint64_t n, double k) {
  if (n < 2) return unexpected(IndicatorError::invalid_period("jump indicator needs period >= 2"));
  if (n > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  if (!std::isfinite(k) || !(k > 0.0)) {
    return unexpected(IndicatorError::invalid_parameter("jump indicator threshold must be finite and positive"));
  }
  return JumpIndicator(static_cast<std::size_t>(n), k);
}

std::optional<double> JumpIndicator::update_value(double x) {
  const auto r = returns_.next(x);
  if (!r) return std::nullopt;
  if (!window_.full()) {
    // Filling pushes skip the re-centring check but still advance the push
    // count, so the first re-centre happens on the first push after the
    // window is full.
    window_.push(*r, false);
    return std::nullopt;
  }
  const double m = window_.mean();
  const double s = window_.sample_stddev();
  double value = 0.0;
  if (s != 0.0) {
    const double dev = *r - m;
    if (dev > s * k_) value = 1.0;
    else if (dev < -(k_ * s)) value = -1.0;
  }
  window_.push(*r);
  return value;
}

// --- VolatilityOfVolatility ---

Expected<VolatilityOfVolatility, IndicatorError> VolatilityOfVolatility::create(std::uint64_t n, std::uint64_t w) {
  if (n == 0 || w == 0) return unexpected(IndicatorError::period_zero());
  if (n < 2 || w < 2) return unexpected(IndicatorError::invalid_period("vol-of-vol windows must both be >= 2"));
  if (n > MAX_PERIOD || w > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return VolatilityOfVolatility(static_cast<std::size_t>(n), static_cast<std::size_t>(w));
}

std::optional<double> VolatilityOfVolatility::update_value(double x) {
  const auto r = returns_.next(x);
  if (!r) return std::nullopt;
  returns_window_.push(*r);
  if (!returns_window_.full()) return std::nullopt;
  vol_window_.push(returns_window_.sample_stddev());
  if (!vol_window_.full()) return std::nullopt;
  return vol_window_.sample_stddev();
}

// --- UlcerIndex ---

Expected<UlcerIndex, IndicatorError> UlcerIndex::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return UlcerIndex(static_cast<std::size_t>(n));
}

UlcerIndex::UlcerIndex(std::size_t n) : n_(n), peaks_(n + 1), drawdowns_(n, true) {}

std::optional<double> UlcerIndex::update_value(double x) {
  ++t_;
  while (!peaks_.empty() && peaks_.back().close <= x) peaks_.pop_back();
  peaks_.push_back(Peak{t_, x});
  const std::uint64_t first_kept = t_ >= n_ - 1 ? t_ - (n_ - 1) : 0;
  while (!peaks_.empty() && peaks_.front().index < first_kept) peaks_.pop_front();
  if (t_ < n_) return std::nullopt;
  const double peak = peaks_.front().close;
  double d = 0.0;
  if (peak != 0.0) {
    const double pct = (x - peak) * 100.0 / peak;
    d = pct * pct;
  }
  drawdowns_.push(d);
  if (!drawdowns_.full()) return std::nullopt;
  return std::sqrt(std::max(drawdowns_.sum(), 0.0) / static_cast<double>(n_));
}

}  // namespace vsci
