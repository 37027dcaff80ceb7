// The shared cores against batch references written from their formulas:
// values bit for bit, first-value bars, re-summation points, NaN bars.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <random>

#include "indicators/cores/adx_core.h"
#include "indicators/cores/bollinger_core.h"
#include "indicators/cores/change_stream.h"
#include "indicators/cores/cmo_core.h"
#include "indicators/cores/growing_storage.h"
#include "indicators/cores/log_return.h"
#include "indicators/cores/ring.h"
#include "indicators/cores/run_window_sum.h"
#include "indicators/cores/rolling_extremes.h"
#include "indicators/cores/sorted_window.h"
#include "indicators/cores/window_checks.h"
#include "indicators/indicator.h"
#include "support/batch_reference.h"
#include "support/compare.h"
#include "support/kind_checks.h"
#include "support/series.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// Feeds a core directly (cores refuse non-finite inputs themselves).
template <class Core>
Series drive(Core& core, const std::vector<double>& xs) {
  Series out;
  for (double x : xs) out.push_back(core.update_value(x));
  return out;
}

// ---- Sma, Ema and Wma, driven as kinds through the factory ----

TEST(AverageCores, SmallCasesConstantSeriesAndSignedZeros) {
  EXPECT_TRUE(same_series(run_kind("Sma", {3}, {1, 2, 3, 4}), Series{{}, {}, 2.0, 3.0}));
  EXPECT_TRUE(same_series(run_kind("Ema", {3}, {1, 2, 3, 4}), Series{{}, {}, 2.0, 3.0}));
  EXPECT_TRUE(same_series(run_kind("Wma", {3}, {1, 2, 3}), Series{{}, {}, (1.0 + 4.0 + 9.0) / 6.0}));
  for (double p : {1.0, 3.0, 8.0}) {
    const auto out = run_kind("Sma", {p}, std::vector<double>(40 * static_cast<int>(p), 1.0));
    for (std::size_t i = static_cast<std::size_t>(p) - 1; i < out.size(); ++i) ASSERT_EQ(out[i], 1.0) << i;
  }
  // The running sum starts at +0.0, the exact re-sum (bar 16p) and the Ema
  // seed sum at -0.0.
  const auto zeros = run_kind("Sma", {2}, std::vector<double>(40, -0.0));
  EXPECT_FALSE(std::signbit(*zeros[30]));
  EXPECT_TRUE(std::signbit(*zeros[31]));
  EXPECT_TRUE(std::signbit(*run_kind("Ema", {1}, {-0.0})[0]));
}

TEST(AverageCores, MatchRunningSumReferencesAndResumPointsThroughNanBars) {
  for (std::size_t p : {1u, 2u, 5u, 13u}) {
    const auto xs = rough_series(50 * p + 7, unsigned(10 + p));
    const auto g = with_random_gaps(xs, unsigned(p));
    const auto sma = ref::sma(xs, p), wma = ref::wma(xs, p);
    // Guard the test's power: without the re-summations the values differ.
    if (p > 1) {
      EXPECT_FALSE(same_series(ref::sma(xs, p, false), sma)) << p;
      EXPECT_FALSE(same_series(ref::wma(xs, p, false), wma)) << p;
    }
    EXPECT_TRUE(same_series(run_kind("Sma", {double(p)}, g.closes), g.expand(sma))) << p;
    EXPECT_TRUE(same_series(run_kind("Wma", {double(p)}, g.closes), g.expand(wma))) << p;
    EXPECT_TRUE(same_series(run_kind("Ema", {double(p)}, g.closes), g.expand(ref::ema(xs, p)))) << p;
  }
}

// Windows longer than the storage they start with, past several re-summations.
TEST(AverageCores, LongWindowsMatchRunningSumReferences) {
  for (std::size_t p : {65u, 200u}) {
    const auto xs = rough_series(40 * p + 11, unsigned(20 + p));
    EXPECT_TRUE(same_series(run_kind("Sma", {double(p)}, xs), ref::sma(xs, p))) << p;
    EXPECT_TRUE(same_series(run_kind("Wma", {double(p)}, xs), ref::wma(xs, p))) << p;
    EXPECT_TRUE(same_series(run_kind("Cmo", {double(p)}, xs), ref::cmo(xs, p))) << p;
  }
}

