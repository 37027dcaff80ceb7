// The stateless kinds answer 0 for a book missing a side rather than no value,
// so a strategy reading them sees a neutral book; OrderFlowImbalance instead
// waits for the next two-sided book, which it compares with the last one.
#include "indicators/order_book.h"

#include <algorithm>
#include <span>

#include "indicators/cores/quotes.h"
#include "indicators/cores/window_checks.h"

namespace vsci {

namespace {

// The sizes of the first `limit` levels, summed in book order.
double depth(std::span<const Level> levels, std::size_t limit) {
  double sum = 0.0;
  const std::size_t k = std::min(limit, levels.size());
  for (std::size_t i = 0; i < k; ++i) sum += levels[i].size;
  return sum;
}

double imbalance(double bids, double asks) {
  const double total = bids + asks;
  return total > 0.0 ? (bids - asks) / total : 0.0;
}

// The least-squares slope of cumulative size on distance from the mid over one
// side's levels; 0 when the distances do not spread.
double depth_slope(std::span<const Level> levels, double mid, bool bids) {
  double cumulative = 0.0, sx = 0.0, sy = 0.0, sxy = 0.0, sxx = 0.0;
  for (const Level& l : levels) {
    cumulative = cumulative + l.size;
    const double x = bids ? mid - l.price : l.price - mid;
    sx += x;
    sy += cumulative;
    sxy += x * cumulative;
    sxx += x * x;
  }
  const double k = static_cast<double>(levels.size());
  const double denominator = k * sxx - sx * sx;
  if (denominator == 0.0) return 0.0;
  return (k * sxy - sx * sy) / denominator;
}

}  // namespace

std::optional<double> OrderBookImbalanceTop1::update_bar(const BarContext& ctx) const {
  if (ctx.book == nullptr) return std::nullopt;
  if (!has_both_sides(*ctx.book)) return 0.0;
  return imbalance(ctx.book->bids.front().size, ctx.book->asks.front().size);
}

Expected<OrderBookImbalanceTopN, IndicatorError> OrderBookImbalanceTopN::create(std::uint64_t levels) {
  if (auto e = check_period(levels)) return unexpected(*e);
  return OrderBookImbalanceTopN(static_cast<std::size_t>(levels));
}

std::optional<double> OrderBookImbalanceTopN::update_bar(const BarContext& ctx) const {
  if (ctx.book == nullptr) return std::nullopt;
  return imbalance(depth(ctx.book->bids, levels_), depth(ctx.book->asks, levels_));
}

std::optional<double> OrderBookImbalanceFull::update_bar(const BarContext& ctx) const {
  if (ctx.book == nullptr) return std::nullopt;
  return imbalance(depth(ctx.book->bids, ctx.book->bids.size()), depth(ctx.book->asks, ctx.book->asks.size()));
}

std::optional<double> QuotedSpread::update_bar(const BarContext& ctx) const {
  if (ctx.book == nullptr) return std::nullopt;
  if (!has_both_sides(*ctx.book)) return 0.0;
  return (ctx.book->asks.front().price - ctx.book->bids.front().price) / book_mid(*ctx.book) * 10000.0;
}

std::optional<double> Microprice::update_bar(const BarContext& ctx) const {
  if (ctx.book == nullptr) return std::nullopt;
  if (!has_both_sides(*ctx.book)) return 0.0;
  const Level& bid = ctx.book->bids.front();
  const Level& ask = ctx.book->asks.front();
  const double total = bid.size + ask.size;
  if (!(total > 0.0)) return book_mid(*ctx.book);
  return (bid.size * ask.price + bid.price * ask.size) / total;
}

std::optional<double> DepthSlope::update_bar(const BarContext& ctx) const {
  if (ctx.book == nullptr) return std::nullopt;
  const OrderBook& b = *ctx.book;
  if (!has_both_sides(b)) return 0.0;
  const double mid = book_mid(b);
  if (b.bids.size() == 1 || b.asks.size() == 1) return 0.0;
  return safe_midpoint(depth_slope(b.bids, mid, true), depth_slope(b.asks, mid, false));
}

Expected<OrderFlowImbalance, IndicatorError> OrderFlowImbalance::create(std::uint64_t n) {
  if (auto e = check_period(n)) return unexpected(*e);
  return OrderFlowImbalance(static_cast<std::size_t>(n));
}

std::optional<double> OrderFlowImbalance::update_bar(const BarContext& ctx) {
  if (ctx.book == nullptr || !has_both_sides(*ctx.book)) return std::nullopt;
  const Level bid = ctx.book->bids.front();
  const Level ask = ctx.book->asks.front();
  if (!previous_bid_) {
    previous_bid_ = bid;
    previous_ask_ = ask;
    return std::nullopt;
  }
  const Level bid0 = *previous_bid_;
  const Level ask0 = previous_ask_;
  previous_bid_ = bid;
  previous_ask_ = ask;
  const auto indicator = [](bool holds) { return holds ? 1.0 : 0.0; };
  const double bid_flow = bid.size * indicator(bid.price >= bid0.price) - bid0.size * indicator(bid.price <= bid0.price);
  const double ask_flow = ask.size * indicator(ask.price <= ask0.price) - ask0.size * indicator(ask.price >= ask0.price);
  flows_.push(bid_flow - ask_flow);
  if (!flows_.full()) return std::nullopt;
  return flows_.sum();
}

}  // namespace vsci
