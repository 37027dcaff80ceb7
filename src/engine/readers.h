// The typed readers of the backtest request's records, each reading one value
// at the reader's position. A failure is the JSON layer's error; one without a
// position (line 0) is placed by the list or record that holds the value, as
// typed_read.h describes. Used on one thread per Reader.
#pragma once

#include "engine/candle_codec.h"
#include "engine/request.h"
#include "engine/rules.h"
#include "engine/strategy_spec.h"
#include "json/error.h"
#include "json/reader.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

using ReadStatus = Expected<void, json::Error>;

ReadStatus read_rule(json::Reader& r, Rule& out);
ReadStatus read_operand(json::Reader& r, Operand& out);

ReadStatus read_strategy_spec(json::Reader& r, StrategySpec& out);
ReadStatus read_sizing(json::Reader& r, Sizing& out);
ReadStatus read_slippage(json::Reader& r, Slippage& out);
ReadStatus read_costs(json::Reader& r, Costs& out);
ReadStatus read_risk(json::Reader& r, Risk& out);
ReadStatus read_execution(json::Reader& r, Execution& out);

ReadStatus read_candles(json::Reader& r, std::vector<Candle>& out);
ReadStatus read_run_request(json::Reader& r, RunRequest& out);

}  // namespace vsci