// ---- Bollinger core ----

bool same_bands(const std::optional<BollingerValue>& a, const std::optional<BollingerValue>& b) {
  if (!a || !b) return !a && !b;
  auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
  return bits(a->upper) == bits(b->upper) && bits(a->middle) == bits(b->middle) && bits(a->lower) == bits(b->lower) &&
         bits(a->deviation) == bits(b->deviation);
}

TEST(BollingerCore, MatchesShiftedSumReferenceThroughNanBars) {
  for (std::size_t p : {1u, 2u, 5u, 20u, 150u}) {
    const auto xs = random_walk(400, unsigned(50 + p), 1e4);
    const auto want = ref::bollinger(xs, p, 2.5);
    auto core = BollingerCore::create(p, 2.5).value();
    const auto g = with_random_gaps(xs, unsigned(60 + p));
    for (std::size_t i = 0, k = 0; i < g.closes.size(); ++i) {
      const auto got = core.update_value(g.closes[i]);
      ASSERT_TRUE(same_bands(got, g.gap_of[i] ? std::nullopt : want[k++])) << p << " bar " << i;
    }
  }
  // A flat window: deviation +0.0 and all three bands at the value, also after
  // the recomputes.
  auto core = BollingerCore::create(4, 2.0).value();
  for (int i = 0; i < 30; ++i) {
    const auto got = core.update_value(2.0);
    ASSERT_TRUE(same_bands(got, i < 3 ? std::nullopt : std::optional(BollingerValue{2.0, 2.0, 2.0, 0.0}))) << i;
  }
}

// ---- Sorted window and sorted absolute deviations ----

bool total_order(double a, double b) { return a < b || (a == b && std::signbit(a) && !std::signbit(b)); }

TEST(SortedWindow, KeepsTheWindowSortedWithSignedZerosAndRefusesNonFinite) {
  std::mt19937 rng(7);
  const double pool[] = {-0.0, 0.0, 1.5, -2.0, 3.0, 1.5, -0.0, 7.0};
  for (std::size_t p : {1u, 2u, 5u, 8u, 14u, 200u, 2000u}) {
    auto w = SortedWindow::create(p).value();
    std::vector<double> all;
    for (std::size_t i = 0; i < p + 300; ++i) {
      if (i % 5 == 0) {
        ASSERT_FALSE(w.push(i % 2 ? kNaN : (i % 3 ? -kInf : kInf)));
      }
      const double x = pool[rng() % 8] * (1 + int(rng() % 3));
      ASSERT_TRUE(w.push(x));
      all.push_back(x);
      std::vector<double> want(all.end() - std::min(all.size(), p), all.end());
      std::stable_sort(want.begin(), want.end(), total_order);
      ASSERT_EQ(w.sorted().size(), want.size());
      for (std::size_t j = 0; j < want.size(); ++j) {
        ASSERT_EQ(std::signbit(w.sorted()[j]), std::signbit(want[j]));
        ASSERT_EQ(w.sorted()[j], want[j]);
      }
      if (w.full()) {
        const double med = p % 2 ? want[p / 2] : (want[p / 2 - 1] + want[p / 2]) * 0.5;
        ASSERT_EQ(w.median(), med);
      }
    }
  }
}

