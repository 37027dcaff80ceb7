#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "indicators/cores/regression_window.h"
#include "support/compare.h"
#include "support/kind_checks.h"
#include "support/series.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// The least-squares line of each full window, fitted afresh in extended
// precision around the window's own means.
struct WindowFit {
  long double slope, intercept, r2, std_error;
};

std::vector<std::optional<WindowFit>> reference_fits(const std::vector<double>& ys, std::size_t n) {
  std::vector<std::optional<WindowFit>> out(ys.size());
  for (std::size_t t = n - 1; t < ys.size(); ++t) {
    const double* y = &ys[t + 1 - n];
    const long double xbar = (n - 1) / 2.0L;
    long double ybar = 0;
    for (std::size_t i = 0; i < n; ++i) ybar += y[i];
    ybar /= n;
    long double sxy = 0, sxx = 0, syy = 0;
    for (std::size_t i = 0; i < n; ++i) {
      sxy += (i - xbar) * (y[i] - ybar);
      sxx += (i - xbar) * (i - xbar);
      syy += (y[i] - ybar) * (y[i] - ybar);
    }
    WindowFit f;
    f.slope = sxy / sxx;
    f.intercept = ybar - f.slope * xbar;
    f.r2 = syy == 0 ? 1.0L : std::min(1.0L, sxy * sxy / (sxx * syy));
    long double sse = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const long double r = y[i] - (f.intercept + f.slope * i);
      sse += r * r;
    }
    f.std_error = n > 2 ? std::sqrt(sse / (n - 2)) : 0;
    out[t] = f;
  }
  return out;
}

// What each kind reads off the fit of the window ending at close y.
long double reading(const std::string& kind, const WindowFit& f, std::size_t n, double y) {
  const long double line = f.intercept + f.slope * (n - 1);
  const long double forecast = f.intercept + f.slope * n;
  if (kind == "LinearRegression") return line;
  if (kind == "LinRegSlope") return f.slope;
  if (kind == "LinRegAngle") return std::atan(f.slope) * 180 / 3.14159265358979323846L;
  if (kind == "LinRegIntercept") return f.intercept;
  if (kind == "Tsf") return forecast;
  if (kind == "Cfo") return (y - line) * 100 / y;
  if (kind == "TsfOscillator") return (y - forecast) * 100 / y;
  if (kind == "RSquared") return f.r2;
  return f.std_error;
}

// The same fit with the running sums kept exactly as the window defines them:
// offsets from a shift that moves to the window mean every n closes. Readings
// from it must match the kinds bit for bit.
struct ShiftedFit {
  double slope, intercept, sum_d, sum_d2;
};

std::vector<std::optional<ShiftedFit>> shifted_sum_fits(const std::vector<double>& ys, std::size_t n) {
  std::vector<std::optional<ShiftedFit>> out(ys.size());
  const double nf = static_cast<double>(n);
  const double sum_x = ((nf - 1.0) * nf) * 0.5;
  const double den = ((((nf - 1.0) * nf) * ((nf + nf) - 1.0)) / 6.0) * nf - sum_x * sum_x;
  double shift = ys[0], sd = 0.0, sid = 0.0, sd2 = 0.0;
  for (std::size_t t = 0; t < ys.size(); ++t) {
    const std::size_t held = std::min(t, n);  // before this close
    if (t >= n) {
      const double d0 = ys[t - n] - shift;
      sid = d0 + (sid - sd);
      sd = sd - d0;
      sd2 = sd2 - d0 * d0;
    }
    const double d = ys[t] - shift;
    const double i = static_cast<double>(t >= n ? n - 1 : held);
    sd = sd + d;
    sid = sid + i * d;
    sd2 = sd2 + d * d;
    if ((t + 1) % n == 0) {
      const std::size_t first = t + 1 - n;
      double total = 0.0;
      for (std::size_t j = first; j <= t; ++j) total += ys[j];
      shift = total / nf;
      sd = sid = sd2 = 0.0;
      for (std::size_t j = first; j <= t; ++j) {
        sd += ys[j] - shift;
        sid += (ys[j] - shift) * static_cast<double>(j - first);
        sd2 += (ys[j] - shift) * (ys[j] - shift);
      }
    }
    if (t + 1 < n) continue;
    const double slope = (sid * nf - sum_x * sd) / den;
    out[t] = ShiftedFit{slope, shift + (sd - sum_x * slope) / nf, sd, sd2};
  }
  return out;
}

