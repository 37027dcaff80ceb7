// Candle oscillators against batch references written from their formulas
// over random, trending and rough tapes (whose zero-volume and flat stretches
// must reach the fallbacks exactly, whatever residue running sums keep), and
// their construction checks in order.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/batch_reference.h"
#include "support/candle_checks.h"
#include "support/candle_series.h"
#include "support/counted_sums.h"
#include "support/kind_checks.h"

namespace vsci {
namespace {

using namespace vsci::testing;

double volume_of(const Candle& k, const Candle&) { return k.volume; }

Series ttm_trend(const Candles& c, const Params& p) {
  std::vector<double> mids;
  for (const Candle& k : c) mids.push_back((k.high + k.low) * 0.5);
  Series out = ref::sma(mids, std::size_t(p[0]));
  for (std::size_t i = 0; i < c.size(); ++i)
    if (out[i]) out[i] = c[i].close > *out[i] ? 1.0 : -1.0;
  return out;
}

Series twiggs(const Candles& c, const Params& p) {
  const auto form_b = [n = p[0]](double a, double x) { return a + (x - a) / n; };
  const auto ad = per_move(c, [](const Candle& k, const Candle& prev) {
    const double th = std::max(k.high, prev.close), tl = std::min(k.low, prev.close);
    return th - tl > 0.0 ? k.volume * ((2.0 * k.close - th) - tl) / (th - tl) : 0.0;
  });
  return moves_to_bars(seeded(ad, std::size_t(p[0]), form_b), seeded(per_move(c, volume_of), std::size_t(p[0]), form_b),
                       [](double a, double v) { return v == 0.0 ? 0.0 : a / v; });
}

Series ultimate(const Candles& c, const Params& p) {
  const auto bp = per_move(c, [](const Candle& k, const Candle& q) { return k.close - std::min(k.low, q.close); });
  const auto tr =
      per_move(c, [](const Candle& k, const Candle& q) { return std::max(k.high, q.close) - std::min(k.low, q.close); });
  const auto a = [&](std::size_t i, double n) {
    const double t = window_sum(tr, i, std::size_t(n));
    return t == 0.0 ? 0.5 : window_sum(bp, i, std::size_t(n)) / t;
  };
  Series out(c.size());
  for (std::size_t i = std::size_t(std::max({p[0], p[1], p[2]})) - 1; i < tr.size(); ++i)
    out[i + 1] = ((4.0 * a(i, p[0]) + 2.0 * a(i, p[1])) + a(i, p[2])) * 100.0 / 7.0;
  return out;
}

Series volume_oscillator(const Candles& c, const Params& p) {
  std::vector<double> v;
  for (const Candle& k : c) v.push_back(k.volume);
  Series out(c.size());
  for (std::size_t i = std::size_t(p[1]) - 1; i < c.size(); ++i) {
    const double fast = window_sum(v, i, std::size_t(p[0])) / p[0], slow = window_sum(v, i, std::size_t(p[1])) / p[1];
    out[i] = slow == 0.0 ? 0.0 : (fast - slow) * 100.0 / slow;
  }
  return out;
}

Series volume_rsi(const Candles& c, const Params& p) {
  const auto form_a = [n = p[0]](double a, double x) { return (a * (n - 1.0) + x) / n; };
  std::vector<double> gains, losses;
  for (double d : per_move(c, [](const Candle& k, const Candle& prev) { return k.volume - prev.volume; }))
    gains.push_back(std::max(d, 0.0)), losses.push_back(d < 0.0 ? -d : 0.0);
  return moves_to_bars(seeded(gains, std::size_t(p[0]), form_a), seeded(losses, std::size_t(p[0]), form_a),
                       [](double g, double l) { return g + l == 0.0 ? 50.0 : g / (g + l) * 100.0; });
}

Series vwma(const Candles& c, const Params& p) {
  const std::size_t n = std::size_t(p[0]);
  std::vector<double> v, pv, close;
  for (const Candle& k : c) v.push_back(k.volume), pv.push_back(k.close * k.volume), close.push_back(k.close);
  Series out(c.size());
  for (std::size_t i = n - 1; i < c.size(); ++i) {
    const double sv = window_sum(v, i, n);
    out[i] = sv > 0.0 ? window_sum(pv, i, n) / sv : window_sum(close, i, n) / p[0];
  }
  return out;
}

Series vzo(const Candles& c, const Params& p) {
  const auto sv = per_move(c, [](const Candle& k, const Candle& prev) {
    return k.close > prev.close ? k.volume : k.close < prev.close ? -k.volume : 0.0;
  });
  return moves_to_bars(ref::ema(sv, std::size_t(p[0])), ref::ema(per_move(c, volume_of), std::size_t(p[0])),
                       [](double s, double v) { return v == 0.0 ? 0.0 : 100.0 * s / v; });
}

Series williams_r(const Candles& c, const Params& p) {
  const std::size_t n = std::size_t(p[0]);
  Series out(c.size());
  for (std::size_t i = n - 1; i < c.size(); ++i) {
    double hh = c[i].high, ll = c[i].low;
    for (std::size_t j = i + 1 - n; j <= i; ++j) hh = std::max(hh, c[j].high), ll = std::min(ll, c[j].low);
    out[i] = hh == ll ? -50.0 : -100.0 * (hh - c[i].close) / (hh - ll);
  }
  return out;
}

TEST(CandleOscillators, MatchBatchReferences) {
  expect_candle_references({{"TtmTrend", {1}, ttm_trend},
                            {"TtmTrend", {14}, ttm_trend},
                            {"TwiggsMoneyFlow", {1}, twiggs},
                            {"TwiggsMoneyFlow", {21}, twiggs},
                            {"UltimateOscillator", {7, 14, 28}, ultimate, 1e-12},
                            {"UltimateOscillator", {28, 14, 7}, ultimate, 1e-12},
                            {"UltimateOscillator", {1, 2, 3}, ultimate, 1e-12},
                            {"UltimateOscillator", {4, 4, 4}, ultimate, 1e-12},
                            {"VolumeOscillator", {1, 2}, volume_oscillator, 1e-12},
                            {"VolumeOscillator", {5, 30}, volume_oscillator, 1e-12},
                            {"VolumeRsi", {1}, volume_rsi},
                            {"VolumeRsi", {14}, volume_rsi},
                            {"Vwma", {1}, vwma, 1e-12},
                            {"Vwma", {20}, vwma, 1e-12},
                            {"Vzo", {1}, vzo},
                            {"Vzo", {14}, vzo},
                            {"WilliamsR", {1}, williams_r},
                            {"WilliamsR", {14}, williams_r}},
                           candle_tapes());
}

// Short windows over runs of 1 to 7 bars of zero volume (some -0.0): the
// volume sums restart from exactly +0.0 as the last volume leaves, before the
// newest is added, so no residue of an emptied window reaches later values.
TEST(CandleOscillators, CountedVolumeWindowsRestartFromZeroAfterZeroVolumeRuns) {
  Candles c = rough_candles(2000, 7);
  for (std::size_t i = 0; i < c.size(); ++i) {
    if (i % 23 >= 5 && i % 23 < 6 + (i / 23) % 7) c[i].volume = i % 2 == 0 ? 0.0 : -0.0;
  }
  std::vector<double> v, close, low;
  for (const Candle& k : c) v.push_back(k.volume), close.push_back(k.close), low.push_back(k.low);
  for (std::size_t n = 2; n <= 5; ++n) {
    expect_series(run_candles("Vwma", {double(n)}, c), ref::vwma(close, v, n), 0.0, "Vwma " + std::to_string(n));
    expect_series(run_candles("VolumeWeightedSr", {double(n)}, c), ref::vwma(low, v, n), 0.0, "VolumeWeightedSr");
    for (std::size_t f = 1; f < n; ++f) {
      // The simple average's running sums, re-summed from -0.0 every 16 n.
      const auto fs = ref::counted_sums(v, f, 16 * f, -0.0), ss = ref::counted_sums(v, n, 16 * n, -0.0);
      Series want(c.size());
      for (std::size_t i = n - 1; i < c.size(); ++i) {
        const double fast = fs[i] / double(f), slow = ss[i] / double(n);
        want[i] = slow == 0.0 ? 0.0 : (fast - slow) * 100.0 / slow;
      }
      const Series got = run_candles("VolumeOscillator", {double(f), double(n)}, c);
      expect_series(got, want, 0.0, "VolumeOscillator");
      // A slow window without volume gives exactly +0.0.
      for (std::size_t i = n - 1; i < c.size(); ++i) {
        if (window_sum(v, i, n) == 0.0) {
          EXPECT_TRUE(same_bits(got[i], 0.0)) << i;
        }
      }
    }
  }
}

// Stretches of 1 to 7 bars that close on their low (no buying pressure, some
// range) and of flat bars at the previous close (neither): each window's two
// sums, the new pair added before the one p places back leaves, restart from
// exactly +0.0 once they hold no non-zero term and are re-summed from +0.0
// every p pairs; windows 2 to 5 and one longer than the longest stretch.
TEST(CandleOscillators, UltimateSumsAcrossStretchesWithoutPressure) {
  Candles c = rough_candles(1200, 11);
  for (std::size_t i = 1; i < c.size(); ++i) {
    const std::size_t phase = i % 29, run = 1 + (i / 29) % 7;
    const double pc = c[i - 1].close;
    if (phase >= 3 && phase < 3 + run) {
      c[i].low = c[i].close = std::min(c[i].low, pc);
      c[i].open = std::max(c[i].open, c[i].low);
    } else if (phase >= 17 && phase < 17 + run) {
      c[i].open = c[i].high = c[i].low = c[i].close = pc;
    }
  }
  std::vector<double> bp, tr;
  for (std::size_t i = 1; i < c.size(); ++i) {
    const double low = std::min(c[i].low, c[i - 1].close);
    bp.push_back(c[i].close - low);
    tr.push_back(std::max(c[i].high, c[i - 1].close) - low);
  }
  for (const Params& p : std::vector<Params>{{2, 3, 4}, {5, 4, 3}, {3, 5, 2}, {8, 2, 5}, {2, 8, 8}}) {
    std::vector<std::vector<double>> a;
    for (double n : p) {
      const WindowSumRule rule{.new_first = true, .resum_every = std::size_t(n), .resum_start = 0.0};
      const auto b = window_sums(bp, std::size_t(n), rule), t = window_sums(tr, std::size_t(n), rule);
      a.emplace_back();
      for (std::size_t j = 0; j < t.size(); ++j) a.back().push_back(t[j] != 0.0 ? b[j] / t[j] : 0.5);
    }
    Series want(c.size());
    for (std::size_t j = std::size_t(std::max({p[0], p[1], p[2]})) - 1; j < bp.size(); ++j)
      want[j + 1] = ((4.0 * a[0][j] + 2.0 * a[1][j]) + a[2][j]) * 100.0 / 7.0;
    expect_series(run_candles("UltimateOscillator", p, c), want, 0.0, "UltimateOscillator");
  }
}

TEST(CandleOscillators, ConstructionChecksInOrder) {
  const std::string zero = kPeriodZeroText, too_large = kMaxPeriodText;
  const std::string order = "invalid period: VolumeOscillator needs fast < slow";
  std::vector<BuildCase> cases = {
      {"UltimateOscillator", {7, kZeroCount, 16777217}, zero}, {"UltimateOscillator", {7, 14, 16777217}, too_large},
      {"UltimateOscillator", {16777216, 14, 7}, ""},           {"UltimateOscillator", {7, 14}, "missing parameter #2"},
      {"VolumeOscillator", {kZeroCount, 5}, zero},             {"VolumeOscillator", {5, 5}, order},
      {"VolumeOscillator", {16777217, 5}, order},              {"VolumeOscillator", {5, 16777217}, too_large},
      {"VolumeOscillator", {16777215, 16777216}, ""},
  };
  for (const char* kind : {"TtmTrend", "TwiggsMoneyFlow", "VolumeRsi", "Vwma", "Vzo", "WilliamsR"}) {
    cases.insert(cases.end(), {{kind, {kZeroCount}, zero}, {kind, {16777217}, too_large}, {kind, {16777216}, ""}});
  }
  expect_build_outcomes(cases);
}

}  // namespace
}  // namespace vsci