// Counts by a plain scan of the window, short windows (scanned) and long
// ones (sorted) alike, over ties, flat stretches, signed zeros and infinities.
TEST(RankWindow, CountsBelowAndEqualTheNewestAsAScan) {
  std::vector<double> xs = tie_series(4500, 5);
  for (std::size_t i = 7; i < xs.size(); i += 97) xs[i] = i % 2 ? kInf : -kInf;
  // A long rise and fall, where the oldest and newest values sit at opposite
  // ends of the window and the sorted values drift through their storage.
  for (std::size_t i = 0; i < 9000; ++i) xs.push_back(i < 6000 ? double(i) : double(12000 - i) - 0.5);
  constexpr std::size_t scanned = RankWindow::kScanLimit;
  for (std::size_t p : {std::size_t{1}, std::size_t{2}, std::size_t{14}, scanned, scanned + 1, std::size_t{200},
                        std::size_t{2000}}) {
    auto w = RankWindow::create(p).value();
    EXPECT_EQ(w.period(), p);
    for (std::size_t i = 0; i < xs.size(); ++i) {
      w.push(xs[i]);
      ASSERT_EQ(w.full(), i + 1 >= p);
      if (!w.full()) continue;
      const auto first = xs.begin() + static_cast<std::ptrdiff_t>(i + 1 - p);
      const auto last = first + static_cast<std::ptrdiff_t>(p);
      const auto below = std::count_if(first, last, [&](double v) { return v < xs[i]; });
      ASSERT_EQ(w.newest_below(), static_cast<std::size_t>(below)) << "period " << p << " bar " << i;
      ASSERT_EQ(w.newest_equal(), static_cast<std::size_t>(std::count(first, last, xs[i]))) << "period " << p;
    }
  }
  EXPECT_FALSE(RankWindow::create(0).ok());
}

TEST(SortedWindow, MedianOfHugeValuesStaysFinite) {
  auto w = SortedWindow::create(2).value();
  const double big = std::numeric_limits<double>::max();
  w.push(big);
  w.push(big * 0.75);
  EXPECT_EQ(w.median(), big * 0.5 + big * 0.375);
  EXPECT_TRUE(std::isfinite(w.median()));
  EXPECT_EQ(safe_midpoint(-big, -big), -big);
}

TEST(SortedAbsDeviations, EqualsSortedAbsoluteDifferences) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> val(-20, 20);
  std::vector<double> out;
  for (int round = 0; round < 300; ++round) {
    std::vector<double> v(1 + rng() % 12);
    for (double& x : v) x = val(rng) * 0.5;
    std::sort(v.begin(), v.end());
    const double c = round % 3 == 0 ? v[rng() % v.size()] : val(rng) * 0.75;
    sorted_abs_deviations(v, c, out);
    std::vector<double> want;
    for (double x : v) want.push_back(std::fabs(x - c));
    std::sort(want.begin(), want.end());
    ASSERT_EQ(out, want);
  }
}

// ---- Chande core ----

TEST(CmoCore, MatchesReferenceAndGivesExactlyZeroOverAFlatStretch) {
  for (std::size_t p : {1u, 3u, 14u}) {
    const auto xs = random_walk(500, unsigned(70 + p));
    const auto want = ref::cmo(xs, p);
    auto core = CmoCore::create(p).value();
    const auto g = with_random_gaps(xs, unsigned(80 + p));
    EXPECT_TRUE(same_series(drive(core, g.closes), g.expand(want))) << p;
    EXPECT_TRUE(!want[p - 1] && want[p]);  // first value on input p + 1
  }
  // Large moves, a flat stretch, then one up move.
  std::vector<double> xs = rough_series(200, 90);
  xs.insert(xs.end(), 60, 12.5);
  xs.push_back(13.0);
  const std::size_t p = 10;
  // Guard the test's power: without the reset the sums carry residue.
  const auto raw = ref::cmo(xs, p, false);
  EXPECT_TRUE(std::any_of(raw.begin() + 200 + p, raw.begin() + 260, [](auto& v) { return *v != 0.0; }));
  auto core = CmoCore::create(p).value();
  const auto out = drive(core, xs);
  EXPECT_TRUE(same_series(out, ref::cmo(xs, p)));
  for (std::size_t i = 200 + p; i < 260; ++i) ASSERT_EQ(*out[i], 0.0) << i;
  EXPECT_EQ(*out.back(), 100.0);
}

// ---- Directional-movement core ----