const std::vector<std::string> kKinds = {"LinearRegression", "LinRegSlope", "LinRegAngle",
                                         "LinRegIntercept",  "Tsf",         "Cfo",
                                         "TsfOscillator",    "RSquared",    "StandardError"};

TEST(Regression, ConstructionChecksInOrder) {
  const std::vector<std::pair<std::string, std::string>> too_short = {
      {"LinearRegression", "linear regression needs period >= 2"},
      {"LinRegSlope", "linear regression slope needs period >= 2"},
      {"LinRegAngle", "linear regression slope needs period >= 2"},
      {"LinRegIntercept", "linear regression intercept needs period >= 2"},
      {"Tsf", "time series forecast needs period >= 2"},
      {"TsfOscillator", "TSF oscillator needs period >= 2"},
      {"RSquared", "R\xC2\xB2 needs period >= 2"},
  };
  std::vector<BuildCase> cases;
  for (const auto& [kind, detail] : too_short) {
    cases.push_back({kind, {kZeroCount}, "invalid period: " + detail});
    cases.push_back({kind, {1}, "invalid period: " + detail});
    cases.push_back({kind, {2}, ""});
    cases.push_back({kind, {16777217}, kMaxPeriodText});
  }
  const std::string se = "invalid period: standard error needs period >= 3";
  cases.push_back({"StandardError", {kZeroCount}, se});
  cases.push_back({"StandardError", {2}, se});
  cases.push_back({"StandardError", {3}, ""});
  cases.push_back({"StandardError", {16777217}, kMaxPeriodText});
  // Cfo reports a zero length as such and the bound before its minimum.
  cases.push_back({"Cfo", {kZeroCount}, kPeriodZeroText});
  cases.push_back({"Cfo", {16777217}, kMaxPeriodText});
  cases.push_back({"Cfo", {1}, "invalid period: linear regression needs period >= 2"});
  cases.push_back({"Cfo", {}, "missing parameter #0"});
  expect_build_outcomes(cases);
}

TEST(Regression, MatchFreshFitsOnLongSeries) {
  // Readings in units of price may be off by a few units in the last place of
  // the price level; ratios, angles and fit quality by a tiny absolute amount.
  const std::vector<std::string> unitless = {"LinRegAngle", "Cfo", "TsfOscillator", "RSquared"};
  const std::vector<std::vector<double>> series = {
      random_walk(4000, 31),
      geometric_walk(4000, 32, 50.0, 0.4),  // climbs to ~1e8
      random_walk(4000, 33, 1e6, 0.5),      // far from zero: the shift matters
      random_walk(4000, 34, 0.0, -0.2),     // crosses zero
  };
  for (const auto& ys : series) {
    for (std::size_t n : {2u, 3u, 7u, 30u, 250u}) {
      const auto fits = reference_fits(ys, n);
      for (const std::string& kind : kKinds) {
        if (kind == "StandardError" && n < 3) continue;
        const bool is_unitless = std::count(unitless.begin(), unitless.end(), kind) > 0;
        const Series got = run_kind(kind, {double(n)}, ys);
        for (std::size_t t = 0; t < got.size(); ++t) {
          ASSERT_EQ(got[t].has_value(), fits[t].has_value()) << kind << " bar " << t;
          if (!got[t]) continue;
          const double want = static_cast<double>(reading(kind, *fits[t], n, ys[t]));
          // Near a zero close the percentages are ill-conditioned.
          if ((kind == "Cfo" || kind == "TsfOscillator") && std::fabs(ys[t]) < 1.0) continue;
          const double tol = is_unitless ? 1e-9 : 1e-12 * (std::fabs(want) + std::fabs(ys[t]) + 1.0);
          ASSERT_NEAR(*got[t], want, tol) << kind << " n=" << n << " bar " << t;
        }
      }
    }
  }
}

