// Hand-made candle sequences for the pattern kinds: a case is a run of bars
// (open, high, low, close) and the endings to try after it, each with the
// signal it must give. Each ending is fed after the run to a fresh object
// built by name, which must give no value before the bar warmup() names.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "support/compare.h"
#include "support/series.h"

namespace vsci::testing {

using Ohlc = std::array<double, 4>;

struct PatternCase {
  std::string kind;
  std::vector<Ohlc> run;
  std::vector<std::pair<Ohlc, double>> endings;
};

inline void expect_pattern_cases(const std::vector<PatternCase>& cases) {
  for (const PatternCase& pc : cases) {
    for (const auto& [last, want] : pc.endings) {
      SCOPED_TRACE(pc.kind + " ending (" + std::to_string(last[0]) + ", " + std::to_string(last[3]) + ")");
      auto ind = build_ok(pc.kind, {});
      std::vector<Ohlc> bars = pc.run;
      bars.push_back(last);
      std::optional<double> got;
      for (std::size_t i = 0; i < bars.size(); ++i) {
        const Candle c{static_cast<std::int64_t>(i) * 60000, bars[i][0], bars[i][1], bars[i][2], bars[i][3], 1.0};
        got = ind->update(BarContext(c));
        if (i + 1 < ind->warmup()) {
          EXPECT_FALSE(got.has_value()) << "a value before the span is full, bar " << i;
        }
      }
      EXPECT_TRUE(same_bits(got, want)) << "got " << show(got) << ", want " << want;
    }
  }
}

}  // namespace vsci::testing
