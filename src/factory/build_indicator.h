// build_indicator: the only way an indicator object comes into being. Matches
// the kind name exactly (plus the aliases of kind_aliases()), reads the
// positional parameters with the kind's getters and runs its constructor.
// Pure; callable from any thread.
#pragma once

#include <span>
#include <string_view>

#include "factory/backtest_error.h"
#include "indicators/indicator.h"
#include "util/expected.h"

namespace vsci {

Expected<IndicatorPtr, BacktestError> build_indicator(std::string_view kind_name, std::span<const double> params);

}  // namespace vsci
