// The econometric pair tests against regressions written out with a pivoting
// solver over random and trending bars, the solvers' pivot rules, the
// degenerate cases (exactly linear, constant, lagged copy, exact fit), and
// the constructor checks with the bounds on unbounded counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "indicators/pair_tests.h"
#include "support/batch_reference.h"
#include "support/pair_reference.h"

namespace vsci {
namespace {

using namespace vsci::testing;
using Rows = std::vector<V>;

// With one lag: the ADF t-statistic's variance factor (X'X)^-1[0][0] is the
// inverse of the residual sum of squares of the level column on the other.
V cointegration(const V& c, const V& r) {
  const auto m = ref::moments(c, r);
  const double beta = m.var_y == 0.0 ? 0.0 : m.cov / m.var_y, alpha = m.mean_x - beta * m.mean_y;
  V e, y, level;
  Rows x, other;
  for (std::size_t i = 0; i < c.size(); ++i) e.push_back(c[i] - (alpha + beta * r[i]));
  for (std::size_t t = 2; t < e.size(); ++t) {
    x.push_back({e[t - 1], e[t - 1] - e[t - 2]}), other.push_back({e[t - 1] - e[t - 2]}), level.push_back(e[t - 1]);
    y.push_back(e[t] - e[t - 1]);
  }
  const auto b = ref::least_squares(x, y);
  if (!b) return {beta, beta, e.back(), 0.0};
  const double v = *ref::rss(x, y) / static_cast<double>(x.size() - 2) / *ref::rss(other, level);
  return {beta, beta, e.back(), v <= 0.0 ? 0.0 : (*b)[0] / std::sqrt(v)};
}

// With `lags` lags of each series. A lag column that is one repeated value is
// a multiple of the constant column: that fit has no solution. Targets of one
// value the constant fits exactly: no residual.
V granger_with(const V& c, const V& r, std::size_t lags) {
  Rows restricted, full;
  V y;
  for (std::size_t t = lags; t < c.size(); ++t) {
    restricted.push_back({1.0});
    for (std::size_t j = 1; j <= lags; ++j) restricted.back().push_back(c[t - j]);
    full.push_back(restricted.back());
    for (std::size_t j = 1; j <= lags; ++j) full.back().push_back(r[t - j]);
    y.push_back(c[t]);
  }
  for (std::size_t j = 1; j < full[0].size(); ++j) {
    if (std::all_of(full.begin(), full.end(), [&](const V& row) { return row[j] == full[0][j]; })) return {0.0};
  }
  if (ref::flat(y)) return {0.0};
  const auto rr = ref::rss(restricted, y), ru = ref::rss(full, y);
  if (!rr || !ru || *ru == 0.0) return {0.0};
  const double lag_count = static_cast<double>(lags), k = static_cast<double>(full[0].size());
  const double f = ((*rr - *ru) / lag_count) / (*ru / (static_cast<double>(y.size()) - k));
  return {std::isfinite(f) ? std::max(f, 0.0) : 0.0};
}

V granger(const V& c, const V& r) { return granger_with(c, r, 2); }

V hasbrouck(const V& c, const V& r) {
  Rows x;
  V dc, dr;
  for (std::size_t t = 2; t < c.size(); ++t) {
    x.push_back({1.0, c[t - 1] - r[t - 1], c[t - 1] - c[t - 2], r[t - 1] - r[t - 2]});
    dc.push_back(c[t] - c[t - 1]), dr.push_back(r[t] - r[t - 1]);
  }
  const auto b1 = ref::least_squares(x, dc), b2 = ref::least_squares(x, dr);
  if (!b1 || !b2) return {0.5};
  V e1, e2;
  for (std::size_t t = 0; t < x.size(); ++t) {
    e1.push_back(dc[t] - ref::dot(x[t], *b1));
    e2.push_back(dr[t] - ref::dot(x[t], *b2));
  }
  const double s11 = ref::dot(e1, e1) / 8.0, s22 = ref::dot(e2, e2) / 8.0, s12 = ref::dot(e1, e2) / 8.0;
  const double a1 = (*b1)[1], a2 = (*b2)[1], d = a2 * a2 * s11 + a1 * a1 * s22 - 2.0 * a1 * a2 * s12;
  if (s11 <= 0.0 || s22 <= 0.0 || d <= 0.0) return {0.5};
  const double up = std::min(std::pow(a2 * std::sqrt(s11) - a1 * s12 / std::sqrt(s11), 2.0) / d, 1.0);
  const double lo = std::clamp(1.0 - std::pow(a2 * s12 / std::sqrt(s22) - a1 * std::sqrt(s22), 2.0) / d, 0.0, 1.0);
  return {(up + lo) / 2.0};
}

// Window 6, lags -2 .. 2: lag 0 first, then -1, +1, -2, +2.
V lead_lag(const V& c, const V& r) {
  const auto corr = [&](long j) {
    return ref::correlation(V(c.begin() + 2, c.begin() + 8), V(r.begin() + j, r.begin() + j + 6));
  };
  double best = corr(2);
  for (long j : {1, 3, 0, 4})
    if (std::fabs(corr(j)) > std::fabs(best)) best = corr(j);
  return {best, best};
}

TEST(PairTests, MatchRegressionsWrittenOut) {
  expect_pair_refs({{"Cointegration", {8, 1}, 8, cointegration, 1e-6},
                    {"GrangerCausality", {11, 2}, 11, granger, 1e-6},
                    {"HasbrouckInformationShare", {8}, 10, hasbrouck, 1e-6},
                    {"LeadLagCrossCorrelation", {6, 2}, 10, lead_lag}},
                   {tape_pairs(400, 3), tape_pairs(400, 4, 0.3)});
}

// x = (1, -2, 3, 0.5) behind b = A x: a plain system, one that needs a row
// exchange, a singular one and one whose pivots are all below 1e-12.
TEST(PairTests, SolversKeepTheirPivotRules) {
  const std::array<double, 4> want{1.0, -2.0, 3.0, 0.5};
  const std::pair<std::array<double, 16>, std::array<bool, 2>> rows[] = {
      {{4, 1, 0, 1, 1, 5, 1, 0, 0, 1, 6, 2, 1, 0, 2, 7}, {true, true}},
      {{0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 2, 1, 0, 0, 1, 3}, {false, true}},
      {{1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 1, 1, 0, 1, 0}, {false, false}},
      {{5e-13, 0, 0, 0, 0, 5e-13, 0, 0, 0, 0, 5e-13, 0, 0, 0, 0, 5e-13}, {false, false}},
  };
  for (const auto& [matrix, ok] : rows) {
    std::array<double, 4> b{}, x{}, rhs{};
    for (std::size_t i = 0; i < 16; ++i) b[i / 4] += matrix[i] * want[i % 4];
    for (int pivoting = 0; pivoting < 2; ++pivoting) {
      std::array<double, 16> a = matrix;
      rhs = b;
      EXPECT_EQ(pivoting ? solve4x4(a, rhs, x) : ols_solve(a, rhs, x), ok[pivoting]) << pivoting;
      for (std::size_t i = 0; ok[pivoting] && i < 4; ++i) EXPECT_NEAR(x[i], want[i], 1e-12);
    }
  }
}

TEST(PairTests, DegenerateSeries) {
  const PairBars linear{{7, 9, 15, 11, 21, 13, 17}, {3, 4, 7, 5, 10, 6, 8}};
  expect_last("Cointegration", {6, 1}, linear, {2.0, 2.0, 0.0, 0.0}, 1e-9);
  expect_last("HasbrouckInformationShare", {6}, {V(9, 5.0), V(9, 3.0)}, {0.5});
  const PairBars lagged{{7, 8, 3, 1, 4, 1, 5, 9, 2, 6}, {3, 1, 4, 1, 5, 9, 2, 6, 5, 3}};
  expect_last("LeadLagCrossCorrelation", {6, 2}, lagged, {1.0}, 1e-12);
  // Every candidate of a two-bar window is +-1: the first one found stays.
  expect_last("LeadLagCrossCorrelation", {2, 1}, {{5, 1, 2, 5}, {0, 1, 2, 1}}, {1.0});
  // An exact fit leaves no residual to divide by.
  expect_last("GrangerCausality", {5, 1}, {{1, 2, 3, 4, 5}, {2, 1, 2, 1, 2}}, {0.0});
}

// Closes and references with stretches of one value longer than the window,
// offset from each other: whenever a lag column of either is flat over the
// rows (a fit without solution), or the targets are (an exact fit), the value
// is exactly 0.0.
TEST(PairTests, GrangerCausalityOverFlatStretches) {
  PairBars bars{flat_stretch_closes(false), flat_stretch_closes(false, 7)};
  std::rotate(bars.ref.begin(), bars.ref.begin() + 5, bars.ref.end());
  // Scaled up, so that no pivot of a solvable fit comes near the solvers'
  // smallest one; without the closes rising by one ratio, which the lagged
  // close alone explains exactly.
  for (V* series : {&bars.close, &bars.ref}) {
    series->resize(84);
    for (double& x : *series) x = 50.0 + 1000.0 * x;
  }
  for (const auto& [period, lags] : {std::pair<std::size_t, std::size_t>{5, 1}, {6, 1}, {8, 2}}) {
    const PairRun run = run_pairs("GrangerCausality", {double(period), double(lags)}, bars);
    std::size_t flat_fits = 0;
    for (std::size_t i = period - 1; i < bars.close.size(); ++i) {
      const auto c = bars.close.begin() + long(i + 1), r = bars.ref.begin() + long(i + 1);
      const V cw(c - long(period), c), rw(r - long(period), r);
      const double want = granger_with(cw, rw, lags)[0];
      bool flat_column = ref::flat(V(cw.begin() + long(lags), cw.end()));
      for (std::size_t j = 1; j <= lags; ++j) {
        for (const V* w : {&cw, &rw}) {
          flat_column = flat_column || ref::flat(V(w->begin() + long(lags - j), w->end() - long(j)));
        }
      }
      flat_fits += flat_column;
      ASSERT_TRUE(run.values[i].has_value());
      ASSERT_TRUE(close_enough(*run.values[i], want, flat_column ? 0.0 : 1e-6))
          << period << "/" << lags << " bar " << i << ": " << *run.values[i] << ", expected " << want;
    }
    EXPECT_GT(flat_fits, 5u);
  }
}

TEST(PairTests, ConstructorChecks) {
  std::vector<BuildCase> cases = min_then_max_cases({
      {"HasbrouckInformationShare", {6}, 0, "information share needs period >= 6"},
      {"LeadLagCrossCorrelation", {2, 1}, 0, "lead-lag cross-correlation needs window >= 2"},
      {"LeadLagCrossCorrelation", {2, 1}, 1, "lead-lag cross-correlation needs max_lag >= 1"},
      {"GrangerCausality", {5, 1}, 1, "granger causality needs lag >= 1"},
  });
  const std::string coint = "invalid period: cointegration needs period >= 2*adf_lags + 4";
  const std::string granger = "invalid period: granger causality needs period >= 3*lag + 2";
  cases.insert(cases.end(), {
      {"LeadLagCrossCorrelation", {1, kZeroCount}, "invalid period: lead-lag cross-correlation needs window >= 2"},
      {"Cointegration", {5, 1}, coint}, {"Cointegration", {4, kZeroCount}, ""}, {"Cointegration", {1e19, 1e19}, coint},
      {"Cointegration", {16777217, 1}, kMaxPeriodText}, {"Cointegration", {16777216, 4095}, ""},
      {"Cointegration", {16777216, 4096}, kMaxPeriodText}, {"GrangerCausality", {4, 1}, granger},
      {"GrangerCausality", {1e9, 16777217}, kMaxPeriodText}, {"GrangerCausality", {16777217, 1}, kMaxPeriodText},
      {"GrangerCausality", {16777216, 2047}, ""}, {"GrangerCausality", {16777216, 2048}, kMaxPeriodText},
  });
  expect_build_outcomes(cases);
}

}  // namespace
}  // namespace vsci
