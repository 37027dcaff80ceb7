// Pivot levels against their formulas bar by bar (every named output, in
// order), flat bars at prices whose sums are exact, and worked examples.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "support/candle_run.h"
#include "support/compare.h"

namespace vsci {
namespace {

using namespace vsci::testing;

using Levels = std::vector<double>;

double demark(double h, double l, double o, double c) {
  return c > o ? 2 * h + l + c : c < o ? h + 2 * l + c : h + l + 2 * c;
}

struct Pivot {
  std::string kind, names;
  std::function<Levels(double h, double l, double o, double c)> levels;
};

const std::vector<Pivot> kPivots = {
    {"WoodiePivots", "pp r1 r2 s1 s2", [](double h, double l, double, double c) {
       const double pp = (h + l + 2 * c) * 0.25;
       return Levels{pp, 2 * pp - l, pp + (h - l), 2 * pp - h, pp - (h - l)}; }},
    {"ClassicPivots", "pp r1 r2 r3 s1 s2 s3", [](double h, double l, double, double c) {
       const double pp = (l + h + c) / 3;
       return Levels{pp, 2 * pp - l, pp + (h - l), h + 2 * (pp - l), 2 * pp - h, pp - (h - l), l - 2 * (h - pp)}; }},
    {"DemarkPivots", "pp r1 s1", [](double h, double l, double o, double c) {
       const double x = demark(h, l, o, c);
       return Levels{x * 0.25, x * 0.5 - l, x * 0.5 - h}; }},
    {"CentralPivotRange", "pivot tc bc", [](double h, double l, double, double c) {
       const double pivot = (h + l + c) / 3, mid = (h + l) * 0.5, other = 2 * pivot - mid;
       return Levels{pivot, std::max(other, mid), std::min(other, mid)}; }},
    {"Camarilla", "pp r1 r2 r3 r4 s1 s2 s3 s4", [](double h, double l, double, double c) {
       const double k = (h - l) * 1.1;
       return Levels{(l + h + c) / 3, c + k / 12, c + k / 6, c + k * 0.25, c + k * 0.5, c - k / 12, c - k / 6,
                     c - k * 0.25, c - k * 0.5}; }},
    {"TdRangeProjection", "high low", [](double h, double l, double o, double c) {
       return Levels{demark(h, l, o, c) * 0.5 - l, demark(h, l, o, c) * 0.5 - h}; }},
    {"FibRangePivots", "pp r1 r2 r3 s1 s2 s3", [](double h, double l, double, double c) {
       const double pp = (l + h + c) / 3, r = h - l;
       return Levels{pp, pp + 0.382 * r, pp + 0.618 * r, pp + r, pp - 0.382 * r, pp - 0.618 * r, pp - r}; }},
};

// The main value is the first level; the outputs are all of them, in order.
void expect_levels(const Pivot& p, const std::vector<NamedOutput>& got, const std::optional<double>& value,
                   const Levels& want) {
  std::string names;
  for (const NamedOutput& o : got) names += (names.empty() ? "" : " ") + std::string(o.name);
  ASSERT_EQ(names, p.names);
  ASSERT_TRUE(same_bits(value, want[0])) << p.kind;
  for (std::size_t k = 0; k < want.size(); ++k) ASSERT_TRUE(same_bits(got[k].value, want[k])) << p.kind << k;
}

TEST(PivotLevels, EveryLevelMatchesItsFormula) {
  Candles cs = candle_run_tapes()[0];
  cs.push_back({0, 9, 10, 8, 9, 1});  // closes where it opened
  for (const Pivot& p : kPivots) {
    const CandleRun run = run_candle_kind(p.kind, {}, cs);
    for (std::size_t i = 0; i < cs.size(); ++i)
      expect_levels(p, run.outputs[i], run.values[i], p.levels(cs[i].high, cs[i].low, cs[i].open, cs[i].close));
  }
}

TEST(PivotLevels, FlatBarsAndWorkedExamples) {
  const auto one = [](const Pivot& p, Candle c, const Levels& want) {
    const CandleRun run = run_candle_kind(p.kind, {}, {c});
    expect_levels(p, run.outputs[0], run.values[0], want);
  };
  for (double x : {7.25, 1.5})
    for (const Pivot& p : kPivots) one(p, {0, x, x, x, x, 0}, Levels(p.levels(x, x, x, x).size(), x));
  one(kPivots[2], {0, 9, 10, 8, 9.5, 1}, {9.375, 10.75, 8.75});
  one(kPivots[2], {0, 9, 10, 8, 8.5, 1}, {8.625, 9.25, 7.25});
  one(kPivots[4], {0, 101, 110, 100, 105, 1}, kPivots[4].levels(110, 100, 101, 105));
  EXPECT_EQ(kPivots[4].levels(110, 100, 101, 105)[4], 110.5);  // r4; s4 is 99.5
  // A close below the midpoint still puts tc above bc.
  one(kPivots[3], {0, 10, 12, 6, 7, 1}, {25.0 / 3, 9.0, 25.0 / 3 * 2 - 9});
}

}  // namespace
}  // namespace vsci
