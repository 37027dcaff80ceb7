// Swing and geometry levels against batch loops over the candle tapes (the
// zigzag at several reversal fractions, fractal pivots kept alternating, the
// range in eighths), the inclusive reversal test, and the constructor checks.
#include <gtest/gtest.h>

#include "support/candle_run.h"
#include "support/swing_reference.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// Per bar: the swing the zigzag confirms on it, the pitchfork through the last
// three alternating fractal pivots, and the window's range in eighths.
std::array<OutputSeries, 3> geometry(const Candles& c, double f, std::size_t k, std::size_t n) {
  std::array<OutputSeries, 3> out;
  out.fill(OutputSeries(c.size()));
  const RefSwings s = ref_swings(c, f);
  std::vector<RefPivot> p;  // .bar: the pivot's bar
  for (std::size_t t = 0, m = t - k; t < c.size(); ++t, ++m) {
    if (t > 0 && s.known[t] > s.known[t - 1]) out[0][t] = {s.pivots[s.known[t] - 1].price, s.pivots[s.known[t] - 1].kind};
    double hh = -kInf, ll = kInf;
    for (std::size_t j = t + 1 - std::min(n, t + 1); j <= t; ++j) hh = std::max(hh, c[j].high), ll = std::min(ll, c[j].low);
    for (int j = 8; t + 1 >= n && j >= 0; --j) (j == 8 ? out[2][t].emplace() : *out[2][t]).push_back(ll + j * ((hh - ll) * 0.125));
    if (t < 2 * k) continue;
    bool hi = true, lo = true;
    for (std::size_t j = t - 2 * k; j <= t; ++j)
      if (j != m) hi = hi && c[j].high < c[m].high, lo = lo && c[j].low > c[m].low;
    const RefPivot now{hi ? c[m].high : c[m].low, hi ? 1.0 : -1.0, m};
    if (hi != lo && (p.empty() || p.back().kind != now.kind)) p.push_back(now);
    if (hi != lo && now.kind * (now.price - p.back().price) > 0) p.back() = now;
    if (p.size() < 3) continue;
    const RefPivot &a = p[p.size() - 3], &b = p[p.size() - 2], &d = p.back();
    const double slope = ((b.price + d.price) * 0.5 - a.price) / ((double(b.bar) + double(d.bar)) * 0.5 - double(a.bar));
    const auto line = [&](double x) { return a.price + (x - double(a.bar)) * slope; };
    const double d1 = b.price - line(double(b.bar)), d2 = d.price - line(double(d.bar)), median = line(double(t));
    out[1][t] = {median, median + std::max(d1, d2), median + std::min(d1, d2)};
  }
  return out;
}

TEST(GeometryLevels, MatchBatchReferencesAndCheckTheirParameters) {
  for (const Candles& tape : candle_run_tapes_with_ties()) {
    for (auto [f, k, n] : {std::tuple<double, std::size_t, std::size_t>{0.003, 1, 1}, {0.01, 2, 3}, {0.02, 5, 20}}) {
      const auto want = geometry(tape, f, k, n);
      expect_outputs("ZigZag", {f}, tape, want[0], "swing direction");
      expect_outputs("AndrewsPitchfork", {double(k)}, tape, want[1], "median upper lower");
      expect_outputs("MurreyMathLines", {double(n)}, tape, want[2], "mm8_8 mm7_8 mm6_8 mm5_8 mm4_8 mm3_8 mm2_8 mm1_8 mm0_8");
    }
  }
  for (double low : {94.5, 94.6})  // the reversal test is inclusive
    EXPECT_EQ(run_candle_kind("ZigZag", {0.1}, {{0, 99, 100, 99, 99, 1}, {0, 104, 105, 104, 104, 1}, {0, 100, 104, low, 100, 1}})
                  .values[2], low == 94.5 ? std::optional(105.0) : std::nullopt);
  // The constructor checks, in order.
  const std::string fraction = "invalid period: ZigZag threshold must be a finite fraction in (0, 1)";
  std::vector<BuildCase> cases{{"ZigZag", {0}, fraction}, {"ZigZag", {1}, fraction}, {"ZigZag", {0.05}, ""}};
  for (const char* kind : {"AndrewsPitchfork", "MurreyMathLines"})
    cases.insert(cases.end(), {{kind, {kZeroCount}, kPeriodZeroText}, {kind, {16777217}, kMaxPeriodText}, {kind, {16777216}, ""}});
  expect_build_outcomes(cases);
}

}  // namespace
}  // namespace vsci
