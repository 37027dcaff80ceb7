// The nine run metrics, computed from the equity curve, the starting capital
// and the closed trades. Nothing is annualised: returns are per bar. Pure.
#pragma once

#include <span>

#include "engine/result.h"

namespace vsci {

Metrics compute_metrics(std::span<const EquityPoint> equity, std::span<const Trade> trades, double initial_capital);

}  // namespace vsci
