// The regressions here are formed from the window on every bar rather than
// kept as running sums: their rows are lagged values of the window itself, so
// every row changes as it slides. Design rows are generated one at a time from
// the window instead of being stored, which leaves the k x k normal equations
// as the only work area that grows with the lag count; its size is bounded at
// construction, so any accepted parameters fit in memory.
#include "indicators/pair_tests.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "indicators/cores/window_checks.h"

namespace vsci {

namespace {

constexpr double kMinPivot = 1e-12;

// NaN fails too: a singular system never divides.
bool usable_pivot(double p) { return std::fabs(p) >= kMinPivot; }

double dot(std::span<const double> a, std::span<const double> b) {
  double s = 0.0;
  for (std::size_t i = 0; i < b.size(); ++i) s += a[i] * b[i];
  return s;
}

// The augmented Dickey-Fuller row for time t of the residuals e with p lagged
// differences: (e(t-1), e(t-1) - e(t-2), ..., e(t-p) - e(t-p-1)).
void adf_lag_rows(std::span<const double> e, std::size_t p, std::size_t t, std::span<double> row) {
  row[0] = e[t - 1];
  for (std::size_t j = 1; j <= p; ++j) row[j] = e[t - j] - e[t - j - 1];
}

// Residual sum of squares of the least-squares fit of the targets on the
// design rows t = first .. last - 1, each written by fill(t, row) (which
// returns t's target); nothing when the normal equations are singular.
template <class Fill>
std::optional<double> granger_rss(NormalEquations& normal, std::size_t first, std::size_t last,
                                  std::span<double> row, std::span<double> coef, Fill fill) {
  normal.start(coef.size());
  for (std::size_t t = first; t < last; ++t) {
    const double target = fill(t, row);
    normal.add(row, target);
  }
  if (!normal.solve(coef)) return std::nullopt;
  double rss = 0.0;
  for (std::size_t t = first; t < last; ++t) {
    const double target = fill(t, row);
    const double e = target - dot(row, coef);
    rss += e * e;
  }
  return rss;
}

// Whether the lag-j values of one side over the fit's rows t = first ..
// last - 1 (window positions first - j .. last - 1 - j) are all equal. A flat
// lag column is a multiple of the constant column, so the fit has no
// solution; flat targets (j = 0) the constant fits exactly, leaving no
// residual. Either way the rounding of the elimination must not decide.
bool flat_column(const Ring<XY>& pairs, double XY::*side, std::size_t first, std::size_t last, std::size_t j) {
  const double v = pairs[first - j].*side;
  for (std::size_t t = first + 1; t < last; ++t) {
    if (pairs[t - j].*side != v) return false;
  }
  return true;
}

// The count of numbers in a k x k work area, refused above MAX_PERIOD like
// any other size that a parameter sets. k is at most 2^25 + 1 here.
bool square_too_large(std::uint64_t k) { return k * k > MAX_PERIOD; }

}  // namespace

bool ols_solve(std::span<double> a, std::span<double> rhs, std::span<double> x) {
  const std::size_t k = x.size();
  for (std::size_t i = 0; i < k; ++i) {
    const double pivot = a[i * k + i];
    if (!usable_pivot(pivot)) return false;
    for (std::size_t r = i + 1; r < k; ++r) {
      const double f = a[r * k + i] / pivot;
      for (std::size_t c = i; c < k; ++c) a[r * k + c] -= f * a[i * k + c];
      rhs[r] -= f * rhs[i];
    }
  }
  for (std::size_t i = k; i-- > 0;) {
    double s = rhs[i];
    for (std::size_t j = i + 1; j < k; ++j) s -= a[i * k + j] * x[j];
    x[i] = s / a[i * k + i];
  }
  return true;
}

bool solve4x4(std::array<double, 16>& a, std::array<double, 4>& b, std::array<double, 4>& x) {
  for (std::size_t i = 0; i < 4; ++i) {
    std::size_t best = i;
    for (std::size_t r = i + 1; r < 4; ++r) {
      if (std::fabs(a[r * 4 + i]) > std::fabs(a[best * 4 + i])) best = r;
    }
    if (best != i) {
      for (std::size_t c = 0; c < 4; ++c) std::swap(a[i * 4 + c], a[best * 4 + c]);
      std::swap(b[i], b[best]);
    }
    const double pivot = a[i * 4 + i];
    if (!usable_pivot(pivot)) return false;
    for (std::size_t r = i + 1; r < 4; ++r) {
      const double f = a[r * 4 + i] / pivot;
      for (std::size_t c = i; c < 4; ++c) a[r * 4 + c] -= f * a[i * 4 + c];
      b[r] -= f * b[i];
    }
  }
  for (std::size_t i = 4; i-- > 0;) {
    double s = b[i];
    for (std::size_t j = i + 1; j < 4; ++j) s -= a[i * 4 + j] * x[j];
    x[i] = s / a[i * 4 + i];
  }
  return true;
}

double lagged_correlation(const Ring<double>& closes, const Ring<double>& references, std::size_t i,
                          std::size_t j, std::size_t window) {
  const double mean_x = plain_mean(window, [&](std::size_t k) { return closes[i + k]; });
  const double mean_y = plain_mean(window, [&](std::size_t k) { return references[j + k]; });
  double sxx = 0.0;
  double syy = 0.0;
  double sxy = 0.0;
  for (std::size_t k = 0; k < window; ++k) {
    const double dx = closes[i + k] - mean_x;
    const double dy = references[j + k] - mean_y;
    sxx += dx * dx;
    syy += dy * dy;
    sxy += dx * dy;
  }
  const double n = static_cast<double>(window);
  return bounded_correlation(sxy / n, std::max(sxx / n, 0.0), std::max(syy / n, 0.0));
}

void NormalEquations::start(std::size_t k) {
  k_ = k;
  xtx_.assign(k * k, 0.0);
  xty_.assign(k, 0.0);
}

void NormalEquations::add(std::span<const double> row, double target) {
  for (std::size_t i = 0; i < k_; ++i) {
    const double ri = row[i];
    xty_[i] += ri * target;
    double* line = &xtx_[i * k_];
    for (std::size_t j = i; j < k_; ++j) line[j] += ri * row[j];
  }
}

bool NormalEquations::solve(std::span<double> b) {
  rhs_.assign(xty_.begin(), xty_.end());
  return solve_with(b);
}

bool NormalEquations::solve_unit(std::span<double> z) {
  rhs_.assign(k_, 0.0);
  rhs_[0] = 1.0;
  return solve_with(z);
}

bool NormalEquations::solve_with(std::span<double> z) {
  work_.resize(k_ * k_);
  for (std::size_t i = 0; i < k_; ++i) {
    for (std::size_t j = 0; j < k_; ++j) work_[i * k_ + j] = i <= j ? xtx_[i * k_ + j] : xtx_[j * k_ + i];
  }
  return ols_solve(work_, rhs_, z.first(k_));
}

Expected<Cointegration, IndicatorError> Cointegration::create(std::uint64_t period, std::uint64_t adf_lags) {
  // 2 * adf_lags + 4 wraps for adf_lags near 2^63; such a count is too large
  // for any period.
  const std::uint64_t limit = std::numeric_limits<std::uint64_t>::max();
  if (adf_lags > (limit - 4) / 2 || period < 2 * adf_lags + 4) {
    return unexpected(IndicatorError::invalid_period("cointegration needs period >= 2*adf_lags + 4"));
  }
  if (period > MAX_PERIOD || square_too_large(adf_lags + 1)) return unexpected(IndicatorError::period_too_large());
  return Cointegration(static_cast<std::size_t>(period), static_cast<std::size_t>(adf_lags));
}

std::optional<double> Cointegration::update_pair(double c, double r) {
  if (!moments_.push(c, r)) return std::nullopt;
  const PairMoments m = moments_.moments();
  const double beta = m.var_y == 0.0 ? 0.0 : m.cov / m.var_y;
  const double alpha = m.mean_x - beta * m.mean_y;
  const Ring<XY>& pairs = moments_.pairs();
  const std::size_t n = pairs.size();
  residuals_.resize(n);
  for (std::size_t i = 0; i < n; ++i) residuals_[i] = pairs[i].x - (alpha + beta * pairs[i].y);
  outputs_.set({beta, residuals_[n - 1], adf_stat()});
  return beta;
}

double Cointegration::adf_stat() {
  const std::size_t n = residuals_.size();
  const std::size_t k = lags_ + 1;
  if (n <= k || n - k <= k) return 0.0;
  const std::size_t rows = n - k;
  row_.resize(k);
  coef_.resize(k);
  unit_.resize(k);
  const std::span<const double> e = residuals_;
  const auto fill = [&](std::size_t t, std::span<double> row) {
    adf_lag_rows(e, lags_, t, row);
    return e[t] - e[t - 1];
  };
  const auto rss = granger_rss(normal_, k, n, row_, coef_, fill);
  if (!rss) return 0.0;
  const double sigma2 = *rss / static_cast<double>(rows - k);
  if (!normal_.solve_unit(unit_)) return 0.0;
  const double v = sigma2 * unit_[0];
  if (v <= 0.0) return 0.0;
  return coef_[0] / std::sqrt(v);
}

Expected<GrangerCausality, IndicatorError> GrangerCausality::create(std::uint64_t period, std::uint64_t lag) {
  if (lag == 0) return unexpected(IndicatorError::invalid_period("granger causality needs lag >= 1"));
  if (lag > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  if (period < 3 * lag + 2) {
    return unexpected(IndicatorError::invalid_period("granger causality needs period >= 3*lag + 2"));
  }
  if (period > MAX_PERIOD || square_too_large(2 * lag + 1)) return unexpected(IndicatorError::period_too_large());
  return GrangerCausality(static_cast<std::size_t>(period), static_cast<std::size_t>(lag));
}

std::optional<double> GrangerCausality::rss(std::size_t k) {
  const std::size_t lag = lag_;
  const auto fill = [&](std::size_t t, std::span<double> row) {
    row[0] = 1.0;
    for (std::size_t j = 1; j <= lag; ++j) row[j] = pairs_[t - j].x;
    if (k > lag + 1) {
      for (std::size_t j = 1; j <= lag; ++j) row[lag + j] = pairs_[t - j].y;
    }
    return pairs_[t].x;
  };
  return granger_rss(normal_, lag, pairs_.size(), std::span<double>(row_).first(k), std::span<double>(coef_).first(k),
                     fill);
}

std::optional<double> GrangerCausality::update_pair(double c, double r) {
  pairs_.push({c, r});
  if (!pairs_.full()) return std::nullopt;
  const std::size_t n = pairs_.size();
  if (flat_column(pairs_, &XY::x, lag_, n, 0)) return 0.0;
  for (std::size_t j = 1; j <= lag_; ++j) {
    if (flat_column(pairs_, &XY::x, lag_, n, j) || flat_column(pairs_, &XY::y, lag_, n, j)) return 0.0;
  }
  const std::size_t full_k = 2 * lag_ + 1;
  row_.resize(full_k);
  coef_.resize(full_k);
  const auto restricted = rss(lag_ + 1);
  const auto unrestricted = rss(full_k);
  if (!restricted || !unrestricted || *unrestricted == 0.0) return 0.0;
  const double rows = static_cast<double>(n - lag_);
  const double lags = static_cast<double>(lag_);
  const double f = ((*restricted - *unrestricted) / lags) / (*unrestricted / (rows - static_cast<double>(full_k)));
  if (!std::isfinite(f)) return 0.0;
  return std::max(f, 0.0);
}

Expected<HasbrouckInformationShare, IndicatorError> HasbrouckInformationShare::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 6, "information share needs period >= 6")) return unexpected(*e);
  return HasbrouckInformationShare(static_cast<std::size_t>(period));
}

