// Each print is one step of the windowed kinds; only the last step's result
// reaches the bar, but every step moves the windows. Vpin works out how many
// whole buckets a print completes instead of pouring it in bucket by bucket,
// and pushes their equal imbalances as one run, so a huge or non-finite size
// costs about what a small one does and never loops on a size that
// subtraction cannot shrink.
#include "indicators/trade_flow.h"

#include <algorithm>
#include <cmath>

#include "indicators/cores/quotes.h"
#include "indicators/cores/window_checks.h"

namespace vsci {

namespace {

// The bar's mid for the kinds that measure prints against it; none when it is
// not a finite positive price.
std::optional<double> usable_mid(const BarContext& ctx) {
  const double mid = bar_mid(ctx);
  if (!std::isfinite(mid) || !(mid > 0.0)) return std::nullopt;
  return mid;
}

}  // namespace

// --- AmihudIlliquidity ---

Expected<AmihudIlliquidity, IndicatorError> AmihudIlliquidity::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return AmihudIlliquidity(static_cast<std::size_t>(n));
}

std::optional<double> AmihudIlliquidity::update_bar(const BarContext& ctx) {
  std::optional<double> result;
  for (const TradePrint& t : ctx.trades) {
    // A print without size moves no price: it is skipped, and as the bar's
    // last print it repeats the last value the kind gave.
    if (t.size == 0.0) {
      result = last_value_;
      continue;
    }
    if (!previous_price_) {
      previous_price_ = t.price;
      result.reset();
      continue;
    }
    const double r = std::log(t.price / *previous_price_);
    previous_price_ = t.price;
    terms_.push(std::fabs(r) / (t.price * t.size));
    if (terms_.full()) {
      last_value_ = terms_.sum() / static_cast<double>(terms_.capacity());
      result = last_value_;
    } else {
      result.reset();
    }
  }
  return result;
}

// --- Pin ---

Expected<Pin, IndicatorError> Pin::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return Pin(static_cast<std::size_t>(n));
}

std::optional<double> Pin::update_bar(const BarContext& ctx) {
  std::optional<double> result;
  for (const TradePrint& t : ctx.trades) {
    if (buys_.full() && buys_.oldest() > 0) --buy_count_;
    const bool buy = t.side == TradeSide::Buy;
    buys_.push(buy ? 1 : 0);
    if (buy) ++buy_count_;
    if (!buys_.full()) {
      result.reset();
      continue;
    }
    const double c = static_cast<double>(buy_count_);
    const double n = static_cast<double>(buys_.capacity());
    result = std::fabs((c - n) + c) / n;
  }
  return result;
}

// --- RollMeasure ---

Expected<RollMeasure, IndicatorError> RollMeasure::create(std::uint64_t n) {
  if (auto e = check_min_period(n, 3, "Roll measure needs period >= 3")) return unexpected(*e);
  return RollMeasure(static_cast<std::size_t>(n));
}

std::optional<double> RollMeasure::update_bar(const BarContext& ctx) {
  std::optional<double> result;
  for (const TradePrint& t : ctx.trades) result = step(t.price);
  return result;
}

// The mean moves with every change, so the covariance of neighbouring changes
// about it is a scan of the window.
std::optional<double> RollMeasure::step(double price) {
  if (!previous_price_) {
    previous_price_ = price;
    return std::nullopt;
  }
  changes_.push(price - *previous_price_);
  previous_price_ = price;
  if (!changes_.full()) return std::nullopt;
  const auto [older, newer] = changes_.runs();
  const double n = static_cast<double>(changes_.capacity());
  double sum = -0.0;
  for (auto run : {older, newer}) {
    for (double x : run) sum += x;
  }
  const double m = sum / n;
  double products = -0.0;
  double previous_deviation = 0.0;
  bool first = true;
  for (auto run : {older, newer}) {
    for (double x : run) {
      const double d = x - m;
      if (!first) products += previous_deviation * d;
      previous_deviation = d;
      first = false;
    }
  }
  const double c = products / (n - 1.0);
  return c < 0.0 ? 2.0 * std::sqrt(-c) : 0.0;
}

// --- TradeImbalance ---

Expected<TradeImbalance, IndicatorError> TradeImbalance::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return TradeImbalance(static_cast<std::size_t>(n));
}

std::optional<double> TradeImbalance::update_bar(const BarContext& ctx) {
  std::optional<double> result;
  for (const TradePrint& t : ctx.trades) result = step(t);
  return result;
}

// The new pair is added before the oldest is taken out.
std::optional<double> TradeImbalance::step(const TradePrint& t) {
  const Sides now = t.side == TradeSide::Buy ? Sides{t.size, 0.0} : Sides{0.0, t.size};
  buy_.add(now.buy);
  sell_.add(now.sell);
  if (sides_.full()) {
    const Sides old = sides_.oldest();
    buy_.remove(old.buy);
    sell_.remove(old.sell);
  }
  sides_.push(now);
  if (!sides_.full()) return std::nullopt;
  const double buy = buy_.value();
  const double sell = sell_.value();
  const double total = buy + sell;
  return total > 0.0 ? (buy - sell) / total : 0.0;
}

// --- TradeSignAutocorrelation ---

Expected<TradeSignAutocorrelation, IndicatorError> TradeSignAutocorrelation::create(std::uint64_t n) {
  if (auto e = check_min_period(n, 2, "trade-sign autocorrelation needs period >= 2")) return unexpected(*e);
  return TradeSignAutocorrelation(static_cast<std::size_t>(n));
}

