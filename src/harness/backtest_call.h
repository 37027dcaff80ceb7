// The harness's backtest call: a test's strategy and a list of candles run on
// the engine as the request text {"candles":[...],"spec":<strategy>} would
// run. Names say which side of the engine a call stands on: the request is
// what is sent, the result what comes back (as records, or flattened).
// Keeps nothing between calls; thread-safe.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/request.h"
#include "engine/result.h"
#include "harness/flat_document.h"
#include "harness/session_error.h"
#include "json/value.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

// {"candles":[{"close":..,"high":..,"low":..,"open":..,"time":..,"volume":..},...],"spec":<strategy>}
// compact, members in key order; a non-finite price or volume is written null.
std::string write_backtest_request(const json::Value& strategy, std::span<const Candle> candles);

// The engine's answer to that request text, written and read back: the result
// text, or the engine's error (SessionError::Backtest) with every message and
// position formed from the text.
Expected<std::string, SessionError> run_backtest_request(const json::Value& strategy, std::span<const Candle> candles);

// A strategy read once, as the engine reads it from the request text
// {"candles":[],"spec":<strategy>}, for any number of runs over different
// candles (a test's main run and its fuzz runs). Keeps `strategy`, which must
// outlive it, for the runs whose error only the whole request text forms.
struct ReadStrategy {
  explicit ReadStrategy(const json::Value& strategy);
  const json::Value& strategy;
  std::optional<RunRequest> request;  // nothing when the strategy does not read
};

// The result's records, run from the candles as they are held; write_result
// of them is run_backtest_request's answer for the strategy, byte for byte. A
// run that fails is that call's error.
Expected<BacktestResult, SessionError> run_backtest_result(const ReadStrategy& strategy, std::span<const Candle> candles);

// The result flattened (FlatDocument::from_result with `only` and `curve`);
// an engine failure is SessionError::Backtest with its text.
Expected<FlatDocument, SessionError> run_backtest_flat(const ReadStrategy& strategy, std::span<const Candle> candles,
                                                       const std::vector<std::string>& only, bool curve);

}  // namespace vsci
