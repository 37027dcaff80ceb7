// Volatility measures, ATR stops and the turn-of-month mean against batch
// references written from their formulas (calendar dates from the standard
// library's calendar), Yang-Zhang's refusal of bars without finite logs and
// its exact value over bars of constant components, local days at the 64-bit
// limits, and the construction checks in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "indicators/cores/civil_day.h"
#include "support/candle_checks.h"
#include "support/candle_series.h"
#include "support/counted_sums.h"
#include "support/kind_checks.h"

namespace vsci {
namespace {

using namespace vsci::testing;

double true_range(const Candle& k, const Candle& prev) {
  return std::max({k.high - k.low, std::fabs(k.high - prev.close), std::fabs(k.low - prev.close)});
}

Series volatility_ratio(const Candles& c, const Params& p) {
  const auto tr = per_move(c, true_range);
  const Series ema = seeded(tr, std::size_t(p[0]), [alpha = 2.0 / (p[0] + 1.0)](double a, double x) {
    return x * alpha + a * (1.0 - alpha);
  });
  Series out(c.size());
  for (std::size_t k = std::size_t(p[0]); k < tr.size(); ++k) {
    out[k + 1] = *ema[k - 1] > 0.0 ? tr[k] / *ema[k - 1] : 0.0;
  }
  return out;
}

// VoltyStop, or with `flips` false YoyoExit, over Wilder's ATR with the fused step.
Series atr_stop(const Candles& c, const Params& p, bool flips) {
  const std::size_t n = std::size_t(p[0]);
  std::vector<double> tr = per_move(c, true_range);
  tr.insert(tr.begin(), c[0].high - c[0].low);
  const Series atr = seeded(tr, n, [n = p[0]](double a, double x) { return std::fma(a, n - 1.0, x) * (1.0 / n); });
  Series out(c.size());
  double extreme = 0.0;
  bool up = true;
  for (std::size_t i = n - 1; i < c.size(); ++i) {
    const double close = c[i].close, off = *atr[i] * p[1];
    const bool first = i + 1 == n;
    if (!flips) {
      out[i] = first ? close - off : std::max(*out[i - 1], close - off);
      continue;
    }
    const bool starts_or_flips = first || (up && close < extreme - off) || (!up && close > extreme + off);
    if (starts_or_flips) up = first || !up;
    extreme = starts_or_flips ? close : up ? std::max(extreme, close) : std::min(extreme, close);
    out[i] = up ? extreme - off : extreme + off;
  }
  return out;
}

double sample_variance(const std::vector<double>& v, std::size_t i, std::size_t n) {
  const double mean = window_sum(v, i, n) / double(n);
  double ss = 0.0;
  for (std::size_t j = i + 1 - n; j <= i; ++j) ss += (v[j] - mean) * (v[j] - mean);
  return ss / double(n - 1);
}

Series yang_zhang(const Candles& c, const Params& p) {
  const std::size_t n = std::size_t(p[0]);
  const double k = 0.34 / (1.34 + (p[0] + 1.0) / (p[0] - 1.0));
  const auto o = per_move(c, [](const Candle& b, const Candle& prev) { return std::log(b.open / prev.close); });
  const auto oc = per_move(c, [](const Candle& b, const Candle&) { return std::log(b.close / b.open); });
  const auto rs = per_move(c, [](const Candle& b, const Candle&) {
    return std::log(b.high / b.close) * std::log(b.high / b.open) + std::log(b.low / b.close) * std::log(b.low / b.open);
  });
  Series out(c.size());
  for (std::size_t i = n - 1; i < o.size(); ++i) {
    const double rs_mean = std::max(window_sum(rs, i, n) / p[0], 0.0);
    const double v = sample_variance(o, i, n) + k * sample_variance(oc, i, n) + (1.0 - k) * rs_mean;
    out[i + 1] = std::sqrt(std::max(v, 0.0)) * std::sqrt(p[1]) * 100.0;
  }
  return out;
}

Series turn_of_month(const Candles& c, const Params& p) {
  using namespace std::chrono;
  Series out(c.size());
  std::optional<sys_days> day;
  std::optional<double> prev_close;
  double close = 0.0, sum = 0.0, count = 0.0;
  for (std::size_t i = 0; i < c.size(); ++i) {
    const sys_days today = floor<days>(sys_time<milliseconds>(milliseconds(c[i].time)) + minutes(int(p[2])));
    if (day && today != *day) {
      const year_month_day ended(*day);
      const double d = unsigned(ended.day());
      const double length = unsigned(year_month_day_last(ended.year() / ended.month() / last).day());
      if (prev_close && (d <= p[0] || d > length - p[1])) {
        sum += *prev_close == 0.0 ? 0.0 : close / *prev_close - 1.0, ++count;
      }
      prev_close = close;
    }
    day = today, close = c[i].close;
    if (count > 0.0) out[i] = sum / count;
  }
  return out;
}

TEST(VolatilityStops, MatchBatchReferences) {
  const auto volty = [](const Candles& c, const Params& p) { return atr_stop(c, p, true); };
  const auto yoyo = [](const Candles& c, const Params& p) { return atr_stop(c, p, false); };
  expect_candle_references({{"VolatilityRatio", {1}, volatility_ratio},
                            {"VolatilityRatio", {14}, volatility_ratio},
                            {"VoltyStop", {1, 0.5}, volty},
                            {"VoltyStop", {10, 2.5}, volty},
                            {"YoyoExit", {1, 3.0}, yoyo},
                            {"YoyoExit", {14, 1.5}, yoyo},
                            {"YangZhangVolatility", {2, 252}, yang_zhang, 1e-9},
                            {"YangZhangVolatility", {20, 365}, yang_zhang, 1e-9}},
                           candle_tapes());
  // Bars every 5 hours from late 2023 (across 29 February), and every 3 hours
  // across 1970-01-01 with a day closing at 0.
  Candles a = make_tape(1500, 51).candles, b = rough_candles(1500, 52);
  for (std::size_t i = 0; i < a.size(); ++i) a[i].time = 1'700'000'000'000 + std::int64_t(i) * 18'000'000;
  for (std::size_t i = 0; i < b.size(); ++i) b[i].time = -5'000'000'123 + std::int64_t(i) * 10'800'000;
  for (std::size_t i = 700; i < 710; ++i) b[i].open = b[i].low = b[i].close = 0.0;
  std::vector<CandleRow> turns;
  for (const Params& p : {Params{1, 0, 0}, {0, 3, -60}, {3, 2, 330}, {2, 40, 0}, {5, 5, -1440}})
    turns.push_back({"TurnOfMonth", p, turn_of_month});
  expect_candle_references(turns, {a, b}, true);
}

TEST(VolatilityStops, YangZhangRefusesBarsWithoutFiniteLogs) {
  const Candles clean = make_tape(400, 44).candles;
  const Series clean_out = run_candles("YangZhangVolatility", {10, 252}, clean);
  const Candle refused[] = {{0, 1, 2, -1, 1, 5}, {0, 2, 3, 0.0, 1, 5}, {0, 1e-300, 1e300, 1e-300, 1e300, 1}};
  Candles gapped = {refused[0]};
  Series want = {std::nullopt};
  for (std::size_t i = 0; i < clean.size(); ++i) {
    gapped.push_back(clean[i]), want.push_back(clean_out[i]);
    if (i % 37 == 5) gapped.push_back(refused[i % 3]), want.push_back(std::nullopt);
  }
  expect_series(run_candles("YangZhangVolatility", {10, 252}, gapped), want, 0.0, "YangZhangVolatility");
}

// Stretches of bars gapping up x1.25 and closing x1.5 above the open, either
// with the high twice the close and the low half the open or with the open
// and close as the range (a Rogers-Satchell term of 0): each bar's three
// components are the same, so once the window holds only such bars both
// variances are exactly 0 and the Rogers-Satchell mean is that bar's term.
TEST(VolatilityStops, YangZhangIsExactOverConstantComponents) {
  const Candles rough = make_tape(60, 45).candles;
  Candles tape;
  std::vector<std::size_t> run;  // constant bars ending at each bar
  for (long len : {5, 6, 8, 3}) {
    for (bool ranged : {true, false}) {
      tape.insert(tape.end(), rough.begin() + len, rough.begin() + 2 * len), run.insert(run.end(), std::size_t(len), 0);
      tape.push_back({0, 48, 128, 24, 64, 1}), run.push_back(0);
      for (double close = 120; close < 1e5; close *= 1.875) {
        const double open = close / 1.5;
        tape.push_back({0, open, ranged ? 2 * close : close, ranged ? 0.5 * open : open, close, 1});
        run.push_back(run.back() + 1);
      }
    }
  }
  for (double n : {2.0, 3.0, 4.0, 5.0}) {
    const double k = 0.34 / (1.34 + (n + 1.0) / (n - 1.0));
    Series want = yang_zhang(tape, {n, 252});
    std::vector<bool> exact(tape.size());
    for (std::size_t i = 0; i < tape.size(); ++i) {
      if (double(run[i]) < n) continue;
      const Candle& b = tape[i];
      const double rs =
          std::log(b.high / b.close) * std::log(b.high / b.open) + std::log(b.low / b.close) * std::log(b.low / b.open);
      want[i] = std::sqrt((1.0 - k) * rs) * std::sqrt(252.0) * 100.0, exact[i] = true;
    }
    expect_series(run_candles("YangZhangVolatility", {n, 252}, tape), want, 1e-9, "YangZhangVolatility", exact);
  }
}

// Floor division in 128 bits, for divisors above 0.
__int128 floor_div128(__int128 a, __int128 b) { return a / b - (a % b != 0 && a < 0 ? 1 : 0); }

TEST(VolatilityStops, LocalDaysAtTheLimits) {
  const std::int64_t times[] = {INT64_MIN, INT64_MIN + 999, -86'400'001, -1, 0, 86'399'999, INT64_MAX};
  for (std::int64_t t : times) {
    for (std::int32_t off : {INT32_MIN, -60, 0, INT32_MAX}) {
      const std::int64_t day = local_day(t, off);
      EXPECT_EQ(day, std::int64_t(floor_div128(floor_div128(t, 1000) + __int128(off) * 60, 86400))) << t << " " << off;
      const CivilDate d = civil_from_days(day);
      EXPECT_TRUE(d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= days_in_month(d.year, d.month));
    }
  }
  // Four centuries either side of 1970 against the standard calendar.
  std::int64_t wrong = 0;
  for (std::int64_t day = -146'097 * 4; day < 146'097 * 4; ++day) {
    const std::chrono::year_month_day want{std::chrono::sys_days{std::chrono::days{day}}};
    const CivilDate d = civil_from_days(day);
    wrong += d.year != int(want.year()) || d.month != unsigned(want.month()) || d.day != unsigned(want.day());
  }
  EXPECT_EQ(wrong, 0);
}

TEST(VolatilityStops, ConstructionChecksInOrder) {
  const std::string zero = kPeriodZeroText, too_large = kMaxPeriodText, m = "multiplier must be greater than zero";
  std::vector<BuildCase> cases = {
      {"VolatilityRatio", {kZeroCount}, zero},       {"VolatilityRatio", {16777217}, too_large},
      {"YangZhangVolatility", {kZeroCount, 1}, zero}, {"YangZhangVolatility", {1, kZeroCount}, zero},
      {"YangZhangVolatility", {1, 252}, "invalid period: Yang-Zhang period must be >= 2"},
      {"YangZhangVolatility", {16777217, 252}, too_large}, {"YangZhangVolatility", {16777216, 1e15}, ""},
      {"TurnOfMonth", {0, 0, 0}, zero}, {"TurnOfMonth", {0, 3, -2147483648.0}, ""},
      {"TurnOfMonth", {3, 0, 2147483647}, ""},
  };
  for (const char* kind : {"VoltyStop", "YoyoExit"}) {
    cases.insert(cases.end(), {{kind, {kZeroCount, 0}, m}, {kind, {16777217, -1}, m}, {kind, {kZeroCount, 2}, zero},
                               {kind, {16777217, 2}, too_large}, {kind, {16777216, 1e-300}, ""}});
  }
  expect_build_outcomes(cases);
}

// Bars that open and close at one price, with a range except in stretches of
// single-price bars: both variances are exactly 0, so the value follows the
// Rogers-Satchell sum alone, re-summed from +0.0 every n bars. A window one
// longer than a stretch sees the last non-zero term leave on the bar a new
// one enters.
TEST(VolatilityStops, YangZhangRogersSatchellSumAcrossZeroStretches) {
  const std::vector<double> moves = moves_with_zero_stretches(300, {1, 2, 3, 4, 18}, 61);
  Candles tape = {{0, 100, 100, 100, 100, 1}};
  std::vector<double> rs;  // one term per bar after the first
  for (double m : moves) {
    const Candle b{0, 100, 100 * (1 + 0.03 * std::fabs(m)), 100 * (1 - 0.02 * m * m), 100, 1};
    tape.push_back(b);
    rs.push_back(std::log(b.high / b.close) * std::log(b.high / b.open) +
                 std::log(b.low / b.close) * std::log(b.low / b.open));
  }
  for (std::size_t n : {2, 3, 4, 5, 19}) {
    const double k = 0.34 / (1.34 + (double(n) + 1.0) / (double(n) - 1.0));
    const auto sums = window_sums(rs, n, {.resum_every = n, .resum_start = 0.0});
    Series want(tape.size());
    for (std::size_t j = n - 1; j < rs.size(); ++j) {
      const bool equal = std::all_of(rs.begin() + long(j + 1 - n), rs.begin() + long(j), [&](double t) { return t == rs[j]; });
      const double mean = equal ? rs[j] : sums[j] / double(n);
      const double v = std::max((0.0 + k * 0.0) + (1.0 - k) * std::max(mean, 0.0), 0.0);
      want[j + 1] = std::sqrt(v) * std::sqrt(252.0) * 100.0;
    }
    expect_series(run_candles("YangZhangVolatility", {double(n), 252}, tape), want, 0.0, "YangZhangVolatility n " + std::to_string(n));
  }
}

}  // namespace
}  // namespace vsci
