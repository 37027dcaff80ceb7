// Stop-and-reverse, breakout and line-break kinds against loops written from
// their rules over random and trending candles, and on hand-made bars.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "support/candle_checks.h"
#include "support/kind_checks.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// SarExt from its parameters; AcceleratingStopReverse's (a, s, m) serve both
// sides, without start level or offset, unsigned.
Series parabolic(const Candles& cs, const Params& params) {
  const bool ext = params.size() == 8;
  const Params p = ext ? params : Params{0, 0, params[0], params[1], params[2], params[0], params[1], params[2]};
  Series out(cs.size());
  bool lng = true;
  double stop = 0, ep = 0, af = 0, ph = 0, pl = 0, bh = 0, bl = 0;
  for (std::size_t i = 0; i < cs.size(); ++i) {
    const double h = cs[i].high, l = cs[i].low;
    double cand = 0;
    if (i == 0) {
      ph = h, pl = l;
      continue;
    } else if (i == 1) {
      lng = p[0] != 0 ? p[0] > 0 : !(pl - l > 0 && pl - l > h - ph);
      stop = p[0] != 0 ? std::fabs(p[0]) : lng ? pl : ph;
      ep = lng ? h : l, af = lng ? p[2] : p[5], ph = bh = h, pl = bl = l, cand = stop;
    } else {
      cand = stop + af * (ep - stop);
      cand = lng ? std::min({cand, pl, bl}) : std::max({cand, ph, bh});
    }
    if (lng && l <= cand) {
      const double s = std::max({ep, ph, h});
      lng = false, stop = ext ? s + p[1] * std::fabs(s) : s, ep = l, af = p[5];
    } else if (!lng && h >= cand) {
      const double s = std::min({ep, pl, l});
      lng = true, stop = ext ? s - p[1] * std::fabs(s) : s, ep = h, af = p[2];
    } else {
      stop = cand;
      if (lng && h > ep) ep = h, af = std::min(af + p[3], p[4]);
      if (!lng && l < ep) ep = l, af = std::min(af + p[6], p[7]);
    }
    bh = ph, bl = pl, ph = h, pl = l;
    out[i] = ext && !lng ? -stop : stop;
  }
  return out;
}

// The highs and lows in counted running sums re-summed every n pushes.
Series hilo(const Candles& cs, const Params& p) {
  const std::size_t n = count_at(p, 0);
  const auto sums = [&](double Candle::*f) {
    return window_sums(candle_field(cs, [f](const Candle& c) { return c.*f; }), n, {.resum_every = n});
  };
  const auto highs = sums(&Candle::high), lows = sums(&Candle::low);
  Series out(cs.size());
  bool up = true;
  for (std::size_t i = n; i < cs.size(); ++i) {
    const double ah = highs[i - 1] / p[0], al = lows[i - 1] / p[0];
    if (cs[i].close > ah) up = true;
    else if (cs[i].close < al) up = false;
    out[i] = up ? al : ah;
  }
  return out;
}

Series new_price_lines(const Candles& cs, const Params& p) {
  const std::size_t n = count_at(p, 0);
  Series out(cs.size());
  for (std::size_t i = 1; i < cs.size(); ++i) {
    std::size_t up = 0, down = 0;
    while (up < i && cs[i - up].close > cs[i - up - 1].close) ++up;
    while (down < i && cs[i - down].close < cs[i - down - 1].close) ++down;
    out[i] = up >= n ? -1.0 : down >= n ? 1.0 : 0.0;
  }
  return out;
}

Series pivot_reversal(const Candles& cs, const Params& p) {
  const std::size_t left = count_at(p, 0), right = count_at(p, 1);
  Series out(cs.size());
  std::optional<double> ph, pl;
  for (std::size_t i = left + right; i < cs.size(); ++i) {
    const std::size_t c = i - right;
    bool high = true, low = true;
    for (std::size_t j = i - left - right; j <= i; ++j) {
      if (j != c) high = high && cs[c].high > cs[j].high, low = low && cs[c].low < cs[j].low;
    }
    if (high) ph = cs[c].high;
    if (low) pl = cs[c].low;
    const double x = cs[i].close, prev = cs[i - 1].close;
    out[i] = pl && x < *pl && prev >= *pl ? -1.0 : ph && x > *ph && prev <= *ph ? 1.0 : 0.0;
  }
  return out;
}

