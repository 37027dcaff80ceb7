// Comparing an indicator's bar-by-bar output with a reference series.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace vsci::testing {

using Series = std::vector<std::optional<double>>;

// Same presence on every bar; values within rel * max(1, |expected|), or
// bit-identical when rel is 0.
inline void expect_series_near(const Series& got, const Series& want, double rel, const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (std::size_t i = 0; i < got.size(); ++i) {
    ASSERT_EQ(got[i].has_value(), want[i].has_value()) << what << " presence differs at bar " << i;
    if (!got[i]) continue;
    if (rel == 0.0) {
      ASSERT_EQ(*got[i], *want[i]) << what << " at bar " << i;
    } else {
      ASSERT_NEAR(*got[i], *want[i], rel * std::fmax(1.0, std::fabs(*want[i]))) << what << " at bar " << i;
    }
  }
}

// The bar index of the first value, or -1.
inline long first_value_bar(const Series& s) {
  for (std::size_t i = 0; i < s.size(); ++i)
    if (s[i]) return static_cast<long>(i);
  return -1;
}

}  // namespace vsci::testing
