// Volume and money-flow kinds against one batch loop written from their
// formulas (window sums taken afresh each bar, smoothers stepped unfused),
// windows that turn all-zero after rough data, and the constructor checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>

#include "support/candle_run.h"
#include "support/compare.h"
#include "support/kind_checks.h"

namespace vsci {
namespace {

using namespace vsci::testing;

double alpha_of(std::size_t p) { return 2.0 / (static_cast<double>(p) + 1.0); }

// Mean of the first `seed` present inputs, then alpha * x + (1 - alpha) * v.
Series smooth(const Series& in, double alpha, std::size_t seed) {
  Series out(in.size());
  double sum = -0.0, v = 0.0;
  std::size_t count = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (!in[i]) continue;
    if (count++ >= seed) v = alpha * *in[i] + (1.0 - alpha) * v;
    else if (sum = sum + *in[i]; count == seed) v = sum / static_cast<double>(seed);
    else continue;
    out[i] = v;
  }
  return out;
}

Series fast_minus_slow(const Series& in, std::size_t f, std::size_t s) {
  const Series a = smooth(in, alpha_of(f), f), b = smooth(in, alpha_of(s), s);
  Series out(in.size());
  for (std::size_t i = 0; i < in.size(); ++i)
    if (b[i]) out[i] = *a[i] - *b[i];
  return out;
}

// The parameters each kind is built with for a count n.
std::vector<double> params_of(const std::string& kind, std::size_t n) {
  const double x = static_cast<double>(n);
  if (kind == "Kvo" || kind == "ChaikinOscillator") return {x, 2 * x + 1};
  if (kind == "TradeVolumeIndex") return {0.05 * x};  // min tick
  if (kind == "SessionVwap") return {97 * x - 330};   // offset in minutes
  return {x};
}

// The sums of the last n of xs[from..i] as a running window keeps them: the
// oldest term subtracted before the newest is added, exactly +0.0 once the
// subtracted term was the last non-zero one, and with `resum` recomputed from
// -0.0 on every n-th push.
std::vector<double> running(const std::vector<double>& xs, std::size_t from, std::size_t n, bool resum) {
  std::vector<double> out(xs.size());
  double s = 0.0;
  for (std::size_t i = from; i < xs.size(); ++i) {
    if (i >= from + n) {
      const double old = xs[i - n];
      s -= old;
      if (old != 0.0 && std::all_of(xs.begin() + (i - n + 1), xs.begin() + i, [](double x) { return x == 0.0; }))
        s = 0.0;
    }
    s = s + xs[i];
    if (resum && (i + 1 - from) % n == 0) s = std::accumulate(xs.begin() + (i + 1 - n), xs.begin() + (i + 1), -0.0);
    out[i] = s;
  }
  return out;
}

// Every kind over one tape, bar by bar, built with params_of(kind, n).
std::map<std::string, Series> references(const Candles& cs, std::size_t n) {
  const std::size_t len = cs.size();
  std::map<std::string, Series> out;
  for (const char* k : {"ChaikinMoneyFlow", "Mfi", "EaseOfMovement", "Tsv", "RollingVwap", "Evwma", "DemandIndex",
                        "BetterVolume", "TradeVolumeIndex", "SessionVwap"})
    out[k].resize(len);
  std::vector<double> mf(len), vol(len), pv(len), up(len), down(len), move(len), sv(len), range2(len);
  Series force(len), line(len), kvo_force(len);
  std::optional<double> evwma, buying, selling;
  double last = 0.0, nn = static_cast<double>(n), a = alpha_of(n);
  double total = 0.0, cm = 0.0, trend = 0.0, index = 0.0, dir = 0.0, day = kNaN, day_pv = 0.0, day_v = 0.0;
  const auto tp = [](const Candle& c) { return (c.high + c.low + c.close) / 3.0; };
  const auto wp = [](const Candle& c) { return ((c.high + c.low) + 2.0 * c.close) * 0.25; };
  const auto step = [a](std::optional<double>& s, double x) {
    return std::isfinite(x) ? *(s = s ? a * x + (1.0 - a) * *s : x) : x;
  };
  for (std::size_t i = 0; i < len; ++i) {
    const Candle& c = cs[i];
    const double r = c.high - c.low;
    mf[i] = r == 0.0 ? 0.0 : c.volume * (((c.close - c.low) - (c.high - c.close)) / r);
    vol[i] = c.volume;
    pv[i] = c.volume * tp(c);
    line[i] = total = total + mf[i];
    const double offset = params_of("SessionVwap", n)[0];
    const double today = std::floor((std::floor(static_cast<double>(c.time) / 1000.0) + 60.0 * offset) / 86400.0);
    if (today != day) day = today, day_pv = 0.0, day_v = 0.0;
    day_pv = day_pv + c.volume * tp(c);
    day_v = day_v + c.volume;
    out["SessionVwap"][i] = day_v > 0.0 ? day_pv / day_v : tp(c);
    if (i > 0) {
      const Candle& p = cs[i - 1];
      const double hlc = c.high + c.low + c.close, prev_hlc = p.high + p.low + p.close;
      const double t = hlc > prev_hlc ? 1.0 : hlc < prev_hlc ? -1.0 : trend;
      cm = trend == 0.0 || t != trend ? (p.high - p.low) + r : cm + r;
      trend = t;
      kvo_force[i] = cm == 0.0 ? 0.0 : c.volume * std::fabs(2.0 * (r / cm - 1.0)) * t * 100.0;
      const double change = c.close - p.close, tick = 0.05 * nn;
      dir = change > tick ? 1.0 : change < -tick ? -1.0 : dir;
      out["TradeVolumeIndex"][i] = index = index + c.volume * dir;
      (tp(c) > tp(p) ? up[i] : down[i]) = tp(c) == tp(p) ? 0.0 : tp(c) * c.volume;
      const double mid = (c.high + c.low) / 2, prev_mid = (p.high + p.low) / 2;
      move[i] = c.volume == 0.0 ? 0.0 : r * (mid - prev_mid) * 1e8 / c.volume;
      force[i] = sv[i] = c.volume * (c.close - p.close);
      range2[i] = std::max(c.high, p.high) - std::min(c.low, p.low);
    }
  }
  const auto mfs = running(mf, 0, n, false), vols = running(vol, 0, n, false), pvs = running(pv, 0, n, true);
  const auto vols_resummed = running(vol, 0, n, true), ups = running(up, 1, n, true), downs = running(down, 1, n, true);
  const auto moves = running(move, 1, n, true), svs = running(sv, 1, n, false), ranges = running(range2, 1, n, false);
  for (std::size_t i = n - 1; i < len; ++i) {
    const Candle& c = cs[i];
    const double r = c.high - c.low;
    out["ChaikinMoneyFlow"][i] = vols[i] == 0.0 ? 0.0 : mfs[i] / vols[i];
    if (vols_resummed[i] != 0.0) out["RollingVwap"][i] = pvs[i] / vols_resummed[i];
    if (vols[i] > 0.0) evwma = ((vols[i] - c.volume) * evwma.value_or(c.close) + c.volume * c.close) / vols[i];
    out["Evwma"][i] = evwma = evwma.value_or(c.close);
    double least = kInf, most_rv = -kInf, most_vr = -kInf;
    for (std::size_t j = i + 1 - n; j < i; ++j) {
      const double rj = cs[j].high - cs[j].low;
      least = std::min(least, cs[j].volume);
      most_rv = std::max(most_rv, rj * cs[j].volume);
      if (rj > 0) most_vr = std::max(most_vr, cs[j].volume / rj);
    }
    const bool churn = r > 0 && c.volume / r > most_vr;
    out["BetterVolume"][i] = r * c.volume > most_rv ? (churn ? 4.0 : c.close < c.open ? -3.0 : 3.0)
                                                    : (churn ? 2.0 : c.volume < least ? 1.0 : 0.0);
    if (i < n) continue;
    const double u = ups[i], d = downs[i];
    out["Mfi"][i] = d == 0.0 ? (u == 0.0 ? 50.0 : 100.0) : 100.0 - 100.0 / (1.0 + u / d);
    out["EaseOfMovement"][i] = moves[i] / nn;
    out["Tsv"][i] = svs[i];
    const double av = vols[i] / nn, ar = ranges[i] / nn, p1 = wp(c), p0 = wp(cs[i - 1]);
    if (av != 0.0 && p1 != 0.0 && p0 != 0.0 && ar != 0.0) {
      const double rel = (p1 - p0) / std::min(p1, p0), vr = c.volume / av;
      const double e = std::exp(std::min(std::fabs(rel) * 3.0 * p1 / ar, 88.0));
      const double b = step(buying, rel > 0 ? vr : vr / e), s = step(selling, rel > 0 ? vr / e : vr);
      last = b > s ? 100.0 * (1.0 - s / b) : b < s ? -100.0 * (1.0 - b / s) : 0.0;
    }
    out["DemandIndex"][i] = last;
  }
  out["ForceIndex"] = smooth(force, a, n);
  out["ChaikinOscillator"] = fast_minus_slow(line, n, 2 * n + 1);
  out["Kvo"] = fast_minus_slow(kvo_force, n, 2 * n + 1);
  return out;
}

TEST(MoneyFlow, MatchTheirFormulas) {
  std::vector<Candles> tapes = candle_run_tapes();
  tapes.push_back(candles_with_flat_stretches(400, 71));
  for (std::size_t n : {1, 2, 3, 4, 5, 7, 8, 14}) {
    for (Candles cs : tapes) {
      cs[0].time = -1;  // the day before the epoch
      for (const auto& [kind, want] : references(cs, n)) {
        expect_series(run_candle_kind(kind, params_of(kind, n), cs).values, want, 0.0, kind + std::to_string(n));
      }
    }
  }
}

// Running sums of 1e16-sized and unit terms keep residue after the terms
// leave; whatever the re-summation phase, a window that has turned all-zero
// gives its promised result.
TEST(MoneyFlow, AllZeroWindowsKeepTheirPromisedResults) {
  for (std::size_t lead = 1; lead <= 4; ++lead) {
    Candles cs(lead, Candle{0, 1, 1, 1, 1, 0});
    for (auto [p, v] : {std::pair{2.0, 5e15}, {4.0, 0.25}, {8.0, 0.125}}) cs.push_back({0, p, p + 1, p, p + 1, v});
    cs.insert(cs.end(), 8, Candle{0, 9, 9, 9, 9, 0});
    const Series cmf = run_candle_kind("ChaikinMoneyFlow", {4}, cs).values, mfi = run_candle_kind("Mfi", {4}, cs).values;
    const Series vwap = run_candle_kind("RollingVwap", {4}, cs).values;
    for (std::size_t i = lead + 6; i < cs.size(); ++i) {  // windows without any volume
      EXPECT_TRUE(same_bits(cmf[i], 0.0)) << lead << " " << i;
      EXPECT_EQ(mfi[i], 50.0) << lead << " " << i;
      EXPECT_EQ(vwap[i], std::nullopt) << lead << " " << i;
    }
  }
}

TEST(MoneyFlow, ConstructorChecksInOrder) {
  const std::string kvo = "invalid period: KVO needs fast < slow";
  const std::string cho = "invalid period: Chaikin Oscillator needs fast < slow";
  const std::string tick = "invalid parameter: trade volume index min_tick must be finite and non-negative";
  std::vector<BuildCase> cases = {
      {"Kvo", {5, 5}, kvo}, {"Kvo", {5, 16777217}, kMaxPeriodText}, {"Kvo", {kZeroCount, 3}, kPeriodZeroText},
      {"Kvo", {16777217, 3}, kvo}, {"ChaikinOscillator", {3, kZeroCount}, kPeriodZeroText},
      {"ChaikinOscillator", {4, 3}, cho}, {"ChaikinOscillator", {3, 16777217}, kMaxPeriodText},
      {"ChaikinOscillator", {3, 16777216}, ""}, {"TradeVolumeIndex", {0}, ""}, {"TradeVolumeIndex", {-0.0}, ""},
      {"TradeVolumeIndex", {-0.01}, tick}, {"SessionVwap", {-2147483648.0}, ""},
  };
  for (const char* kind : {"ChaikinMoneyFlow", "Mfi", "DemandIndex", "EaseOfMovement", "ForceIndex", "Tsv",
                           "RollingVwap", "Evwma", "BetterVolume"}) {
    cases.insert(cases.end(), {{kind, {kZeroCount}, kPeriodZeroText}, {kind, {16777217}, kMaxPeriodText},
                               {kind, {16777216}, ""}});
  }
  expect_build_outcomes(cases);
}

}  // namespace
}  // namespace vsci