TEST(Regression, RunningSumsFollowTheirDefinitionExactly) {
  for (std::size_t n : {2u, 3u, 10u, 64u}) {
    const std::vector<double> ys = random_walk(1500, 40 + n, 300.0, 0.1);
    const auto fits = shifted_sum_fits(ys, n);
    const double nf = static_cast<double>(n);
    Series line(ys.size()), slope(ys.size()), angle(ys.size()), intercept(ys.size()), forecast(ys.size()),
        cfo(ys.size()), tsf_osc(ys.size()), r2(ys.size());
    for (std::size_t t = 0; t < ys.size(); ++t) {
      if (!fits[t]) continue;
      const ShiftedFit& f = *fits[t];
      line[t] = (nf - 1.0) * f.slope + f.intercept;
      slope[t] = f.slope;
      angle[t] = std::atan(f.slope) * 57.29577951308232;
      intercept[t] = f.intercept;
      forecast[t] = f.slope * nf + f.intercept;
      cfo[t] = (ys[t] - *line[t]) * 100 / ys[t];
      tsf_osc[t] = (ys[t] - *forecast[t]) * 100 / ys[t];
      const double mean = f.sum_d / nf;
      const double total = std::max(0.0, f.sum_d2 - mean * (mean * nf));
      const double fitted = (((((nf - 1.0) * nf) * ((nf + nf) - 1.0)) / 6.0) * nf -
                             ((nf - 1.0) * nf * 0.5) * ((nf - 1.0) * nf * 0.5)) / nf;
      r2[t] = total <= 0.0 ? 1.0 : std::clamp((fitted * (f.slope * f.slope)) / total, 0.0, 1.0);
    }
    const std::string label = "n=" + std::to_string(n);
    expect_series(run_kind("LinearRegression", {nf}, ys), line, 0, "LinearRegression " + label);
    expect_series(run_kind("LinRegSlope", {nf}, ys), slope, 0, "LinRegSlope " + label);
    expect_series(run_kind("LinRegAngle", {nf}, ys), angle, 0, "LinRegAngle " + label);
    expect_series(run_kind("LinRegIntercept", {nf}, ys), intercept, 0, "LinRegIntercept " + label);
    expect_series(run_kind("Tsf", {nf}, ys), forecast, 0, "Tsf " + label);
    expect_series(run_kind("Cfo", {nf}, ys), cfo, 0, "Cfo " + label);
    expect_series(run_kind("TsfOscillator", {nf}, ys), tsf_osc, 0, "TsfOscillator " + label);
    expect_series(run_kind("RSquared", {nf}, ys), r2, 0, "RSquared " + label);
  }
}

TEST(Regression, StandardErrorRefitsEachWindowExactly) {
  for (std::size_t n : {3u, 4u, 21u}) {
    const std::vector<double> ys = geometric_walk(800, 50 + n, 75.0);
    const double nf = static_cast<double>(n);
    const double sxx = ((((nf - 1.0) * nf) * ((nf + nf) - 1.0)) / 6.0) * nf -
                       ((nf - 1.0) * nf * 0.5) * ((nf - 1.0) * nf * 0.5);
    Series want(ys.size());
    for (std::size_t t = n - 1; t < ys.size(); ++t) {
      const double* y = &ys[t + 1 - n];
      const double xbar = (nf - 1.0) * 0.5;
      double sum = 0.0;
      for (std::size_t i = 0; i < n; ++i) sum += y[i] - y[0];
      const double mean = sum / nf;
      double sxy = 0.0;
      for (std::size_t i = 0; i < n; ++i) sxy += (i - xbar) * ((y[i] - y[0]) - mean);
      const double b = sxy / (sxx / nf);
      double sse = 0.0;
      for (std::size_t i = 0; i < n; ++i) {
        const double r = ((y[i] - y[0]) - mean) - b * (i - xbar);
        sse += r * r;
      }
      want[t] = std::sqrt(sse / (nf - 2.0));
    }
    expect_series(run_kind("StandardError", {nf}, ys), want, 0, "StandardError n=" + std::to_string(n));
  }
}

