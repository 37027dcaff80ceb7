#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/batch_reference.h"
#include "support/compare.h"
#include "support/counted_sums.h"
#include "support/kind_checks.h"
#include "support/series.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// ---- batch references, straight from the definitions ----

// fast - slow where both EMAs have a value.
Series ref_macd_line(const std::vector<double>& xs, std::size_t f, std::size_t s) {
  const Series ef = ref::ema(xs, f), es = ref::ema(xs, s);
  Series out(xs.size());
  for (std::size_t i = 0; i < xs.size(); ++i)
    if (ef[i] && es[i]) out[i] = *ef[i] - *es[i];
  return out;
}

Series ref_ppo(const std::vector<double>& xs, std::size_t f, std::size_t s) {
  const Series ef = ref::ema(xs, f), es = ref::ema(xs, s);
  Series out(xs.size());
  for (std::size_t i = 0; i < xs.size(); ++i)
    if (ef[i] && es[i]) out[i] = *es[i] == 0.0 ? 0.0 : (*ef[i] - *es[i]) * 100.0 / *es[i];
  return out;
}

// line - EMA(g) of the line.
Series ref_histogram(const Series& line, std::size_t g) {
  const Series sig = ref::ema(line, g);
  Series out(line.size());
  for (std::size_t i = 0; i < line.size(); ++i)
    if (sig[i]) out[i] = *line[i] - *sig[i];
  return out;
}

Series ref_trix(const std::vector<double>& xs, std::size_t p) {
  const Series e3 = ref::ema(ref::ema(ref::ema(xs, p), p), p);
  Series out(xs.size());
  std::optional<double> q;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (!e3[i]) continue;
    if (q) out[i] = *q == 0.0 ? 0.0 : (*e3[i] - *q) * 100.0 / *q;
    q = e3[i];
  }
  return out;
}

Series ref_tsi(const std::vector<double>& xs, std::size_t r, std::size_t s) {
  Series d(xs.size()), ad(xs.size());
  for (std::size_t i = 1; i < xs.size(); ++i) {
    d[i] = xs[i] - xs[i - 1];
    ad[i] = std::fabs(*d[i]);
  }
  const Series n2 = ref::ema(ref::ema(d, r), s), a2 = ref::ema(ref::ema(ad, r), s);
  Series out(xs.size());
  for (std::size_t i = 0; i < xs.size(); ++i)
    if (n2[i] && a2[i]) out[i] = *a2[i] == 0.0 ? 0.0 : (*n2[i] * 100.0) / *a2[i];
  return out;
}

Series ref_pmo(const std::vector<double>& xs, double p1, double p2) {
  const double a1 = 2.0 / p1, a2 = 2.0 / p2;
  Series out(xs.size());
  double v1 = 0.0, v2 = 0.0;
  for (std::size_t i = 1; i < xs.size(); ++i) {
    const double r = xs[i - 1] != 0.0 ? (xs[i] / xs[i - 1] - 1.0) * 100.0 : 0.0;
    v1 = i == 1 ? r : std::fma(a1, r, (1.0 - a1) * v1);
    v2 = i == 1 ? v1 * 10.0 : std::fma(a2, v1 * 10.0, (1.0 - a2) * v2);
    out[i] = v2;
  }
  return out;
}

// Stochastic of v over the last c entries of hist; 0 on a flat window.
double ref_stoch(const std::vector<double>& hist, std::size_t c, double v) {
  const auto lo = *std::min_element(hist.end() - c, hist.end());
  const auto hi = *std::max_element(hist.end() - c, hist.end());
  return hi > lo ? (v - lo) * 100.0 / (hi - lo) : 0.0;
}

Series ref_stc(const std::vector<double>& xs, std::size_t f, std::size_t s, std::size_t c, double k) {
  const Series m = ref_macd_line(xs, f, s);
  Series out(xs.size());
  std::vector<double> ms, s1s;
  std::optional<double> s1, s2;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (!m[i]) continue;
    ms.push_back(*m[i]);
    if (ms.size() < c) continue;
    const double z1 = ref_stoch(ms, c, *m[i]);
    s1 = s1 ? *s1 + k * (z1 - *s1) : z1;
    s1s.push_back(*s1);
    if (s1s.size() < c) continue;
    const double z2 = ref_stoch(s1s, c, *s1);
    s2 = s2 ? *s2 + k * (z2 - *s2) : z2;
    out[i] = std::clamp(*s2, 0.0, 100.0);
  }
  return out;
}

