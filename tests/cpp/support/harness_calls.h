// Calls the harness tests make in the plain forms the comparison is described
// in: a backtest's output as a parsed tree, two document trees compared under
// tolerances, one tolerance looked up. The harness itself runs on the text
// and flattened forms these are built from.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "harness/backtest_call.h"
#include "harness/compare.h"
#include "harness/flat_document.h"
#include "harness/run_one.h"
#include "harness/session_error.h"
#include "harness/strategy_format.h"
#include "json/reader.h"
#include "json/value.h"
#include "json/writer.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

// A test's own JSON text as a tree; a malformed one is the test's fault.
inline json::Value doc(std::string_view text) {
  auto v = json::parse(text);
  if (!v) throw std::runtime_error("bad test JSON: " + v.error().to_string());
  return std::move(v).value();
}

// The backtest's result document parsed into a tree.
inline Expected<json::Value, SessionError> run_backtest(const json::Value& strategy, const std::vector<Candle>& candles) {
  auto result = run_backtest_result(ReadStrategy(strategy), candles);
  if (!result) return unexpected(std::move(result).error());
  auto parsed = json::parse(write_result(*result));
  if (!parsed) return unexpected(SessionError::json(parsed.error()));
  return std::move(parsed).value();
}

// The comparison as it is described: both documents flattened into maps, and
// every path of either visited once in key order; a path on one side only is
// missing (expected only) or extra, one on both a mismatch when the rounded
// values disagree under the field's tolerance. The reference the harness's
// comparisons are checked against.
inline std::vector<DiffEntry> compare_documents(const FlatMap& expected, const FlatMap& actual,
                                                const Tolerances& tolerances) {
  std::vector<DiffEntry> diff;
  auto e = expected.begin();
  auto a = actual.begin();
  while (e != expected.end() || a != actual.end()) {
    if (a == actual.end() || (e != expected.end() && e->first < a->first)) {
      diff.push_back(DiffEntry{e->first, round_to_8_decimals(e->second), std::nullopt, false, "missing"});
      ++e;
    } else if (e == expected.end() || a->first < e->first) {
      diff.push_back(DiffEntry{a->first, std::nullopt, round_to_8_decimals(a->second), false, "extra"});
      ++a;
    } else {
      const double ev = round_to_8_decimals(e->second);
      const double av = round_to_8_decimals(a->second);
      if (!within_tolerance(ev, av, ToleranceIndex(tolerances).find(e->first))) {
        diff.push_back(DiffEntry{e->first, ev, av, false, "mismatch"});
      }
      ++e;
      ++a;
    }
  }
  return diff;
}

inline std::vector<DiffEntry> compare_documents(const json::Value& expected, const json::Value& actual,
                                                const Tolerances& tolerances) {
  return compare_documents(flatten_json(expected), flatten_json(actual), tolerances);
}

// A result text with its objects in key order, as bless stores it: the text
// of its tree, which writes members by key and keeps the last of a repeated
// one.
inline std::string key_ordered(std::string_view text) { return json::write(json::parse(text).value()); }

// The test written with `expected` as its expected document, left out when
// absent; a text document is written as it stands, so it must be compact.
inline std::string write_test_with(const StrategyTest& t, const ExpectedDocument& expected) {
  return write_strategy_test(t, [&](json::Writer& w) {
    if (!expected) return;
    w.key("expected");
    if (const json::Value* tree = expected.tree()) {
      w.value(*tree);
    } else {
      w.raw(expected.text());
    }
  });
}

inline Tolerance find_tolerance(const Tolerances& tolerances, std::string_view field) {
  return ToleranceIndex(tolerances).find(field);
}

}  // namespace vsci
