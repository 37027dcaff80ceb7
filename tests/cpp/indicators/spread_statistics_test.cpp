// The spread kinds against two-pass window references over random and
// trending bars, the Kalman hedge against its recursion written out, flat,
// linear, trending and alternating spreads, and the constructor checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/pair_reference.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// The spread c - r, or with `log` ln c - beta ln r, beta the slope of ln c on
// ln r over the `b` bars up to each bar.
V spread(const V& c, const V& r, std::size_t b = 0) {
  V s;
  for (std::size_t i = b > 0 ? b - 1 : 0; i < c.size(); ++i) {
    if (b == 0) {
      s.push_back(c[i] - r[i]);
      continue;
    }
    V lc, lr;
    for (std::size_t j = i + 1 - b; j <= i; ++j) lc.push_back(std::log(c[j])), lr.push_back(std::log(r[j]));
    const auto m = ref::moments(lr, lc);
    s.push_back(lc.back() - (m.var_x == 0.0 ? 0.0 : m.cov / m.var_x) * lr.back());
  }
  return s;
}

// Slope of y(t) on s(t - 1), y the change or the level; 0 when s is flat.
double lag_slope(const V& s, bool change) {
  V x, y;
  for (std::size_t t = 1; t < s.size(); ++t) x.push_back(s[t - 1]), y.push_back(change ? s[t] - s[t - 1] : s[t]);
  const auto m = ref::moments(x, y);
  return m.var_x <= 0.0 ? 0.0 : m.cov / m.var_x;
}

TEST(SpreadStatistics, MatchTwoPassWindowReferences) {
  const std::vector<PairRefRow> rows = {
      {"PairSpreadZScore", {4, 5}, 8, [](const V& c, const V& r) {
         const V s = spread(c, r, 4);
         const auto z = ref::moments(s, s);
         return V{z.var_x == 0.0 ? 0.0 : (s.back() - z.mean_x) / std::sqrt(z.var_x)};
       }},
      {"SpreadBollingerBands", {6, 2.0}, 6, [](const V& c, const V& r) {
         const V s = spread(c, r);
         const auto m = ref::moments(s, s);
         const double w = 2.0 * std::sqrt(m.var_x), up = m.mean_x + w, lo = m.mean_x - w;
         return V{m.mean_x, m.mean_x, up, lo, w == 0.0 ? 0.5 : (s.back() - lo) / (up - lo)};
       }},
      {"OuHalfLife", {7}, 7, [](const V& c, const V& r) {
         const double b = lag_slope(spread(c, r), true);
         return V{b >= 0.0 ? 0.0 : -std::log(2.0) / b};
       }},
      {"SpreadAr1Coefficient", {7}, 7, [](const V& c, const V& r) { return V{lag_slope(spread(c, r), false)}; }},
      {"SpreadHurst", {12}, 12, [](const V& c, const V& r) {
         const V s = spread(c, r);
         V x, y;
         for (std::size_t lag = 1; lag <= 3; ++lag) {
           double v = 0.0;
           for (std::size_t i = 0; i + lag < s.size(); ++i) v += std::pow(s[i + lag] - s[i], 2.0);
           x.push_back(std::log(static_cast<double>(lag)));
           y.push_back(std::log(v / static_cast<double>(s.size() - lag)));
         }
         return V{std::clamp(0.5 * ref::moments(x, y).cov / ref::moments(x, y).var_x, 0.0, 1.0)};
       }},
      {"VarianceRatio", {9, 3}, 9, [](const V& c, const V& r) {
         const V s = spread(c, r);
         V d;
         for (std::size_t t = 1; t < s.size(); ++t) d.push_back(s[t] - s[t - 1]);
         const auto m = ref::moments(d, d);
         double acc = 0.0;
         for (std::size_t j = 0; j + 3 <= d.size(); ++j) {
           acc += std::pow(d[j] + d[j + 1] + d[j + 2] - 3.0 * m.mean_x, 2.0);
         }
         return V{acc / static_cast<double>(d.size() - 2) / (3.0 * m.var_x)};
       }},
  };
  expect_pair_refs(rows, {tape_pairs(400, 3), tape_pairs(400, 4, 0.3)});
}

