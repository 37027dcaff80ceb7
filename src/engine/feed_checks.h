// The per-bar checks of side records. A record that fails is left out of its
// bar; the error is only ever discarded, so a passing record costs no text
// work. Pure functions; callable from any thread.
#pragma once

#include <optional>

#include "engine/bar_context.h"
#include "indicators/indicator_error.h"

namespace vsci {

std::optional<IndicatorError> check_derivatives_tick(const DerivativesTick& tick);
std::optional<IndicatorError> check_order_book(const OrderBook& book);
std::optional<IndicatorError> check_cross_section(const CrossSection& section);
std::optional<IndicatorError> check_trade_print(const TradePrint& print);

}  // namespace vsci
