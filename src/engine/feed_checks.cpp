// A side record that fails its check is left out of its bar rather than failing
// the run: one bad print or book must not end a backtest over good candles.
#include "engine/feed_checks.h"

#include <cmath>

namespace vsci {

namespace {

bool finite_positive(double x) { return std::isfinite(x) && x > 0.0; }
// -0.0 passes: it is not less than 0.
bool finite_non_negative(double x) { return std::isfinite(x) && !(x < 0.0); }

}  // namespace

std::optional<IndicatorError> check_derivatives_tick(const DerivativesTick& t) {
  if (!std::isfinite(t.funding_rate)) return IndicatorError::invalid_derivatives_tick("funding_rate must be finite");
  for (double price : {t.mark_price, t.index_price, t.futures_price}) {
    if (!finite_positive(price)) {
      return IndicatorError::invalid_derivatives_tick(
          "mark_price, index_price and futures_price must be finite and positive");
    }
  }
  for (double amount : {t.open_interest, t.long_size, t.short_size, t.taker_buy_volume, t.taker_sell_volume,
                        t.long_liquidation, t.short_liquidation}) {
    if (!finite_non_negative(amount)) {
      return IndicatorError::invalid_derivatives_tick(
          "open interest, sizes, volumes and liquidations must be finite and non-negative");
    }
  }
  return std::nullopt;
}

std::optional<IndicatorError> check_order_book(const OrderBook& book) {
  for (const auto* side : {&book.bids, &book.asks}) {
    for (const Level& level : *side) {
      if (!finite_positive(level.price)) {
        return IndicatorError::invalid_order_book("level price must be finite and positive");
      }
      if (!finite_non_negative(level.size)) {
        return IndicatorError::invalid_order_book("level size must be finite and non-negative");
      }
    }
  }
  if (book.bids.empty() || book.asks.empty()) {
    return IndicatorError::invalid_order_book("order book must have at least one bid and one ask");
  }
  for (std::size_t i = 1; i < book.bids.size(); ++i) {
    if (!(book.bids[i - 1].price > book.bids[i].price)) {
      return IndicatorError::invalid_order_book("bids must be strictly descending in price");
    }
  }
  for (std::size_t i = 1; i < book.asks.size(); ++i) {
    if (!(book.asks[i - 1].price < book.asks[i].price)) {
      return IndicatorError::invalid_order_book("asks must be strictly ascending in price");
    }
  }
  if (!(book.bids.front().price < book.asks.front().price)) {
    return IndicatorError::invalid_order_book("order book must be uncrossed (best_bid < best_ask)");
  }
  return std::nullopt;
}

std::optional<IndicatorError> check_cross_section(const CrossSection& section) {
  if (section.members.empty()) {
    return IndicatorError::invalid_cross_section("cross-section must contain at least one member");
  }
  for (const CrossSectionMember& m : section.members) {
    if (!std::isfinite(m.change)) return IndicatorError::invalid_cross_section("member change must be finite");
    if (!finite_non_negative(m.volume)) {
      return IndicatorError::invalid_cross_section("member volume must be finite and non-negative");
    }
  }
  return std::nullopt;
}

std::optional<IndicatorError> check_trade_print(const TradePrint& print) {
  if (!finite_positive(print.price)) return IndicatorError::invalid_trade("trade price must be finite and positive");
  if (!finite_non_negative(print.size)) return IndicatorError::invalid_trade("trade size must be finite and non-negative");
  return std::nullopt;
}

std::span<const TradePrint> keep_valid_prints(std::span<const TradePrint> prints, std::vector<TradePrint>& scratch) {
  for (std::size_t i = 0; i < prints.size(); ++i) {
    if (!check_trade_print(prints[i])) continue;
    scratch.assign(prints.begin(), prints.begin() + static_cast<std::ptrdiff_t>(i));
    for (std::size_t j = i + 1; j < prints.size(); ++j) {
      if (!check_trade_print(prints[j])) scratch.push_back(prints[j]);
    }
    return scratch;
  }
  return prints;
}

}  // namespace vsci
