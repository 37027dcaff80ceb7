// The tick's prices are checked positive before any kind sees them, so the
// basis formulas divide without a test; the ratios of amounts that may be zero
// answer 0 instead of an infinity.
#include "indicators/derivatives.h"

#include "indicators/cores/window_checks.h"

namespace vsci {

double funding_rate_of(const DerivativesTick& t) { return t.funding_rate; }

double mark_basis(const DerivativesTick& t) { return (t.mark_price - t.index_price) / t.index_price; }

double futures_index_basis(const DerivativesTick& t) { return (t.futures_price - t.index_price) / t.index_price; }

double futures_mark_basis(const DerivativesTick& t) { return (t.futures_price - t.mark_price) / t.mark_price; }

double taker_buy_sell_ratio(const DerivativesTick& t) {
  return t.taker_sell_volume == 0.0 ? 0.0 : t.taker_buy_volume / t.taker_sell_volume;
}

double long_short_ratio(const DerivativesTick& t) { return t.short_size == 0.0 ? 0.0 : t.long_size / t.short_size; }

double open_interest_to_volume(const DerivativesTick& t) {
  const double volume = t.taker_buy_volume + t.taker_sell_volume;
  return volume > 0.0 ? t.open_interest / volume : 0.0;
}

Expected<FundingImpliedApr, IndicatorError> FundingImpliedApr::create(double intervals_per_year) {
  if (!(intervals_per_year > 0.0)) {
    return unexpected(IndicatorError::invalid_parameter("intervals_per_year must be finite and positive"));
  }
  return FundingImpliedApr(intervals_per_year);
}

std::optional<double> FundingImpliedApr::update_bar(const BarContext& ctx) const {
  if (ctx.derivatives == nullptr) return std::nullopt;
  return ctx.derivatives->funding_rate * intervals_per_year_;
}

std::optional<double> LiquidationFeatures::update_bar(const BarContext& ctx) {
  if (ctx.derivatives == nullptr) return std::nullopt;
  const double l = ctx.derivatives->long_liquidation;
  const double s = ctx.derivatives->short_liquidation;
  const double total = l + s;
  const double imbalance = total == 0.0 ? 0.0 : (l - s) / total;
  outputs_.set({l, s, l - s, total, imbalance});
  return l;
}

std::optional<double> OIWeighted::update_bar(const BarContext& ctx) {
  if (ctx.derivatives == nullptr) return std::nullopt;
  const DerivativesTick& t = *ctx.derivatives;
  weighted_ = weighted_ + t.open_interest * t.mark_price;
  open_interest_ = open_interest_ + t.open_interest;
  return open_interest_ == 0.0 ? t.mark_price : weighted_ / open_interest_;
}

std::optional<double> OpenInterestDelta::update_bar(const BarContext& ctx) {
  if (ctx.derivatives == nullptr) return std::nullopt;
  const double now = ctx.derivatives->open_interest;
  const std::optional<double> before = previous_;
  previous_ = now;
  if (!before) return std::nullopt;
  return now - *before;
}

Expected<OpenInterestMomentum, IndicatorError> OpenInterestMomentum::create(std::uint64_t n) {
  auto lag = Mom::create(n);
  if (!lag.ok()) return unexpected(lag.error());
  return OpenInterestMomentum(std::move(lag).value());
}

std::optional<double> OpenInterestMomentum::update_bar(const BarContext& ctx) {
  if (ctx.derivatives == nullptr) return std::nullopt;
  const double now = ctx.derivatives->open_interest;
  const auto old = lag_.push(now);
  if (!old) return std::nullopt;
  return *old > 0.0 ? (now - *old) * 100.0 / *old : 0.0;
}

Expected<OIPriceDivergence, IndicatorError> OIPriceDivergence::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return OIPriceDivergence(static_cast<std::size_t>(n));
}

std::optional<double> OIPriceDivergence::update_bar(const BarContext& ctx) {
  if (ctx.derivatives == nullptr) return std::nullopt;
  ticks_.push(Pair{ctx.derivatives->open_interest, ctx.derivatives->mark_price});
  if (!ticks_.full()) return std::nullopt;
  const Pair& old = ticks_.oldest();
  const Pair& now = ticks_.newest();
  const double oi_change = old.open_interest == 0.0 ? 0.0 : (now.open_interest - old.open_interest) / old.open_interest;
  const double price_change = (now.mark - old.mark) / old.mark;
  return oi_change - price_change;
}

Expected<FundingRateMean, IndicatorError> FundingRateMean::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return FundingRateMean(static_cast<std::size_t>(n));
}

std::optional<double> FundingRateMean::update_bar(const BarContext& ctx) {
  if (ctx.derivatives == nullptr) return std::nullopt;
  // A full ring of n + 1 drops a rate that already left the sum.
  const double x = ctx.derivatives->funding_rate;
  rates_.push(x);
  sum_ = sum_ + x;
  if (++pushes_ == n_) {
    sum_ = sum_oldest_first(rates_);
    pushes_ = 0;
  }
  if (rates_.size() > n_) sum_ = sum_ - rates_.oldest();
  if (rates_.size() < n_) return std::nullopt;
  return sum_ / static_cast<double>(n_);
}

}  // namespace vsci