TEST(Regression, StraightLineIsFittedExactly) {
  // Integer closes and a power-of-two length keep every running sum exact,
  // re-centring included.
  const std::size_t n = 8;
  std::vector<double> ys;
  for (int t = 0; t < 200; ++t) ys.push_back(-40.0 + 3.0 * t);
  const auto value_at = [&](const std::string& kind, std::size_t t) { return *run_kind(kind, {double(n)}, ys)[t]; };
  for (std::size_t t : {n - 1, std::size_t{57}, std::size_t{199}}) {
    EXPECT_EQ(value_at("LinRegSlope", t), 3.0);
    EXPECT_EQ(value_at("LinearRegression", t), ys[t]);
    EXPECT_EQ(value_at("LinRegIntercept", t), ys[t - (n - 1)]);
    EXPECT_EQ(value_at("Tsf", t), ys[t] + 3.0);
    EXPECT_EQ(value_at("RSquared", t), 1.0);
    EXPECT_EQ(value_at("StandardError", t), 0.0);
    EXPECT_EQ(value_at("Cfo", t), 0.0);
  }
}

TEST(Regression, FlatWindowAfterAnyHistoryReadsExactly) {
  // The running sums carry residue from the walk before the flat stretch; a
  // flat window must still read slope 0, angle 0 and a perfect fit.
  for (unsigned seed = 0; seed < 8; ++seed) {
    for (std::size_t n : {2u, 5u, 9u}) {
      std::vector<double> ys = random_walk(3 * n + 7 + seed, seed, 1000.0);
      const double level = ys.back();
      ys.insert(ys.end(), 2 * n, level);
      const std::size_t t0 = ys.size() - n - 1;  // the first flat window ends after t0
      for (const std::string& kind : kKinds) {
        if (kind == "StandardError" && n < 3) continue;
        const Series got = run_kind(kind, {double(n)}, ys);
        for (std::size_t t = t0 + 1; t < ys.size(); ++t) {
          double want = 0.0;
          if (kind == "LinearRegression" || kind == "LinRegIntercept" || kind == "Tsf") want = level;
          if (kind == "RSquared") want = 1.0;
          ASSERT_EQ(*got[t], want) << kind << " n=" << n << " seed " << seed << " bar " << t;
        }
      }
    }
  }
}

TEST(Regression, PercentKindsRepeatThemselvesOnAZeroClose) {
  for (const std::string kind : {"Cfo", "TsfOscillator"}) {
    // No value yet: a zero close that completes the first window gives none.
    const Series first = run_kind(kind, {3}, {5, 7, 0, 4});
    EXPECT_FALSE(first[2].has_value()) << kind;
    // The window still took the zero.
    const auto fit = reference_fits({5, 7, 0, 4}, 3)[3];
    EXPECT_NEAR(*first[3], static_cast<double>(reading(kind, *fit, 3, 4)), 1e-12) << kind;

    const std::vector<double> ys = {5, 7, 6, 0, 0, 9};
    const Series got = run_kind(kind, {3}, ys);
    const auto fits = reference_fits(ys, 3);
    EXPECT_NEAR(*got[2], static_cast<double>(reading(kind, *fits[2], 3, 6)), 1e-12) << kind;
    EXPECT_EQ(*got[3], *got[2]) << kind;
    EXPECT_EQ(*got[4], *got[2]) << kind;
    EXPECT_NEAR(*got[5], static_cast<double>(reading(kind, *fits[5], 3, 9)), 1e-12) << kind;
  }
}

TEST(Regression, LineCoreRefusesNonFiniteInputsItself) {
  // Other kinds feed the core directly, without the close adapter's check.
  auto line = LinearRegression::create(3);
  ASSERT_TRUE(line.ok());
  EXPECT_EQ(LinearRegression::create(1).error().to_string(), "invalid period: linear regression needs period >= 2");
  EXPECT_FALSE(line->update_value(1.0));
  EXPECT_FALSE(line->update_value(kNaN));
  EXPECT_FALSE(line->update_value(2.0));
  EXPECT_FALSE(line->update_value(-kInf));
  // 1, 2, 4: mean 7/3, slope 1.5, so 7/3 + 1.5 one step right of the middle.
  EXPECT_DOUBLE_EQ(*line->update_value(4.0), 23.0 / 6.0);
  EXPECT_EQ(line->warmup(), 3u);
}

}  // namespace
}  // namespace vsci
