// Range, gap, seasonal and volatility-estimator kinds against batch loops
// written from their formulas; the calendar kinds over bars whose clock jumps,
// goes back and crosses the epoch (local hours before it included).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>

#include "support/batch_reference.h"
#include "support/candle_checks.h"
#include "support/kind_checks.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// Local seconds and days from the time as a double (exact at these magnitudes).
double seconds(const Candle& c, const Params& p) { return std::floor(c.time / 1000.0) + 60.0 * p.back(); }
double day_of(const Candle& c, const Params& p) { return std::floor(seconds(c, p) / 86400.0); }

// Mean range of the last 1 to n days closed before each bar, the ranges in a
// counted running sum that adds the newest before the oldest leaves.
Series average_daily_range(const Candles& cs, const Params& p) {
  std::vector<double> done;
  std::vector<std::size_t> closed(cs.size());  // days closed before each bar
  double hi = 0, lo = 0;
  for (std::size_t i = 0; i < cs.size(); ++i) {
    if (i > 0 && day_of(cs[i], p) != day_of(cs[i - 1], p)) done.push_back(hi - lo), hi = lo = cs[i].low;
    if (i == 0) hi = lo = cs[i].low;
    hi = std::max(hi, cs[i].high), lo = std::min(lo, cs[i].low);
    closed[i] = done.size();
  }
  const auto sums = window_sums(done, count_at(p, 0), {.new_first = true});
  Series out(cs.size());
  for (std::size_t i = 0; i < cs.size(); ++i)
    if (closed[i] > 0) out[i] = sums[closed[i] - 1] / double(std::min(count_at(p, 0), closed[i]));
  return out;
}

Series overnight_gap(const Candles& cs, const Params& p) {
  Series out(cs.size());
  for (std::size_t i = 1; i < cs.size(); ++i) {
    const double pc = cs[i - 1].close;
    out[i] = day_of(cs[i], p) == day_of(cs[i - 1], p) ? out[i - 1] : pc == 0.0 ? 0.0 : cs[i].open / pc - 1.0;
  }
  return out;
}

// Against the plain mean and sample variance of the earlier returns of the hour.
Series seasonal_z(const Candles& cs, const Params& p) {
  Series out(cs.size());
  std::vector<double> seen[24];
  for (std::size_t i = 1; i < cs.size(); ++i) {
    const double pc = cs[i - 1].close, r = pc == 0.0 ? 0.0 : cs[i].close / pc - 1.0, s = seconds(cs[i], p);
    std::vector<double>& v = seen[static_cast<int>((s - 86400.0 * std::floor(s / 86400.0)) / 3600.0)];
    if (v.size() >= 2) {
      const double m = ref::mean(v);
      double ss = 0;
      for (double x : v) ss += (x - m) * (x - m);
      const double var = ss / double(v.size() - 1);
      out[i] = var > 0 ? (r - m) / std::sqrt(var) : 0.0;
    }
    v.push_back(r);
  }
  return out;
}

// 100 * sqrt(A) * sqrt(max(scale * mean term, 0)) over windows of n bars,
// the terms in a counted running sum re-summed from -0.0 every n bars.
CandleReference estimator(double scale, double (*term)(const Candle&)) {
  return [scale, term](const Candles& cs, const Params& p) {
    const std::size_t n = count_at(p, 0);
    return over_windows(
        cs, n, n - 1, [&](std::size_t j) { return term(cs[j]); }, [](std::size_t) { return 0.0; },
        [&](double s, double, double dn) { return 100.0 * std::sqrt(p[1]) * std::sqrt(std::max(s * scale / dn, 0.0)); },
        WindowSumRule{.resum_every = n});
  };
}

double sq(double x) { return x * x; }

Series mid_price(const Candles& cs, const Params& p) {
  Series out(cs.size());
  for (std::size_t i = count_at(p, 0) - 1; i < cs.size(); ++i) {
    double hi = cs[i].high, lo = cs[i].low;
    for (std::size_t j = i + 1 - count_at(p, 0); j < i; ++j) {
      hi = std::max(hi, cs[j].high), lo = std::min(lo, cs[j].low);
    }
    out[i] = (hi + lo) * 0.5;
  }
  return out;
}

