// Calls the harness tests make in the plain forms the comparison is described
// in: a backtest's output as a parsed tree, two document trees compared under
// tolerances, one tolerance looked up. The harness itself runs on the text
// and flattened forms these are built from.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "harness/backtest_call.h"
#include "harness/compare.h"
#include "harness/flat_document.h"
#include "harness/run_one.h"
#include "harness/session_error.h"
#include "json/reader.h"
#include "json/value.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

// The backtest's result document parsed into a tree.
inline Expected<json::Value, SessionError> run_backtest(const json::Value& strategy, const std::vector<Candle>& candles) {
  auto text = run_backtest_text(strategy, candles);
  if (!text) return unexpected(std::move(text).error());
  auto parsed = json::parse(*text);
  if (!parsed) return unexpected(SessionError::json(parsed.error()));
  return std::move(parsed).value();
}

inline std::vector<DiffEntry> compare_documents(const json::Value& expected, const json::Value& actual,
                                                const Tolerances& tolerances) {
  return compare_flat(FlatDocument::from_value(expected), FlatDocument::from_value(actual), tolerances);
}

inline Tolerance find_tolerance(const Tolerances& tolerances, std::string_view field) {
  return ToleranceIndex(tolerances).find(field);
}

}  // namespace vsci