std::vector<Candle> random_candles(std::size_t n, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<Candle> cs;
  double close = 100.0;
  for (std::size_t i = 0; i < n; ++i) {
    Candle c;
    c.open = close;
    c.close = close + (u(rng) - 0.5) * 4.0;
    c.high = std::max(c.open, c.close) + u(rng) * (i % 9 == 0 ? 0.0 : 2.0);
    c.low = std::min(c.open, c.close) - u(rng) * 2.0;
    close = c.close;
    cs.push_back(c);
  }
  return cs;
}

TEST(AdxCore, MatchesWilderReferenceFromThe2PthCandle) {
  for (std::size_t p : {1u, 3u, 14u}) {
    const auto cs = random_candles(300, 100 + p);
    auto core = AdxCore::create(p).value();
    double s_tr = 0.0, s_plus = 0.0, s_minus = 0.0, adx = 0.0;
    std::vector<double> dxs;
    for (std::size_t i = 0; i < cs.size(); ++i) {
      const auto got = core.update_value(cs[i]);
      if (i == 0) {
        ASSERT_FALSE(got);
        continue;
      }
      const Candle& c = cs[i];
      const Candle& q = cs[i - 1];
      const double tr = std::max({c.high - c.low, std::fabs(c.high - q.close), std::fabs(c.low - q.close)});
      const double up = c.high - q.high, down = q.low - c.low;
      const double plus = up > down && up > 0 ? up : 0.0, minus = down > up && down > 0 ? down : 0.0;
      const double n = double(p);
      if (i <= p) {
        s_tr += tr, s_plus += plus, s_minus += minus;
        if (i < p) {
          ASSERT_FALSE(got) << i;
          continue;
        }
      } else {
        s_tr = tr + (s_tr - s_tr / n);
        s_plus = plus + (s_plus - s_plus / n);
        s_minus = minus + (s_minus - s_minus / n);
      }
      const double pdi = s_tr == 0 ? 0.0 : 100.0 * s_plus / s_tr, mdi = s_tr == 0 ? 0.0 : 100.0 * s_minus / s_tr;
      const double dx = pdi + mdi == 0 ? 0.0 : std::fabs(pdi - mdi) * 100.0 / (pdi + mdi);
      if (dxs.size() < p) {
        dxs.push_back(dx);
        if (dxs.size() < p) {
          ASSERT_FALSE(got) << i;
          continue;
        }
        double s = -0.0;
        for (double v : dxs) s += v;
        adx = s / n;
        EXPECT_EQ(i + 1, 2 * p);
      } else {
        adx = (dx + (n - 1.0) * adx) / n;
      }
      ASSERT_TRUE(got) << i;
      ASSERT_EQ(got->plus_di, pdi);
      ASSERT_EQ(got->minus_di, mdi);
      ASSERT_EQ(got->adx, adx);
    }
  }
}

TEST(RollingExtremes, AgreeWithAScan) {
  std::mt19937_64 rng(77);
  std::uniform_int_distribution<int> level(-3, 3);  // many ties
  for (std::size_t window : {1u, 2u, 3u, 8u, 31u}) {
    RollingExtremes ext(window);
    std::vector<double> seen;
    for (int t = 0; t < 2000; ++t) {
      const double x = level(rng) * 0.5;
      if (ext.full()) {
        EXPECT_EQ(ext.oldest(), seen[seen.size() - window]);
      }
      ext.push(x);
      seen.push_back(x);
      const auto from = seen.end() - std::min(seen.size(), window);
      ASSERT_EQ(ext.largest(), *std::max_element(from, seen.end())) << window << " " << t;
      ASSERT_EQ(ext.smallest(), *std::min_element(from, seen.end())) << window << " " << t;
    }
  }
}

