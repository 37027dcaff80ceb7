// The trading model: signals become orders, orders become fills, protective
// exits and the close-out book trades, funding moves cash. Every amount is
// computed in the one order of operations that fixes its rounding, so fees
// are not shared between entry, market exit and protective exit. Where the
// engine departs from a plain reading of its rules, the README's "Deliberate
// choices a user may notice" says how and why.
#include <array>
#include <cmath>

#include "engine/engine.h"
#include "indicators/cores/sorted_window.h"

namespace vsci {

namespace {

// 1 + p / 100, or 1 when the offset is absent.
double offset_factor(const std::optional<double>& pct) { return pct ? 1.0 + *pct / 100.0 : 1.0; }

double sign_of(Side side) { return side == Side::Long ? 1.0 : -1.0; }

}  // namespace

void Engine::on_exit_signal(const BarView& bar) {
  const Execution& ex = spec_.execution;
  if (ex.fill_timing == FillTiming::Close) {
    exit_at_market(bar, ExitReason::Signal, bar.candle->close);
    return;
  }
  // An exit already on its way keeps its wait: the latency delays the order,
  // and a signal that repeats is no reason to send it again.
  if (pending_ && pending_->kind == PendingOrder::Kind::MarketExit) return;
  PendingOrder order;
  order.kind = PendingOrder::Kind::MarketExit;
  order.reason = ExitReason::Signal;
  order.countdown = ex.latency_bars;
  pending_ = order;
}

Expected<void, BacktestError> Engine::on_entry_signal(const BarView& bar, Side side) {
  const Execution& ex = spec_.execution;
  const double close = bar.candle->close;
  if (ex.fill_timing == FillTiming::Close) return enter_position(bar, side, close, false);
  PendingOrder order;
  order.side = side;
  order.countdown = ex.latency_bars;
  switch (ex.order_type) {
    case OrderType::Market:
      order.kind = PendingOrder::Kind::MarketEntry;
      break;
    case OrderType::Limit:
      order.kind = PendingOrder::Kind::LimitEntry;
      order.first_price = close * offset_factor(ex.limit_offset_pct);
      break;
    case OrderType::Stop:
      order.kind = PendingOrder::Kind::StopEntry;
      order.first_price = close * offset_factor(ex.stop_offset_pct);
      break;
    case OrderType::StopLimit:
      order.kind = PendingOrder::Kind::StopLimitEntry;
      order.first_price = close * offset_factor(ex.stop_offset_pct);
      order.second_price = close * offset_factor(ex.limit_offset_pct);
      break;
  }
  pending_ = order;
  return {};
}

Expected<void, BacktestError> Engine::work_pending_order(const BarView& bar) {
  if (!pending_) return {};
  if (pending_->countdown > 0) {
    --pending_->countdown;
    return {};
  }
  const PendingOrder order = *pending_;
  pending_.reset();

  const double o = bar.candle->open;
  const double h = bar.candle->high;
  const double w = bar.candle->low;
  const bool is_long = order.side == Side::Long;
  bool triggered = false;
  double fill = 0.0;
  switch (order.kind) {
    case PendingOrder::Kind::MarketExit:
      // An open at or beyond the liquidation price has left the account
      // worth nothing, so none of its orders fills there: the liquidation
      // books first and the order finds nothing to close.
      if (in_position() && opened_past_liquidation(*bar.candle, liquidation_price())) {
        apply_protective_exits(bar);
      } else {
        exit_at_market(bar, order.reason, o);
      }
      return {};
    case PendingOrder::Kind::MarketEntry:
      return enter_position(bar, order.side, o, false);
    case PendingOrder::Kind::LimitEntry: {
      const double l = order.first_price;
      triggered = is_long ? w <= l : h >= l;
      fill = is_long ? std::fmin(o, l) : std::fmax(o, l);
      break;
    }
    case PendingOrder::Kind::StopEntry: {
      const double s = order.first_price;
      triggered = is_long ? h >= s : w <= s;
      fill = is_long ? std::fmax(o, s) : std::fmin(o, s);
      break;
    }
    case PendingOrder::Kind::StopLimitEntry: {
      const double s = order.first_price;
      const double l = order.second_price;
      triggered = is_long ? (h >= s && w <= l) : (w <= s && h >= l);
      fill = is_long ? std::fmin(std::fmax(o, s), l) : std::fmax(std::fmin(o, s), l);
      break;
    }
  }
  if (!triggered) {
    // Untriggered orders wait, without latency, until they trigger or the run ends.
    pending_ = order;
    pending_->countdown = 0;
    return {};
  }
  // A fill inside the bar's range came at a moment the bar does not tell: its
  // open had passed, and its high or low may have come before the position
  // existed. Such a position is first tested on the next bar, as one filled
  // at the close is; one filled at the open (the bar gapped through the
  // price) is tested on this bar.
  if (fill != o) exits_from_bar_ = bar.index + 1;
  std::optional<double> limit;
  if (order.kind == PendingOrder::Kind::LimitEntry) limit = order.first_price;
  if (order.kind == PendingOrder::Kind::StopLimitEntry) limit = order.second_price;
  return enter_position(bar, order.side, fill, order.kind == PendingOrder::Kind::LimitEntry, limit);
}

std::optional<double> Engine::window_volatility() const {
  if (spec_.sizing.type != Sizing::Type::VolTarget) return std::nullopt;
  const std::size_t n = spec_.sizing.lookback;
  if (n < 2 || history_.size() < n) return std::nullopt;
  const std::size_t first = history_.size() - n;
  std::size_t count = 0;
  double sum = 0.0;
  for (std::size_t i = first; i + 1 < history_.size(); ++i) {
    const double c = history_[i].candle.close;
    if (std::fabs(c) <= EPS) continue;
    sum += history_[i + 1].candle.close / c - 1.0;
    ++count;
  }
  if (count == 0) return std::nullopt;
  const double mean = sum / static_cast<double>(count);
  double sq = 0.0;
  for (std::size_t i = first; i + 1 < history_.size(); ++i) {
    const double c = history_[i].candle.close;
    if (std::fabs(c) <= EPS) continue;
    const double d = (history_[i + 1].candle.close / c - 1.0) - mean;
    sq += d * d;
  }
  const double variance = sq / static_cast<double>(count);
  if (!(variance > 0.0)) return std::nullopt;
  return std::sqrt(variance);
}

Expected<std::optional<double>, BacktestError> Engine::position_size(double price,
                                                                     std::optional<double> volatility) const {
  const std::optional<double> none;
  const double cash = cash_;
  // A price at or below 0, as slippage can make one, is no entry.
  if (cash <= 0.0 || price <= 0.0) return none;
  const Sizing& sizing = spec_.sizing;
  double raw = 0.0;
  switch (sizing.type) {
    case Sizing::Type::FixedFraction:
      raw = sizing.fraction * cash / price;
      break;
    case Sizing::Type::FixedQty:
      raw = sizing.qty;
      break;
    case Sizing::Type::FixedCash:
      raw = sizing.cash / price;
      break;
    case Sizing::Type::VolTarget:
      if (!volatility) return none;
      raw = sizing.target_vol * cash / *volatility / price;
      break;
    case Sizing::Type::RiskPerTrade: {
      const std::optional<double>& stop = spec_.risk.stop_loss_pct;
      if (!stop) return unexpected(BacktestError::invalid_spec("risk_per_trade sizing requires risk.stop_loss_pct"));
      if (*stop <= 0.0) return none;
      raw = (sizing.risk_pct * cash / 100.0) / (price * *stop / 100.0);
      break;
    }
  }
  if (!(raw > 0.0)) return none;
  const Risk& risk = spec_.risk;
  double cap = cash * (risk.max_leverage ? *risk.max_leverage : 1.0);
  if (risk.max_position_pct) cap = std::fmin(cap, cash * *risk.max_position_pct / 100.0);
  return std::optional<double>(std::fmin(price * raw, cap) / price);
}

double Engine::slippage_fraction(const BarView& bar, double size) const {
  const Slippage& slip = spec_.costs.slippage;
  double u = 0.0;
  switch (slip.type) {
    case Slippage::Type::FixedBps:
      u = slip.bps / 10000.0;
      break;
    case Slippage::Type::Spread:
      if (bar.book != nullptr) {
        const double b = bar.book->bids.front().price;
        const double a = bar.book->asks.front().price;
        const double mid = safe_midpoint(b, a);
        if (mid > 0.0) u = (a - b) / 2.0 / mid;
      }
      break;
    case Slippage::Type::VolumeImpact: {
      const double volume = bar.candle->volume;
      if (volume > 0.0) u = slip.coef * size / volume;
      break;
    }
  }
  // Whatever the model and the sign of its setting, a fill moves by at most
  // its price: a sale is never priced below 0, a purchase never above twice
  // the price. A fraction that is not a number counts as the whole price.
  return std::fmax(std::fmin(u, 1.0), -1.0);
}

Expected<void, BacktestError> Engine::enter_position(const BarView& bar, Side side, double price, bool maker,
                                                     std::optional<double> limit) {
  const double s = sign_of(side);
  const std::optional<double> volatility = window_volatility();

  double u = 0.0;
  if (spec_.costs.slippage.type == Slippage::Type::VolumeImpact) {
    auto q0 = position_size(price, volatility);
    if (!q0.ok()) return unexpected(std::move(q0).error());
    u = slippage_fraction(bar, q0.value() ? *q0.value() : 0.0);
  } else {
    u = slippage_fraction(bar, 0.0);
  }
  double fill = price * (1.0 + s * u);
  // Slippage may worsen a fill up to the order's limit, never past it.
  if (limit) fill = side == Side::Long ? std::fmin(fill, *limit) : std::fmax(fill, *limit);

  auto sized = position_size(fill, volatility);
  if (!sized.ok()) return unexpected(std::move(sized).error());
  if (!sized.value()) return {};
  double q = *sized.value();
  const Execution& ex = spec_.execution;
  if (ex.partial_fills) {
    const double participation = ex.max_participation ? *ex.max_participation : 0.0;
    q = std::fmin(q, participation * bar.candle->volume);
  }
  // A size at or below 2^-52 is no open position, so filling it would move
  // cash and fees into a quantity that is never held, exited or booked.
  if (!(q > EPS)) return {};

  const double fee = fill * q * (maker ? maker_rate_ : taker_rate_);
  qty_ = s * q;
  cash_ -= fill * qty_ + fee;
  entry_price_ = fill;
  entry_time_ = bar.candle->time;
  entry_fee_ = fee;
  fees_paid_ += fee;
  entry_bar_ = bar.index;
  extreme_ = fill;
  return {};
}

void Engine::exit_at_market(const BarView& bar, ExitReason reason, double price) {
  if (!in_position()) return;
  const double size = std::fabs(qty_);
  const double u = slippage_fraction(bar, size);
  const double fill = qty_ > 0.0 ? price * (1.0 - u) : price * (1.0 + u);
  const double fee = taker_rate_ * size * fill;
  close_position(bar.candle->time, reason, fill, fee);
  entry_bar_.reset();
}

void Engine::close_position(std::int64_t time, ExitReason reason, double price, double fee) {
  // Booked at -cash / qty, a liquidation leaves a rounding residue of either
  // sign in cash + qty x price, and a positive one would size dust entries:
  // the account holds exactly nothing but the fee it owes (+0.0 without one).
  cash_ = reason == ExitReason::Liquidation ? 0.0 - fee : cash_ + (price * qty_ - fee);
  fees_paid_ += fee;
  Trade trade;
  trade.entry_time = entry_time_;
  trade.exit_time = time;
  trade.entry_price = entry_price_;
  trade.exit_price = price;
  trade.qty = qty_;
  trade.pnl = qty_ * (price - entry_price_) - entry_fee_ - fee;
  const double notional = std::fabs(qty_) * entry_price_;
  trade.return_pct = std::fabs(notional) < EPS ? 0.0 : trade.pnl / notional * 100.0;
  trade.reason = reason;
  trades_.push_back(trade);
  qty_ = 0.0;
  entry_fee_ = 0.0;
}

void Engine::apply_protective_exits(const BarView& bar) {
  const Candle& c = *bar.candle;
  const bool is_long = qty_ > 0.0;
  // Prices as the position sees them: a short's are negated (exactly), so
  // that for both sides a stop lies below the price, a target above it, and
  // the nearer of two stops is the larger.
  const auto seen = [is_long](double x) { return is_long ? x : -x; };
  const auto better = [is_long](double a, double b) { return is_long ? std::fmax(a, b) : std::fmin(a, b); };
  // The open is the first price of every path through the bar, so it moves
  // the trailing stop's best price before the bar's high (a short: low) can.
  const double best_at_open = better(extreme_, c.open);
  extreme_ = better(best_at_open, is_long ? c.high : c.low);
  const double open = seen(c.open);
  const double worst = seen(is_long ? c.low : c.high);
  const double best = seen(is_long ? c.high : c.low);

  const double e = entry_price_;
  const Risk& risk = spec_.risk;
  const auto stop_level = [is_long](double from, double pct) {
    return from * (is_long ? 1.0 - pct / 100.0 : 1.0 + pct / 100.0);
  };
  const bool priced = e > 0.0;
  const bool has_trail = priced && risk.trailing_stop_pct.has_value();
  const double trail_lifted = has_trail ? stop_level(extreme_, *risk.trailing_stop_pct) : 0.0;
  double target = 0.0;
  bool target_reached = false;
  if (priced && risk.take_profit_pct) {
    const double p = *risk.take_profit_pct / 100.0;
    target = e * (is_long ? 1.0 + p : 1.0 - p);
    target_reached = best >= seen(target);
  }

  // The levels in force at the open, listed in the order equal ones close in.
  struct Stop {
    double level;
    ExitReason reason;
  };
  std::array<Stop, 3> stops;
  std::size_t count = 0;
  if (priced && risk.stop_loss_pct) stops[count++] = {stop_level(e, *risk.stop_loss_pct), ExitReason::StopLoss};
  if (has_trail) stops[count++] = {stop_level(best_at_open, *risk.trailing_stop_pct), ExitReason::TrailingStop};
  double lq = 0.0;
  if (risk.liquidation) {
    lq = liquidation_price();
    if (lq > 0.0) stops[count++] = {lq, ExitReason::Liquidation};
  }
  // Of the levels the bar's low (a short: high) reaches, the nearest (the
  // first a falling price meets, the earlier of equal ones), and the nearest
  // of those the bar opened at or beyond.
  const Stop* reached = nullptr;
  const Stop* gapped = nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    const double at = seen(stops[i].level);
    if (!(worst <= at)) continue;
    if (reached == nullptr || at > seen(reached->level)) reached = &stops[i];
    if (at >= open && (gapped == nullptr || at > seen(gapped->level))) gapped = &stops[i];
  }

