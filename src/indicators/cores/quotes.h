// What the market-data kinds read off a trade print or an order book: the
// trade's sign and signed size, whether a book has both sides, its mid, and
// the bar's mid (the book's, or the close without a two-sided book). Pure
// functions of their arguments; callable from any thread.
#pragma once

#include "market/bar_context.h"
#include "market/price_checks.h"

namespace vsci {

inline double trade_sign(const TradePrint& t) { return t.side == TradeSide::Buy ? 1.0 : -1.0; }

// The size, negated for a sell.
inline double signed_size(const TradePrint& t) { return t.side == TradeSide::Buy ? t.size : -t.size; }

inline bool has_both_sides(const OrderBook& b) { return !b.bids.empty() && !b.asks.empty(); }

// The midpoint of the best bid and best ask; the book must have both sides.
inline double book_mid(const OrderBook& b) { return safe_midpoint(b.bids.front().price, b.asks.front().price); }

// The mid the trade kinds measure against: a one-sided or absent book falls
// back to the candle's close, so prints still have a reference price.
inline double bar_mid(const BarContext& ctx) {
  if (ctx.book != nullptr && has_both_sides(*ctx.book)) return book_mid(*ctx.book);
  return ctx.candle->close;
}

}  // namespace vsci
