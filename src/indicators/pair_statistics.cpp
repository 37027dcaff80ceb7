// The pair kinds share one reading of the window: population moments of the
// pairs it holds, with every zero variance or zero beta answered by a fixed
// fallback rather than a division, so a flat reference never yields an
// infinity. The rank and distance kinds scan their window because their
// normalisation moves with it.
#include "indicators/pair_statistics.h"

#include <algorithm>
#include <cmath>

#include "indicators/cores/window_checks.h"

namespace vsci {

namespace {

double beta_of(const PairMoments& m) { return m.var_y == 0.0 ? 0.0 : m.cov / m.var_y; }

// How much a's doubled average rank grows when b joins its window, or
// shrinks when b leaves it: 2 when b is below a, 1 when equal, else 0.
std::int64_t rank2_step(double a, double b) { return (a > b ? 1 : 0) + (a >= b ? 1 : 0); }

}  // namespace

Expected<Beta, IndicatorError> Beta::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 2, "beta needs period >= 2")) return unexpected(*e);
  return Beta(static_cast<std::size_t>(period));
}

std::optional<double> Beta::update_pair(double c, double r) {
  if (!moments_.push(c, r)) return std::nullopt;
  return beta_of(moments_.moments());
}

Expected<Alpha, IndicatorError> Alpha::create(std::uint64_t period, double risk_free) {
  if (auto e = check_min_period(period, 2, "alpha needs period >= 2")) return unexpected(*e);
  return Alpha(static_cast<std::size_t>(period), risk_free);
}

std::optional<double> Alpha::update_pair(double c, double r) {
  if (!moments_.push(c, r)) return std::nullopt;
  const PairMoments m = moments_.moments();
  if (m.var_y <= 0.0) return m.mean_x - risk_free_;
  return m.mean_x - (risk_free_ + beta_of(m) * (m.mean_y - risk_free_));
}

Expected<BetaNeutralSpread, IndicatorError> BetaNeutralSpread::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 2, "beta-neutral spread needs period >= 2")) return unexpected(*e);
  return BetaNeutralSpread(static_cast<std::size_t>(period));
}

std::optional<double> BetaNeutralSpread::update_pair(double c, double r) {
  if (!moments_.push(c, r)) return std::nullopt;
  const PairMoments m = moments_.moments();
  const double beta = beta_of(m);
  const double intercept = m.mean_x - beta * m.mean_y;
  return c - (intercept + beta * r);
}

Expected<TreynorRatio, IndicatorError> TreynorRatio::create(std::uint64_t period, double risk_free) {
  if (auto e = check_min_period(period, 2, "treynor ratio needs period >= 2")) return unexpected(*e);
  return TreynorRatio(static_cast<std::size_t>(period), risk_free);
}

std::optional<double> TreynorRatio::update_pair(double c, double r) {
  if (!moments_.push(c, r)) return std::nullopt;
  const PairMoments m = moments_.moments();
  const double beta = beta_of(m);
  if (m.var_y <= 0.0 || beta == 0.0) return 0.0;
  return (m.mean_x - risk_free_) / beta;
}

Expected<PairwiseBeta, IndicatorError> PairwiseBeta::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 2, "pairwise beta needs period >= 2")) return unexpected(*e);
  return PairwiseBeta(static_cast<std::size_t>(period));
}

std::optional<double> PairwiseBeta::update_pair(double c, double r) {
  // Both prices are checked before either return stream moves.
  if (!(c > 0.0) || !(r > 0.0)) return std::nullopt;
  const auto step = returns_.next(c, r);
  if (!step || !moments_.push(step->x, step->y)) return std::nullopt;
  return beta_of(moments_.moments());
}

Expected<RollingCovariance, IndicatorError> RollingCovariance::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 2, "rolling covariance needs period >= 2")) return unexpected(*e);
  return RollingCovariance(static_cast<std::size_t>(period));
}

std::optional<double> RollingCovariance::update_pair(double c, double r) {
  const auto step = changes_.next(c, r);
  if (!step || !moments_.push(step->x, step->y)) return std::nullopt;
  return moments_.moments().cov;
}

