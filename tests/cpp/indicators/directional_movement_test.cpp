// The true-range and directional-movement kinds against batch loops written
// from their formulas, over random, trending and flat candles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/candle_checks.h"
#include "support/kind_checks.h"

namespace vsci {
namespace {

using namespace vsci::testing;

double tr_of(const Candles& cs, std::size_t i) {
  const Candle& c = cs[i];
  const double pc = i == 0 ? c.close : cs[i - 1].close;
  return i == 0 ? c.high - c.low : std::max({c.high - c.low, std::fabs(c.high - pc), std::fabs(c.low - pc)});
}

// Mean of the first n true ranges, then (a * (n - 1) + x) * (1 / n); Natr in
// percent of the close.
Series atr(const Candles& cs, const Params& p, bool percent = false) {
  const std::size_t n = count_at(p, 0);
  Series out(cs.size());
  double a = -0.0;
  for (std::size_t i = 0; i < cs.size(); ++i) {
    a = i < n ? a + tr_of(cs, i) : (a * (p[0] - 1.0) + tr_of(cs, i)) * (1.0 / p[0]);
    if (i + 1 == n) a /= p[0];
    if (i + 1 >= n) out[i] = !percent ? a : cs[i].close == 0.0 ? 0.0 : 100.0 * a / cs[i].close;
  }
  return out;
}

double di(double dm, double tr) { return tr == 0.0 ? 0.0 : 100.0 * dm / tr; }

// Wilder sums of +DM, -DM and TR seeded by the sum of the first n moves, read
// as reading 0 +DM, 1 -DM, 2 +DI, 3 -DI, 4 DX.
Series directional(const Candles& cs, std::size_t n, int reading) {
  Series out(cs.size());
  double s[3] = {0.0, 0.0, 0.0};
  for (std::size_t i = 1; i < cs.size(); ++i) {
    const double up = cs[i].high - cs[i - 1].high, down = cs[i - 1].low - cs[i].low;
    const double x[3] = {up > down && up > 0 ? up : 0.0, down > up && down > 0 ? down : 0.0, tr_of(cs, i)};
    for (int k = 0; k < 3; ++k) s[k] = i <= n ? s[k] + x[k] : s[k] - s[k] / static_cast<double>(n) + x[k];
    if (i < n) continue;
    const double plus = di(s[0], s[2]), minus = di(s[1], s[2]);
    const double dx = plus + minus == 0.0 ? 0.0 : 100.0 * std::fabs(plus - minus) / (plus + minus);
    out[i] = std::array<double, 5>{s[0], s[1], plus, minus, dx}[reading];
  }
  return out;
}

// ADX: the mean of the first n DX (from -0.0), then (a * (n - 1) + dx) / n;
// ADXR: the midpoint of ADX now and n - 1 values earlier.
Series adxr(const Candles& cs, const Params& p) {
  const std::size_t n = count_at(p, 0);
  const Series d = directional(cs, n, 4);
  Series adx(cs.size()), out(cs.size());
  double a = -0.0;
  for (std::size_t i = n; i < cs.size(); ++i) {
    a = i < 2 * n ? a + *d[i] : (a * (p[0] - 1.0) + *d[i]) / p[0];
    if (i == 2 * n - 1) a /= p[0];
    if (i >= 2 * n - 1) adx[i] = a;
    if (i >= 3 * n - 2) out[i] = (a + *adx[i - (n - 1)]) * 0.5;
  }
  return out;
}

Series trailing_stop(const Candles& cs, const Params& p) {
  const Series a = atr(cs, p);
  Series out(cs.size());
  std::optional<double> pc;
  double ps = 0.0;
  for (std::size_t i = 0; i < cs.size(); ++i) {
    if (!a[i]) continue;
    const double c = cs[i].close, d = p[1] * *a[i];
    double s = c - d;
    if (pc && c > ps) s = *pc > ps ? std::max(c - d, ps) : c - d;
    if (pc && c <= ps) s = c < ps && *pc < ps ? std::min(c + d, ps) : c + d;
    pc = c, ps = s, out[i] = s;
  }
  return out;
}

// The true ranges in a counted running sum, never re-summed.
Series choppiness(const Candles& cs, const Params& p) {
  const std::size_t n = count_at(p, 0);
  std::vector<double> tr;
  for (std::size_t j = 0; j < cs.size(); ++j) tr.push_back(tr_of(cs, j));
  const auto sums = window_sums(tr, n);
  Series out(cs.size());
  for (std::size_t i = n - 1; i < cs.size(); ++i) {
    double hi = cs[i].high, lo = cs[i].low;
    for (std::size_t j = i + 1 - n; j <= i; ++j) hi = std::max(hi, cs[j].high), lo = std::min(lo, cs[j].low);
    out[i] = hi == lo ? 100.0 : 100.0 * std::log10(sums[i] / (hi - lo)) / std::log10(p[0]);
  }
  return out;
}

Candles tape_with_flat_stretches(unsigned seed, double drift) {
  Candles cs = make_tape(1200, seed, 100.0, drift).candles;
  for (std::size_t i = 300; i < 340; ++i) cs[i] = {cs[i].time, 0.0, 0.0, 0.0, 0.0, 1.0};
  for (std::size_t i = 700; i < 760; ++i) cs[i] = {cs[i].time, 42.5, 42.5, 42.5, 42.5, 0.0};
  return cs;
}

TEST(DirectionalMovement, MatchBatchReferences) {
  std::vector<CandleRow> rows;
  const char* readings[] = {"PlusDm", "MinusDm", "PlusDi", "MinusDi", "Dx"};
  for (double n : {1, 2, 7, 14}) {
    for (int k = 0; k < 5; ++k)
      rows.push_back({readings[k], {n}, [k](const Candles& cs, const Params& p) {
                        return directional(cs, count_at(p, 0), k);
                      }});
    rows.push_back({"Atr", {n}, [](const Candles& cs, const Params& p) { return atr(cs, p); }});
    rows.push_back({"Natr", {n}, [](const Candles& cs, const Params& p) { return atr(cs, p, true); }});
    rows.push_back({"Adxr", {n}, adxr});
    rows.push_back({"AtrTrailingStop", {n, 1.5}, trailing_stop});
    if (n > 1) rows.push_back({"ChoppinessIndex", {n}, choppiness});
  }
  expect_candle_references(rows, {tape_with_flat_stretches(31, 0.0), tape_with_flat_stretches(32, 0.5),
                                  make_tape(1200, 33, 300.0, -0.4).candles});
  // Windows 2 to 5 and one longer than a stretch of flat bars (no true range).
  rows.clear();
  for (std::size_t n : kStretchWindows) rows.push_back({"ChoppinessIndex", {double(n)}, choppiness});
  expect_candle_references(rows, {candles_with_flat_stretches(400, 74)});
}

TEST(DirectionalMovement, ConstructionChecksInOrder) {
  const std::string chop = "invalid period: choppiness index needs period >= 2";
  const std::string mult = "multiplier must be greater than zero";
  std::vector<BuildCase> cases = {
      {"AtrTrailingStop", {kZeroCount, 0}, mult}, {"AtrTrailingStop", {kZeroCount, 1}, kPeriodZeroText},
      {"AtrTrailingStop", {16777217, -2}, mult},  {"AtrTrailingStop", {16777217, 2}, kMaxPeriodText},
      {"ChoppinessIndex", {kZeroCount}, chop},    {"ChoppinessIndex", {1}, chop},
      {"ChoppinessIndex", {16777217}, kMaxPeriodText}, {"ChoppinessIndex", {16777216}, ""}};
  for (const char* kind : {"Atr", "Natr", "Dx", "PlusDi", "MinusDi", "PlusDm", "MinusDm", "Adxr"})
    cases.insert(cases.end(),
                 {{kind, {kZeroCount}, kPeriodZeroText}, {kind, {16777217}, kMaxPeriodText}, {kind, {16777216}, ""}});
  expect_build_outcomes(cases);
}

}  // namespace
}  // namespace vsci
