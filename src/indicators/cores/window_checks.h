// The count checks that nearly every constructor makes, in their usual order:
// zero (or the kind's own minimum) first, then the MAX_PERIOD bound. Each
// returns the first failure, if any.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

#include "indicators/indicator_error.h"

namespace vsci {

inline std::optional<IndicatorError> check_period(std::uint64_t period) {
  if (period == 0) return IndicatorError::period_zero();
  if (period > MAX_PERIOD) return IndicatorError::period_too_large();
  return std::nullopt;
}

// A kind's own minimum length, then the MAX_PERIOD bound: the order of the
// checks of the kinds that need more than one value.
inline std::optional<IndicatorError> check_min_period(std::uint64_t period, std::uint64_t min,
                                                      std::string_view detail) {
  if (period < min) return IndicatorError::invalid_period(detail);
  if (period > MAX_PERIOD) return IndicatorError::period_too_large();
  return std::nullopt;
}

// A multiplier, band width or fraction must be finite and above zero (a
// positive subnormal passes; both zeros fail).
inline std::optional<IndicatorError> check_multiplier(double m) {
  if (std::isfinite(m) && m > 0.0) return std::nullopt;
  return IndicatorError::non_positive_multiplier();
}

}  // namespace vsci
