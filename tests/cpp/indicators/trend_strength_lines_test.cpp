// Directional movement and trend-strength lines against batch references
// over random, trending and rough candle tapes (the rough tape's flat bars
// after volatile ones must give Vortex exactly 0), and the construction checks
// in order.
#include <gtest/gtest.h>

#include "indicators/cores/adx_core.h"
#include "support/counted_sums.h"
#include "support/output_reference.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// Adx publishes its core's lines in order; the core has a reference of its own.
LineSeries adx(const Candles& c, const Values& p) {
  auto core = AdxCore::create(std::uint64_t(p[0])).value();
  LineSeries out;
  for (const Candle& k : c) {
    const auto v = core.update_value(k);
    out.push_back(v ? std::optional(Values{v->plus_di, v->minus_di, v->adx}) : std::nullopt);
  }
  return out;
}

// The newest of equal extremes counts.
LineSeries aroon(const Candles& c, const Values& p) {
  const std::size_t n = std::size_t(p[0]);
  LineSeries out(c.size());
  for (std::size_t i = n, hi = 0, lo = 0; i < c.size(); ++i, hi = lo = 0) {
    for (std::size_t j = 1; j <= n; ++j) {
      hi = c[i - n + j].high >= c[i - n + hi].high ? j : hi, lo = c[i - n + j].low <= c[i - n + lo].low ? j : lo;
    }
    out[i] = Values{double(hi) * 100.0 / p[0], double(lo) * 100.0 / p[0]};
  }
  return out;
}

// The three columns in counted running sums, never re-summed.
LineSeries vortex(const Candles& c, const Values& p) {
  const std::size_t n = std::size_t(p[0]);
  const auto sums = [&](double (*f)(const Candle&, const Candle&)) { return window_sums(per_move(c, f), n); };
  const Values vp = sums([](const Candle& k, const Candle& b) { return std::fabs(k.high - b.low); });
  const Values vm = sums([](const Candle& k, const Candle& b) { return std::fabs(k.low - b.high); });
  const Values tr = sums(bar_true_range);
  LineSeries out(c.size());
  for (std::size_t k = n - 1; k < tr.size(); ++k)
    out[k + 1] = tr[k] == 0 ? Values{0, 0} : Values{vp[k] / tr[k], vm[k] / tr[k]};
  return out;
}

LineSeries rwi(const Candles& c, const Values& p) {
  const std::size_t n = std::size_t(p[0]);
  const Values tr = per_move(c, bar_true_range);  // tr[m]: bar m + 1 against bar m
  LineSeries out(c.size());
  for (std::size_t i = n - 1; i < c.size(); ++i) {
    Values best{0, 0};
    for (std::size_t k = 2; k <= n; ++k) {  // the span of bars i + 1 - k .. i
      double s = -0.0;
      for (std::size_t m = i + 1 - k; m < i; ++m) s += tr[m];
      const double scale = s / double(k - 1) * std::sqrt(double(k));
      if (scale == 0) continue;
      best = {std::max(best[0], (c[i].high - c[i + 1 - k].low) / scale),
              std::max(best[1], (c[i + 1 - k].high - c[i].low) / scale)};
    }
    out[i] = best;
  }
  return out;
}

LineSeries elder_ray(const Candles& c, const Values& p) {
  const Series e = ref::mean_seeded(field(c, &Candle::close), std::size_t(p[0]));
  Series bull(c.size()), bear(c.size());
  for (std::size_t i = 0; i < c.size(); ++i)
    if (e[i]) bull[i] = c[i].high - *e[i], bear[i] = c[i].low - *e[i];
  return lines_of({bull, bear});
}

TEST(TrendStrengthLines, MatchBatchReferences) {
  expect_output_references({{"Adx", "plus_di minus_di adx", adx, {{1}, {14}}},
                            {"Aroon", "up down", aroon, {{1}, {5}, {25}}},
                            {"VortexIndicator", "plus minus", vortex, {{1}, {14}}},
                            {"Rwi", "high low", rwi, {{2}, {14}}},
                            {"ElderRay", "bull_power bear_power", elder_ray, {{1}, {13}}}},
                           candle_tapes());
  // Windows 2 to 5 and one longer than a stretch of flat bars.
  std::vector<Values> windows;
  for (std::size_t n : kStretchWindows) windows.push_back({double(n)});
  expect_output_references({{"VortexIndicator", "plus minus", vortex, windows}},
                           {candles_with_flat_stretches(400, 75)});
}

TEST(TrendStrengthLines, ConstructionChecksInOrder) {
  std::vector<BuildCase> cases = {{"Rwi", {1}, "invalid period: RWI requires period >= 2"}, {"Rwi", {2}, ""}};
  for (const char* kind : {"Adx", "Aroon", "VortexIndicator", "Rwi", "ElderRay"})
    cases.insert(cases.end(), {{kind, {kZeroCount}, kPeriodZeroText}, {kind, {16777217}, kMaxPeriodText},
                               {kind, {16777216}, ""}});
  expect_build_outcomes(cases);
}

}  // namespace
}  // namespace vsci