  double exit_price = 0.0;
  ExitReason reason = ExitReason::StopLoss;
  if (gapped != nullptr) {
    // Levels the bar opened at or beyond: every path starts past them. When
    // the liquidation price is one of them, the account was worth nothing at
    // the open, where any stop would fill: the liquidation goes first, at its
    // price, whatever stop lies nearer. Otherwise the nearest stop closes at
    // the open.
    const bool liquidated = opened_past_liquidation(c, lq);
    exit_price = liquidated ? lq : c.open;
    reason = liquidated ? ExitReason::Liquidation : gapped->reason;
  } else if (target_reached && open >= seen(target)) {
    // Every path starts beyond the target, before any stop.
    exit_price = c.open;
    reason = ExitReason::TakeProfit;
  } else if (reached != nullptr) {
    // The level the fall to the low meets first on the path open, low,
    // high, close. A trailing stop is priced as the path open, high, low,
    // close meets it, at the level the high lifted it to, unless that high
    // reached the target, which closes that path first: then as the path
    // through the low meets it, at its level in force at the open.
    reason = reached->reason;
    exit_price = reason == ExitReason::TrailingStop && !target_reached ? trail_lifted : reached->level;
  } else if (target_reached) {
    // The low reaches no level in force at the open, so either path meets
    // the target on its way up, before any fall from the high.
    exit_price = target;
    reason = ExitReason::TakeProfit;
  } else if (has_trail && worst <= seen(trail_lifted)) {
    // Only the high lifted this level: the path open, high, low, close
    // meets it on the fall from that high.
    exit_price = trail_lifted;
    reason = ExitReason::TrailingStop;
  } else {
    return;
  }
  close_position(c.time, reason, exit_price, std::fabs(qty_) * exit_price * taker_rate_);
  entry_bar_.reset();
}

void Engine::charge_funding(const DerivativesTick* tick) {
  if (!spec_.costs.funding || !in_position() || tick == nullptr) return;
  const double payment = tick->funding_rate * (tick->mark_price * qty_);
  cash_ -= payment;
  fees_paid_ += payment;
}

}  // namespace vsci