std::optional<double> TradeSignAutocorrelation::update_bar(const BarContext& ctx) {
  std::optional<double> result;
  for (const TradePrint& t : ctx.trades) {
    // The window holds at least two signs once full (n >= 2).
    if (signs_.full()) neighbour_sum_ -= signs_[0] * signs_[1];
    const std::int8_t s = t.side == TradeSide::Buy ? 1 : -1;
    if (!signs_.empty()) neighbour_sum_ += signs_.newest() * s;
    signs_.push(s);
    if (signs_.full()) {
      result = static_cast<double>(neighbour_sum_) / static_cast<double>(signs_.capacity() - 1);
    } else {
      result.reset();
    }
  }
  return result;
}

// --- Vpin ---

Expected<Vpin, IndicatorError> Vpin::create(double bucket_volume, std::uint64_t buckets) {
  if (auto e = check_period(buckets)) return unexpected(*e);
  if (!(bucket_volume > 0.0)) {
    return unexpected(IndicatorError::invalid_parameter("VPIN bucket_volume must be finite and positive"));
  }
  return Vpin(bucket_volume, static_cast<std::size_t>(buckets));
}

std::optional<double> Vpin::update_bar(const BarContext& ctx) {
  if (ctx.trades.empty()) return std::nullopt;
  for (const TradePrint& t : ctx.trades) fill(t.size, t.side == TradeSide::Buy);
  if (!imbalances_.full()) return std::nullopt;
  return imbalances_.sum() / (bucket_volume_ * static_cast<double>(imbalances_.capacity()));
}

void Vpin::complete_bucket() {
  imbalances_.push(std::fabs(buy_ - sell_));
  buy_ = 0.0;
  sell_ = 0.0;
  filled_ = 0.0;
}

void Vpin::take(double amount, bool buy) {
  if (buy) {
    buy_ = buy_ + amount;
  } else {
    sell_ = sell_ + amount;
  }
  filled_ = filled_ + amount;
  if (filled_ >= bucket_volume_) complete_bucket();
}

void Vpin::fill(double size, bool buy) {
  if (!(size > 0.0)) return;  // NaN and empty sizes fill nothing
  const double v = bucket_volume_;
  // Top up the current bucket. The first take can leave it one rounding short
  // of V; the second then brings it to exactly V.
  double s = size;
  for (int i = 0; i < 2 && s > 0.0 && (i == 0 || filled_ > 0.0); ++i) {
    const double amount = std::min(s, v - filled_);
    take(amount, buy);
    s = s - amount;
  }
  if (!(s > 0.0)) return;
  // Whole buckets of one side (imbalance V each), then what is left over. A
  // print never completes more buckets than the window holds: earlier ones
  // would leave it within the same print.
  const std::size_t n = imbalances_.capacity();
  double rest = 0.0;
  std::size_t whole = n;
  if (!std::isinf(s)) {
    rest = std::fmod(s, v);
    if (!(s / v > static_cast<double>(n))) whole = static_cast<std::size_t>(std::nearbyint((s - rest) / v));
  }
  imbalances_.push_repeated(v, whole);
  if (rest > 0.0) take(rest, buy);
}

// --- KylesLambda ---

Expected<KylesLambda, IndicatorError> KylesLambda::create(std::uint64_t n) {
  if (auto e = check_min_period(n, 2, "kyle's lambda needs window >= 2")) return unexpected(*e);
  return KylesLambda(static_cast<std::size_t>(n));
}

std::optional<double> KylesLambda::update_bar(const BarContext& ctx) {
  if (ctx.trades.empty()) return std::nullopt;
  const auto mid = usable_mid(ctx);
  if (!mid) return std::nullopt;
  std::optional<double> result;
  for (const TradePrint& t : ctx.trades) result = step(signed_size(t), *mid);
  return result;
}

std::optional<double> KylesLambda::step(double q, double mid) {
  if (!previous_mid_) {
    previous_mid_ = mid;
    return std::nullopt;
  }
  // Within one bar only the first print sees the mid move.
  const double dm = mid - *previous_mid_;
  previous_mid_ = mid;
  if (!pairs_.push(q, dm)) return std::nullopt;
  const PairMoments m = pairs_.moments();
  if (m.var_x == 0.0) return 0.0;
  return m.cov / m.var_x;
}

// --- RealizedSpread ---

Expected<RealizedSpread, IndicatorError> RealizedSpread::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return RealizedSpread(static_cast<std::size_t>(n));
}

std::optional<double> RealizedSpread::update_bar(const BarContext& ctx) {
  if (ctx.trades.empty()) return std::nullopt;
  const auto mid = usable_mid(ctx);
  if (!mid) return std::nullopt;
  std::optional<double> result;
  for (const TradePrint& t : ctx.trades) {
    const bool leaves = entries_.full();
    const Entry old = leaves ? entries_.oldest() : Entry{};
    entries_.push(Entry{trade_sign(t), t.price, *mid});
    if (leaves) {
      result = 2.0 * old.sign * (old.price - *mid) / old.mid * 10000.0;
    } else {
      result.reset();
    }
  }
  return result;
}

// --- the stateless kinds and the running delta ---

std::optional<double> TradeToMidSpreadBps::update_bar(const BarContext& ctx) const {
  if (ctx.trades.empty()) return std::nullopt;
  const auto mid = usable_mid(ctx);
  if (!mid) return std::nullopt;
  const TradePrint& t = ctx.trades.back();
  return 2.0 * trade_sign(t) * (t.price - *mid) / *mid * 10000.0;
}

std::optional<double> SignedVolume::update_bar(const BarContext& ctx) const {
  if (ctx.trades.empty()) return std::nullopt;
  return signed_size(ctx.trades.back());
}

std::optional<double> CumulativeVolumeDelta::update_bar(const BarContext& ctx) {
  if (ctx.trades.empty()) return std::nullopt;
  for (const TradePrint& t : ctx.trades) total_ = total_ + signed_size(t);
  return total_;
}

}  // namespace vsci
