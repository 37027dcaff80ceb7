// The MACD family and momentum composites against batch references over
// random, trending and rough candle tapes (each stage fed only what the stage
// before it gave), and the construction checks in order.
#include <gtest/gtest.h>

#include "support/output_reference.h"

namespace vsci {
namespace {

using namespace vsci::testing;

using SeriesOp = std::function<Series(const Series&)>;

// alpha * x + (1 - alpha) * value with both products rounded: no fused step.
SeriesOp mean_seeded(double p) { return [p](const Series& in) { return ref::mean_seeded(in, std::size_t(p)); }; }

// Zlema, Rsi and Vwma are kinds of their own with references of their own.
SeriesOp zlema(double p) {
  return [p](const Series& in) {
    return ref::over_present(in, [p](const Values& v) { return run_kind("Zlema", {p}, v); });
  };
}

Series minus(const Series& a, const Series& b) {
  Series out(a.size());
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] && b[i]) out[i] = *a[i] - *b[i];
  return out;
}

// fast - slow, its signal and their difference.
LineSeries macd_lines(const Series& fast, const Series& slow, const SeriesOp& signal) {
  const Series line = minus(fast, slow), s = signal(line);
  return lines_of({line, s, minus(line, s)});
}

// A MACD kind whose averages of the close, and signal, are `average`.
std::function<LineSeries(const Candles&, const Values&)> macd(const std::function<SeriesOp(double)>& average) {
  return [average](const Candles& c, const Values& p) {
    const Series x = as_series(field(c, &Candle::close));
    return macd_lines(average(p[0])(x), average(p[1])(x), average(p[2]));
  };
}

LineSeries macd_fix(const Candles& c, const Values& p) {
  const Series x = as_series(field(c, &Candle::close));
  const auto fixed = [&x](std::size_t n, double a) {
    return ref::over_present(x, [=](const Values& v) { return ref::ema(v, n, false, a); });
  };
  return macd_lines(fixed(12, 0.15), fixed(26, 0.075), mean_seeded(p[0]));
}

LineSeries volume_weighted_macd(const Candles& c, const Values& p) {
  const Values close = field(c, &Candle::close), volume = field(c, &Candle::volume);
  return macd_lines(ref::vwma(close, volume, std::size_t(p[0])), ref::vwma(close, volume, std::size_t(p[1])),
                    mean_seeded(p[2]));
}

// Roc is a kind of its own with a reference of its own.
LineSeries kst(const Candles& c, const Values& p) {
  Series avg[4];
  for (std::size_t u = 0; u < 4; ++u)
    avg[u] = ref::sma(run_kind("Roc", {p[u]}, field(c, &Candle::close)), std::size_t(p[4 + u]));
  Series line(c.size());
  for (std::size_t i = 0; i < c.size(); ++i)
    if (avg[0][i] && avg[1][i] && avg[2][i] && avg[3][i])
      line[i] = *avg[0][i] + 2 * *avg[1][i] + 3 * *avg[2][i] + 4 * *avg[3][i];
  return lines_of({line, ref::sma(line, std::size_t(p[8]))});
}

LineSeries wave_trend(const Candles& c, const Values& p) {
  Series ap(c.size()), dev(c.size()), ci(c.size());
  for (std::size_t i = 0; i < c.size(); ++i) ap[i] = (c[i].high + c[i].low + c[i].close) / 3;
  const Series esa = mean_seeded(p[0])(ap);
  for (std::size_t i = 0; i < c.size(); ++i)
    if (esa[i]) dev[i] = std::fabs(*ap[i] - *esa[i]);
  const Series d = mean_seeded(p[0])(dev);
  for (std::size_t i = 0; i < c.size(); ++i)
    if (d[i]) ci[i] = *d[i] <= 16 * std::max(std::fabs(*esa[i]), 1.0) * EPS ? 0 : (*ap[i] - *esa[i]) / (0.015 * *d[i]);
  const Series wt1 = mean_seeded(p[1])(ci);
  return lines_of({wt1, ref::sma(wt1, std::size_t(p[2]))});
}