Series chaikin(const Candles& cs, const Params& p) {
  const std::size_t n = count_at(p, 0), m = count_at(p, 1);
  Series e = ref::mean_seeded(candle_field(cs, [](const Candle& c) { return c.high - c.low; }), n), out(cs.size());
  for (std::size_t i = n - 1 + m; i < cs.size(); ++i) {
    out[i] = *e[i - m] == 0.0 ? 0.0 : 100.0 * (*e[i] - *e[i - m]) / *e[i - m];
  }
  return out;
}

Series mass_index(const Candles& cs, const Params& p) {
  const std::size_t n = count_at(p, 0), m = count_at(p, 1);
  const Series e1 = ref::mean_seeded(candle_field(cs, [](const Candle& c) { return c.high - c.low; }), n);
  const Series e2 = ref::mean_seeded(e1, n);
  const auto ratio = [&](std::size_t j) { return *e2[j] == 0.0 ? 1.0 : *e1[j] / *e2[j]; };
  return over_windows(cs, m, 2 * n + m - 3, ratio, ratio, [](double s, double, double) { return s; }, WindowSumRule{});
}

TEST(RangeEstimators, MatchBatchReferences) {
  const CandleReference gk = estimator(1.0, [](const Candle& c) {
    return 0.5 * sq(std::log(c.high / c.low)) - (2.0 * std::log(2.0) - 1.0) * sq(std::log(c.close / c.open));
  });
  const CandleReference parkinson =
      estimator(0.3606737602222412, [](const Candle& c) { return sq(std::log(c.high / c.low)); });
  const CandleReference rogers_satchell = estimator(1.0, [](const Candle& c) {
    const double hc = std::log(c.high / c.close), lc = std::log(c.low / c.close);
    return hc * std::log(c.high / c.open) + lc * std::log(c.low / c.open);
  });
  std::vector<CandleRow> rows;
  for (const Params& p : std::vector<Params>{{1, 1}, {3, 2}, {9, 25}, {20, 7}}) {
    rows.insert(rows.end(), {{"MidPrice", p, mid_price}, {"ChaikinVolatility", p, chaikin},
                             {"MassIndex", p, mass_index}, {"GarmanKlassVolatility", p, gk},
                             {"ParkinsonVolatility", p, parkinson}, {"RogersSatchellVolatility", p, rogers_satchell}});
  }
  std::vector<Candles> tapes = {make_tape(1200, 41).candles, make_tape(1200, 42, 100.0, 0.5).candles};
  for (std::size_t i = 500; i < 560; ++i) tapes[0][i] = {0, 50.0, 50.0, 50.0, 50.0, 0.0};  // zero terms and ranges
  expect_candle_references(rows, tapes);
  // Windows 2 to 5 and one longer than a stretch of flat bars (zero terms).
  rows.clear();
  for (std::size_t n : kStretchWindows) {
    const Params p{double(n), 252};
    rows.insert(rows.end(), {{"GarmanKlassVolatility", p, gk}, {"ParkinsonVolatility", p, parkinson},
                             {"RogersSatchellVolatility", p, rogers_satchell},
                             {"MassIndex", {3, double(n)}, mass_index}});
  }
  expect_candle_references(rows, {candles_with_flat_stretches(400, 72)});
}