// Running sums of the positive deviations and of the negative ones' magnitudes
// from the Sma core's average; a sum whose window keeps no such deviation is
// +0.0.
Series ref_tii(const std::vector<double>& xs, std::size_t p, std::size_t w) {
  const Series avg = ref::sma(xs, p);
  Series out(xs.size());
  std::vector<double> devs;
  double sp = 0.0, sn = 0.0;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (!avg[i]) continue;
    if (devs.size() >= w) {
      const double v = devs[devs.size() - w];
      if (v > 0.0) sp -= v;
      if (v < 0.0) sn += v;
      bool any_pos = false, any_neg = false;
      for (std::size_t j = devs.size() - w + 1; j < devs.size(); ++j) any_pos |= devs[j] > 0.0, any_neg |= devs[j] < 0.0;
      if (!any_pos) sp = 0.0;
      if (!any_neg) sn = 0.0;
    }
    const double dev = xs[i] - *avg[i];
    devs.push_back(dev);
    if (dev > 0.0) sp += dev;
    if (dev < 0.0) sn -= dev;
    if (devs.size() < w) continue;
    out[i] = sp + sn > 0.0 ? std::clamp(sp * 100.0 / (sp + sn), 0.0, 100.0) : 50.0;
  }
  return out;
}

Series ref_elder(const std::vector<double>& xs, std::size_t t, std::size_t f, std::size_t s, std::size_t g) {
  const Series e = ref::ema(xs, t), h = ref_histogram(ref_macd_line(xs, f, s), g);
  Series out(xs.size());
  std::optional<double> pe, ph;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (!e[i] || !h[i]) continue;
    if (pe && ph) out[i] = (*h[i] > *ph && *e[i] > *pe) ? 1.0 : (*h[i] < *ph && *e[i] < *pe) ? -1.0 : 0.0;
    pe = e[i];
    ph = h[i];
  }
  return out;
}

Series ref_universal(const std::vector<double>& xs, double p) {
  const double x = 4.442882938158366 / p, a = std::exp(-x);
  const double c2 = 2.0 * a * std::cos(x), c3 = -(a * a), c1 = 1.0 - c2 - c3;
  Series out(xs.size());
  std::vector<double> ws, fs;
  double peak = 0.0;
  for (std::size_t i = 2; i < xs.size(); ++i) {
    const double w = (xs[i] - xs[i - 2]) * 0.5;
    const std::size_t k = fs.size();
    const double f = k >= 2 ? c1 * ((w + ws[k - 1]) * 0.5) + c2 * fs[k - 1] + c3 * fs[k - 2] : w;
    ws.push_back(w);
    fs.push_back(f);
    peak = std::max(std::fabs(f), peak * 0.991);
    out[i] = peak > 0.0 ? std::clamp(f / peak, -1.0, 1.0) : 0.0;
  }
  return out;
}

// ---- tests ----

TEST(MaOscillators, ConstructorChecksInOrder) {
  const std::string apo = "invalid period: APO fast period must be strictly less than slow";
  const std::string ppo = "invalid period: PPO fast period must be < slow period";
  const std::string macd = "invalid period: fast period must be strictly less than slow period";
  const std::string stc_fast = "invalid period: STC fast period must be strictly less than slow";
  const std::string stc_k = "invalid period: STC factor must be a finite value in (0, 1]";
  expect_build_outcomes({
      {"Apo", {kZeroCount, 16777217}, kPeriodZeroText},
      {"Apo", {3, 3}, apo},
      {"Apo", {16777218, 16777217}, apo},
      {"Apo", {2, 16777217}, kMaxPeriodText},
      {"Ppo", {4, 3}, ppo},
      {"Ppo", {2, 16777217}, kMaxPeriodText},
      {"PpoHistogram", {3, 2, kZeroCount}, kPeriodZeroText},
      {"PpoHistogram", {3, 2, 16777217}, kMaxPeriodText},  // the signal is checked before the pair
      {"PpoHistogram", {kZeroCount, 2, 9}, kPeriodZeroText},
      {"PpoHistogram", {3, 2, 9}, ppo},
      {"PpoHistogram", {2, 16777217, 9}, kMaxPeriodText},
      {"MacdHistogram", {12, 26, kZeroCount}, kPeriodZeroText},
      {"MacdHistogram", {26, 12, 16777217}, macd},
      {"MacdHistogram", {12, 26, 16777217}, kMaxPeriodText},
      {"Trix", {kZeroCount}, kPeriodZeroText},
      {"Trix", {16777217}, kMaxPeriodText},
      {"Tsi", {16777217, kZeroCount}, kPeriodZeroText},
      {"Tsi", {25, 16777217}, kMaxPeriodText},
      {"Pmo", {kZeroCount, 1}, kPeriodZeroText},
      {"Pmo", {1, 5}, "invalid period: PMO smoothing periods must be >= 2"},
      {"Pmo", {35, 1}, "invalid period: PMO smoothing periods must be >= 2"},
      {"Stc", {23, 50, kZeroCount, 0.5}, kPeriodZeroText},
      {"Stc", {50, 23, 10, 0}, stc_fast},
      {"Stc", {23, 50, 10, 0}, stc_k},
      {"Stc", {23, 50, 10, 1.5}, stc_k},
      {"Stc", {23, 16777217, 10, 2}, stc_k},
      {"Stc", {23, 16777217, 10, 0.5}, kMaxPeriodText},
      {"Stc", {23, 50, 16777217, 0.5}, kMaxPeriodText},
      {"Stc", {23, 50, 10, kNaN}, "parameter #3 must be finite"},
      {"Tii", {16777217, kZeroCount}, kPeriodZeroText},
      {"Tii", {16777217, 5}, kMaxPeriodText},
      {"Tii", {5, 16777217}, kMaxPeriodText},
      {"ElderImpulse", {kZeroCount, 26, 12, 9}, kPeriodZeroText},
      {"ElderImpulse", {16777217, 26, 12, 9}, kMaxPeriodText},
      {"ElderImpulse", {13, 26, 12, 9}, macd},
      {"ElderImpulse", {13, 12, 26, kZeroCount}, kPeriodZeroText},
      {"UniversalOscillator", {kZeroCount}, kPeriodZeroText},
      {"UniversalOscillator", {16777217}, kMaxPeriodText},
      // Bounds that do not exist: Pmo's smoothings size nothing.
      {"Pmo", {2, 1e9}, ""},
      {"Stc", {23, 50, 10, 1}, ""},
  });
}

