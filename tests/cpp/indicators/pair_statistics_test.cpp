// The co-statistics against two-pass window references over random, trending,
// exactly linear and flat-reference bars; ties, flat windows and fallbacks on
// hand-made bars; relative strength against its two stages; the constructor
// checks; and the input rule every kind over two series shares.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "factory/registry.h"
#include "support/pair_reference.h"

namespace vsci {
namespace {

using namespace vsci::testing;

V steps(const V& v, bool log) {
  V d;
  for (std::size_t i = 1; i < v.size(); ++i) d.push_back(log ? std::log(v[i] / v[i - 1]) : v[i] - v[i - 1]);
  return d;
}

V values_of(std::span<const NamedOutput> outputs) {
  V v;
  for (const NamedOutput& o : outputs) v.push_back(o.value);
  return v;
}

double beta(const ref::Moments& m) { return m.var_y == 0.0 ? 0.0 : m.cov / m.var_y; }

V ranks(const V& v) {
  V out;
  for (double x : v) out.push_back(std::count_if(v.begin(), v.end(), [x](double u) { return u < x; }) +
                                   (std::count(v.begin(), v.end(), x) + 1.0) / 2.0);
  return out;
}

double kendall(const V& x, const V& y) {
  double c = 0.0, d = 0.0, tx = 0.0, ty = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i)
    for (std::size_t j = i + 1; j < x.size(); ++j) {
      tx += x[i] == x[j], ty += y[i] == y[j];
      if (x[i] != x[j] && y[i] != y[j]) ((x[i] - x[j]) * (y[i] - y[j]) > 0.0 ? c : d) += 1.0;
    }
  const double all = static_cast<double>(x.size() * (x.size() - 1) / 2), q = (all - tx) * (all - ty);
  return q == 0.0 ? 0.0 : std::clamp((c - d) / std::sqrt(q), -1.0, 1.0);
}

TEST(PairStatistics, MatchTwoPassWindowReferences) {
  const double f = 0.5;
  const auto m = [](const V& c, const V& r) { return ref::moments(c, r); };
  const std::vector<PairRefRow> rows = {
      {"Beta", {6}, 6, [&](const V& c, const V& r) { return V{beta(m(c, r))}; }},
      {"Alpha", {6, f}, 6, [&](const V& c, const V& r) {
         const auto w = m(c, r);
         return V{w.var_y <= 0.0 ? w.mean_x - f : w.mean_x - (f + beta(w) * (w.mean_y - f))};
       }},
      {"BetaNeutralSpread", {7}, 7, [&](const V& c, const V& r) {
         const auto w = m(c, r);
         return V{c.back() - ((w.mean_x - beta(w) * w.mean_y) + beta(w) * r.back())};
       }},
      {"TreynorRatio", {6, f}, 6, [&](const V& c, const V& r) {
         const auto w = m(c, r);
         return V{w.var_y <= 0.0 || beta(w) == 0.0 ? 0.0 : (w.mean_x - f) / beta(w)};
       }},
      {"PairwiseBeta", {6}, 7, [&](const V& c, const V& r) { return V{beta(m(steps(c, true), steps(r, true)))}; }},
      {"RollingCovariance", {6}, 7, [&](const V& c, const V& r) { return V{m(steps(c, false), steps(r, false)).cov}; }},
      {"RollingCorrelation", {6}, 7,
       [](const V& c, const V& r) { return V{ref::correlation(steps(c, false), steps(r, false))}; }},
      {"PearsonCorrelation", {6}, 6, [](const V& c, const V& r) { return V{ref::correlation(c, r)}; }},
      {"InformationRatio", {6}, 6, [&](const V& c, const V& r) {
         V a;
         for (std::size_t i = 0; i < c.size(); ++i) a.push_back(c[i] - r[i]);
         return V{m(a, a).var_x == 0.0 ? 0.0 : m(a, a).mean_x / std::sqrt(m(a, a).var_x)};
       }},
      {"DistanceSsd", {6}, 6, [](const V& c, const V& r) {
         double s = 0.0;
         for (std::size_t i = 0; i < c.size(); ++i) s += std::pow(c[i] / c[0] - r[i] / r[0], 2.0);
         return V{s};
       }},
      {"KendallTau", {9}, 9, [](const V& c, const V& r) { return V{kendall(c, r)}; }},
      {"SpearmanCorrelation", {9}, 9, [](const V& c, const V& r) { return V{ref::correlation(ranks(c), ranks(r))}; }},
      {"CloseToReferenceRatio", {}, 1, [](const V& c, const V& r) { return V{r[0] > 0.0 ? c[0] / r[0] : 0.0}; }},
  };
  // Random and trending bars, the close exactly 2 * reference + 1, a flat reference.
  PairBars linear, flat = tape_pairs(300, 5);
  for (std::size_t i = 0; i < 300; ++i) linear.ref.push_back(100.0 + static_cast<double>(i * 14 % 23));
  for (double r : linear.ref) linear.close.push_back(2.0 * r + 1.0);
  std::fill(flat.ref.begin(), flat.ref.end(), 64.0);
  expect_pair_refs(rows, {tape_pairs(400, 3), tape_pairs(400, 4, 0.3), linear, flat});
}

// Average ranks by sorting the window, then their population correlation with
// every sum taken oldest first: the value bit for bit.
double spearman_by_sorting(const V& x, const V& y) {
  const auto average_ranks = [](const V& v) {
    std::vector<std::size_t> order(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return v[a] < v[b]; });
    V ranks(v.size());
    for (std::size_t i = 0, j = 0; i < v.size(); i = j) {
      while (j < v.size() && v[order[j]] == v[order[i]]) ++j;
      for (std::size_t k = i; k < j; ++k) ranks[order[k]] = (static_cast<double>(i + 1) + static_cast<double>(j)) * 0.5;
    }
    return ranks;
  };
  const V rx = average_ranks(x), ry = average_ranks(y);
  const double n = static_cast<double>(x.size());
  double mx = 0.0, my = 0.0, sxx = 0.0, syy = 0.0, sxy = 0.0;
  for (std::size_t i = 0; i < rx.size(); ++i) mx += rx[i], my += ry[i];
  mx /= n, my /= n;
  for (std::size_t i = 0; i < rx.size(); ++i) {
    sxx += (rx[i] - mx) * (rx[i] - mx), syy += (ry[i] - my) * (ry[i] - my), sxy += (rx[i] - mx) * (ry[i] - my);
  }
  const double p = (sxx / n) * (syy / n);
  return p == 0.0 ? 0.0 : std::clamp((sxy / n) / std::sqrt(p), -1.0, 1.0);
}