// Long windows whose queues fill up over long monotone runs and then wrap.
TEST(RollingExtremes, LongWindowsAgreeWithAScanThroughMonotoneRuns) {
  std::mt19937_64 rng(78);
  std::normal_distribution<double> step(0.0, 1.0);
  std::vector<double> xs;
  double x = 0.0;
  for (int t = 0; t < 3000; ++t) {
    // Rising, falling and noisy stretches of a few hundred values each.
    const int phase = (t / 350) % 3;
    x += phase == 0 ? 1.0 : phase == 1 ? -1.0 : step(rng);
    xs.push_back(x);
  }
  for (std::size_t window : {100u, 400u}) {
    RollingExtremes ext(window);
    for (std::size_t t = 0; t < xs.size(); ++t) {
      if (ext.full()) {
        ASSERT_EQ(ext.oldest(), xs[t - window]) << window << " " << t;
      }
      ext.push(xs[t]);
      const auto from = xs.begin() + static_cast<std::ptrdiff_t>(t + 1 - std::min(t + 1, window));
      const auto to = xs.begin() + static_cast<std::ptrdiff_t>(t + 1);
      ASSERT_EQ(ext.largest(), *std::max_element(from, to)) << window << " " << t;
      ASSERT_EQ(ext.smallest(), *std::min_element(from, to)) << window << " " << t;
    }
  }
}

// ---- Ring and the bounded deque ----

TEST(Ring, HoldsTheLastCapacityValuesOldestFirstWhileFillingAndWrapped) {
  for (std::size_t capacity : {1u, 3u, 64u, 65u, 300u}) {
    Ring<double> ring(capacity);
    std::vector<double> pushed;
    for (int t = 0; t < 1000; ++t) {
      ring.push(t * 0.5);
      pushed.push_back(t * 0.5);
      const std::size_t held = std::min(pushed.size(), capacity);
      ASSERT_EQ(ring.capacity(), capacity);
      ASSERT_EQ(ring.size(), held);
      ASSERT_EQ(ring.full(), held == capacity);
      const std::vector<double> want(pushed.end() - static_cast<std::ptrdiff_t>(held), pushed.end());
      std::vector<double> by_index, by_runs;
      for (std::size_t i = 0; i < ring.size(); ++i) by_index.push_back(ring[i]);
      const auto [older, newer] = ring.runs();
      by_runs.insert(by_runs.end(), older.begin(), older.end());
      by_runs.insert(by_runs.end(), newer.begin(), newer.end());
      ASSERT_EQ(by_index, want) << capacity << " " << t;
      ASSERT_EQ(by_runs, want) << capacity << " " << t;
      ASSERT_EQ(ring.oldest(), want.front());
      ASSERT_EQ(ring.newest(), want.back());
      ASSERT_EQ(ring.back(held - 1), want.front());
    }
    // Cleared, it fills again from empty.
    ring.clear();
    EXPECT_TRUE(ring.empty());
    for (std::size_t i = 0; i < capacity + 2; ++i) ring.push(-double(i));
    EXPECT_EQ(ring.newest(), -double(capacity + 1));
    EXPECT_EQ(ring.oldest(), capacity == 1 ? -double(capacity + 1) : -2.0);
  }
}

TEST(BoundedDeque, BehavesLikeADequeUpToItsLimit) {
  std::mt19937_64 rng(5);
  for (std::size_t limit : {1u, 7u, 64u, 65u, 500u}) {
    BoundedDeque<int> q(limit);
    std::deque<int> want;
    for (int t = 0; t < 20000; ++t) {
      const auto op = rng() % 8;
      if (op < 4 && want.size() < limit) {
        q.push_back(t);
        want.push_back(t);
      } else if (op < 6 && !want.empty()) {
        q.pop_front();
        want.pop_front();
      } else if (!want.empty()) {
        q.pop_back();
        want.pop_back();
      }
      ASSERT_EQ(q.size(), want.size()) << limit << " " << t;
      ASSERT_EQ(q.empty(), want.empty());
      if (!want.empty()) {
        ASSERT_EQ(q.front(), want.front());
        ASSERT_EQ(q.back(), want.back());
        const std::size_t mid = want.size() / 2;
        ASSERT_EQ(q[mid], want[mid]);
      }
    }
  }
}

