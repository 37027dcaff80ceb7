// run_backtest_json: the engine's only entry. One backtest request as JSON text
// in, the result document as JSON text (or the first BacktestError) out. Keeps
// nothing between calls; calls on different threads are independent.
#pragma once

#include <string>
#include <string_view>

#include "factory/backtest_error.h"
#include "util/expected.h"

namespace vsci {

Expected<std::string, BacktestError> run_backtest_json(std::string_view request_text);

}  // namespace vsci