Expected<RollingCorrelation, IndicatorError> RollingCorrelation::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 2, "rolling correlation needs period >= 2")) return unexpected(*e);
  return RollingCorrelation(static_cast<std::size_t>(period));
}

std::optional<double> RollingCorrelation::update_pair(double c, double r) {
  const auto step = changes_.next(c, r);
  if (!step || !moments_.push(step->x, step->y)) return std::nullopt;
  const PairMoments m = moments_.moments();
  return bounded_correlation(m.cov, m.var_x, m.var_y);
}

Expected<PearsonCorrelation, IndicatorError> PearsonCorrelation::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 2, "pearson correlation needs period >= 2")) return unexpected(*e);
  return PearsonCorrelation(static_cast<std::size_t>(period));
}

std::optional<double> PearsonCorrelation::update_pair(double c, double r) {
  if (!moments_.push(c, r)) return std::nullopt;
  const PairMoments m = moments_.moments();
  return bounded_correlation(m.cov, m.var_x, m.var_y);
}

Expected<InformationRatio, IndicatorError> InformationRatio::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 2, "information ratio needs period >= 2")) return unexpected(*e);
  return InformationRatio(static_cast<std::size_t>(period));
}

std::optional<double> InformationRatio::update_pair(double c, double r) {
  if (!moments_.push(c - r)) return std::nullopt;
  const double var = moments_.variance();
  if (var == 0.0) return 0.0;
  return moments_.mean() / std::sqrt(var);
}

Expected<DistanceSsd, IndicatorError> DistanceSsd::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 2, "distance SSD needs period >= 2")) return unexpected(*e);
  return DistanceSsd(static_cast<std::size_t>(period));
}

std::optional<double> DistanceSsd::update_pair(double c, double r) {
  pairs_.push({c, r});
  if (!pairs_.full()) return std::nullopt;
  const XY start = pairs_.oldest();
  if (start.x == 0.0 || start.y == 0.0) return 0.0;
  double ssd = 0.0;
  for (std::size_t i = 0; i < pairs_.size(); ++i) {
    const double d = pairs_[i].x / start.x - pairs_[i].y / start.y;
    ssd += d * d;
  }
  return ssd;
}

Expected<KendallTau, IndicatorError> KendallTau::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 2, "Kendall tau needs period >= 2")) return unexpected(*e);
  return KendallTau(static_cast<std::size_t>(period));
}

void KendallTau::count(const XY& a, const XY& b, std::int64_t sign) {
  if (a.x == b.x) {
    tied_x_ += sign;
    if (a.y == b.y) tied_y_ += sign;
  } else if (a.y == b.y) {
    tied_y_ += sign;
  } else if ((a.x > b.x) == (a.y > b.y)) {
    concordant_ += sign;
  } else {
    discordant_ += sign;
  }
}

std::optional<double> KendallTau::update_pair(double c, double r) {
  const XY pair{c, r};
  // A full ring drops its oldest pair on the push below: its comparisons
  // leave the counts first, and the new pair is not compared with it.
  std::size_t first = 0;
  if (pairs_.full()) {
    for (std::size_t i = 1; i < pairs_.size(); ++i) count(pairs_.oldest(), pairs_[i], -1);
    first = 1;
  }
  for (std::size_t i = first; i < pairs_.size(); ++i) count(pair, pairs_[i], +1);
  pairs_.push(pair);
  if (!pairs_.full()) return std::nullopt;
  const double n = static_cast<double>(pairs_.capacity());
  const double all = n * (n - 1.0) / 2.0;
  const double q = (all - static_cast<double>(tied_x_)) * (all - static_cast<double>(tied_y_));
  if (q == 0.0) return 0.0;
  const double tau = static_cast<double>(concordant_ - discordant_) / std::sqrt(q);
  return std::clamp(tau, -1.0, 1.0);
}

Expected<SpearmanCorrelation, IndicatorError> SpearmanCorrelation::create(std::uint64_t period) {
  if (auto e = check_min_period(period, 2, "spearman correlation needs period >= 2")) return unexpected(*e);
  return SpearmanCorrelation(static_cast<std::size_t>(period));
}

