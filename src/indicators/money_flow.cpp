// The window kinds keep running sums whose empty windows are exactly zero
// (WindowSum), so "no volume", "no flow" and "no range" fall back to the
// results promised for them however long the series ran. A smoother is never
// fed a non-finite value: an overflowing bar gives no value and leaves the
// smoothing as it was.
#include "indicators/money_flow.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "indicators/cores/civil_day.h"
#include "indicators/cores/volume_flow.h"
#include "indicators/cores/window_checks.h"
#include "util/math_constants.h"

namespace vsci {

namespace {

// The zero check on both lengths, the ordering rule, then the bound.
std::optional<IndicatorError> check_fast_slow(std::uint64_t fast, std::uint64_t slow, std::string_view order_text) {
  if (fast == 0 || slow == 0) return IndicatorError::period_zero();
  if (fast >= slow) return IndicatorError::invalid_period(order_text);
  if (slow > MAX_PERIOD) return IndicatorError::period_too_large();
  return std::nullopt;
}

// (high + low + 2 close) / 4, summed as (high + low) + (close + close).
double weighted_price(const Candle& c) { return ((c.high + c.low) + (c.close + c.close)) * 0.25; }

// The smoothed pressure; a non-finite raw pressure stands in for it on this
// bar only and leaves the smoother as it was.
double smoothed_pressure(ExpSmoother& smoother, double raw) {
  if (!std::isfinite(raw)) return raw;
  return *smoother.update_value(raw);
}

}  // namespace

Expected<ChaikinMoneyFlow, IndicatorError> ChaikinMoneyFlow::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return ChaikinMoneyFlow(static_cast<std::size_t>(n));
}

std::optional<double> ChaikinMoneyFlow::update_candle(const Candle& c) {
  flows_.push(money_flow_volume(c));
  volumes_.push(c.volume);
  if (!volumes_.full()) return std::nullopt;
  const double volume = volumes_.sum();
  if (volume == 0.0) return 0.0;
  return flows_.sum() / volume;
}

Expected<ChaikinOscillator, IndicatorError> ChaikinOscillator::create(std::uint64_t fast, std::uint64_t slow) {
  if (auto e = check_fast_slow(fast, slow, "Chaikin Oscillator needs fast < slow")) return unexpected(*e);
  return ChaikinOscillator(fast, slow);
}

std::optional<double> ChaikinOscillator::update_candle(const Candle& c) {
  line_ = line_ + money_flow_volume(c);
  if (!std::isfinite(line_)) return std::nullopt;
  const auto fast = fast_.update_value(line_);
  const auto slow = slow_.update_value(line_);
  if (!slow) return std::nullopt;
  return *fast - *slow;
}

Expected<Mfi, IndicatorError> Mfi::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return Mfi(static_cast<std::size_t>(n));
}

std::optional<double> Mfi::update_candle(const Candle& c) {
  const double tp = typical_price(c);
  if (!prev_typical_) {
    prev_typical_ = tp;
    return std::nullopt;
  }
  const double raw = tp * c.volume;
  positive_.push(tp > *prev_typical_ ? raw : 0.0);
  negative_.push(tp < *prev_typical_ ? raw : 0.0);
  prev_typical_ = tp;
  if (!positive_.full()) return std::nullopt;
  const double up = positive_.sum();
  const double down = negative_.sum();
  if (down == 0.0) return up == 0.0 ? 50.0 : 100.0;
  const double ratio = up / down;
  return 100.0 - 100.0 / (1.0 + ratio);
}

Expected<Kvo, IndicatorError> Kvo::create(std::uint64_t fast, std::uint64_t slow) {
  if (auto e = check_fast_slow(fast, slow, "KVO needs fast < slow")) return unexpected(*e);
  return Kvo(fast, slow);
}