TEST(PairStatistics, SpearmanRanksFollowTheWindowExactly) {
  PairBars ties{tie_series(4400, 1), tie_series(4400, 2)};
  std::fill(ties.ref.begin() + 3000, ties.ref.begin() + 3300, 7.0);  // a flat reference: no correlation
  for (double n : {2.0, 14.0, 200.0, 2000.0}) {
    expect_pair_refs({{"SpearmanCorrelation", {n}, static_cast<std::size_t>(n),
                       [](const V& c, const V& r) { return V{spearman_by_sorting(c, r)}; }, 0.0}},
                     {ties, tape_pairs(2600, 6)});
  }
}

TEST(PairStatistics, TiesFlatWindowsAndFallbacks) {
  expect_last("KendallTau", {4}, {{1, 2, 3, 4}, {5, 6, 7, 8}}, {1.0});
  expect_last("KendallTau", {4}, {{3, 3, 3, 3}, {5, 7, 6, 8}}, {0.0});
  expect_last("KendallTau", {4}, {{1, 1, 2, 3}, {5, 5, 6, 8}}, {1.0});
  expect_last("SpearmanCorrelation", {4}, {{1, 2, 2, 3}, {1, 2, 3, 4}}, {std::sqrt(0.9)}, 1e-15);
  expect_last("DistanceSsd", {3}, {{0, 1, 2}, {1, 2, 3}}, {0.0});
  expect_last("CloseToReferenceRatio", {}, {{2}, {-4}}, {0.0});
  expect_last("CloseToReferenceRatio", {}, {{2}, {0}}, {0.0});
  // The running sums still hold residue of the large values that left.
  expect_last("Beta", {3}, {{1, 5, 2, 7, 3}, {1000.3, 7.1, 0.1, 0.1, 0.1}}, {0.0});
  expect_last("Alpha", {3, 1.0}, {{1000.3, 7.1, 0.1, 0.1, 0.1}, {1, 5, 2, 7, 3}}, {0.1 - 1.0});
  expect_last("InformationRatio", {3}, {V(7, 0.3), V(7, 0.2)}, {0.0});
}

