// Volume and money-flow kinds against batch loops written from their
// formulas (window sums taken afresh each bar, smoothers stepped unfused),
// their constructor checks, and windows that turn all-zero after rough data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "support/candle_series.h"
#include "support/compare.h"
#include "support/conformance.h"
#include "support/kind_checks.h"

namespace vsci {
namespace {

using namespace vsci::testing;

const ConformanceRows kConformance{
    {"BetterVolume"}, {"ChaikinMoneyFlow"}, {"ChaikinOscillator"}, {"DemandIndex"}, {"EaseOfMovement"},
    {"Evwma"},        {"ForceIndex"},       {"Kvo"},               {"Mfi"},         {"RollingVwap"},
    {"SessionVwap"},  {"TradeVolumeIndex"}, {"Tsv"},
};

double mfv(const Candle& c) {
  const double r = c.high - c.low;
  return r == 0.0 ? 0.0 : c.volume * (((c.close - c.low) - (c.high - c.close)) / r);
}
double typical(const Candle& c) { return (c.high + c.low + c.close) / 3.0; }

// xs[i + 1 - n] + ... + xs[i], from the oldest.
double window_sum(const std::vector<double>& xs, std::size_t i, std::size_t n) {
  double s = 0.0;
  for (std::size_t j = i + 1 - n; j <= i; ++j) s += xs[j];
  return s;
}

// Mean of the first `seed` present inputs, then alpha * x + (1 - alpha) * v.
Series smooth(const Series& in, double alpha, std::size_t seed) {
  Series out(in.size());
  double sum = -0.0, v = 0.0;
  std::size_t count = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (!in[i]) continue;
    if (count < seed) {
      sum = sum + *in[i];
      if (++count < seed) continue;
      v = sum / static_cast<double>(seed);
    } else {
      v = alpha * *in[i] + (1.0 - alpha) * v;
    }
    out[i] = v;
  }
  return out;
}
double alpha_of(std::size_t p) { return 2.0 / (static_cast<double>(p) + 1.0); }

Series fast_minus_slow(const Series& in, std::size_t f, std::size_t s) {
  const Series a = smooth(in, alpha_of(f), f), b = smooth(in, alpha_of(s), s);
  Series out(in.size());
  for (std::size_t i = 0; i < in.size(); ++i)
    if (b[i]) out[i] = *a[i] - *b[i];
  return out;
}

// x(cs, i) for every bar from `from` on, then the sum of the last n of them.
template <class F>
Series window_of(const Candles& cs, std::size_t from, std::size_t n, F x, std::function<double(double)> ratio) {
  std::vector<double> xs(cs.size());
  Series out(cs.size());
  for (std::size_t i = from; i < cs.size(); ++i) {
    xs[i] = x(cs, i);
    if (i + 1 >= from + n) out[i] = ratio(window_sum(xs, i, n));
  }
  return out;
}

using Reference = std::function<Series(const Candles&, std::size_t n)>;

const std::vector<std::pair<std::string, Reference>> kWindowKinds = {
    {"ChaikinMoneyFlow",
     [](const Candles& cs, std::size_t n) {
       Series out(cs.size());
       std::vector<double> f, v;
       for (std::size_t i = 0; i < cs.size(); ++i) {
         f.push_back(mfv(cs[i]));
         v.push_back(cs[i].volume);
         if (i + 1 >= n) out[i] = window_sum(v, i, n) == 0.0 ? 0.0 : window_sum(f, i, n) / window_sum(v, i, n);
       }
       return out;
     }},
    {"Mfi",
     [](const Candles& cs, std::size_t n) {
       Series out(cs.size());
       std::vector<double> up(cs.size()), down(cs.size());
       for (std::size_t i = 1; i < cs.size(); ++i) {
         const double tp = typical(cs[i]), prev = typical(cs[i - 1]);
         (tp > prev ? up[i] : down[i]) = tp == prev ? 0.0 : tp * cs[i].volume;
         if (i < n) continue;
         const double u = window_sum(up, i, n), d = window_sum(down, i, n);
         out[i] = d == 0.0 ? (u == 0.0 ? 50.0 : 100.0) : 100.0 - 100.0 / (1.0 + u / d);
       }
       return out;
     }},
    {"EaseOfMovement",
     [](const Candles& cs, std::size_t n) {
       return window_of(
           cs, 1, n,
           [](const Candles& c, std::size_t i) {
             const double mid = (c[i].high + c[i].low) / 2, prev = (c[i - 1].high + c[i - 1].low) / 2;
             return c[i].volume == 0.0 ? 0.0 : (c[i].high - c[i].low) * (mid - prev) * 1e8 / c[i].volume;
           },
           [n](double s) { return s / static_cast<double>(n); });
     }},
    {"Tsv",
     [](const Candles& cs, std::size_t n) {
       return window_of(
           cs, 1, n, [](const Candles& c, std::size_t i) { return c[i].volume * (c[i].close - c[i - 1].close); },
           [](double s) { return s; });
     }},
    {"RollingVwap",
     [](const Candles& cs, std::size_t n) {
       Series out(cs.size());
       std::vector<double> pv, v;
       for (std::size_t i = 0; i < cs.size(); ++i) {
         pv.push_back(cs[i].volume * typical(cs[i]));
         v.push_back(cs[i].volume);
         if (i + 1 >= n && window_sum(v, i, n) != 0.0) out[i] = window_sum(pv, i, n) / window_sum(v, i, n);
       }
       return out;
     }},
    {"Evwma",
     [](const Candles& cs, std::size_t n) {
       Series out(cs.size());
       std::vector<double> v;
       std::optional<double> avg;
       for (std::size_t i = 0; i < cs.size(); ++i) {
         v.push_back(cs[i].volume);
         if (i + 1 < n) continue;
         const double total = window_sum(v, i, n), c = cs[i].close;
         if (total > 0.0) avg = ((total - v[i]) * avg.value_or(c) + v[i] * c) / total;
         else if (!avg) avg = c;
         out[i] = avg;
       }
       return out;
     }},
    {"DemandIndex",
     [](const Candles& cs, std::size_t n) {
       Series out(cs.size());
       std::vector<double> v, r(cs.size());
       std::optional<double> bs, ss;
       double last = 0.0;
       const double a = alpha_of(n), nn = static_cast<double>(n);
       const auto weighted = [](const Candle& c) { return ((c.high + c.low) + 2.0 * c.close) * 0.25; };
       const auto step = [a](std::optional<double>& s, double x) {
         if (!std::isfinite(x)) return x;
         s = s ? a * x + (1.0 - a) * *s : x;
         return *s;
       };
       for (std::size_t i = 0; i < cs.size(); ++i) {
         v.push_back(cs[i].volume);
         if (i == 0) continue;
         const Candle &c = cs[i], &p = cs[i - 1];
         r[i] = std::max(c.high, p.high) - std::min(c.low, p.low);
         if (i < n) continue;
         const double av = window_sum(v, i, n) / nn, ar = window_sum(r, i, n) / nn;
         const double wp = weighted(c), wq = weighted(p);
         if (av != 0.0 && wp != 0.0 && wq != 0.0 && ar != 0.0) {
           const double rel = (wp - wq) / std::min(wp, wq), vr = c.volume / av;
           const double e = std::exp(std::min(std::fabs(rel) * 3.0 * wp / ar, 88.0));
           const double b = step(bs, rel > 0 ? vr : vr / e), s = step(ss, rel > 0 ? vr / e : vr);
           last = b > s ? 100.0 * (1.0 - s / b) : b < s ? -100.0 * (1.0 - b / s) : 0.0;
         }
         out[i] = last;
       }
       return out;
     }},
    {"ForceIndex",
     [](const Candles& cs, std::size_t n) {
       Series force(cs.size());
       for (std::size_t i = 1; i < cs.size(); ++i) force[i] = cs[i].volume * (cs[i].close - cs[i - 1].close);
       return smooth(force, alpha_of(n), n);
     }},
    {"BetterVolume",
     [](const Candles& cs, std::size_t n) {
       Series out(cs.size());
       for (std::size_t i = n - 1; i < cs.size(); ++i) {
         double least = kInf, most_rv = -kInf, most_vr = -kInf;
         for (std::size_t j = i + 1 - n; j < i; ++j) {
           const double r = cs[j].high - cs[j].low;
           least = std::min(least, cs[j].volume);
           most_rv = std::max(most_rv, r * cs[j].volume);
           if (r > 0) most_vr = std::max(most_vr, cs[j].volume / r);
         }
         const Candle& c = cs[i];
         const double r = c.high - c.low;
         const bool churn = r > 0 && c.volume / r > most_vr;
         if (r * c.volume > most_rv) out[i] = churn ? 4.0 : c.close < c.open ? -3.0 : 3.0;
         else out[i] = churn ? 2.0 : c.volume < least ? 1.0 : 0.0;
       }
       return out;
     }},
};

// Running sums drift from sums taken afresh by a few ulps of their terms.
double tolerance_of(const std::string& kind) {
  return kind == "ForceIndex" || kind == "BetterVolume" ? 0.0 : 1e-9;
}

TEST(MoneyFlow, WindowKindsMatchTheirFormulas) {
  for (const auto& [kind, ref] : kWindowKinds) {
    for (std::size_t n : {1, 2, 5, 14}) {
      for (const Candles& cs : candle_tapes()) {
        const Series got = run_candles(kind, {static_cast<double>(n)}, cs).values;
        expect_series(got, ref(cs, n), tolerance_of(kind), kind + " n=" + std::to_string(n));
      }
    }
  }
}

TEST(MoneyFlow, FastSlowAndRunningKindsMatchTheirFormulas) {
  for (const Candles& cs : candle_tapes()) {
    Series line(cs.size()), force(cs.size()), tvi(cs.size());
    double total = 0.0, pdm = 0.0, phlc = 0.0, cm = 0.0, trend = 0.0, index = 0.0, dir = 0.0;
    for (std::size_t i = 0; i < cs.size(); ++i) {
      const Candle& c = cs[i];
      line[i] = total = total + mfv(c);
      const double dm = c.high - c.low, hlc = c.high + c.low + c.close;
      if (i > 0) {
        const double t = hlc > phlc ? 1.0 : hlc < phlc ? -1.0 : trend;
        cm = trend == 0.0 || t != trend ? pdm + dm : cm + dm;
        trend = t;
        force[i] = cm == 0.0 ? 0.0 : c.volume * std::fabs(2.0 * (dm / cm - 1.0)) * t * 100.0;
        const double change = c.close - cs[i - 1].close;
        dir = change > 0.25 ? 1.0 : change < -0.25 ? -1.0 : dir;
        tvi[i] = index = index + c.volume * dir;
      }
      pdm = dm;
      phlc = hlc;
    }
    for (auto [f, s] : {std::pair<std::size_t, std::size_t>{1, 2}, {3, 10}, {12, 26}}) {
      const std::vector<double> params = {static_cast<double>(f), static_cast<double>(s)};
      EXPECT_TRUE(same_series(run_candles("ChaikinOscillator", params, cs).values, fast_minus_slow(line, f, s)));
      EXPECT_TRUE(same_series(run_candles("Kvo", params, cs).values, fast_minus_slow(force, f, s)));
    }
    EXPECT_TRUE(same_series(run_candles("TradeVolumeIndex", {0.25}, cs).values, tvi));
  }
}

TEST(MoneyFlow, SessionVwapRestartsEachLocalDay) {
  Candles cs = candle_tapes()[0];
  cs[0].time = -1;  // the day before the epoch
  for (std::int32_t offset : {0, 60, -330, 1439}) {
    Series want(cs.size());
    double day = kNaN, pv = 0.0, v = 0.0;
    for (std::size_t i = 0; i < cs.size(); ++i) {
      const double d = std::floor((std::floor(static_cast<double>(cs[i].time) / 1000.0) + 60.0 * offset) / 86400.0);
      if (d != day) day = d, pv = 0.0, v = 0.0;
      pv = pv + cs[i].volume * typical(cs[i]);
      v = v + cs[i].volume;
      want[i] = v > 0.0 ? pv / v : typical(cs[i]);
    }
    EXPECT_TRUE(same_series(run_candles("SessionVwap", {static_cast<double>(offset)}, cs).values, want)) << offset;
  }
}

// Rough volumes leave residue in running sums; a window that has turned
// all-zero must still give its promised result.
TEST(MoneyFlow, AllZeroWindowsKeepTheirPromisedResults) {
  Candles cs = make_tape(120, 41).candles;
  for (std::size_t i = 0; i < cs.size(); ++i) cs[i].volume = i < 100 ? 1e3 * std::sqrt(2.0 + i) : 0.0;
  for (std::size_t i = 100; i < cs.size(); ++i) cs[i] = Candle{cs[i].time, 7.25, 7.25, 7.25, 7.25, 0.0};
  const auto last = [&](const std::string& kind) { return run_candles(kind, {6}, cs).values.back(); };
  EXPECT_EQ(last("ChaikinMoneyFlow"), 0.0);
  EXPECT_EQ(last("Mfi"), 50.0);
  EXPECT_EQ(last("RollingVwap"), std::nullopt);
  EXPECT_EQ(last("Tsv"), 0.0);
  EXPECT_EQ(last("EaseOfMovement"), 0.0);
  const Series di = run_candles("DemandIndex", {6}, cs).values;
  EXPECT_EQ(di.back(), di[107]);
  const Series ev = run_candles("Evwma", {6}, cs).values;
  EXPECT_EQ(ev.back(), ev[105]);
}

TEST(MoneyFlow, ConstructorChecksInOrder) {
  const std::string order_kvo = "invalid period: KVO needs fast < slow";
  const std::string order_cho = "invalid period: Chaikin Oscillator needs fast < slow";
  const std::string tick = "invalid parameter: trade volume index min_tick must be finite and non-negative";
  std::vector<BuildCase> cases = {
      {"Kvo", {5, 5}, order_kvo},           {"Kvo", {5, 16777217}, kMaxPeriodText},
      {"Kvo", {kZeroCount, 3}, kPeriodZeroText}, {"Kvo", {16777217, 3}, order_kvo},
      {"ChaikinOscillator", {3, kZeroCount}, kPeriodZeroText}, {"ChaikinOscillator", {4, 3}, order_cho},
      {"ChaikinOscillator", {3, 16777217}, kMaxPeriodText},    {"ChaikinOscillator", {3, 16777216}, ""},
      {"TradeVolumeIndex", {0}, ""},        {"TradeVolumeIndex", {-0.0}, ""},
      {"TradeVolumeIndex", {-0.01}, tick},  {"SessionVwap", {-2147483648.0}, ""},
  };
  for (const char* kind : {"ChaikinMoneyFlow", "Mfi", "DemandIndex", "EaseOfMovement", "ForceIndex", "Tsv",
                           "RollingVwap", "Evwma", "BetterVolume"}) {
    cases.push_back({kind, {kZeroCount}, kPeriodZeroText});
    cases.push_back({kind, {16777217}, kMaxPeriodText});
    cases.push_back({kind, {16777216}, ""});
  }
  expect_build_outcomes(cases);
}

}  // namespace
}  // namespace vsci
