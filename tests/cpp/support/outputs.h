// Bar-by-bar outputs of a kind built by name, and their exact comparison:
// presence and bit pattern must match, the first difference is reported.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/series.h"

namespace vsci::testing {

using Outputs = std::vector<std::optional<double>>;

// Builds `kind` through the factory and feeds it the closes.
inline Outputs run_closes(const std::string& kind, std::vector<double> params, const std::vector<double>& closes) {
  auto ind = build_ok(kind, std::move(params));
  return feed_closes(*ind, closes);
}

inline void expect_identical(const Outputs& got, const Outputs& want, const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (std::size_t t = 0; t < got.size(); ++t) {
    ASSERT_EQ(got[t].has_value(), want[t].has_value()) << what << " at bar " << t;
    if (got[t]) {
      ASSERT_EQ(std::bit_cast<std::uint64_t>(*got[t]), std::bit_cast<std::uint64_t>(*want[t]))
          << what << " at bar " << t << ": " << *got[t] << " vs " << *want[t];
    }
  }
}

}  // namespace vsci::testing