TEST(RangeEstimators, CalendarKindsFollowLocalDaysAndHours) {
  std::vector<CandleRow> rows;
  for (double z : {0, 60, -300, 1439, -1440}) {
    for (double n : {1, 2, 5}) rows.push_back({"AverageDailyRange", {n, z}, average_daily_range});
    rows.insert(rows.end(), {{"OvernightGap", {z}, overnight_gap}, {"SeasonalZScore", {z}, seasonal_z, 1e-9}});
  }
  // The clock moves by uneven steps, some backwards, from three days before
  // the epoch; one tape has a flat stretch.
  std::vector<Candles> tapes = {make_tape(1500, 51).candles, make_tape(1500, 52).candles};
  const std::int64_t steps[] = {1'200'000,   2'700'000, 10'800'000, 25'200'000,
                                -18'000'000, 60'000,    46'800'000, 3'599'999};
  for (Candles& cs : tapes) {
    std::int64_t t = -3 * 86'400'000LL + 7;
    for (std::size_t i = 0; i < cs.size(); ++i) cs[i].time = t += steps[i % 8];
  }
  for (std::size_t i = 900; i < 1000; ++i) tapes[0][i] = {tapes[0][i].time, 80, 80, 80, 80, 1};
  expect_candle_references(rows, tapes, true);
  // 23:30 UTC lies on the next day one hour east.
  const Candles late = {{84'600'000 - 3'600'000, 1, 1, 1, 1, 0}, {84'600'000, 2, 2, 2, 2, 0}};
  EXPECT_EQ(feed_candles(*build_ok("OvernightGap", {0}), late)[1], std::nullopt);
  EXPECT_EQ(feed_candles(*build_ok("OvernightGap", {60}), late)[1], 1.0);
  // Three bars a day about levels that cross binades, flat on the days the
  // level holds (zero ranges): windows 2 to 5 and one longer than a stretch.
  const std::vector<double> levels = closes_with_flat_stretches(200, 83);
  Candles days;
  for (std::size_t d = 0; d < levels.size(); ++d) {
    const double x = levels[d], moving = d > 0 && x == levels[d - 1] ? 0.0 : 1.0;
    for (int k = 1; k <= 3; ++k) {
      const double high = x * (1.0 + moving * 0.01 * k), low = x * (1.0 - moving * 0.003 * k);
      days.push_back({std::int64_t(d) * 86'400'000 + k, x, high, low, x, 1});
    }
  }
  rows.clear();
  for (std::size_t n : kStretchWindows) rows.push_back({"AverageDailyRange", {double(n), 0}, average_daily_range});
  expect_candle_references(rows, {days}, true);
}

TEST(RangeEstimators, ConstructionChecksInOrder) {
  std::vector<BuildCase> cases = {
      {"MidPrice", {kZeroCount}, kPeriodZeroText},        {"MidPrice", {16777217}, kMaxPeriodText},
      {"AverageDailyRange", {kZeroCount, 0}, kPeriodZeroText},
      {"AverageDailyRange", {16777217, -2147483648.0}, kMaxPeriodText},
      {"AverageDailyRange", {16777216, 2147483647}, ""},  {"OvernightGap", {-2147483648.0}, ""},
      {"SeasonalZScore", {2147483647}, ""},
      {"ChaikinVolatility", {kZeroCount, 16777217}, kPeriodZeroText},
      {"ChaikinVolatility", {16777217, kZeroCount}, kMaxPeriodText},
      {"ChaikinVolatility", {5, kZeroCount}, kPeriodZeroText},
      {"ChaikinVolatility", {5, 16777217}, kMaxPeriodText}, {"MassIndex", {16777217, kZeroCount}, kPeriodZeroText},
      {"MassIndex", {16777217, 5}, kMaxPeriodText},       {"MassIndex", {5, 16777217}, kMaxPeriodText},
      {"MassIndex", {16777216, 16777216}, ""},
  };
  for (const char* kind : {"GarmanKlassVolatility", "ParkinsonVolatility", "RogersSatchellVolatility"})
    cases.insert(cases.end(), {{kind, {16777217, kZeroCount}, kPeriodZeroText},
                               {kind, {kZeroCount, 5}, kPeriodZeroText},
                               {kind, {16777217, 5}, kMaxPeriodText},
                               {kind, {16777216, 1e15}, ""}});
  expect_build_outcomes(cases);
}

}  // namespace
}  // namespace vsci
