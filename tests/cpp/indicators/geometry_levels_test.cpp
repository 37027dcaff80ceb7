// Swing and geometry levels against batch loops over the candle tapes (the
// zigzag at several reversal fractions, fractal pivots kept alternating, the
// range in eighths), the inclusive reversal test, and the constructor checks.
#include <gtest/gtest.h>

#include "support/candle_run.h"
#include "support/conformance.h"
#include "support/kind_checks.h"
#include "support/swing_reference.h"

namespace vsci {
namespace {

using namespace vsci::testing;

const ConformanceRows kConformance{
    {"AndrewsPitchfork", FirstValue::Free}, {"MurreyMathLines"}, {"ZigZag", FirstValue::Free}};

OutputSeries zigzag(const Candles& c, double f) {
  const RefSwings s = ref_swings(c, f);
  OutputSeries out(c.size());
  for (std::size_t i = 1; i < c.size(); ++i)
    if (s.known[i] > s.known[i - 1]) out[i] = {s.pivots[s.known[i] - 1].price, s.pivots[s.known[i] - 1].kind};
  return out;
}

OutputSeries pitchfork(const Candles& c, std::size_t k) {
  OutputSeries out(c.size());
  std::vector<RefPivot> p;  // bar = the pivot's bar index
  for (std::size_t t = 2 * k; t < c.size(); ++t) {
    const std::size_t m = t - k;
    bool hi = true, lo = true;
    for (std::size_t j = t - 2 * k; j <= t; ++j)
      if (j != m) hi = hi && c[j].high < c[m].high, lo = lo && c[j].low > c[m].low;
    const RefPivot now{hi ? c[m].high : c[m].low, hi ? 1.0 : -1.0, m};
    if (hi != lo && !p.empty() && p.back().kind == now.kind) {
      if (now.kind * (now.price - p.back().price) > 0) p.back() = now;
    } else if (hi != lo) {
      p.push_back(now);
    }
    if (p.size() < 3) continue;
    const RefPivot &a = p[p.size() - 3], &b = p[p.size() - 2], &d = p.back();
    const double slope = ((b.price + d.price) * 0.5 - a.price) / ((double(b.bar) + double(d.bar)) * 0.5 - double(a.bar));
    const auto line = [&](double x) { return a.price + (x - double(a.bar)) * slope; };
    const double d1 = b.price - line(double(b.bar)), d2 = d.price - line(double(d.bar)), median = line(double(t));
    out[t] = {median, median + std::max(d1, d2), median + std::min(d1, d2)};
  }
  return out;
}

OutputSeries murrey(const Candles& c, std::size_t n) {
  OutputSeries out(c.size());
  for (std::size_t t = n - 1; t < c.size(); ++t) {
    double hh = -kInf, ll = kInf;
    for (std::size_t j = t + 1 - n; j <= t; ++j) hh = std::max(hh, c[j].high), ll = std::min(ll, c[j].low);
    std::vector<double> levels;
    for (int j = 8; j >= 0; --j) levels.push_back(ll + j * ((hh - ll) * 0.125));
    out[t] = levels;
  }
  return out;
}

TEST(GeometryLevels, MatchTheirBatchReferences) {
  for (const Candles& tape : candle_run_tapes_with_ties()) {
    for (double f : {0.003, 0.01, 0.02}) expect_outputs("ZigZag", {f}, tape, zigzag(tape, f), "swing direction");
    for (std::size_t k : {1, 2, 5}) expect_outputs("AndrewsPitchfork", {double(k)}, tape, pitchfork(tape, k), "median upper lower");
    for (std::size_t n : {1, 3, 20})
      expect_outputs("MurreyMathLines", {double(n)}, tape, murrey(tape, n), "mm8_8 mm7_8 mm6_8 mm5_8 mm4_8 mm3_8 mm2_8 mm1_8 mm0_8");
  }
}

TEST(GeometryLevels, ZigZagReversalIsInclusive) {
  for (double low : {94.5, 94.6}) {
    const CandleRun run = run_candle_kind("ZigZag", {0.1}, {{0, 99, 100, 99, 99, 1}, {0, 104, 105, 104, 104, 1}, {0, 100, 104, low, 100, 1}});
    EXPECT_EQ(run.values[2], low == 94.5 ? std::optional(105.0) : std::nullopt);
  }
}

TEST(GeometryLevels, ConstructorChecks) {
  const std::string fraction = "invalid period: ZigZag threshold must be a finite fraction in (0, 1)";
  expect_build_outcomes({{"ZigZag", {0}, fraction}, {"ZigZag", {1}, fraction}, {"ZigZag", {-0.5}, fraction},
                         {"ZigZag", {0.05}, ""}, {"ZigZag", {kNaN}, "parameter #0 must be finite"},
                         {"AndrewsPitchfork", {kZeroCount}, kPeriodZeroText}, {"AndrewsPitchfork", {16777217}, kMaxPeriodText},
                         {"AndrewsPitchfork", {16777216}, ""}, {"MurreyMathLines", {kZeroCount}, kPeriodZeroText},
                         {"MurreyMathLines", {16777217}, kMaxPeriodText}, {"MurreyMathLines", {16777216}, ""}});
}

}  // namespace
}  // namespace vsci
