// The multi-line TD kinds against batch loops over the candle tapes: setup
// and countdown with countdown lengths of 5 and below (no reference close
// then), the run levels and risk levels, the midpoint averages; constructor
// checks, with the look-backs under the MAX_PERIOD bound.
#include <gtest/gtest.h>

#include "support/batch_reference.h"
#include "support/candle_run.h"
#include "support/conformance.h"
#include "support/kind_checks.h"

namespace vsci {
namespace {

using namespace vsci::testing;

const ConformanceRows kConformance{{"TdSequential"}, {"TdLines", FirstValue::Free}, {"TdRiskLevel", FirstValue::Free},
                                   {"TdMovingAverage"}};

OutputSeries sequential(const Candles& c, std::size_t a, std::size_t s, std::size_t b, std::size_t n) {
  OutputSeries out(c.size());
  std::size_t buy = 0, sell = 0, bc = 0, sc = 0;
  double ref = kNaN, active = 0;
  for (std::size_t i = std::max(a, b); i < c.size(); ++i) {
    const double x = c[i].close, y = c[i - a].close;
    buy = x < y ? std::min(buy + 1, s) : 0, sell = x > y ? std::min(sell + 1, s) : 0;
    const double next = buy == s ? 1.0 : sell == s ? -1.0 : active;
    if (next != active) bc = sc = 0, ref = kNaN, active = next;
    std::size_t& count = active > 0 ? bc : sc;
    const bool beyond = active > 0 ? x <= c[i - b].low : x >= c[i - b].high;
    const bool short_of_ref = active > 0 ? c[i].low > ref : c[i].high < ref;
    if (active != 0 && beyond && count < n && !(count + 1 == n && short_of_ref)) {
      if (++count + 5 == n) ref = x;
    }
    out[i] = {buy ? double(buy) : sell ? -double(sell) : 0.0, active > 0 ? double(bc) : active < 0 ? -double(sc) : 0.0, active};
  }
  return out;
}

// TdLines (risk false) and TdRiskLevel (risk true) over runs against the close a bars back.
OutputSeries run_levels(const Candles& c, std::size_t a, std::size_t n, bool risk) {
  OutputSeries out(c.size());
  std::size_t down = 0, up = 0;
  double rh = -kInf, rl = kInf;
  std::optional<std::pair<double, double>> lowest, highest;  // (price, true range)
  std::optional<double> first, second;
  for (std::size_t i = a; i < c.size(); ++i) {
    const Candle& k = c[i];
    const double tr = i == 0 ? k.high - k.low : std::max({k.high - k.low, std::fabs(k.high - c[i - 1].close), std::fabs(k.low - c[i - 1].close)});
    const double y = c[i - a].close;
    if (k.close < y) {
      rh = down == 0 ? k.high : std::max(rh, k.high), rl = kInf;
      if (!lowest || lowest->first > k.low) lowest = {k.low, tr};
      highest.reset();
      if (down + 1 >= n) first = risk ? lowest->first - lowest->second : rh;
      down = std::min(down + 1, n), up = 0;
    } else if (k.close > y) {
      rl = up == 0 ? k.low : std::min(rl, k.low), rh = -kInf;
      if (!highest || highest->first < k.high) highest = {k.high, tr};
      lowest.reset();
      if (up + 1 >= n) second = risk ? highest->first + highest->second : rl;
      up = std::min(up + 1, n), down = 0;
    } else {
      down = up = 0, rh = -kInf, rl = kInf, lowest.reset(), highest.reset();
    }
    if (first || second) out[i] = {first.value_or(kNaN), second.value_or(kNaN)};
  }
  return out;
}

OutputSeries td_averages(const Candles& c, std::size_t p, std::size_t q) {
  const auto mid = candle_field(c, [](const Candle& x) { return (x.high + x.low) * 0.5; });
  const Series s = ref::sma(mid, p), l = ref::sma(mid, q);
  OutputSeries out(c.size());
  for (std::size_t i = q - 1; i < c.size(); ++i) out[i] = {*s[i], *l[i]};
  return out;
}

TEST(TdSequentialKinds, MatchTheirBatchReferences) {
  for (const Candles& tape : candle_run_tapes_with_ties()) {
    for (std::vector<std::size_t> p : {std::vector<std::size_t>{4, 9, 2, 13}, {1, 2, 1, 3}, {2, 3, 3, 6}, {3, 4, 5, 8}, {1, 1, 4, 5}})
      expect_outputs("TdSequential", {double(p[0]), double(p[1]), double(p[2]), double(p[3])}, tape,
                     sequential(tape, p[0], p[1], p[2], p[3]), "setup countdown direction");
    for (auto [a, n] : {std::pair<std::size_t, std::size_t>{1, 2}, {4, 2}, {2, 1}, {3, 5}}) {
      expect_outputs("TdLines", {double(a), double(n)}, tape, run_levels(tape, a, n, false), "resistance support");
      expect_outputs("TdRiskLevel", {double(a), double(n)}, tape, run_levels(tape, a, n, true), "buy_risk sell_risk");
    }
    for (auto [p, q] : {std::pair<std::size_t, std::size_t>{1, 2}, {5, 13}, {3, 40}})
      expect_outputs("TdMovingAverage", {double(p), double(q)}, tape, td_averages(tape, p, q), "st1 st2");
  }
}

TEST(TdSequentialKinds, ConstructorChecks) {
  const std::string order = "invalid period: TD moving average ST1 period must be strictly less than ST2";
  expect_build_outcomes({{"TdSequential", {16777217, 9, 2, kZeroCount}, kPeriodZeroText},
                         {"TdSequential", {4, 9, 16777217, 13}, kMaxPeriodText}, {"TdSequential", {4, 1e12, 2, 1e12}, ""},
                         {"TdLines", {16777217, kZeroCount}, kPeriodZeroText}, {"TdLines", {16777217, 2}, kMaxPeriodText},
                         {"TdRiskLevel", {16777216, 1e12}, ""}, {"TdRiskLevel", {16777217, 2}, kMaxPeriodText},
                         {"TdMovingAverage", {3, 3}, order}, {"TdMovingAverage", {5, 3}, order},
                         {"TdMovingAverage", {kZeroCount, 16777217}, kPeriodZeroText},
                         {"TdMovingAverage", {2, 16777217}, kMaxPeriodText}});
}

}  // namespace
}  // namespace vsci