TEST(PairStatistics, RelativeStrengthIsTheRatioThroughItsTwoStages) {
  const PairBars bars = tape_pairs(300, 9);
  V ratio;
  for (std::size_t i = 0; i < bars.close.size(); ++i) ratio.push_back(bars.close[i] / bars.ref[i]);
  const PairRun run = run_pairs("RelativeStrengthAB", {9, 14}, bars);
  const Series ma = run_kind("Sma", {9}, ratio), rsi = run_kind("Rsi", {14}, ratio);
  EXPECT_EQ(build_ok("RelativeStrengthAB", {20, 5})->warmup(), 20u);
  for (std::size_t i = 0; i < ratio.size(); ++i) {
    ASSERT_EQ(run.values[i].has_value(), ma[i] && rsi[i]) << i;
    if (run.values[i]) {
      EXPECT_EQ(run.outputs[i], (V{ratio[i], *ma[i], *rsi[i]})) << i;
    }
  }
}

TEST(PairStatistics, ConstructorChecks) {
  std::vector<BuildCase> cases = min_then_max_cases({
      {"Beta", {2}, 0, "beta needs period >= 2"},
      {"Alpha", {2, -1e9}, 0, "alpha needs period >= 2"},
      {"BetaNeutralSpread", {2}, 0, "beta-neutral spread needs period >= 2"},
      {"TreynorRatio", {2, 0}, 0, "treynor ratio needs period >= 2"},
      {"PairwiseBeta", {2}, 0, "pairwise beta needs period >= 2"},
      {"RollingCovariance", {2}, 0, "rolling covariance needs period >= 2"},
      {"RollingCorrelation", {2}, 0, "rolling correlation needs period >= 2"},
      {"PearsonCorrelation", {2}, 0, "pearson correlation needs period >= 2"},
      {"InformationRatio", {2}, 0, "information ratio needs period >= 2"},
      {"DistanceSsd", {2}, 0, "distance SSD needs period >= 2"},
      {"KendallTau", {2}, 0, "Kendall tau needs period >= 2"},
      {"SpearmanCorrelation", {2}, 0, "spearman correlation needs period >= 2"},
  });
  cases.insert(cases.end(), {{"Beta", {16777216}, ""}, {"RelativeStrengthAB", {kZeroCount, 16777217}, kPeriodZeroText},
                             {"RelativeStrengthAB", {16777217, kZeroCount}, kMaxPeriodText},
                             {"RelativeStrengthAB", {1, kZeroCount}, kPeriodZeroText},
                             {"RelativeStrengthAB", {1, 16777217}, kMaxPeriodText},
                             {"CloseToReferenceRatio", {1, 2}, ""}});
  expect_build_outcomes(cases);
}

// Every kind over two series: bars with a non-finite close or reference, or
// refused by the kind's own rule, give no value and leave no trace; with no
// reference at all a kind never gives a value.
TEST(PairKinds, BarsFailingTheInputRuleLeaveNoTrace) {
  const BarTape tape = make_tape(400, 11);
  for (const KindEntry* e : registry()) {
    if (e->input != InputClass::Reference) continue;
    const std::string kind(e->name);
    SCOPED_TRACE(kind);
    std::vector<std::pair<double, double>> bad = {{1.0, kNaN}, {kNaN, 2.0}, {3.0, kInf}, {-kInf, 1.0}};
    if (kind == "PairwiseBeta" || kind == "PairSpreadZScore") bad.insert(bad.end(), {{0.0, 2.0}, {2.0, -1.0}});
    if (kind == "RelativeStrengthAB") bad.push_back({2.0, 0.0});
    const V params(e->example.view().begin(), e->example.view().end());
    auto clean = build_ok(kind, params), gapped = build_ok(kind, params), silent = build_ok(kind, params);
    for (std::size_t i = 0; i < tape.size(); ++i) {
      if (i % 9 == 4) {
        const auto [c, r] = bad[i / 9 % bad.size()];
        const Candle candle{0, c, c, c, c, 1.0};
        BarContext ctx(candle);
        ctx.reference = r;
        const V before = values_of(gapped->outputs());
        EXPECT_FALSE(gapped->update(ctx).has_value()) << "bar " << i;
        EXPECT_EQ(values_of(gapped->outputs()), before);
      }
      ASSERT_TRUE(same_bits(clean->update(tape.context(i)), gapped->update(tape.context(i)))) << "bar " << i;
      ASSERT_EQ(values_of(clean->outputs()), values_of(gapped->outputs()));
      EXPECT_FALSE(silent->update(BarContext(tape.candles[i])).has_value());
    }
  }
}

}  // namespace
}  // namespace vsci
