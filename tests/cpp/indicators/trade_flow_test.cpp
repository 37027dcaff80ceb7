// Trade-print kinds against references over all the prints of a tape up to
// each print (a bar gives its last print's result), a huge, infinite or NaN
// print that Vpin must get through, Vpin's runs of whole buckets against
// bucket-by-bucket pushes, and the construction checks in order.
#include <random>

#include "support/batch_reference.h"
#include "support/feed_tape.h"
#include "support/counted_sums.h"

namespace vsci::testing {
namespace {

struct Print {
  double price, size, sign, mid;
  double q() const { return sign * size; }  // the signed size
};
using Prints = std::span<const Print>;

// The bar's prints with its mid; with `need_mid`, none when the mid is not a price.
auto prints(bool need_mid) {
  return [=](const BarTape& t, std::size_t i) {
    const OrderBook& b = t.books[i];
    const double mid = b.bids.empty() || b.asks.empty() ? t.candles[i].close : (b.bids[0].price + b.asks[0].price) / 2;
    std::vector<Print> out;
    for (const TradePrint& x : t.trades[i])
      if (!need_mid || (mid > 0.0 && mid < kInf)) out.push_back({x.price, x.size, x.side == TradeSide::Buy ? 1.0 : -1.0, mid});
    return out;
  };
}

double bps(const Print& old, double mid) { return 2.0 * old.sign * (old.price - mid) / old.mid * 10000.0; }

TEST(TradeFlow, MatchReferences) {
  const auto amihud = [](const std::vector<Print>& r, std::size_t j, const Params& p) -> std::optional<double> {
    std::vector<double> terms;  // each print with a size against the one before it
    for (std::size_t k = 0, last = j + 1; k <= j; ++k) {
      if (r[k].size == 0.0) continue;
      if (last <= j) terms.push_back(std::fabs(std::log(r[k].price / r[last].price)) / (r[k].price * r[k].size));
      last = k;
    }
    // A last print without size repeats the last value: no term came since.
    if (terms.size() < p[0]) return std::nullopt;
    return window_sum(terms, terms.size() - 1, std::size_t(p[0])) / p[0];
  };
  const auto vpin = [](const std::vector<Print>& r, std::size_t j, const Params& p) -> std::optional<double> {
    std::vector<double> imbalances;  // bucket by bucket
    double side[2] = {0.0, 0.0}, filled = 0.0;
    for (std::size_t k = 0; k <= j; ++k)
      for (double s = r[k].size, take; s > 0.0; s -= take) {
        take = std::min(s, p[0] - filled), side[r[k].sign > 0.0] += take, filled += take;
        if (filled >= p[0]) imbalances.push_back(std::fabs(side[1] - side[0])), side[0] = side[1] = filled = 0.0;
      }
    if (imbalances.size() < p[1]) return std::nullopt;
    return window_sum(imbalances, imbalances.size() - 1, std::size_t(p[1])) / (p[0] * p[1]);
  };
  const auto roll = [](Prints w, double n) {  // n + 1 prints
    const auto d = [&](std::size_t k) { return w[k].price - w[k - 1].price; };
    double m = 0.0, c = 0.0;
    for (std::size_t k = 1; k < w.size(); ++k) m += d(k);
    for (std::size_t k = 2; k < w.size(); ++k) c += (d(k) - m / n) * (d(k - 1) - m / n);
    return c < 0.0 ? 2.0 * std::sqrt(-c / (n - 1.0)) : 0.0;
  };
  const auto imbalance = [](Prints w, double) {
    double side[2] = {0.0, 0.0};  // sells, buys
    for (const Print& x : w) side[x.sign > 0.0] += x.size;
    return side[1] + side[0] > 0.0 ? (side[1] - side[0]) / (side[1] + side[0]) : 0.0;
  };
  const auto autocorrelation = [](Prints w, double n) {
    double c = 0.0;
    for (std::size_t k = 1; k < w.size(); ++k) c += w[k - 1].sign * w[k].sign;
    return c / (n - 1.0);
  };
  const auto kyle = [](Prints w, double n) {  // n + 1 prints; slope about the window means
    double mq = 0.0, mm = 0.0, var = 0.0, cov = 0.0;
    for (std::size_t k = 1; k < w.size(); ++k) mq += w[k].q(), mm += w[k].mid - w[k - 1].mid;
    for (std::size_t k = 1; k < w.size(); ++k)
      var += (w[k].q() - mq / n) * (w[k].q() - mq / n), cov += (w[k].q() - mq / n) * (w[k].mid - w[k - 1].mid - mm / n);
    return var == 0.0 ? 0.0 : cov / var;
  };
  expect_record_references<Print>(prints(false), {
      {"AmihudIlliquidity", amihud, {{1}, {5}, {40}}, 1e-15},
      {"Pin", window<Print>(0, [](Prints w, double n) {
         return std::fabs(std::accumulate(w.begin(), w.end(), 0.0, [](double s, const Print& x) { return s + x.sign; })) / n;
       }), {{1}, {4}, {25}}},
      {"RollMeasure", window<Print>(1, roll), {{3}, {12}}},
      {"TradeImbalance", window<Print>(0, imbalance), {{1}, {5}, {30}}, 1e-12},
      {"TradeSignAutocorrelation", window<Print>(0, autocorrelation), {{2}, {9}}},
      {"Vpin", vpin, {{10, 2}, {40, 5}, {7, 30}}, 1e-12},
      {"SignedVolume", newest<Print>([](const Print& x) { return x.q(); }), {{}}},
      {"CumulativeVolumeDelta", running<Print>([](const Print& x) { return x.q(); }), {{}}},
  });
  expect_record_references<Print>(prints(true), {
      {"KylesLambda", window<Print>(1, kyle), {{2}, {10}}, 1e-9},
      {"RealizedSpread", window<Print>(1, [](Prints w, double) { return bps(w.front(), w.back().mid); }), {{1}, {6}}},
      {"TradeToMidSpreadBps", newest<Print>([](const Print& x) { return bps(x, x.mid); }), {{}}},
  });
}

// One print a bar, its price unchanged for runs of 1 to 7 prints (zero
// terms): at short windows the running sum of the terms restarts from exactly
// +0.0 as the last non-zero term leaves, and is re-summed every n terms.
TEST(TradeFlow, AmihudWindowRestartsFromZeroAfterUnchangedPrices) {
  std::vector<double> price, size;
  double p = 100.0;
  for (std::size_t i = 0; i < 1500; ++i) {
    if (!(i % 23 >= 5 && i % 23 < 6 + (i / 23) % 7)) p *= 1.0 + 0.013 * std::sin(double(i) * 1.7);
    price.push_back(p), size.push_back(0.37 * std::pow(10.0, double(i % 3) - 1.0) * (1.0 + double(i % 7)));
  }
  std::vector<double> terms;
  for (std::size_t i = 1; i < price.size(); ++i)
    terms.push_back(std::fabs(std::log(price[i] / price[i - 1])) / (price[i] * size[i]));
  for (std::size_t n = 2; n <= 5; ++n) {
    const auto sums = ref::counted_sums(terms, n, n, -0.0);
    auto ind = build_ok("AmihudIlliquidity", {double(n)});
    Series got, want(price.size());
    for (std::size_t i = 0; i < price.size(); ++i) {
      const Candle c{std::int64_t(i), price[i], price[i], price[i], price[i], 1.0};
      const TradePrint print{price[i], size[i], TradeSide::Buy, std::int64_t(i)};
      BarContext ctx(c);
      ctx.trades = std::span<const TradePrint>(&print, 1);
      got.push_back(ind->update(ctx));
      if (i >= n) want[i] = sums[i - 1] / double(n);
    }
    expect_series(got, want, 0.0, "AmihudIlliquidity " + std::to_string(n));
  }
}

TEST(TradeFlow, VpinGetsThroughHugeInfiniteAndNaNPrints) {
  const auto run = [](Params params, const std::vector<TradePrint>& prints) {  // one bar
    static const Candle candle{0, 1, 1, 1, 1, 0};
    BarContext ctx(candle);
    ctx.trades = prints;
    return build_ok("Vpin", std::move(params))->update(ctx);
  };
  const auto buy = [](double size) { return TradePrint{1, size, TradeSide::Buy, 0}; };
  const auto sell = [](double size) { return TradePrint{1, size, TradeSide::Sell, 0}; };
  EXPECT_EQ(run({10, 2}, {buy(25), sell(3), buy(2)}), 0.7);  // buckets 10 and |7 - 3| of 10 each
  for (double huge : {1e300, kInf})
    EXPECT_TRUE(run({10, 3}, {sell(3), buy(huge)}) == 1.0 && run({1e-300, 4}, {sell(huge)}) == 1.0) << huge;
  EXPECT_EQ(run({1e308, 1}, {buy(25), sell(kInf)}), 1.0);  // rem + V * n overflows
  EXPECT_EQ(run({10, 1}, {buy(25), sell(kNaN), sell(-4)}), 1.0);
}

// Bars of several prints: after a bar's first print every mid change is 0,
// so a window inside one bar has its mid changes' mean exactly 0 and no
// covariance, and the slope is exactly 0; windows that span bars give the
// least-squares slope.
TEST(TradeFlow, KylesLambdaOverFlatMidChanges) {
  const std::vector<std::size_t> prints_per_bar = {1, 6, 2, 1, 7, 3, 1, 1, 6, 2, 5};
  for (double n = 2; n <= 5; ++n) {
    auto ind = build_ok("KylesLambda", {n});
    std::vector<double> q, dm;  // one pair per print after the first
    std::optional<double> previous_mid;
    Series got, want;
    std::vector<bool> flat_dm;
    for (std::size_t b = 0; b < prints_per_bar.size(); ++b) {
      const Candle candle{0, 1, 1, 1, 100.0 + 0.1 * double(b * b % 7), 1};
      std::vector<TradePrint> prints;
      for (std::size_t k = 0; k < prints_per_bar[b]; ++k) {
        const double size = 0.3 + 1.1 * double((b + 3 * k) % 5);
        prints.push_back({candle.close, size, (b + k) % 3 ? TradeSide::Buy : TradeSide::Sell, 0});
        if (previous_mid) {
          q.push_back(prints.back().side == TradeSide::Buy ? size : -size);
          dm.push_back(candle.close - *previous_mid);
        }
        previous_mid = candle.close;
      }
      BarContext ctx(candle);
      ctx.trades = prints;
      got.push_back(ind->update(ctx));
      want.emplace_back();
      flat_dm.push_back(false);
      if (q.size() < n) continue;
      const std::vector<double> wq(q.end() - long(n), q.end()), wm(dm.end() - long(n), dm.end());
      const double mq = ref::flat_exact_mean(wq), mm = ref::flat_exact_mean(wm);
      double var = 0.0, cov = 0.0;
      for (std::size_t i = 0; i < wq.size(); ++i) {
        var += (wq[i] - mq) * (wq[i] - mq);
        cov += (wq[i] - mq) * (wm[i] - mm);
      }
      want.back() = var == 0.0 ? 0.0 : cov / var;
      flat_dm.back() = ref::flat(wm);
    }
    expect_series(got, want, 1e-9, "KylesLambda " + std::to_string(int(n)), flat_dm);
    EXPECT_GT(std::count(flat_dm.begin(), flat_dm.end(), true), 2);
  }
}

// Bucket by bucket, every imbalance pushed on its own.
struct BucketByBucket {
  double v;
  std::size_t n;
  std::vector<double> imbalances;
  double side[2] = {0.0, 0.0}, filled = 0.0;