Series three_line_break(const Candles& cs, const Params& p) {
  const std::size_t n = count_at(p, 0);
  Series out(cs.size());
  std::vector<double> lines = {cs[0].close};
  int dir = 0;
  for (std::size_t i = 1; i < cs.size(); ++i) {
    const double x = cs[i].close;
    const auto kept = lines.end() - static_cast<std::ptrdiff_t>(std::min(n, lines.size()));
    const auto [lo, hi] = std::minmax_element(kept, lines.end());
    const int drawn = dir >= 0 ? (x > lines.back() ? 1 : x < *lo ? -1 : 0) : (x < lines.back() ? -1 : x > *hi ? 1 : 0);
    if (drawn != 0) dir = drawn, lines.push_back(x);
    if (dir != 0) out[i] = dir;
  }
  return out;
}

Candles tape(unsigned seed, double drift) {
  Candles cs = make_tape(1000, seed, 100.0, drift).candles;
  for (std::size_t i = 400; i < 430; ++i) cs[i] = {0, 64.0, 64.0, 64.0, 64.0, 0.0};
  return cs;
}

Series time_stop(const Candles& cs, const Params& p) {
  Series out;
  for (std::size_t i = 0; i < cs.size(); ++i) out.push_back(std::min((i + 1.0) / p[0], 1.0));
  return out;
}

TEST(StopSystems, MatchLoopsWrittenFromTheirRules) {
  const std::vector<CandleRow> rows = {
      {"AcceleratingStopReverse", {0.02, 0.02, 0.2}, parabolic},
      {"AcceleratingStopReverse", {0.1, 0.05, 0.5}, parabolic},
      {"SarExt", {0, 0.01, 0.02, 0.02, 0.2, 0.03, 0.01, 0.3}, parabolic},
      {"SarExt", {-150, 0.05, 0.01, 0.02, 0.1, 0.02, 0.03, 0.4}, parabolic},
      {"SarExt", {30, 0, 0.02, 0.02, 0.2, 0.02, 0.02, 0.2}, parabolic},
      {"NewPriceLines", {2}, new_price_lines},    {"NewPriceLines", {4}, new_price_lines},
      {"PivotReversal", {1, 1}, pivot_reversal}, {"PivotReversal", {5, 2}, pivot_reversal},
      {"PivotReversal", {2, 6}, pivot_reversal}, {"TimeBasedStop", {7}, time_stop},
      {"HiLoActivator", {1}, hilo},              {"HiLoActivator", {3}, hilo},
      {"HiLoActivator", {10}, hilo},
  };
  const std::vector<Candles> tapes = {tape(61, 0.0), tape(62, 0.6), tape(63, -0.6)};
  expect_candle_references(rows, tapes);
  // Windows 2 to 5 and one longer than a stretch of bars at price 0.
  Candles zeros = candles_with_flat_stretches(400, 80);
  for (Candle& c : zeros)
    if (c.volume == 0.0) c = {c.time, 0.0, 0.0, 0.0, 0.0, 0.0};
  std::vector<CandleRow> windows;
  for (std::size_t n : kStretchWindows) windows.push_back({"HiLoActivator", {double(n)}, hilo});
  expect_candle_references(windows, {zeros});
  expect_candle_references({{"ThreeLineBreak", {1}, three_line_break}, {"ThreeLineBreak", {3}, three_line_break}},
                           tapes, true);
}

