// A test passes only when the output matches its expected document within
// tolerance, every property holds and no fuzz run fails.
#include "harness/run_one.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "harness/backtest_call.h"
#include "harness/fuzz.h"
#include "harness/properties.h"

namespace vsci {

namespace {

std::atomic<std::uint64_t> tests_started{0};

DiffEntry entry(std::string_view field, std::optional<double> e, std::optional<double> a, const char* kind) {
  return DiffEntry{std::string(field), e, a, false, kind};
}

// Whether `text` is `compact` (a valid compact document) with blanks where
// JSON allows them, next to a bracket, brace, comma or colon or at either
// end: then it is the same document. A blank anywhere else splits a token.
bool same_but_blanks(std::string_view compact, std::string_view text) {
  if (compact.size() == text.size()) return compact == text;  // no room for a blank
  const auto structural = [&](std::size_t k) {
    return k >= compact.size() || std::string_view("{}[],:").find(compact[k]) != std::string_view::npos;
  };
  std::size_t j = 0;
  bool in_string = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!in_string && (c == ' ' || c == '\n' || c == '\r' || c == '\t')) {
      if (j == 0 || structural(j - 1) || structural(j)) continue;
      return false;
    }
    if (j == compact.size() || compact[j] != c) return false;
    ++j;
    if (c == '"') {
      in_string = !in_string;
    } else if (in_string && c == '\\') {
      if (++i == text.size() || j == compact.size() || compact[j] != text[i]) return false;
      ++j;
    }
  }
  return j == compact.size();
}

// No tolerance can fail two equal values.
bool tolerances_admit_equal(const Tolerances& tolerances) {
  return std::all_of(tolerances.begin(), tolerances.end(), [](const auto& t) { return t.second.value >= 0.0; });
}

// The failing fields of `a` against `e`, in field order, values rounded to 8
// decimals. Both documents sorted.
std::vector<DiffEntry> compare_flat(const FlatDocument& e, const FlatDocument& a, const Tolerances& tolerances) {
  const ToleranceIndex index(tolerances);
  std::vector<DiffEntry> diff;
  std::size_t ei = 0;
  std::size_t ai = 0;
  // A merge walk over the two sorted documents visits the union of their paths once each, in order.
  while (ei != e.size() || ai != a.size()) {
    const int order = ai == a.size() ? -1 : ei == e.size() ? 1 : e.path(ei).compare(a.path(ai));
    if (order < 0) {
      diff.push_back(entry(e.path(ei), round_to_8_decimals(e.value(ei)), std::nullopt, "missing"));
      ++ei;
    } else if (order > 0) {
      diff.push_back(entry(a.path(ai), std::nullopt, round_to_8_decimals(a.value(ai)), "extra"));
      ++ai;
    } else {
      const double ev = round_to_8_decimals(e.value(ei));
      const double av = round_to_8_decimals(a.value(ai));
      if (!within_tolerance(ev, av, index.find(e.path(ei)))) diff.push_back(entry(e.path(ei), ev, av, "mismatch"));
      ++ei;
      ++ai;
    }
  }
  return diff;
}

}  // namespace

std::uint64_t TEST_tests_run() { return tests_started.load(std::memory_order_relaxed); }

Expected<TestResult, SessionError> run_test(const StrategyTest& test, const Datasets& data) {
  tests_started.fetch_add(1, std::memory_order_relaxed);
  const std::vector<Candle>* candles = find_dataset(data, test.dataset_ref);
  if (candles == nullptr) return unexpected(SessionError::data("missing dataset: " + test.dataset_ref));
  const bool compare = static_cast<bool>(test.expected);

  TestResult result;
  result.id = test.id;
  {
    // The output is flattened once, in full only when a comparison needs it;
    // the expected document only after the backtest, so that the two are
    // never held beside the request; both are dropped before the fuzz runs.
    const std::vector<std::string> looked_up = looked_up_paths(test.property_checks);
    // A blessed test whose output has not moved holds that output's own
    // key-ordered text as its expected document: every field is equal, and
    // no tolerance can fail an equal field, so there is nothing to compare.
    // The output is then asked for in key order (flattening does not mind).
    const bool may_be_unchanged = !test.expected.text().empty() && tolerances_admit_equal(test.tolerances);
    auto run = run_backtest_result(test.strategy, *candles);
    if (!run) return unexpected(std::move(run).error());
    const bool unchanged =
        may_be_unchanged && same_but_blanks(write_result(*run, MemberOrder::Key), test.expected.text());
    auto output = FlatDocument::from_result(*run, compare && !unchanged ? nullptr : &looked_up);
    std::vector<Trade>().swap(run->trades);
    std::vector<EquityPoint>().swap(run->equity);
    if (compare && !unchanged) {
      auto expected = test.expected.tree() != nullptr ? FlatDocument::from_value(*test.expected.tree())
                                                      : FlatDocument::from_text(test.expected.text());
      if (!expected) return unexpected(SessionError::json(expected.error()));
      result.diff = compare_flat(*expected, output, test.tolerances);
    }
    result.property_results = check_properties(test.property_checks, output);
  }
  auto fuzz = run_fuzz(test, *candles);
  if (!fuzz) return unexpected(std::move(fuzz).error());
  result.fuzz_failures = std::move(*fuzz);
  result.passed = result.diff.empty() && result.fuzz_failures.empty() &&
                  std::all_of(result.property_results.begin(), result.property_results.end(),
                              [](const PropertyResult& r) { return r.passed; });
  return result;
}

}  // namespace vsci