std::optional<double> HasbrouckInformationShare::update_pair(double c, double r) {
  if (held_ == 2) {
    rows_.push({c - last_.x, r - last_.y, last_.x - last_.y, last_.x - before_last_.x, last_.y - before_last_.y});
  } else {
    ++held_;
  }
  before_last_ = last_;
  last_ = {c, r};
  if (!rows_.full()) return std::nullopt;
  return share();
}

double HasbrouckInformationShare::share() const {
  std::array<double, 16> xtx{};
  std::array<double, 4> xty1{};
  std::array<double, 4> xty2{};
  const auto regressors = [](const std::array<double, 5>& row) {
    return std::array<double, 4>{1.0, row[2], row[3], row[4]};
  };
  for (std::size_t t = 0; t < rows_.size(); ++t) {
    const std::array<double, 5>& row = rows_[t];
    const std::array<double, 4> x = regressors(row);
    for (std::size_t i = 0; i < 4; ++i) {
      for (std::size_t j = 0; j < 4; ++j) xtx[i * 4 + j] += x[i] * x[j];
      xty1[i] += x[i] * row[0];
      xty2[i] += x[i] * row[1];
    }
  }
  std::array<double, 16> a = xtx;
  std::array<double, 4> b1{};
  std::array<double, 4> b2{};
  if (!solve4x4(a, xty1, b1)) return 0.5;
  a = xtx;
  if (!solve4x4(a, xty2, b2)) return 0.5;
  double s11 = 0.0;
  double s22 = 0.0;
  double s12 = 0.0;
  for (std::size_t t = 0; t < rows_.size(); ++t) {
    const std::array<double, 5>& row = rows_[t];
    const std::array<double, 4> x = regressors(row);
    const double e1 = row[0] - dot(x, b1);
    const double e2 = row[1] - dot(x, b2);
    s11 += e1 * e1;
    s22 += e2 * e2;
    s12 += e1 * e2;
  }
  const double n = static_cast<double>(rows_.size());
  const double var1 = s11 / n;
  const double var2 = s22 / n;
  const double cov = s12 / n;
  if (var1 <= 0.0 || var2 <= 0.0) return 0.5;
  const double a1 = b1[1];
  const double a2 = b2[1];
  const double d = a2 * a2 * var1 + a1 * a1 * var2 - 2.0 * a1 * a2 * cov;
  if (d <= 0.0) return 0.5;
  const double sd1 = std::sqrt(var1);
  const double sd2 = std::sqrt(var2);
  const double up = a2 * sd1 - a1 * cov / sd1;
  const double low = a2 * cov / sd2 - a1 * sd2;
  const double upper = std::min(up * up / d, 1.0);
  const double lower = std::clamp(1.0 - low * low / d, 0.0, 1.0);
  const double mid = safe_midpoint(upper, lower);
  return std::isfinite(mid) ? mid : 0.5;
}

Expected<LeadLagCrossCorrelation, IndicatorError> LeadLagCrossCorrelation::create(std::uint64_t window,
                                                                                  std::uint64_t max_lag) {
  if (auto e = check_min_period(window, 2, "lead-lag cross-correlation needs window >= 2")) return unexpected(*e);
  if (max_lag == 0) return unexpected(IndicatorError::invalid_period("lead-lag cross-correlation needs max_lag >= 1"));
  if (max_lag > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  return LeadLagCrossCorrelation(static_cast<std::size_t>(window), static_cast<std::size_t>(max_lag));
}

std::optional<double> LeadLagCrossCorrelation::update_pair(double c, double r) {
  closes_.push(c);
  references_.push(r);
  if (!closes_.full()) return std::nullopt;
  const std::size_t l = max_lag_;
  double best = lagged_correlation(closes_, references_, l, l, window_);
  for (std::size_t k = 1; k <= l; ++k) {
    for (const std::size_t j : {l - k, l + k}) {
      const double candidate = lagged_correlation(closes_, references_, l, j, window_);
      if (std::fabs(candidate) > std::fabs(best)) best = candidate;
    }
  }
  outputs_.set({best});
  return best;
}

}  // namespace vsci
