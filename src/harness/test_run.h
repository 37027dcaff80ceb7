// Running one strategy test: the main backtest, the comparison of the test's
// expected document with the output under its tolerances, the property checks
// and the fuzz runs, giving the test's TestResult. Also the flattening of a
// document tree into a map from field path to number, the reference form of
// the FlatDocument that the comparison and the property checks read. Everything here reads its inputs and writes only its
// own data: any number of calls may run at once on different threads.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "harness/envelopes.h"
#include "harness/flat_document.h"
#include "harness/session_error.h"
#include "harness/test_format.h"
#include "json/value.h"
#include "util/expected.h"

namespace vsci {

using Tolerances = std::vector<std::pair<std::string, Tolerance>>;

// Adds every number of `v` to `out` under paths beginning with `prefix`:
// members as prefix.key (the key alone under an empty prefix), items as
// prefix[i]. A later leaf on the same path replaces an earlier one.
void flatten_json(const json::Value& v, std::string_view prefix, FlatMap& out);
FlatMap flatten_json(const json::Value& v);

// x to 8 decimals, halves away from zero. Where x * 1e8 is not finite (|x|
// above about 1.8e300) x is kept as it is, so huge values still compare.
double round_to_8_decimals(double x);

// The tolerance that applies to `field`: an equal key; else the "[*]" pattern
// with the longest matching prefix (the first in key order on ties); else "*";
// else abs 0.
Tolerance find_tolerance(const Tolerances& tolerances, std::string_view field);

// find_tolerance over an index built once, so that a comparison costs a few
// binary searches per field however many keys the test gives. Borrows the
// tolerances, which must outlive it.
class ToleranceIndex {
 public:
  explicit ToleranceIndex(const Tolerances& tolerances);
  Tolerance find(std::string_view field) const;

 private:
  struct Key {
    std::string_view text;
    std::size_t order;  // position among the tolerances: the first wins on ties
  };
  const Tolerance* first_equal(const std::vector<Key>& keys, std::string_view text) const;

  const Tolerances& tolerances_;
  std::vector<Key> exact_;     // every key
  std::vector<Key> patterns_;  // the part before "[*]" of each key holding it
  const Tolerance* star_ = nullptr;
};

// The failing fields of `actual` against `expected`, in field order, values
// rounded to 8 decimals. The flat documents must be sorted.
std::vector<DiffEntry> compare_flat(const FlatDocument& expected, const FlatDocument& actual,
                                    const Tolerances& tolerances);
std::vector<DiffEntry> compare_documents(const json::Value& expected, const json::Value& actual,
                                         const Tolerances& tolerances);

// Runs `test` against the command's datasets: a missing dataset is
// SessionError::Data, and an error of the main run or of a fuzz run ends the
// test with that error. Otherwise the result: the diff (when the test has an
// expected document), the property results, the fuzz failures, and `passed`
// when all three are clean.
// An expected document in text form is read after the main run; when it does
// not parse the test ends with SessionError::Json.
Expected<TestResult, SessionError> run_test(const StrategyTest& test, const Datasets& data);

}  // namespace vsci
