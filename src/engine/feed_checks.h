// The per-bar checks of side records. A record that fails is left out of its
// bar; the error is only ever discarded, so a passing record costs no text
// work. Pure functions; callable from any thread.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "indicators/indicator_error.h"
#include "market/bar_context.h"

namespace vsci {

std::optional<IndicatorError> check_derivatives_tick(const DerivativesTick& tick);
std::optional<IndicatorError> check_order_book(const OrderBook& book);
std::optional<IndicatorError> check_cross_section(const CrossSection& section);
std::optional<IndicatorError> check_trade_print(const TradePrint& print);

// The prints that pass their check, in order. When all pass (the usual case)
// that is `prints` itself; otherwise they are copied into `scratch`, whose
// storage is reused from bar to bar.
std::span<const TradePrint> keep_valid_prints(std::span<const TradePrint> prints, std::vector<TradePrint>& scratch);

}  // namespace vsci
