// The pieces a comparison of two documents is made of: the flattening of a
// document tree into a map from field path to number (the reference form of a
// FlatDocument), the rounding to 8 decimals, the tolerance that applies to a
// field, the rule a field fails by and the order of list indices in paths.
// Both ways of comparing (the walk beside the records and the merge of two
// flattened documents) take them from here. Plain functions and an index that
// only reads what it borrows: thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "harness/strategy_format.h"
#include "json/value.h"

namespace vsci {

// Field path ("metrics.sharpe", "trades[0].qty", "[1]", "") to number, in
// bytewise key order.
using FlatMap = std::map<std::string, double, std::less<>>;

// A test's tolerances by field pattern, sorted by pattern bytes.
using Tolerances = std::vector<std::pair<std::string, Tolerance>>;

// Adds every number of `v` to `out` under paths beginning with `prefix`:
// members as prefix.key (the key alone under an empty prefix), items as
// prefix[i]. A later leaf on the same path replaces an earlier one.
void flatten_json(const json::Value& v, std::string_view prefix, FlatMap& out);
FlatMap flatten_json(const json::Value& v);

// x to 8 decimals, halves away from zero. Where x * 1e8 is not finite (|x|
// above about 1.8e300) x is kept as it is, so huge values still compare.
double round_to_8_decimals(double x);

// Whether the rounded values e and a agree under `tol`: neither is NaN, and
// they are the same infinity or differ by at most the tolerance (abs: its
// value; rel: its value times the larger magnitude, at least 1).
bool within_tolerance(double e, double a, const Tolerance& tol);

// Whether a field given on one side or both fails: "missing" (expected
// only), "extra" (given only by the output) or "mismatch" (both, and not
// within the tolerance `tolerance_of()` gives, asked only then); null when it
// holds. Both values are rounded to 8 decimals first, as the entry shows them.
template <class ToleranceOf>
const char* field_failure(std::optional<double>& e, std::optional<double>& a, const ToleranceOf& tolerance_of) {
  if (e) e = round_to_8_decimals(*e);
  if (a) a = round_to_8_decimals(*a);
  if (e && a) return within_tolerance(*e, *a, tolerance_of()) ? nullptr : "mismatch";
  if (e) return "missing";
  return a ? "extra" : nullptr;
}

// The list indices 0..n-1 in the order of their paths: by the bytes of each
// index's digits followed by "]", where a digit sorts before "]", so "10]"
// comes before "1]". Two indices keep their order whatever n.
void index_text_order(std::uint64_t n, std::vector<std::uint64_t>& out);

// The tolerance that applies to a field: an equal key; else the "[*]" pattern
// with the longest matching prefix (the first in key order on ties); else
// "*"; else abs 0. Built once per comparison, so that a field costs a few
// binary searches however many keys the test gives. Borrows the tolerances,
// which must outlive it.
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

}  // namespace vsci
