// Trailing stops against batch references over random, trending and rough
// candle tapes; strict crossings on hand-made bars; a window of one repeated
// two-bar range giving KaseDevStop exactly that range as its distance; and the
// construction checks in order.
#include <gtest/gtest.h>

#include "support/counted_sums.h"
#include "support/output_reference.h"

namespace vsci {
namespace {

using namespace vsci::testing;

Series atr(const Candles& c, double n) { return wilder_atr(c, n, true); }

// What a stop-and-reverse kind trails on a bar: the prices its extreme
// follows, its stops as functions of that extreme, and its first side.
struct Trail {
  double up, down;
  std::function<double(double)> long_at, short_at;
  double first = 1;
};

// Long, the stop rises to long_at(the side's highest `up` price); short, it
// falls to short_at(the lowest `down`); a strict crossing of the close flips
// to the other side's stop on the same bar, as the first bar does to `first`.
LineSeries reverse_stops(const Candles& c, std::size_t from, const std::function<Trail(std::size_t)>& trail) {
  LineSeries out(c.size());
  double dir = 0, stop = 0, ext = 0;
  for (std::size_t i = from; i < c.size(); ++i) {
    const Trail t = trail(i);
    const double x = c[i].close;
    const bool start = dir == 0;
    if (dir > 0) ext = std::max(ext, t.up), stop = std::max(stop, t.long_at(ext));
    if (dir < 0) ext = std::min(ext, t.down), stop = std::min(stop, t.short_at(ext));
    if (start ? t.first < 0 : dir > 0 && x < stop)
      dir = -1, ext = t.down, stop = t.short_at(ext);
    else if (start || (dir < 0 && x > stop))
      dir = 1, ext = t.up, stop = t.long_at(ext);
    out[i] = Values{stop, dir};
  }
  return out;
}

LineSeries super_trend(const Candles& c, const Values& p) {
  const Series a = atr(c, p[0]);
  LineSeries out(c.size());
  double up = 0, lo = 0, dir = 0;
  for (std::size_t i = std::size_t(p[0]) - 1; i < c.size(); ++i) {
    const double mid = (c[i].high + c[i].low) * 0.5, off = p[1] * *a[i], pc = i ? c[i - 1].close : 0.0;
    const bool first = dir == 0;
    up = first || mid + off < up || pc > up ? mid + off : up;
    lo = first || mid - off > lo || pc < lo ? mid - off : lo;
    dir = first ? 1 : dir < 0 ? (c[i].close > up ? 1 : -1) : (c[i].close < lo ? -1 : 1);
    out[i] = Values{dir > 0 ? lo : up, dir};
  }
  return out;
}

LineSeries atr_ratchet(const Candles& c, const Values& p) {
  const Series a = atr(c, p[0]);
  LineSeries out(c.size());
  double dir = 0, stop = 0;
  for (std::size_t i = std::size_t(p[0]) - 1; i < c.size(); ++i) {
    const double x = c[i].close, t = *a[i];
    stop = dir > 0 ? stop + t * p[2] : dir < 0 ? stop - t * p[2] : stop;
    if (dir == 0 || (dir > 0 && x < stop) || (dir < 0 && x > stop)) dir = dir > 0 ? -1 : 1, stop = x - dir * (t * p[1]);
    out[i] = Values{stop, dir};
  }
  return out;
}

// Donchian {n}, Chandelier {n, m} (high stop first) and ChandeKroll {n, m, q}:
// stops m ATR inside the n-bar extremes, then the loosest of the last q.
LineSeries channel_stop(const Candles& c, const Values& p) {
  const std::size_t n = std::size_t(p[0]), q = p.size() > 2 ? std::size_t(p[2]) : 1;
  const Series a = atr(c, p[0]);
  const double m = p.size() > 1 ? p[1] : 0;
  const Values highs = field(c, &Candle::high), lows = field(c, &Candle::low);
  Values hs(c.size()), ls(c.size());
  LineSeries out(c.size());
  for (std::size_t i = n - 1; i < c.size(); ++i) {
    hs[i] = max_of(highs, i, n) - *a[i] * m, ls[i] = min_of(lows, i, n) + *a[i] * m;
    if (i + 2 >= n + q) out[i] = p.size() == 2 ? Values{hs[i], ls[i]} : Values{min_of(ls, i, q), max_of(hs, i, q)};
  }
  return out;
}

LineSeries elder_safe_zone(const Candles& c, const Values& p) {
  // The mean penetration beyond the previous bar, over the bars that
  // penetrated; the penetrations in counted running sums, never re-summed.
  const std::size_t n = std::size_t(p[0]);
  const Values down = per_move(c, [](const Candle& k, const Candle& b) { return std::max(b.low - k.low, 0.0); });
  const Values up = per_move(c, [](const Candle& k, const Candle& b) { return std::max(k.high - b.high, 0.0); });
  const Values down_sums = window_sums(down, n), up_sums = window_sums(up, n);
  const auto average = [&](std::size_t i, const Values& depth, const Values& sums) {
    const auto m = std::count_if(depth.begin() + long(i - n), depth.begin() + long(i), [](double x) { return x > 0; });
    return m > 0 ? sums[i - 1] / double(m) : 0.0;
  };
  return reverse_stops(c, n, [&](std::size_t i) {
    const double lo = c[i].low - average(i, down, down_sums) * p[1];
    const double hi = c[i].high + average(i, up, up_sums) * p[1];
    return Trail{0, 0, [lo](double) { return lo; }, [hi](double) { return hi; }};
  });
}

LineSeries kase_dev_stop(const Candles& c, const Values& p) {
  const std::size_t n = std::size_t(p[0]);
  const Values r = per_move(
      c, [](const Candle& k, const Candle& b) { return std::max(k.high, b.high) - std::min(k.low, b.low); });
  return reverse_stops(c, n, [&](std::size_t i) {
    const double mean = window_sum(r, i - 1, n) / p[0];
    double ss = 0;
    for (std::size_t j = i - n; j < i; ++j) ss += (r[j] - mean) * (r[j] - mean);
    const double d = mean + p[1] * std::sqrt(ss / (p[0] - 1));
    return Trail{c[i].high, c[i].low, [d](double e) { return e - d; }, [d](double e) { return e + d; }};
  });
}

LineSeries modified_ma_stop(const Candles& c, const Values& p) {
  const double n = p[0];
  const auto step = [n](double a, double x) { return (x + a * (n - 1)) / n; };
  const Series avg = seeded(field(c, &Candle::close), std::size_t(n), step);
  return reverse_stops(c, std::size_t(n) - 1, [&](std::size_t i) {
    const double a = *avg[i];
    return Trail{0, 0, [a](double) { return a; }, [a](double) { return a; }, c[i].close < a ? -1.0 : 1.0};
  });
}

// A stop at a fixed fraction of the side's extreme close ratchets on its own.
LineSeries nrtr(const Candles& c, const Values& p) {
  const double f = p[0] / 100.0;
  return reverse_stops(c, 0, [&](std::size_t i) {
    return Trail{c[i].close, c[i].close, [f](double e) { return (1 - f) * e; }, [f](double e) { return (f + 1) * e; }};
  });
}

TEST(TrailingStops, MatchBatchReferences) {
  expect_output_references(
      {{"SuperTrend", "value direction", super_trend, {{1, 0.5}, {10, 3}}},
       {"AtrRatchet", "value direction", atr_ratchet, {{1, 1, 0.5}, {10, 2, 0.05}}},
       {"ChandelierExit", "long_stop short_stop", channel_stop, {{1, 2}, {22, 3}}},
       {"ChandeKrollStop", "stop_long stop_short", channel_stop, {{3, 1, 2}, {10, 1.5, 9}, {1, 1, 1}}},
       {"DonchianStop", "stop_long stop_short", channel_stop, {{1}, {20}}},
       {"ElderSafeZone", "value direction", elder_safe_zone, {{1, 2}, {10, 2.5}}},
       {"KaseDevStop", "value direction", kase_dev_stop, {{2, 1}, {10, 2}}, 1e-9},
       {"ModifiedMaStop", "value direction", modified_ma_stop, {{1}, {14}}},
       {"Nrtr", "value direction", nrtr, {{50}, {2}, {0.5}}}},
      candle_tapes());
  // Windows 2 to 5 and one longer than a stretch of flat bars (no penetration).
  std::vector<Values> windows;
  for (std::size_t n : kStretchWindows) windows.push_back({double(n), 2.5});
  expect_output_references({{"ElderSafeZone", "value direction", elder_safe_zone, windows}},
                           {candles_with_flat_stretches(400, 81)});
}

TEST(TrailingStops, StrictCrossingsAndOneRepeatedRange) {
  // SuperTrend 1/1: long at 7; a close on the lower band stays long, one below
  // it flips to the same bar's upper band.
  const CandleRun st =
      run_candle_kind("SuperTrend", {1, 1}, {{0, 9, 10, 8, 9, 1}, {0, 7, 9, 7, 7, 1}, {0, 7, 7, 6.5, 6.5, 1}});
  EXPECT_EQ(st.values, (Series{7, 7, 7.25}));
  EXPECT_EQ(st.outputs[1][1].value - st.outputs[2][1].value, 2.0);
  // Volatile bars, then identical ones whose two-bar range is h - l: Kase's
  // short stop settles at l + (h - l) once its window holds that range alone,
  // whatever residue the running sums keep; from the start, the first value
  // is h less that range.
  const double h = 0.1 + 0.2, l = 0.1;
  Candles c = make_tape(40, 5).candles;
  c.insert(c.end(), 30, Candle{0, 0.25, h, l, 0.25, 1});
  for (double n : {3, 7, 10}) {
    const Series v = run_candle_kind("KaseDevStop", {n, 2}, c).values;
    EXPECT_EQ(Series(v.begin() + 40 + std::ptrdiff_t(n), v.end()), Series(30 - std::size_t(n), l + (h - l))) << n;
    const Series fresh = run_candle_kind("KaseDevStop", {n, 2}, Candles(c.begin() + 40, c.end())).values;
    EXPECT_EQ(fresh[std::size_t(n)], h - (h - l));
  }
}

TEST(TrailingStops, ConstructionChecksInOrder) {
  const std::string mult = "multiplier must be greater than zero";
  const std::string kase = "invalid period: Kase DevStop period must be >= 2";
  const std::string nrtr = "invalid parameter: NRTR percentage must be in (0, 100)";
  const double z = kZeroCount, big = 16777217;
  std::vector<BuildCase> cases = {
      {"AtrRatchet", {big, 1, -0.0}, mult}, {"AtrRatchet", {big, -1, 1}, mult},
      {"AtrRatchet", {z, 1, 1}, kPeriodZeroText}, {"AtrRatchet", {big, 1, 1}, kMaxPeriodText},
      {"ChandeKrollStop", {big, 0, z}, mult},
      {"ChandeKrollStop", {big, 1, z}, kPeriodZeroText}, {"ChandeKrollStop", {z, 1, big}, kMaxPeriodText},
      {"ChandeKrollStop", {z, 1, 9}, kPeriodZeroText}, {"ChandeKrollStop", {big, 1, 9}, kMaxPeriodText},
      {"ElderSafeZone", {big, 0}, kMaxPeriodText}, {"ElderSafeZone", {z, 0}, kPeriodZeroText},
      {"ElderSafeZone", {9, -2}, mult},
      {"KaseDevStop", {1, 0}, kase}, {"KaseDevStop", {z, 2}, kase}, {"KaseDevStop", {big, 0}, kMaxPeriodText},
      {"KaseDevStop", {2, 0}, mult}, {"KaseDevStop", {2, 1}, ""}, {"Nrtr", {100}, nrtr}, {"Nrtr", {0}, nrtr},
      {"Nrtr", {-5}, nrtr}, {"Nrtr", {99.99}, ""}, {"Nrtr", {5e-324}, ""}};
  for (const char* k : {"SuperTrend", "ChandelierExit"})
    cases.insert(cases.end(), {{k, {z, 0}, mult}, {k, {z, 3}, kPeriodZeroText}, {k, {big, 3}, kMaxPeriodText},
                               {k, {16777216, 5e-324}, ""}});
  for (const char* k : {"DonchianStop", "ModifiedMaStop"})
    cases.insert(cases.end(), {{k, {z}, kPeriodZeroText}, {k, {big}, kMaxPeriodText}, {k, {16777216}, ""}});
  expect_build_outcomes(cases);
}

}  // namespace
}  // namespace vsci
