// Comparing an indicator's bar-by-bar output with a reference series: within a
// relative tolerance, or bit for bit (so -0.0 and +0.0 differ; NaN matches NaN).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "support/series.h"

namespace vsci::testing {

// Equal, or both NaN.
inline bool same_value(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

// The same bits, or both NaN; both empty also counts.
inline bool same_bits(const std::optional<double>& a, const std::optional<double>& b) {
  if (a.has_value() != b.has_value()) return false;
  if (!a) return true;
  if (std::isnan(*a) && std::isnan(*b)) return true;
  return std::bit_cast<std::uint64_t>(*a) == std::bit_cast<std::uint64_t>(*b);
}

// The same bits exactly: a NaN matches only a NaN of the same sign and payload.
inline bool identical_bits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// rel_tol 0 compares bit for bit; otherwise |got - want| <= rel_tol * max(1, |want|).
inline bool close_enough(double got, double want, double rel_tol) {
  if (rel_tol == 0.0 || !std::isfinite(want)) return same_bits(got, want);
  return std::fabs(got - want) <= rel_tol * std::max(1.0, std::fabs(want));
}

inline std::string show(const std::optional<double>& v) {
  if (!v) return "none";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17g", *v);
  return buf;
}

// Bit-exact comparison; reports the first differing bar only.
inline ::testing::AssertionResult same_series(const Series& got, const Series& want) {
  if (got.size() != want.size()) return ::testing::AssertionFailure() << "length differs";
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (!same_bits(got[i], want[i])) {
      return ::testing::AssertionFailure() << "bar " << i << ": got " << show(got[i]) << ", want " << show(want[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

// Same bars with values, values close_enough (bit for bit on the bars that
// `exact` marks), and at least one value; reports the first difference only.
inline void expect_series(const Series& got, const Series& want, double tol, const std::string& what,
                          const std::vector<bool>& exact = {}) {
  ASSERT_EQ(got.size(), want.size()) << what;
  std::size_t values = 0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (got[i].has_value() != want[i].has_value()) {
      ADD_FAILURE() << what << ": bar " << i << (got[i] ? " has a value, expected none" : " has no value");
      return;
    }
    if (!got[i]) continue;
    ++values;
    if (!close_enough(*got[i], *want[i], i < exact.size() && exact[i] ? 0.0 : tol)) {
      ADD_FAILURE() << what << ": bar " << i << " gave " << show(got[i]) << ", expected " << show(want[i])
                    << " (diff " << *got[i] - *want[i] << ")";
      return;
    }
  }
  EXPECT_GT(values, 0u) << what << ": the comparison saw no value";
}

// The bar index of the first value, or -1.
inline long first_value_bar(const Series& s) {
  for (std::size_t i = 0; i < s.size(); ++i)
    if (s[i]) return static_cast<long>(i);
  return -1;
}

}  // namespace vsci::testing