std::optional<double> Kvo::update_candle(const Candle& c) {
  const Bar bar{c.high - c.low, c.high + c.low + c.close};
  if (!prev_) {
    prev_ = bar;
    return std::nullopt;
  }
  int trend = trend_;
  if (bar.hlc > prev_->hlc) trend = 1;
  else if (bar.hlc < prev_->hlc) trend = -1;
  // A new or reversed trend restarts the cumulative measure from two bars.
  cm_ = (trend_ == 0 || trend != trend_) ? prev_->dm + bar.dm : cm_ + bar.dm;
  trend_ = trend;
  const double force =
      cm_ == 0.0 ? 0.0 : c.volume * std::fabs(2.0 * (bar.dm / cm_ - 1.0)) * static_cast<double>(trend) * 100.0;
  prev_ = bar;
  if (!std::isfinite(force)) return std::nullopt;
  const auto fast = fast_.update_value(force);
  const auto slow = slow_.update_value(force);
  if (!slow) return std::nullopt;
  return *fast - *slow;
}

Expected<DemandIndex, IndicatorError> DemandIndex::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return DemandIndex(static_cast<std::size_t>(n));
}

DemandIndex::DemandIndex(std::size_t n)
    : volumes_(n, false),
      ranges_(n, false),
      buying_(2.0 / (static_cast<double>(n) + 1.0), 1),
      selling_(2.0 / (static_cast<double>(n) + 1.0), 1),
      n_(static_cast<double>(n)) {}

std::optional<double> DemandIndex::update_candle(const Candle& c) {
  volumes_.push(c.volume);
  const std::optional<Candle> prev = prev_;
  prev_ = c;
  if (!prev) return std::nullopt;
  ranges_.push(std::max(c.high, prev->high) - std::min(c.low, prev->low));
  if (!ranges_.full()) return std::nullopt;
  const double avg_volume = volumes_.sum() / n_;
  const double p = weighted_price(c);
  const double prev_p = weighted_price(*prev);
  const double avg_range = ranges_.sum() / n_;
  if (avg_volume == 0.0 || p == 0.0 || prev_p == 0.0 || avg_range == 0.0) return last_;
  const double rel = (p - prev_p) / std::min(p, prev_p);
  const double vr = c.volume / avg_volume;
  // Capped so that exp stays finite.
  const double e = std::exp(std::fmin(std::fabs(rel) * 3.0 * p / avg_range, 88.0));
  const bool rising = rel > 0.0;
  const double bp = smoothed_pressure(buying_, rising ? vr : vr / e);
  const double sp = smoothed_pressure(selling_, rising ? vr / e : vr);
  double result = 0.0;
  if (bp > sp) result = 100.0 * (1.0 - sp / bp);
  else if (bp < sp) result = -100.0 * (1.0 - bp / sp);
  last_ = result;
  return result;
}

Expected<EaseOfMovement, IndicatorError> EaseOfMovement::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return EaseOfMovement(static_cast<std::size_t>(n));
}

std::optional<double> EaseOfMovement::update_candle(const Candle& c) {
  const double mid = safe_midpoint(c.high, c.low);
  if (!prev_mid_) {
    prev_mid_ = mid;
    return std::nullopt;
  }
  const double move = c.volume == 0.0 ? 0.0 : (c.high - c.low) * (mid - *prev_mid_) * 1e8 / c.volume;
  prev_mid_ = mid;
  moves_.push(move);
  if (!moves_.full()) return std::nullopt;
  return moves_.sum() / n_;
}

Expected<ForceIndex, IndicatorError> ForceIndex::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return ForceIndex(n);
}

std::optional<double> ForceIndex::update_candle(const Candle& c) {
  const auto change = changes_.next(c.close);
  if (!change) return std::nullopt;
  const double force = c.volume * *change;
  if (!std::isfinite(force)) return std::nullopt;
  return smoother_.update_value(force);
}

Expected<Tsv, IndicatorError> Tsv::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return Tsv(static_cast<std::size_t>(n));
}

std::optional<double> Tsv::update_candle(const Candle& c) {
  const auto change = changes_.next(c.close);
  if (!change) return std::nullopt;
  signed_volumes_.push(c.volume * *change);
  if (!signed_volumes_.full()) return std::nullopt;
  return signed_volumes_.sum();
}

