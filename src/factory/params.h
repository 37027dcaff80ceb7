// The four positional-parameter getters every registry entry reads its numbers
// with, and the error mapping of a kind constructor's failure. Pure functions;
// callable from any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "factory/backtest_error.h"
#include "indicators/indicator_error.h"
#include "util/expected.h"

namespace vsci {

using ParamList = std::span<const double>;

Expected<double, BacktestError> param_finite(ParamList params, std::size_t position, std::string_view kind_name);
Expected<std::uint64_t, BacktestError> param_positive_integer(ParamList params, std::size_t position,
                                                              std::string_view kind_name);
Expected<std::int32_t, BacktestError> param_i32(ParamList params, std::size_t position, std::string_view kind_name);
Expected<std::uint32_t, BacktestError> param_u32(ParamList params, std::size_t position, std::string_view kind_name);

// The "got {}" text: shortest round-trip digits, never in exponent form, no
// fraction on whole values, "-" on every negative value including -0.
std::string format_param_value(double value);

// An IndicatorError from a constructor becomes InvalidParameters(kind, text).
BacktestError attach_indicator_name(std::string_view kind_name, const IndicatorError& error);

}  // namespace vsci
