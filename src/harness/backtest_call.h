// The harness's backtest call: a test's strategy and a list of candles run on
// the engine as the request text {"spec","candles"} would run (straight from
// the candles when that succeeds), and its result text is flattened
// (run_test, the fuzz runs) or kept as text (bless).
// Keeps nothing between calls; thread-safe.
#pragma once

#include <string>
#include <vector>

#include "engine/result.h"
#include "harness/flat_document.h"
#include "harness/session_error.h"
#include "json/value.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

// {"candles":[{"close":..,"high":..,"low":..,"open":..,"time":..,"volume":..},...],"spec":<strategy>}
// compact, members in key order; a non-finite price or volume is written null.
std::string write_backtest_request(const json::Value& strategy, const std::vector<Candle>& candles);

// The result text; an engine failure is SessionError::Backtest with its text.
// The candles go to the engine as they are held whenever the run succeeds;
// otherwise the answer is run_backtest_through_text's, byte for byte. With
// MemberOrder::Key the text is the one engine_text_in_key_order makes of it.
Expected<std::string, SessionError> run_backtest_text(const json::Value& strategy, const std::vector<Candle>& candles,
                                                      MemberOrder order = MemberOrder::Declared);

// The same through the request text itself: written, then read back by the
// engine, which forms every error and its position from that text.
Expected<std::string, SessionError> run_backtest_through_text(const json::Value& strategy,
                                                              const std::vector<Candle>& candles);

// The result flattened (FlatDocument::from_text with `only`); an engine
// failure is SessionError::Backtest with its text, an unreadable result
// SessionError::Json.
Expected<FlatDocument, SessionError> run_backtest_flat(const json::Value& strategy, const std::vector<Candle>& candles,
                                                       const std::vector<std::string>* only);

}  // namespace vsci