Expected<TradeVolumeIndex, IndicatorError> TradeVolumeIndex::create(double min_tick) {
  if (!(min_tick >= 0.0) || !std::isfinite(min_tick)) {
    return unexpected(IndicatorError::invalid_parameter("trade volume index min_tick must be finite and non-negative"));
  }
  return TradeVolumeIndex(min_tick);
}

std::optional<double> TradeVolumeIndex::update_candle(const Candle& c) {
  const auto change = changes_.next(c.close);
  if (!change) return std::nullopt;
  if (*change > min_tick_) direction_ = 1.0;
  else if (*change < -min_tick_) direction_ = -1.0;
  index_ = index_ + c.volume * direction_;
  return index_;
}

Expected<RollingVwap, IndicatorError> RollingVwap::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return RollingVwap(static_cast<std::size_t>(n));
}

std::optional<double> RollingVwap::update_candle(const Candle& c) {
  price_volumes_.push(c.volume * typical_price(c));
  volumes_.push(c.volume);
  const double volume = volumes_.sum();
  if (!volumes_.full() || volume == 0.0) return std::nullopt;
  return price_volumes_.sum() / volume;
}

Expected<SessionVwap, IndicatorError> SessionVwap::create(std::int32_t offset_minutes) {
  return SessionVwap(offset_minutes);
}

std::optional<double> SessionVwap::update_candle(const Candle& c) {
  const std::int64_t day = local_day(c.time, offset_minutes_);
  if (day_ != day) {
    day_ = day;
    price_volume_ = 0.0;
    volume_ = 0.0;
  }
  const double tp = typical_price(c);
  price_volume_ = price_volume_ + c.volume * tp;
  volume_ = volume_ + c.volume;
  return volume_ > 0.0 ? price_volume_ / volume_ : tp;
}

Expected<Evwma, IndicatorError> Evwma::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return Evwma(static_cast<std::size_t>(n));
}

std::optional<double> Evwma::update_candle(const Candle& c) {
  volumes_.push(c.volume);
  if (!volumes_.full()) return std::nullopt;
  const double total = volumes_.sum();
  if (total > 0.0) {
    const double prev = average_.value_or(c.close);
    average_ = ((total - c.volume) * prev + c.volume * c.close) / total;
  } else if (!average_) {
    average_ = c.close;
  }
  return average_;
}

Expected<BetterVolume, IndicatorError> BetterVolume::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return BetterVolume(static_cast<std::size_t>(n));
}

std::optional<double> BetterVolume::update_candle(const Candle& c) {
  const double range = c.high - c.low;
  const double range_volume = range * c.volume;
  const bool ranged = range > 0.0;
  const double volume_per_range = c.volume / range;
  if (held_ < n_) ++held_;
  const bool warm = held_ == n_;
  double value = 0.0;
  if (warm) {
    // The extremes of the earlier bars as scans from -inf and +inf find them.
    const bool alone = n_ == 1;
    const auto [most_range_volume, least_volume] = alone ? OldestRange::Values{-kInf, kInf} : earlier_.fold_from(-kInf, kInf);
    const double most_volume_per_range = alone ? -kInf : most_volume_per_range_.fold_from(-kInf);
    const bool churn = ranged && volume_per_range > most_volume_per_range;
    const bool climax = range_volume > most_range_volume;
    // Looked up rather than branched on: the class is rarely predictable,
    // and a mispredicted branch here would replay the pushes below.
    static constexpr double kClass[16] = {0.0, 1.0, 0.0, 1.0, 2.0, 2.0, 2.0, 2.0,
                                          3.0, 3.0, -3.0, -3.0, 4.0, 4.0, 4.0, 4.0};
    value = kClass[8 * climax + 4 * churn + 2 * (c.close < c.open) + (c.volume < least_volume)];
  }
  earlier_.push(range_volume, c.volume);
  // NaN never becomes an extreme, so a bar without a range leaves no trace.
  most_volume_per_range_.push(ranged ? volume_per_range : std::numeric_limits<double>::quiet_NaN());
  // Built only here: an optional filled in early goes through memory.
  if (!warm) return std::nullopt;
  return value;
}

}  // namespace vsci