// One reference far too large for the covariance: that bar keeps the estimate
// instead of turning it into NaN for good.
TEST(SpreadStatistics, KalmanHedgeFollowsItsRecursion) {
  PairBars bars = tape_pairs(300, 6);
  bars.ref[150] = 1e308;
  const double delta = 0.9, obs = 0.5, q = delta / (1.0 - delta);
  const PairRun run = run_pairs("KalmanPairHedge", {delta, obs}, bars);
  double b = 0.0, a = 0.0, p[2][2] = {{0.0, 0.0}, {0.0, 0.0}};
  for (std::size_t i = 0; i < bars.close.size(); ++i) {
    const double c = bars.close[i], r = bars.ref[i];
    if (i > 0) p[0][0] += q, p[1][1] += q;
    const double ph[2] = {p[0][0] * r + p[0][1], p[1][0] * r + p[1][1]};
    const double s = r * ph[0] + ph[1] + obs, e = c - (b * r + a);
    if (std::isfinite(s)) {
      const double k[2] = {ph[0] / s, ph[1] / s}, hp[2] = {r * p[0][0] + p[1][0], r * p[0][1] + p[1][1]};
      b += k[0] * e, a += k[1] * e;
      for (int u = 0; u < 4; ++u) p[u / 2][u % 2] -= k[u / 2] * hp[u % 2];
    }
    ASSERT_TRUE(run.values[i] && std::isfinite(*run.values[i])) << i;
    for (std::size_t k = 0; k < 3; ++k) ASSERT_TRUE(close_enough(run.outputs[i][k], V{b, a, e}[k], 1e-12)) << i;
  }
}

TEST(SpreadStatistics, FlatLinearTrendingAndAlternatingSpreads) {
  const PairBars flat5{{6, 7, 8, 9, 10}, {1, 2, 3, 4, 5}};
  expect_last("SpreadBollingerBands", {4, 2.0}, flat5, {5.0, 5.0, 5.0, 5.0, 0.5});
  // A band narrower than the rounding of its middle is no band.
  EXPECT_EQ(run_pairs("SpreadBollingerBands", {5, 1e-300}, tape_pairs(100, 8)).outputs.back().at(3), 0.5);
  expect_last("VarianceRatio", {4, 2}, flat5, {1.0});
  expect_last("VarianceRatio", {5, 2}, {{2, 4, 6, 8, 10}, {1, 2, 3, 4, 5}}, {1.0});
  expect_last("OuHalfLife", {5}, {{2, 5, 10, 17, 26}, V(5, 1.0)}, {0.0});
  expect_last("OuHalfLife", {5}, {{2, 0, 2, 0, 2}, V(5, 1.0)}, {0.6931471805599453 / 2.0});
  // 0.1 + 0.1 + 0.1 is not 0.3: a flat window's mean must not come from its sum.
  expect_last("SpreadAr1Coefficient", {4}, {V(4, 0.1), V(4, 0.0)}, {0.0});
  expect_last("SpreadHurst", {8}, {V(8, 3.0), V(8, 1.0)}, {0.5});
  expect_last("KalmanPairHedge", {0.1, 1.0}, {{7}, {3}}, {0.0, 0.0, 0.0, 7.0});
}

TEST(SpreadStatistics, ConstructorChecks) {
  std::vector<BuildCase> cases = min_then_max_cases({
      {"PairSpreadZScore", {2, 2}, 0, "pair spread z-score needs beta_period >= 2"},
      {"PairSpreadZScore", {2, 2}, 1, "pair spread z-score needs z_period >= 2"},
      {"SpreadBollingerBands", {2, 1}, 0, "spread bollinger bands needs period >= 2"},
      {"OuHalfLife", {3}, 0, "OU half-life needs period >= 3"},
      {"SpreadAr1Coefficient", {3}, 0, "AR(1) spread coefficient needs period >= 3"},
      {"SpreadHurst", {8}, 0, "spread Hurst needs period >= 8"},
      {"VarianceRatio", {4, 2}, 1, "variance ratio needs q >= 2"},
  });
  const std::string num_std = "invalid parameter: spread bollinger bands needs num_std > 0";
  const std::string delta = "invalid parameter: kalman hedge ratio needs delta in (0, 1)";
  cases.insert(cases.end(), {
      {"PairSpreadZScore", {1, 1}, "invalid period: pair spread z-score needs beta_period >= 2"},
      {"SpreadBollingerBands", {1, 0}, "invalid period: spread bollinger bands needs period >= 2"},
      {"SpreadBollingerBands", {5, 0}, num_std}, {"SpreadBollingerBands", {5, -0.0}, num_std},
      {"SpreadBollingerBands", {5, 5e-324}, ""},
      {"VarianceRatio", {5, 4}, "invalid period: variance ratio needs period >= q + 2"},
      {"VarianceRatio", {3, 16777217}, kMaxPeriodText}, {"VarianceRatio", {16777217, 4}, kMaxPeriodText},
      {"KalmanPairHedge", {0, 0}, delta}, {"KalmanPairHedge", {-0.0, 1}, delta}, {"KalmanPairHedge", {1, 1}, delta},
      {"KalmanPairHedge", {0.5, 0}, "invalid parameter: kalman hedge ratio needs observation_var > 0"},
      {"KalmanPairHedge", {0.999, 1e-300}, ""},
  });
  expect_build_outcomes(cases);
}

}  // namespace
}  // namespace vsci