TEST(MaOscillators, ElderImpulseWarmupWhenTheTrendAverageIsLongest) {
  expect_warmup("ElderImpulse", {40, 12, 26, 9}, 41);
}

TEST(MaOscillators, MatchBatchReferences) {
  for (const auto& xs : reference_walks()) {
    expect_series(run_kind("Apo", {5, 17}, xs), ref_macd_line(xs, 5, 17), 0.0, "Apo");
    expect_series(run_kind("Ppo", {5, 17}, xs), ref_ppo(xs, 5, 17), 0.0, "Ppo");
    expect_series(run_kind("PpoHistogram", {5, 17, 6}, xs), ref_histogram(ref_ppo(xs, 5, 17), 6), 0.0,
                  "PpoHistogram");
    expect_series(run_kind("MacdHistogram", {12, 26, 9}, xs), ref_histogram(ref_macd_line(xs, 12, 26), 9), 0.0,
                  "MacdHistogram");
    expect_series(run_kind("Trix", {6}, xs), ref_trix(xs, 6), 0.0, "Trix");
    expect_series(run_kind("Tsi", {25, 13}, xs), ref_tsi(xs, 25, 13), 0.0, "Tsi");
    expect_series(run_kind("Pmo", {35, 20}, xs), ref_pmo(xs, 35, 20), 0.0, "Pmo");
    expect_series(run_kind("Stc", {23, 50, 10, 0.5}, xs), ref_stc(xs, 23, 50, 10, 0.5), 0.0, "Stc");
    expect_series(run_kind("Stc", {3, 8, 4, 1}, xs), ref_stc(xs, 3, 8, 4, 1.0), 0.0, "Stc k=1");
    expect_series(run_kind("ElderImpulse", {13, 12, 26, 9}, xs), ref_elder(xs, 13, 12, 26, 9), 0.0,
                  "ElderImpulse");
    expect_series(run_kind("UniversalOscillator", {20}, xs), ref_universal(xs, 20), 0.0, "UniversalOscillator");
    expect_series(run_kind("Tii", {20, 15}, xs), ref_tii(xs, 20, 15), 0.0, "Tii");
    expect_series(run_kind("Tii", {3, 2}, xs), ref_tii(xs, 3, 2), 0.0, "Tii short");
  }
}