LineSeries qqe(const Candles& c, const Values& p) {
  const double n = p[0];
  const Series rsi = run_kind("Rsi", {n}, field(c, &Candle::close));
  Series move(c.size());
  const Series m = mean_seeded(p[1])(rsi);
  for (std::size_t i = 1; i < c.size(); ++i)
    if (m[i] && m[i - 1]) move[i] = std::fabs(*m[i] - *m[i - 1]);
  const Series dar = mean_seeded(2 * n - 1)(mean_seeded(2 * n - 1)(move));
  LineSeries out(c.size());
  double lo = 0, hi = 0, dir = 0;
  for (std::size_t i = 0; i < c.size(); ++i) {
    if (!dar[i]) continue;
    const double mi = *m[i], pm = *m[i - 1], lower = mi - *dar[i] * p[2], upper = mi + *dar[i] * p[2];
    const double new_lo = dir != 0 && mi > lo && pm > lo ? std::max(lo, lower) : lower;
    const double new_hi = dir != 0 && mi < hi && pm < hi ? std::min(hi, upper) : upper;
    dir = dir == 0 || (pm <= hi && mi > hi) ? 1 : pm >= lo && mi < lo ? -1 : dir;
    lo = new_lo, hi = new_hi;
    out[i] = Values{mi, dir > 0 ? lo : hi};
  }
  return out;
}

TEST(MacdFamily, MatchBatchReferences) {
  const std::string lines = "macd signal histogram";
  expect_output_references(
      {{"MacdIndicator", lines, macd(mean_seeded), {{12, 26, 9}, {1, 2, 1}, {3, 30, 20}}},
       {"Macd", lines, macd(mean_seeded), {{5, 12, 4}}},
       {"MacdFix", lines, macd_fix, {{9}, {1}}},
       {"ZeroLagMacd", lines, macd(zlema), {{3, 5, 3}, {2, 26, 9}, {12, 26, 1}}},
       {"VolumeWeightedMacd", lines, volume_weighted_macd, {{12, 26, 9}, {1, 3, 2}}},
       {"Kst", "kst signal", kst, {{10, 15, 20, 30, 10, 10, 10, 15, 9}, {1, 2, 3, 4, 1, 2, 1, 1, 2}}},
       {"WaveTrend", "wt1 wt2", wave_trend, {{10, 21, 4}, {1, 1, 1}, {3, 2, 5}}},
       {"Qqe", "rsi_ma trailing_line", qqe, {{14, 5, 4.236}, {1, 1, 0.5}, {6, 3, 2}}}},
      candle_tapes());
  // Volume windows 2 to 5 and one longer than a stretch of bars without volume.
  std::vector<Values> windows;
  for (std::size_t k = 0; k + 1 < kStretchWindows.size(); ++k)
    windows.push_back({double(kStretchWindows[k]), double(kStretchWindows[k + 1]), 2});
  expect_output_references({{"VolumeWeightedMacd", lines, volume_weighted_macd, windows}},
                           {candles_with_flat_stretches(400, 82)});
}

TEST(MacdFamily, ConstructionChecksInOrder) {
  const std::string order = "invalid period: fast period must be strictly less than slow period";
  const std::string zero_lag = "invalid period: ZeroLagMACD fast period must be strictly less than slow";
  const std::string factor = "invalid period: QQE factor must be a finite positive value";
  const double z = kZeroCount, big = 16777217;
  std::vector<BuildCase> cases = {
      {"MacdFix", {z}, kPeriodZeroText}, {"MacdFix", {big}, kMaxPeriodText}, {"MacdFix", {16777216}, ""},
      {"ZeroLagMacd", {5, 3, big}, zero_lag}, {"Kst", {big, 15, 20, 30, 10, 10, 10, 15, z}, kPeriodZeroText},
      {"Kst", {10, 15, 20, 30, 10, 10, 10, big, 9}, kMaxPeriodText},
      {"Kst", {9, 9, 9, big, 9, 1, 1, 1, 1}, kMaxPeriodText},
      {"WaveTrend", {big, 21, z}, kPeriodZeroText}, {"WaveTrend", {10, 21, big}, kMaxPeriodText},
      {"Qqe", {14, z, 4}, kPeriodZeroText}, {"Qqe", {big, 5, 0}, factor}, {"Qqe", {14, 5, -1}, factor},
      {"Qqe", {big, 5, 4}, kMaxPeriodText}, {"Qqe", {8388609, 5, 4}, kMaxPeriodText}, {"Qqe", {8388608, 5, 4}, ""},
      {"Qqe", {14, big, 4}, kMaxPeriodText}};
  for (const std::string k : {"MacdIndicator", "VolumeWeightedMacd", "ZeroLagMacd"}) {
    const std::string& ordering = k == "ZeroLagMacd" ? zero_lag : order;
    cases.insert(cases.end(), {{k, {26, 12, z}, kPeriodZeroText}, {k, {26, 12, 9}, ordering},
                               {k, {12, 12, 9}, ordering}, {k, {12, 26, big}, kMaxPeriodText},
                               {k, {big, big + 1, 9}, kMaxPeriodText}, {k, {1, 16777216, 16777216}, ""}});
  }
  expect_build_outcomes(cases);
}

}  // namespace
}  // namespace vsci