std::optional<double> SpearmanCorrelation::update_pair(double c, double r) {
  // The ranks follow the window as it slides: the evicted pair's values stop
  // counting below or equal to the others, the new pair's start to, so every
  // rank stays the average rank a sort of the window would give. A value's
  // step over another and the other's over it always add up to 2.
  const bool full = slots_.size() == period_;
  // Sums of how much each held value's doubled rank grows by the new one;
  // the new one's own grows by 2 less that for each of them.
  std::int64_t grown_x = 0;
  std::int64_t grown_y = 0;
  if (!full) {
    for (RankedPair& p : slots_) {
      const std::int64_t sx = rank2_step(p.x, c);
      const std::int64_t sy = rank2_step(p.y, r);
      p.rank2_x += sx;
      p.rank2_y += sy;
      grown_x += sx;
      grown_y += sy;
    }
    const auto others = static_cast<std::int64_t>(slots_.size());
    append_within(slots_, RankedPair{c, r, 2 + 2 * others - grown_x, 2 + 2 * others - grown_y}, period_);
    if (slots_.size() < period_) return std::nullopt;
  } else {
    // The evicted pair is counted too, as if it stayed, and taken out after.
    const RankedPair old = slots_[start_];
    for (RankedPair& p : slots_) {
      const std::int64_t sx = rank2_step(p.x, c);
      const std::int64_t sy = rank2_step(p.y, r);
      p.rank2_x += sx - rank2_step(p.x, old.x);
      p.rank2_y += sy - rank2_step(p.y, old.y);
      grown_x += sx;
      grown_y += sy;
    }
    const auto others = static_cast<std::int64_t>(period_ - 1);
    grown_x -= rank2_step(old.x, c);
    grown_y -= rank2_step(old.y, r);
    slots_[start_] = {c, r, 2 + 2 * others - grown_x, 2 + 2 * others - grown_y};
    start_ = start_ + 1 == period_ ? 0 : start_ + 1;
  }
  // Average ranks are halves and their sum is n(n + 1) / 2 whatever the ties,
  // exactly (it stays below 2^49), so the mean of either list, summed oldest
  // first, is (n + 1) / 2 to the bit.
  const std::size_t n = period_;
  const double mean = static_cast<double>(n + 1) * 0.5;
  double sxx = 0.0;
  double syy = 0.0;
  double sxy = 0.0;
  const auto add = [&](const RankedPair& p) {
    const double dx = static_cast<double>(p.rank2_x) * 0.5 - mean;
    const double dy = static_cast<double>(p.rank2_y) * 0.5 - mean;
    sxx += dx * dx;
    syy += dy * dy;
    sxy += dx * dy;
  };
  for (std::size_t k = start_; k < n; ++k) add(slots_[k]);
  for (std::size_t k = 0; k < start_; ++k) add(slots_[k]);
  const double len = static_cast<double>(n);
  return bounded_correlation(sxy / len, sxx / len, syy / len);
}

Expected<RelativeStrengthAB, IndicatorError> RelativeStrengthAB::create(std::uint64_t average_period,
                                                                        std::uint64_t rsi_period) {
  auto average = Sma::create(average_period);
  if (!average.ok()) return unexpected(average.error());
  auto rsi = Rsi::create(rsi_period);
  if (!rsi.ok()) return unexpected(rsi.error());
  return RelativeStrengthAB(std::move(average).value(), std::move(rsi).value());
}

std::optional<double> RelativeStrengthAB::update_pair(double c, double r) {
  if (r == 0.0) return std::nullopt;
  const double ratio = c / r;
  // Both stages see every accepted ratio, whether or not the other has a value.
  const auto average = average_.update_value(ratio);
  const auto rsi = rsi_.update_value(ratio);
  if (!average || !rsi) return std::nullopt;
  outputs_.set({ratio, *average, *rsi});
  return ratio;
}

std::uint64_t RelativeStrengthAB::warmup() const { return std::max(average_.warmup(), rsi_.warmup()); }

}  // namespace vsci
