// DeMark counts, oscillators, rounded-turn patterns and the multi-line kinds
// (setup with countdown, run levels, risk levels, midpoint averages) against
// batch loops written from their definitions over random, trending and
// coarse-grid candle tapes (the grid makes ties, and countdown lengths of 5
// and less set no reference close), the countdown's final-bar rule on
// hand-made bars, and the constructor checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "support/batch_reference.h"
#include "support/candle_checks.h"
#include "support/candle_run.h"
#include "support/kind_checks.h"

namespace vsci {
namespace {

using namespace vsci::testing;

enum class Count { Setup, Countdown, Combo };

// TdSetup (parameters L, C), TdCountdown and TdCombo (L, S, B, T); for a
// countdown also the setup, countdown and direction of each bar in `lines`.
Series td_count(const Candles& cs, const Params& prm, Count kind, OutputSeries* lines = nullptr) {
  const std::size_t l = count_at(prm, 0), s = count_at(prm, 1);
  const bool only_setup = kind == Count::Setup;
  const std::size_t b = only_setup ? l : count_at(prm, 2), target = only_setup ? 0 : count_at(prm, 3);
  Series out(cs.size());
  std::size_t counts[2] = {0, 0};  // buy, sell
  int phase = 0;
  double ref = kNaN;
  const bool combo = kind == Count::Combo;
  std::size_t down = 0, up = 0;  // the setup counts
  for (std::size_t t = std::max(l, b); t < cs.size(); ++t) {
    const Candle &c = cs[t], &x = cs[t - b], &p = cs[t - 1];
    down = c.close < cs[t - l].close ? std::min(down + 1, s) : 0;
    up = c.close > cs[t - l].close ? std::min(up + 1, s) : 0;
    out[t] = down ? double(down) : up ? -double(up) : 0.0;
    if (only_setup) continue;
    const int next = down == s ? 1 : up == s ? -1 : phase;
    if (next != phase) phase = next, counts[0] = counts[1] = 0, ref = kNaN;
    if (phase != 0) {
      std::size_t& n = counts[phase > 0 ? 0 : 1];
      bool q = phase > 0 ? c.close <= x.low : c.close >= x.high;
      if (combo) q = q && (phase > 0 ? c.close < p.close && c.low <= p.low : c.close > p.close && c.high >= p.high);
      const bool reaches = std::isnan(ref) || (phase > 0 ? c.low <= ref : c.high >= ref);
      if (q && n < target && (combo || n + 1 < target || reaches)) {
        ++n;
        if (!combo && n + 5 == target) ref = c.close;
      }
    }
    const double setup = *out[t];
    out[t] = phase > 0 ? double(counts[0]) : phase < 0 ? -double(counts[1]) : 0.0;
    if (lines) lines->resize(cs.size()), (*lines)[t] = {setup, *out[t], double(phase)};
  }
  return out;
}

// TdLines (risk false) and TdRiskLevel (risk true): runs against the close a bars back.
OutputSeries run_levels(const Candles& c, std::size_t a, std::size_t n, bool risk) {
  OutputSeries out(c.size());
  std::size_t down = 0, up = 0;
  double rh = -kInf, rl = kInf;
  std::optional<std::pair<double, double>> lowest, highest;  // (price, true range)
  std::optional<double> first, second;
  for (std::size_t i = a; i < c.size(); ++i) {
    const Candle& k = c[i];
    const double pc = c[i - 1].close, tr = std::max({k.high - k.low, std::fabs(k.high - pc), std::fabs(k.low - pc)});
    if (k.close < c[i - a].close) {
      rh = down == 0 ? k.high : std::max(rh, k.high), rl = kInf, highest.reset();
      if (!lowest || lowest->first > k.low) lowest = {k.low, tr};
      if (++down >= n) first = risk ? lowest->first - lowest->second : rh;
      down = std::min(down, n), up = 0;
    } else if (k.close > c[i - a].close) {
      rl = up == 0 ? k.low : std::min(rl, k.low), rh = -kInf, lowest.reset();
      if (!highest || highest->first < k.high) highest = {k.high, tr};
      if (++up >= n) second = risk ? highest->first + highest->second : rl;
      up = std::min(up, n), down = 0;
    } else {
      down = up = 0, rh = -kInf, rl = kInf, lowest.reset(), highest.reset();
    }
    if (first || second) out[i] = {first.value_or(kNaN), second.value_or(kNaN)};
  }
  return out;
}

// The wave number advances at each swing pivot (the middle bar of 2n + 1
// strictly beyond all others) of the other kind than the last.
Series td_d_wave(const Candles& cs, const Params& p) {
  const std::size_t n = count_at(p, 0);
  Series out(cs.size());
  int wave = 0, last = 0;
  for (std::size_t t = 2 * n, m = n; t < cs.size(); ++t, ++m) {
    bool high = true, low = true;
    for (std::size_t j = t - 2 * n; j <= t; ++j)
      if (j != m) high = high && cs[m].high > cs[j].high, low = low && cs[m].low < cs[j].low;
    if (high != low && (high ? 1 : -1) != last) wave = wave % 8 + 1, last = high ? 1 : -1;
    if (wave) out[t] = wave;
  }
  return out;
}

Series td_demarker(const Candles& cs, const Params& p) {
  return over_windows(
      cs, count_at(p, 0), count_at(p, 0), [&](std::size_t j) { return std::max(cs[j].high - cs[j - 1].high, 0.0); },
      [&](std::size_t j) { return std::max(cs[j - 1].low - cs[j].low, 0.0); },
      [](double a, double b, double n) { return a / n + b / n == 0 ? 0.5 : a / n / (a / n + b / n); });
}

Series td_pressure(const Candles& cs, const Params& p) {
  const auto pressure = [&](std::size_t j) {
    const Candle& c = cs[j];
    return c.high > c.low ? c.volume * (c.close - c.open) / (c.high - c.low) : 0.0;
  };
  return over_windows(cs, count_at(p, 0), count_at(p, 0) - 1, pressure, [&](std::size_t j) { return cs[j].volume; },
                      [](double a, double v, double n) { return v / n == 0 ? 0.0 : 100.0 * (a / n) / (v / n); });
}

Series td_rei(const Candles& cs, const Params& p) {
  const auto term = [&](std::size_t t, bool absolute) {
    const Candle &c = cs[t], &b2 = cs[t - 2], &b5 = cs[t - 5], &b6 = cs[t - 6];
    const double c7 = cs[t - 7].close, c8 = cs[t - 8].close;
    if (absolute) return std::fabs(c.high - b2.high) + std::fabs(c.low - b2.low);
    const bool q1 = std::max(c.high - b5.low, c.high - b6.low) >= 0 && std::min(c.low - b6.high, c.low - b5.high) <= 0;
    const bool q2 = (b2.high >= c7 || b2.high >= c8) && (b2.low <= c7 || b2.low <= c8);
    return q1 || q2 ? (c.high - b2.high) + (c.low - b2.low) : 0.0;
  };
  return over_windows(
      cs, count_at(p, 0), count_at(p, 0) + 7, [&](std::size_t j) { return term(j, false); },
      [&](std::size_t j) { return term(j, true); },
      [](double s, double a, double) { return a == 0 ? 0.0 : std::clamp(100.0 * s / a, -100.0, 100.0); });
}

// -1 (top) or +1 (bottom) when the window's extreme close, first made in the
// middle half, is left behind by a close beyond the window's first close.
Series rounded_turn(const Candles& cs, const Params& p, bool top) {
  const std::size_t n = count_at(p, 0);
  Series out(cs.size());
  const auto by_close = [top](const Candle& a, const Candle& b) { return top ? a.close < b.close : a.close > b.close; };
  for (std::size_t t = n - 1; t < cs.size(); ++t) {
    const auto first = cs.begin() + long(t + 1 - n), extreme = std::max_element(first, first + long(n), by_close);
    const auto i = std::size_t(extreme - first);
    const bool beyond = by_close(cs[t], *extreme) && by_close(cs[t], *first) && n / 4 <= i && i < n - n / 4;
    out[t] = beyond ? (top ? -1.0 : 1.0) : 0.0;
  }
  return out;
}

Series setup(const Candles& cs, const Params& p) { return td_count(cs, p, Count::Setup); }
Series countdown(const Candles& cs, const Params& p) { return td_count(cs, p, Count::Countdown); }
Series combo(const Candles& cs, const Params& p) { return td_count(cs, p, Count::Combo); }
Series dumpling(const Candles& cs, const Params& p) { return rounded_turn(cs, p, true); }
Series fry_pan(const Candles& cs, const Params& p) { return rounded_turn(cs, p, false); }

TEST(DemarkCounts, MatchBatchReferences) {
  Candles grid = grid_tape(800, 63, 2.0);
  for (std::size_t i = 0; i < grid.size(); i += 7) grid[i].volume = 0.0;
  const std::vector<Candles> tapes = {make_tape(1500, 61).candles, make_tape(1500, 62, 300.0, -0.6).candles, grid};
  const Candles flat(60, Candle{0, 5, 5, 5, 5, 0});  // no move, no volume: every fallback (and no pivot)
  expect_candle_references(
      {
          {"TdSetup", {4, 9}, setup},             {"TdSetup", {1, 3}, setup},
          {"TdCountdown", {4, 9, 2, 13}, countdown}, {"TdCountdown", {2, 3, 5, 7}, countdown},
          {"TdCountdown", {3, 2, 1, 4}, countdown},  {"TdCombo", {4, 9, 2, 13}, combo},
          {"TdCombo", {2, 3, 1, 6}, combo},          {"TdDeMarker", {13}, td_demarker},
          {"TdPressure", {10}, td_pressure},         {"TdRei", {5}, td_rei},
          {"TdRei", {1}, td_rei},                    {"DumplingTop", {8}, dumpling},
          {"FryPanBottom", {5}, fry_pan},            {"FryPanBottom", {12}, fry_pan},
      },
      {tapes[0], tapes[1], tapes[2], flat});
  expect_candle_references({{"TdDWave", {1}, td_d_wave}, {"TdDWave", {4}, td_d_wave}}, tapes, true);
}

TEST(DemarkCounts, MultiLineKindsMatchBatchReferences) {
  for (const Candles& tape : {make_tape(700, 61).candles, make_tape(700, 62, 300.0, -0.6).candles, grid_tape(800, 63, 2.0)}) {
    for (const Params& p : std::vector<Params>{{4, 9, 2, 13}, {1, 2, 1, 3}, {2, 3, 3, 6}, {3, 4, 5, 8}, {1, 1, 4, 5}}) {
      OutputSeries lines;
      td_count(tape, p, Count::Countdown, &lines);
      expect_outputs("TdSequential", p, tape, lines, "setup countdown direction");
    }
    for (const Params& p : std::vector<Params>{{1, 2}, {4, 2}, {2, 1}, {3, 5}}) {
      expect_outputs("TdLines", p, tape, run_levels(tape, count_at(p, 0), count_at(p, 1), false), "resistance support");
      expect_outputs("TdRiskLevel", p, tape, run_levels(tape, count_at(p, 0), count_at(p, 1), true), "buy_risk sell_risk");
    }
    const auto mid = candle_field(tape, [](const Candle& x) { return (x.high + x.low) * 0.5; });
    for (const Params& p : std::vector<Params>{{1, 2}, {5, 13}, {3, 40}}) {
      const Series s = ref::sma(mid, count_at(p, 0)), l = ref::sma(mid, count_at(p, 1));
      OutputSeries want(tape.size());
      for (std::size_t i = count_at(p, 1) - 1; i < tape.size(); ++i) want[i] = {*s[i], *l[i]};
      expect_outputs("TdMovingAverage", p, tape, want, "st1 st2");
    }
  }
}

TEST(DemarkCounts, CountdownFinalBarMustReachTheEighthCountedClose) {
  // A steady fall completes the buy setup on bar 12 and counts 1 .. 12 on
  // bars 12 .. 23 (the 8th count, bar 19, closes at 81); a bounce follows.
  Candles cs;
  const auto bar = [&](double close, double low) { cs.push_back({0, close + 0.5, close + 1, low, close, 1}); };
  for (int k = 0; k < 24; ++k) bar(100 - k, 99.5 - k);
  for (double close : {82, 84, 86, 88}) bar(close, close - 0.5);
  bar(85, 84);  // qualifies (85 <= low two bars back) but its low stays above 81
  bar(82, 80);  // qualifies and reaches 81
  bar(70, 69);
  const Series got = feed_candles(*build_ok("TdCountdown", {4, 9, 2, 13}), cs);
  const Series want = {std::nullopt, 0.0, 1.0, 12.0, 12.0, 13.0, 13.0};
  EXPECT_TRUE(same_series({got[3], got[11], got[12], got[23], got[28], got[29], got[30]}, want));
  // Targets of 5 and less never set a reference close.
  for (double target : {1.0, 5.0}) EXPECT_EQ(feed_candles(*build_ok("TdCountdown", {4, 9, 2, target}), cs)[29], target);
}

TEST(DemarkCounts, RoundedTurnsNeedTheirExtremeInTheMiddleHalf) {
  const auto last = [](const char* kind, const std::vector<double>& closes) {
    Candles cs;
    for (double c : closes) cs.push_back({0, c, c, c, c, 1});
    return feed_candles(*build_ok(kind, {8}), cs).back();
  };
  EXPECT_EQ(last("DumplingTop", {5, 9, 7, 6, 6, 6, 6, 4}), 0.0);  // the top at index 1 is too early
  EXPECT_EQ(last("DumplingTop", {5, 6, 9, 7, 6, 6, 6, 4}), -1.0);
  EXPECT_EQ(last("FryPanBottom", {5, 6, 1, 3, 4, 4, 4, 6}), 1.0);
  EXPECT_EQ(last("FryPanBottom", {5, 6, 1, 3, 4, 4, 4, 5}), 0.0);  // back only to the first close
}

TEST(DemarkCounts, ConstructionChecksInOrder) {
  const std::string order = "invalid period: TD moving average ST1 period must be strictly less than ST2";
  expect_build_outcomes({
      {"TdSetup", {4, kZeroCount}, kPeriodZeroText}, {"TdSetup", {16777217, 9}, kMaxPeriodText},
      {"TdSetup", {4, 1e30}, ""}, {"TdCountdown", {1e30, 9, 2, kZeroCount}, kPeriodZeroText},
      {"TdCountdown", {4, 9, 16777217, 13}, kMaxPeriodText}, {"TdCountdown", {4, 1e30, 2, 1e30}, ""},
      {"TdCombo", {kZeroCount, 9, 2, 13}, kPeriodZeroText}, {"TdCombo", {16777217, 9, 2, 13}, kMaxPeriodText},
      {"TdDWave", {kZeroCount}, kPeriodZeroText}, {"TdDWave", {16777217}, kMaxPeriodText},
      {"TdDeMarker", {16777217}, kMaxPeriodText}, {"TdPressure", {kZeroCount}, kPeriodZeroText},
      {"TdRei", {16777217}, kMaxPeriodText}, {"DumplingTop", {16777217}, kMaxPeriodText},
      {"DumplingTop", {kZeroCount}, "invalid period: dumpling top needs period >= 5"},
      {"FryPanBottom", {4}, "invalid period: frying pan bottom needs period >= 5"},
      {"TdSequential", {16777217, 9, 2, kZeroCount}, kPeriodZeroText}, {"TdSequential", {4, 1e12, 2, 1e12}, ""},
      {"TdSequential", {4, 9, 16777217, 13}, kMaxPeriodText}, {"TdRiskLevel", {16777216, 1e12}, ""},
      {"TdLines", {16777217, kZeroCount}, kPeriodZeroText}, {"TdLines", {16777217, 2}, kMaxPeriodText},
      {"TdMovingAverage", {3, 3}, order}, {"TdMovingAverage", {5, 3}, order},
      {"TdMovingAverage", {kZeroCount, 16777217}, kPeriodZeroText}, {"TdMovingAverage", {2, 16777217}, kMaxPeriodText},
  });
}

}  // namespace
}  // namespace vsci