TEST(StopSystems, HandMadeBars) {
  struct Case {
    std::string kind;
    Params params;
    std::vector<std::array<double, 3>> bars;  // high, low, close (= open)
    Series want;
  };
  const Params asr = {0.02, 0.02, 0.2}, start = {-100, 0, 0.02, 0.02, 0.2, 0.02, 0.02, 0.2};
  const std::optional<double> none;
  const std::vector<Case> cases = {
      {"AcceleratingStopReverse", asr, {{10, 8, 9}, {11, 9, 10}}, {none, 8.0}},
      {"AcceleratingStopReverse", asr, {{10, 8, 9}, {9, 7, 8}}, {none, 10.0}},
      {"AcceleratingStopReverse", asr, {{10, 8, 9}, {10.5, 6, 7}}, {none, 6.0}},  // short, then at once long
      {"SarExt", start, {{50, 40, 45}, {52, 41, 50}, {51, 45, 48}}, {none, -100.0, -(100 + 0.02 * (41.0 - 100))}},
      {"SarExt", {0, 0.1, 0.02, 0.02, 0.2, 0.02, 0.02, 0.2}, {{48, 40, 44}, {50, 45, 47}, {49, 39, 39.5}},
       {none, 40.0, -55.0}},
      // Pivot high 5 confirmed on bar 5; closes above it on bars 6 and 7 give +1 once.
      {"PivotReversal", {2, 2}, {{2, 1, 1}, {3, 1, 2}, {5, 2, 3}, {4, 2, 3}, {4.5, 3, 4.5}, {7, 5, 6}, {7, 5, 6.5}},
       {none, none, none, none, 0.0, 1.0, 0.0}},
  };
  for (const Case& k : cases) {
    Candles cs;
    for (const auto& [h, l, c] : k.bars) cs.push_back({0, c, h, l, c, 1.0});
    expect_series(feed_candles(*build_ok(k.kind, k.params), cs), k.want, 0.0, k.kind);
  }
}

TEST(StopSystems, ConstructionChecksInOrder) {
  const std::string mult = "multiplier must be greater than zero";
  const std::string lines = "invalid period: new price lines count must be >= 2";
  const std::string order = "invalid period: acceleration init must be <= max";
  const double max = 16777216, over = 16777217;
  expect_build_outcomes({
      {"AcceleratingStopReverse", {0, 0.02, 0.01}, mult},   {"AcceleratingStopReverse", {0.02, -0.1, 0.2}, mult},
      {"AcceleratingStopReverse", {0.3, 0.02, 0.2}, "invalid period: af_start must be <= af_max"},
      {"AcceleratingStopReverse", {0.2, 0.02, 0.2}, ""},    {"SarExt", {0, -0.01, 0, 0, 0, 0, 0, 0}, mult},
      {"SarExt", {-5, -0.0, 0.02, 0, 0.2, 0.02, 0.02, 0.2}, mult},
      {"SarExt", {0, 0, 0.3, 0.02, 0.2, 0, 0, 0}, order},
      {"SarExt", {0, 0, 0.02, 0.02, 0.2, 0.02, 0.02, 0}, mult},
      {"SarExt", {0, 0, 0.02, 0.02, 0.2, 0.3, 0.02, 0.2}, order},
      {"SarExt", {1e300, 0, 0.2, 0.02, 0.2, 0.2, 0.02, 0.2}, ""},  {"HiLoActivator", {kZeroCount}, kPeriodZeroText},
      {"HiLoActivator", {over}, kMaxPeriodText}, {"NewPriceLines", {kZeroCount}, lines}, {"NewPriceLines", {1}, lines},
      {"NewPriceLines", {over}, kMaxPeriodText},  {"PivotReversal", {kZeroCount, over}, kPeriodZeroText},
      {"PivotReversal", {over, kZeroCount}, kPeriodZeroText}, {"PivotReversal", {over, 1}, kMaxPeriodText},
      {"PivotReversal", {1, over}, kMaxPeriodText},           {"PivotReversal", {max, max}, ""},
      {"ThreeLineBreak", {kZeroCount}, kPeriodZeroText},      {"ThreeLineBreak", {over}, kMaxPeriodText},
      {"TimeBasedStop", {kZeroCount}, kPeriodZeroText},       {"TimeBasedStop", {over}, kMaxPeriodText},
      {"TimeBasedStop", {max}, ""},
  });
}

}  // namespace
}  // namespace vsci
