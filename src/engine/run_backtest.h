// run_backtest_json: the engine's entry. One backtest request as JSON text in,
// the result document as JSON text (or the first BacktestError) out. Keeps
// nothing between calls; calls on different threads are independent.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "engine/request.h"
#include "engine/result.h"
#include "factory/backtest_error.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

Expected<std::string, BacktestError> run_backtest_json(std::string_view request_text);

// The same run for a request already read whose candles the caller holds
// apart (`request.candles` is not looked at): the checks after reading, the
// engine, the bars. Gives the records run_backtest_json writes for the
// request's text with those candles written in it (write_result of them is
// its answer), whenever reading that text would have given these very
// records.
Expected<BacktestResult, BacktestError> run_backtest_records(RunRequest request, std::span<const Candle> candles);

}  // namespace vsci
