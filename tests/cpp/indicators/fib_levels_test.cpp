// The Fibonacci kinds against their level formulas over a batch zigzag of
// random and trending tapes, and worked values of single swings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "support/bar_tape.h"
#include "support/compare.h"
#include "support/swing_reference.h"

namespace vsci {
namespace {

using namespace vsci::testing;

using Pivots = std::vector<RefPivot>;
using Values = std::vector<double>;

// from + by * r for each ratio r.
Values scaled(double from, double by, Values ratios) {
  for (double& r : ratios) r = from + by * r;
  return ratios;
}
Values retrace(const RefPivot& a, const RefPivot& b) {
  return scaled(b.price, a.price - b.price, {0, .236, .382, .5, .618, .786, 1});
}
// The straight line through two pivots, at bar t.
double line(const RefPivot& a, const RefPivot& c, double t) {
  return a.price + (c.price - a.price) * (t - a.bar) / double(c.bar - a.bar);
}

struct LevelRow {
  const char* kind;
  std::size_t kept, needed, warmup;
  std::function<Values(const Pivots& p, double cur)> levels;
};

const LevelRow kRows[] = {
    {"GoldenPocket", 2, 2, 2,
     [](const Pivots& p, double) {
       const Values x = scaled(p[1].price, p[0].price - p[1].price, {.618, .65});
       return Values{std::min(x[0], x[1]), (x[0] + x[1]) / 2, std::max(x[0], x[1])};
     }},
    {"FibRetracement", 2, 2, 2, [](const Pivots& p, double) { return retrace(p[0], p[1]); }},
    {"AutoFib", 6, 2, 2,
     [](const Pivots& p, double) {
       std::size_t k = 0;
       for (std::size_t j = 1; j + 1 < p.size(); ++j)
         if (std::fabs(p[j].price - p[j + 1].price) >= std::fabs(p[k].price - p[k + 1].price)) k = j;
       return retrace(p[k], p[k + 1]);
     }},
    {"FibExtension", 2, 2, 2,
     [](const Pivots& p, double) {
       return scaled(p[0].price, p[1].price - p[0].price, {1.272, 1.414, 1.618, 2, 2.618});
     }},
    {"FibProjection", 3, 3, 3,
     [](const Pivots& p, double) { return scaled(p[2].price, p[1].price - p[0].price, {.618, 1, 1.618, 2.618}); }},
    {"FibFan", 2, 2, 2,
     [](const Pivots& p, double t) {
       return scaled(line(p[0], p[1], t), p[0].price - line(p[0], p[1], t), {.382, .5, .618});
     }},
    {"FibArcs", 2, 2, 2,
     [](const Pivots& p, double t) {
       const double u = (t - p[1].bar) / double(p[1].bar - p[0].bar);
       return scaled(p[1].price, (p[0].price - p[1].price) * (u >= 1 ? 0 : std::sqrt(1 - u * u)), {.382, .5, .618});
     }},
    {"FibChannel", 3, 3, 3,
     [](const Pivots& p, double t) {
       return scaled(line(p[0], p[2], t), p[1].price - line(p[0], p[2], p[1].bar), {0, .618, 1, 1.618});
     }},
    {"FibTimeZones", 2, 1, 2,
     [](const Pivots& p, double t) {
       const double n = t - p.back().bar;
       Values zones{1, 2};
       while (zones.back() <= n) zones.push_back(zones.back() + zones[zones.size() - 2]);
       const double next = *std::upper_bound(zones.begin(), zones.end(), n);
       return Values{double(std::count(zones.begin(), zones.end(), n)), next - n};
     }},
    {"FibConfluence", 6, 3, 3,
     [](const Pivots& p, double) {
       Values levels, best{0, 0};
       for (std::size_t k = 0; k + 1 < p.size(); ++k)
         for (double r : {.382, .5, .618}) levels.push_back(p[k + 1].price + (p[k].price - p[k + 1].price) * r);
       for (double c : levels) {
         double n = 0, sum = 0;
         for (double x : levels) {
           const double m = std::max({std::fabs(x), std::fabs(c), 2.2250738585072014e-308});
           if (std::fabs(x - c) <= 0.03 * m) n++, sum += x;
         }
         if (n >= best[1]) best = {sum / n, n};
       }
       return best;
     }},
};

TEST(FibLevels, MatchTheirFormulasOverTheZigzag) {
  for (const BarTape& tape : {make_tape(2000, 31), make_tape(2000, 32, 20.0, 0.05), make_tape(2000, 33, 150, -0.05)}) {
    const RefSwings ref = ref_swings(tape.candles);
    for (const LevelRow& row : kRows) {
      auto ind = build_ok(row.kind, {});
      EXPECT_EQ(ind->warmup(), row.warmup) << row.kind;
      std::size_t values = 0;
      for (std::size_t i = 0; i < tape.size(); ++i) {
        const auto got = ind->update(tape.context(i));
        const std::size_t known = ref.known[i];
        ASSERT_EQ(got.has_value(), known >= row.needed) << row.kind << " bar " << i;
        if (!got) continue;
        ++values;
        const auto end = ref.pivots.begin() + known;
        const Values want = row.levels({end - std::min(known, row.kept), end}, double(i));
        const auto out = ind->outputs();
        ASSERT_EQ(out.size(), want.size());
        EXPECT_EQ(*got, out[0].value);
        for (std::size_t k = 0; k < want.size(); ++k)
          ASSERT_TRUE(close_enough(out[k].value, want[k], 1e-12)) << row.kind << "." << out[k].name << " bar " << i;
      }
      EXPECT_GT(values, 1000u) << row.kind;
    }
  }
}

TEST(FibLevels, WorkedSwings) {
  const std::tuple<const char*, Values, Values> cases[] = {
      {"GoldenPocket", {110, 100, 106}, {106.18, 106.34, 106.5}},
      {"AutoFib", {130, 110, 120, 100, 107}, {100, 104.72, 107.64, 110, 112.36, 115.72, 120}},  // a tie: the newer
      {"FibConfluence", {200, 100, 150, 140}, {119.1, 1}},  // all over 3 % apart: the last candidate
  };
  for (const auto& [kind, prices, want] : cases) {
    auto ind = build_ok(kind, {});
    for (const Candle& bar : flat_candles(prices)) ind->update(BarContext(bar));
    const auto out = ind->outputs();
    ASSERT_EQ(out.size(), want.size());
    for (std::size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(out[k].value, want[k], 1e-12) << kind << " " << k;
  }
}

}  // namespace
}  // namespace vsci