TEST(MaOscillators, FixedValuesOnDegenerateInput) {
  // A slow average of exactly 0 gives 0 rather than a division by it.
  const std::vector<double> zeros(30, 0.0);
  EXPECT_EQ(run_kind("Ppo", {3, 5}, zeros).back(), 0.0);
  EXPECT_EQ(run_kind("Trix", {2}, zeros).back(), 0.0);
  EXPECT_EQ(run_kind("Pmo", {3, 4}, zeros).back(), 0.0);
  // Trix of period 1 is the one-bar percent change from the second close on.
  const std::vector<double> xs = random_walk(50, 21);
  const Series trix = run_kind("Trix", {1}, xs);
  EXPECT_FALSE(trix[0].has_value());
  for (std::size_t i = 1; i < xs.size(); ++i) EXPECT_EQ(trix[i], (xs[i] - xs[i - 1]) * 100.0 / xs[i - 1]);
  // Tsi: a constant series gives exactly 0; a rising one 100 up to one rounding step.
  const std::vector<double> flat(60, 42.5);
  EXPECT_EQ(run_kind("Tsi", {5, 3}, flat).back(), 0.0);
  std::vector<double> rising = {10.0};
  for (int i = 1; i < 60; ++i) rising.push_back(rising.back() + 0.37 * (1 + i % 3));
  for (const auto& v : run_kind("Tsi", {5, 3}, rising)) {
    if (v) {
      EXPECT_NEAR(*v, 100.0, 2e-14);
    }
  }
  // Stc stays within [0, 100] and is 0 on a flat series (its stochastics are flat).
  EXPECT_EQ(run_kind("Stc", {2, 4, 3, 0.5}, flat).back(), 0.0);
  // The first UniversalOscillator value is the sign of the two-bar change.
  EXPECT_EQ(run_kind("UniversalOscillator", {10}, {5, 9, 7})[2], 1.0);
  EXPECT_EQ(run_kind("UniversalOscillator", {10}, {5, 1, 4})[2], -1.0);
  EXPECT_EQ(run_kind("UniversalOscillator", {10}, {5, 9, 5})[2], 0.0);
  // A half-difference that overflows repeats the last value and leaves the filter alone.
  const Series uo = run_kind("UniversalOscillator", {10}, {0, -1.5e308, 1, 1.5e308, 2});
  EXPECT_EQ(uo, (Series{std::nullopt, std::nullopt, 1.0, 1.0, 1.0}));
  // ElderImpulse with a one-bar trend average (the close itself): a repeated
  // close leaves the trend unchanged, so the vote is 0 whatever the histogram does.
  std::vector<double> walk = random_walk(60, 31);
  walk.push_back(walk.back());
  EXPECT_EQ(run_kind("ElderImpulse", {1, 3, 6, 3}, walk).back(), 0.0);
}

TEST(MaOscillators, TiiFlatStretchGivesFifty) {
  // Whole-number closes keep the average exact, so a constant series has no deviation.
  EXPECT_EQ(run_kind("Tii", {3, 4}, std::vector<double>(20, 7.0)).back(), 50.0);
  // With 0.1 the average's rounding leaves tiny negative deviations that decide.
  EXPECT_EQ(run_kind("Tii", {3, 4}, std::vector<double>(20, 0.1)).back(), 0.0);
  // After movement, once the window holds only flat bars the deviation sums
  // must be exactly empty, not the residue of their subtractions.
  std::vector<double> xs = {12, 19, 14, 5, 18, 22, 25, 8, 10, 25, 14, 8, 15, 21};
  xs.resize(xs.size() + 12, 15.0);
  const Series tii = run_kind("Tii", {3, 4}, xs);
  for (std::size_t i = xs.size() - 6; i < xs.size(); ++i) EXPECT_EQ(tii[i], 50.0) << "bar " << i;
}

// Whole-number closes, so the average of three is the plain window sum over 3,
// over several orders of magnitude, so the deviation sums round; flat
// stretches of 2 to 8 closes leave stretches of 1 to 7 zero deviations, and
// the deviation window runs from 2 to 5 and one longer than the longest.
TEST(MaOscillators, TiiSumsAcrossZeroDeviations) {
  const std::vector<double> moves = moves_with_zero_stretches(300, {2, 3, 4, 5, 8}, 63);
  std::vector<double> closes = {1e5};
  for (double m : moves) closes.push_back(std::round(closes.back() * std::exp(m)));
  std::vector<double> pos, neg;
  for (std::size_t i = 2; i < closes.size(); ++i) {
    const double dev = closes[i] - (closes[i - 2] + closes[i - 1] + closes[i]) / 3.0;
    pos.push_back(dev > 0.0 ? dev : 0.0);
    neg.push_back(dev < 0.0 ? -dev : 0.0);
  }
  for (std::size_t w : {2, 3, 4, 5, 8}) {
    const auto p = window_sums(pos, w), q = window_sums(neg, w);
    Series want(closes.size());
    for (std::size_t j = w - 1; j < pos.size(); ++j) {
      const double total = p[j] + q[j];
      want[j + 2] = total > 0.0 ? std::clamp(p[j] * 100.0 / total, 0.0, 100.0) : 50.0;
    }
    expect_series(run_kind("Tii", {3, double(w)}, closes), want, 0.0, "Tii window " + std::to_string(w));
  }
}

}  // namespace
}  // namespace vsci
