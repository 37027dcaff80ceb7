// Pivot levels against their formulas bar by bar (every named output, in
// order), flat bars at prices whose sums are exact, and worked examples.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "support/candle_series.h"
#include "support/compare.h"
#include "support/conformance.h"

namespace vsci {
namespace {

using namespace vsci::testing;

const ConformanceRows kConformance{{"Camarilla"},      {"CentralPivotRange"}, {"ClassicPivots"}, {"DemarkPivots"},
                                   {"FibRangePivots"}, {"TdRangeProjection"}, {"WoodiePivots"}};

using Levels = std::vector<std::pair<std::string, double>>;

double demark(double h, double l, double o, double c) {
  return c > o ? 2 * h + l + c : c < o ? h + 2 * l + c : h + l + 2 * c;
}

const std::vector<std::pair<std::string, std::function<Levels(double, double, double, double)>>> kPivots = {
    {"WoodiePivots",
     [](double h, double l, double, double c) {
       const double pp = (h + l + 2 * c) * 0.25;
       return Levels{{"pp", pp}, {"r1", 2 * pp - l}, {"r2", pp + (h - l)}, {"s1", 2 * pp - h}, {"s2", pp - (h - l)}};
     }},
    {"ClassicPivots",
     [](double h, double l, double, double c) {
       const double pp = (l + h + c) / 3;
       return Levels{{"pp", pp},          {"r1", 2 * pp - l},   {"r2", pp + (h - l)}, {"r3", h + 2 * (pp - l)},
                     {"s1", 2 * pp - h}, {"s2", pp - (h - l)}, {"s3", l - 2 * (h - pp)}};
     }},
    {"DemarkPivots",
     [](double h, double l, double o, double c) {
       const double x = demark(h, l, o, c);
       return Levels{{"pp", x * 0.25}, {"r1", x * 0.5 - l}, {"s1", x * 0.5 - h}};
     }},
    {"CentralPivotRange",
     [](double h, double l, double, double c) {
       const double pivot = (h + l + c) / 3, mid = (h + l) * 0.5, other = 2 * pivot - mid;
       return Levels{{"pivot", pivot}, {"tc", std::max(other, mid)}, {"bc", std::min(other, mid)}};
     }},
    {"Camarilla",
     [](double h, double l, double, double c) {
       const double k = (h - l) * 1.1;
       return Levels{{"pp", (l + h + c) / 3}, {"r1", c + k / 12},   {"r2", c + k / 6},   {"r3", c + k * 0.25},
                     {"r4", c + k * 0.5},     {"s1", c - k / 12},   {"s2", c - k / 6},   {"s3", c - k * 0.25},
                     {"s4", c - k * 0.5}};
     }},
    {"TdRangeProjection",
     [](double h, double l, double o, double c) {
       const double x = demark(h, l, o, c);
       return Levels{{"high", x * 0.5 - l}, {"low", x * 0.5 - h}};
     }},
    {"FibRangePivots",
     [](double h, double l, double, double c) {
       const double pp = (l + h + c) / 3, r = h - l;
       return Levels{{"pp", pp},           {"r1", pp + 0.382 * r}, {"r2", pp + 0.618 * r}, {"r3", pp + r},
                     {"s1", pp - 0.382 * r}, {"s2", pp - 0.618 * r}, {"s3", pp - r}};
     }},
};

void expect_levels(const std::string& kind, const Candle& c, const Levels& want) {
  const CandleRun run = run_candles(kind, {}, {c});
  ASSERT_EQ(run.values[0], want[0].second) << kind;
  ASSERT_EQ(run.outputs[0].size(), want.size()) << kind;
  for (std::size_t k = 0; k < want.size(); ++k) {
    EXPECT_EQ(run.outputs[0][k].name, want[k].first) << kind;
    EXPECT_TRUE(same_bits(run.outputs[0][k].value, want[k].second)) << kind << "." << want[k].first;
  }
}

TEST(PivotLevels, EveryLevelMatchesItsFormula) {
  Candles cs = candle_tapes()[0];
  cs.push_back({0, 9, 10, 8, 9, 1});  // closes where it opened
  for (const auto& [kind, levels] : kPivots) {
    const CandleRun run = run_candles(kind, {}, cs);
    for (std::size_t i = 0; i < cs.size(); ++i) {
      const Candle& c = cs[i];
      const Levels want = levels(c.high, c.low, c.open, c.close);
      ASSERT_TRUE(same_bits(run.values[i], want[0].second)) << kind << " bar " << i;
      ASSERT_EQ(run.outputs[i].size(), want.size());
      for (std::size_t k = 0; k < want.size(); ++k) {
        ASSERT_EQ(run.outputs[i][k].name, want[k].first);
        ASSERT_TRUE(same_bits(run.outputs[i][k].value, want[k].second)) << kind << "." << want[k].first;
      }
    }
  }
}

TEST(PivotLevels, FlatBarsAndWorkedExamples) {
  for (double p : {7.25, 1.5}) {
    for (const auto& [kind, levels] : kPivots) {
      Levels flat = levels(p, p, p, p);
      for (auto& level : flat) level.second = p;
      expect_levels(kind, {0, p, p, p, p, 0}, flat);
    }
  }
  expect_levels("DemarkPivots", {0, 9, 10, 8, 9.5, 1}, {{"pp", 9.375}, {"r1", 10.75}, {"s1", 8.75}});
  expect_levels("DemarkPivots", {0, 9, 10, 8, 8.5, 1}, {{"pp", 8.625}, {"r1", 9.25}, {"s1", 7.25}});
  const Levels camarilla = kPivots[4].second(110, 100, 101, 105);
  EXPECT_EQ(camarilla[4].second, 110.5);
  EXPECT_EQ(camarilla[8].second, 99.5);
  expect_levels("Camarilla", {0, 101, 110, 100, 105, 1}, camarilla);
  // A close below the midpoint still puts tc above bc.
  expect_levels("CentralPivotRange", {0, 10, 12, 6, 7, 1}, {{"pivot", 25.0 / 3}, {"tc", 9.0}, {"bc", 25.0 / 3 * 2 - 9}});
}

}  // namespace
}  // namespace vsci
