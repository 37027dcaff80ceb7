// The count checks that nearly every constructor makes, in their usual order:
// zero first, then the MAX_PERIOD bound. Returns the first failure, if any.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/indicator_error.h"

namespace vsci {

inline std::optional<IndicatorError> check_period(std::uint64_t period) {
  if (period == 0) return IndicatorError::period_zero();
  if (period > MAX_PERIOD) return IndicatorError::period_too_large();
  return std::nullopt;
}

}  // namespace vsci