TEST(StepCores, RefusedInputsLeaveThePreviousValueInPlace) {
  ChangeStream diffs;
  EXPECT_FALSE(diffs.next(1.5));
  EXPECT_FALSE(diffs.next(kNaN));
  EXPECT_EQ(diffs.next(4.0), 2.5);
  EXPECT_FALSE(diffs.next(-kInf));
  EXPECT_EQ(diffs.next(3.0), -1.0);
  EXPECT_FALSE(std::signbit(*diffs.next(3.0)));  // 3 - 3 is +0.0
  EXPECT_EQ(diffs.next(-1e308), -1e308 - 3.0);
  EXPECT_EQ(diffs.next(1e308), kInf);  // the change itself may overflow

  LogReturnStream returns;
  EXPECT_FALSE(returns.next(0.0));
  EXPECT_FALSE(returns.next(100.0));
  for (double refused : {0.0, -0.0, -5.0, kNaN, kInf}) EXPECT_FALSE(returns.next(refused)) << refused;
  EXPECT_EQ(returns.next(110.0), std::log(110.0 / 100.0));
  EXPECT_EQ(returns.next(55.0), std::log(55.0 / 110.0));
}

TEST(WindowChecks, AdxCoreRefusesAnOversizedPeriod) {
  // (The texts and order of the period checks: every family's constructor table.)
  EXPECT_FALSE(AdxCore::create(~0ULL).ok());
}

// ---- Runs of equal values pushed at once ----

TEST(RunWindowSum, EveryRunSumsAsItsSinglePushes) {
  // Runs of zeros, of fractions (often the run before's value again) and of
  // negative values among single values of every size and sign, so that
  // nearly every sum rounds, and some to a tie or across zero; many short
  // tapes, so that runs also meet filling windows.
  const double run_values[] = {0.1, 1.0 + 0x1p-51, 0.0, 7e15 + 1.0, -0.2};
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> single(-1.0, 3.0);
  for (std::size_t n : {1, 2, 3, 4, 7, 16, 50}) {
    for (int tape = 0; tape < 40; ++tape) {
      RunWindowSum runs(n);
      std::vector<double> pushed, got;
      std::vector<std::size_t> ends;  // values pushed after each run
      double x = 0.0;
      for (int step = 0; step < 40; ++step) {
        const bool one = rng() % 3 == 0;
        if (one) {
          x = rng() % 8 == 0 ? -7e15 : single(rng);
        } else if (rng() % 2 == 0) {
          x = run_values[rng() % 5];
        }
        const std::uint64_t times = one ? 1 : rng() % (3 * n + 2) + 1;
        runs.push_repeated(x, times);
        pushed.insert(pushed.end(), times, x);
        ASSERT_EQ(runs.full(), pushed.size() >= n);
        got.push_back(runs.sum());
        ends.push_back(pushed.size());
      }
      const std::vector<double> sums = ref::counted_sums(pushed, n, n, -0.0);
      for (std::size_t k = 0; k < got.size(); ++k)
        ASSERT_TRUE(same_bits(got[k], sums[ends[k] - 1])) << "n " << n << " run " << k << ": " << got[k];
    }
  }
  // A run pushing out its own value from a window whose other values all but
  // cancel it: s - x + x rounds away from s.
  const double x = 7e15 + 1.0;
  RunWindowSum runs(4);
  runs.push_repeated(x, 2);
  runs.push(-1.4e16);
  runs.push(0.75);
  runs.push_repeated(x, 2);
  const double want = ref::counted_sums({x, x, -1.4e16, 0.75, x, x}, 4, 4, -0.0).back();
  EXPECT_EQ(want, 3.0);  // the window's sum 2.75, then two rounded steps
  EXPECT_TRUE(same_bits(runs.sum(), want)) << runs.sum();
  // A run of x pushing out the window's only non-zero value, an x whose sum
  // was lost to rounding: the sum restarts from +0.0 before the x is added.
  RunWindowSum lone(4);
  for (double y : {1e16, 0.1, 0.0, 0.0, 0.0}) lone.push(y);
  lone.push_repeated(0.1, 2);
  EXPECT_EQ(lone.sum(), ref::counted_sums({1e16, 0.1, 0.0, 0.0, 0.0, 0.1, 0.1}, 4, 4, -0.0).back());
  EXPECT_EQ(lone.sum(), 0.2);
}

}  // namespace
}  // namespace vsci