  // Sizes and bucket volume keep every fill exact here; a print never
  // completes more than n buckets past the current one.
  void print(double s, bool buy) {
    const double rem = v - filled;
    if (s > rem && (s - rem) / v > double(n)) s = std::fmod(s - rem, v) + (rem + v * double(n));
    for (double take; s > 0.0; s -= take) {
      take = std::min(s, v - filled), side[buy] += take, filled += take;
      if (filled >= v) imbalances.push_back(std::fabs(side[1] - side[0])), side[0] = side[1] = filled = 0.0;
    }
  }
};

TEST(TradeFlow, VpinRunsOfWholeBucketsMatchOneByOnePushes) {
  // 2^52: sums of odd imbalances past 2^53 round, so a push out of place
  // shows; every fill stays exact.
  const double v = 4503599627370496.0;
  std::mt19937_64 rng(7);
  static const Candle candle{0, 1, 1, 1, 1, 0};
  for (std::size_t n : {1, 2, 3, 5, 8, 13}) {
    auto kind = build_ok("Vpin", {v, double(n)});
    BucketByBucket buckets{v, n, {}};
    Series got;
    std::vector<std::size_t> pushed;  // imbalances after each bar
    for (int bar = 0; bar < 400; ++bar) {
      const bool buy = rng() % 2 == 0;
      double size = rng() % 3 == 0 ? v / 2 : double(rng() % std::uint64_t(v)) + 1.0;
      // Huge prints start on an empty bucket, where they stay exact.
      if (buckets.filled == 0.0 && rng() % 2 == 0) size = double(rng() % (3 * n + 2) + 1) * v + double(rng() % 1024) * 64;
      BarContext ctx(candle);
      const std::vector<TradePrint> prints{{1, size, buy ? TradeSide::Buy : TradeSide::Sell, 0}};
      ctx.trades = prints;
      got.push_back(kind->update(ctx));
      buckets.print(size, buy);
      pushed.push_back(buckets.imbalances.size());
    }
    const std::vector<double> sums = ref::counted_sums(buckets.imbalances, n, n, -0.0);
    Series want(got.size());
    for (std::size_t i = 0; i < got.size(); ++i)
      if (pushed[i] >= n) want[i] = sums[pushed[i] - 1] / (v * double(n));
    expect_series(got, want, 0.0, "Vpin " + std::to_string(n));
  }
  // At the largest window a huge print is one run: every bucket of one side.
  auto widest = build_ok("Vpin", {1, 16777216});
  const auto bar = [&](std::vector<TradePrint> prints) {
    BarContext ctx(candle);
    ctx.trades = prints;
    return widest->update(ctx);
  };
  EXPECT_EQ(bar({{1, 1e9, TradeSide::Buy, 0}}), 1.0);
  EXPECT_EQ(bar({{1, 0.5, TradeSide::Sell, 0}, {1, 0.5, TradeSide::Buy, 0}}), 16777215.0 / 16777216.0);
  EXPECT_EQ(bar({{1, 1e9, TradeSide::Sell, 0}}), 1.0);
}

TEST(TradeFlow, WarmupsOfThePrintWindows) {  // the others' come on the bar they name (conformance)
  for (auto [kind, warmup] : {std::pair{"AmihudIlliquidity", 6}, {"Pin", 5}, {"RollMeasure", 6}, {"TradeImbalance", 5},
                              {"TradeSignAutocorrelation", 5}, {"KylesLambda", 6}, {"RealizedSpread", 6}})
    EXPECT_EQ(build_ok(kind, {5})->warmup(), std::uint64_t(warmup)) << kind;
  EXPECT_EQ(build_ok("Vpin", {40, 5})->warmup(), 1u);
}

TEST(TradeFlow, ConstructionChecksInOrder) {
  const std::string bucket = "invalid parameter: VPIN bucket_volume must be finite and positive";
  const std::string roll = "invalid period: Roll measure needs period >= 3";
  const std::string kyle = "invalid period: kyle's lambda needs window >= 2";
  const std::string signs = "invalid period: trade-sign autocorrelation needs period >= 2";
  expect_count_checks({"AmihudIlliquidity", "Pin", "TradeImbalance", "RealizedSpread"},
                      {{"Vpin", {0, kZeroCount}, kPeriodZeroText}, {"Vpin", {-1, 16777217}, kMaxPeriodText},
                       {"Vpin", {-0.0, 5}, bucket}, {"Vpin", {-1e-300, 5}, bucket}, {"Vpin", {1e-300, 16777216}, ""},
                       {"RollMeasure", {kZeroCount}, roll}, {"RollMeasure", {2}, roll},
                       {"RollMeasure", {16777217}, kMaxPeriodText}, {"RollMeasure", {3}, ""},
                       {"KylesLambda", {kZeroCount}, kyle}, {"KylesLambda", {1}, kyle},
                       {"KylesLambda", {16777217}, kMaxPeriodText}, {"KylesLambda", {2}, ""},
                       {"TradeSignAutocorrelation", {1}, signs}, {"TradeSignAutocorrelation", {2}, ""},
                       {"TradeSignAutocorrelation", {16777217}, kMaxPeriodText}});
}

// One print a bar, with stretches of zero-size prints; the new print's sizes
// are added before the oldest print's leave, and a side whose window holds
// no non-zero size sums to +0.0.
TEST(TradeFlow, TradeImbalanceSumsAcrossZeroVolume) {
  const std::vector<double> moves = moves_with_zero_stretches(300, {1, 2, 3, 4, 7}, 65);
  const Candle candle{0, 100, 101, 99, 100, 10};
  std::vector<double> buy, sell;
  for (double m : moves) {
    buy.push_back(m > 0.0 ? m : 0.0);
    sell.push_back(m < 0.0 ? -m : 0.0);
  }
  for (std::size_t n : {2, 3, 4, 5, 8}) {
    const auto b = window_sums(buy, n, {.new_first = true}), s = window_sums(sell, n, {.new_first = true});
    auto ind = build_ok("TradeImbalance", {double(n)});
    for (std::size_t j = 0; j < moves.size(); ++j) {
      const TradePrint print{100.0, std::fabs(moves[j]), moves[j] > 0.0 ? TradeSide::Buy : TradeSide::Sell, 0};
      BarContext ctx(candle);
      ctx.trades = std::span<const TradePrint>(&print, 1);
      const double total = b[j] + s[j];
      const auto got = ind->update(ctx);
      ASSERT_EQ(got.has_value(), j + 1 >= n) << "window " << n << " print " << j;
      if (got) {
        ASSERT_TRUE(same_bits(*got, total > 0.0 ? (b[j] - s[j]) / total : 0.0)) << "window " << n << " print " << j;
      }
    }
  }
}

// A bucket of volume 1 a bar, its buys and sells balanced for stretches of
// bars (zero imbalances) and otherwise imbalanced by 1/2 to 1 less a small
// amount of varying magnitude, so that running sums round: the imbalances
// are a counted window sum re-summed every n.
TEST(TradeFlow, VpinSumsAcrossBalancedBuckets) {
  const std::vector<double> moves = moves_with_zero_stretches(300, kStretches, 67);
  const Candle candle{0, 100, 101, 99, 100, 10};
  std::vector<double> buys, imbalances;
  for (std::size_t i = 0; i < moves.size(); ++i) {
    const double a = moves[i] == 0.0 ? 0.5 : 1.0 - 0.25 * std::fabs(moves[i]) / std::pow(10.0, double(i % 4));
    buys.push_back(moves[i] > 0.0 ? a : 1.0 - a);
    imbalances.push_back(std::fabs(buys[i] - (1.0 - buys[i])));
  }
  for (std::size_t n : kStretchWindows) {
    const auto sums = window_sums(imbalances, n, {.resum_every = n});
    auto ind = build_ok("Vpin", {1.0, double(n)});
    for (std::size_t j = 0; j < moves.size(); ++j) {
      const TradePrint prints[] = {{100.0, buys[j], TradeSide::Buy, 0}, {100.0, 1.0 - buys[j], TradeSide::Sell, 0}};
      BarContext ctx(candle);
      ctx.trades = std::span<const TradePrint>(prints, 2);
      const auto got = ind->update(ctx);
      ASSERT_EQ(got.has_value(), j + 1 >= n) << "window " << n << " bar " << j;
      if (got) {
        ASSERT_TRUE(same_bits(*got, sums[j] / (1.0 * double(n)))) << "window " << n << " bar " << j;
      }
    }
  }
}

}  // namespace
}  // namespace vsci::testing
