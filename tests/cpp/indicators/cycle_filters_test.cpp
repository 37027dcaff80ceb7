// Cycle filters driven through the factory, checked bit for bit against
// batch reference computations written from the filter formulas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "indicators/cycle_filters.h"
#include "support/compare.h"
#include "support/kind_checks.h"
#include "support/series.h"

namespace vsci {
namespace {

using testing::as_series;
using testing::expect_series;
using testing::kMaxPeriodText;
using testing::kPeriodZeroText;
using testing::kZeroCount;
using testing::run_kind;
using Values = std::vector<double>;
using Outputs = testing::Series;

// A random walk, a drifting walk and a noisy 20-bar cycle.
std::vector<Values> walks_and_cycle(std::size_t n = 700) {
  Values cycle;
  const Values noise = testing::random_walk(n, 7, 0.0);
  for (std::size_t t = 0; t < n; ++t) {
    cycle.push_back(100.0 + 10.0 * std::sin(6.283185307179586 * t / 20.0) + 0.1 * noise[t]);
  }
  return {testing::random_walk(n, 11, 100.0), testing::random_walk(n, 12, 50.0, 0.3), cycle};
}

// ---------------------------------------------------------------------------
// Reference computations over a whole series (index t = bar).

double mid(double a, double b) {
  const double h = 8.988465674311579e307;
  return (std::fabs(a) > h || std::fabs(b) > h) ? a * 0.5 + b * 0.5 : (a + b) * 0.5;
}

Values ref_hp2(const Values& x, double n) {
  const double th = 4.442212012175967 / n;
  const double a = (std::cos(th) + std::sin(th) - 1.0) / std::cos(th);
  const double half = a * (-0.5) + 1.0;
  Values hp(x.size(), 0.0);
  for (std::size_t t = 2; t < x.size(); ++t) {
    hp[t] = (2.0 * (1.0 - a) * hp[t - 1] + ((x[t] - (x[t - 1] + x[t - 1])) + x[t - 2]) * (half * half)) -
            ((1.0 - a) * (1.0 - a)) * hp[t - 2];
  }
  return hp;
}

Values ref_hp1(const Values& x, double a) {
  Values hp(x.size(), 0.0);
  for (std::size_t t = 1; t < x.size(); ++t) hp[t] = (1.0 - a) * hp[t - 1] + (x[t] - x[t - 1]) * (a * (-0.5) + 1.0);
  return hp;
}

double hp1_alpha(double period) {
  const double th = 6.283185307179586 / period;
  return (std::cos(th) + std::sin(th) - 1.0) / std::cos(th);
}

Values ref_ss(const Values& u, double c1, double c2, double c3) {
  Values f(u);
  for (std::size_t t = 2; t < u.size(); ++t) f[t] = (mid(u[t], u[t - 1]) * c1 + f[t - 1] * c2) + f[t - 2] * c3;
  return f;
}

Values ref_ss_length(const Values& u, double length) {
  const double th = 4.442882938158366 / length;
  const double a = std::exp(-th);
  const double b = std::cos(th) * (a + a);
  const double c3 = -(a * a);
  return ref_ss(u, (1.0 - b) - c3, b, c3);
}

Values ref_bp(const Values& x, double n, double cos_argument) {
  const double beta = std::cos(6.283185307179586 / n);
  const double gamma = 1.0 / std::cos(cos_argument);
  const double a = gamma - std::sqrt(gamma * gamma - 1.0);
  Values bp(x.size(), 0.0);
  for (std::size_t t = 2; t < x.size(); ++t) {
    bp[t] = ((x[t] - x[t - 2]) * ((1.0 - a) * 0.5) + (beta * (a + 1.0)) * bp[t - 1]) - a * bp[t - 2];
  }
  return bp;
}

Values ref_cybernetic(const Values& x, double n) {
  const double a = 2.0 / (n + 1.0);
  const double k = (a * (-0.5) + 1.0) * (a * (-0.5) + 1.0);
  Values s(x.size()), c(x.size());
  for (std::size_t t = 0; t < x.size(); ++t) {
    s[t] = t >= 3 ? (x[t - 3] + ((x[t - 2] + x[t - 2]) + (x[t] + (x[t - 1] + x[t - 1])))) / 6.0 : x[t];
    if (t >= 2) {
      c[t] = (c[t - 1] * ((1.0 - a) + (1.0 - a)) + (s[t - 2] + (s[t] - (s[t - 1] + s[t - 1]))) * k) -
             c[t - 2] * ((1.0 - a) * (1.0 - a));
    } else {
      const double p1 = t >= 1 ? x[t - 1] : x[t];
      c[t] = (x[t] + (x[t] - (p1 + p1))) * 0.25;
    }
  }
  return c;
}

Outputs ref_flex(const Values& x, std::size_t n, bool reflex) {
  const Values f = ref_ss_length(x, n * 0.5);
  Outputs out(x.size());
  double ms = 0.0;
  for (std::size_t t = n; t < x.size(); ++t) {
    const double slope = (f[t - n] - f[t]) / n;
    double sum = 0.0;
    for (std::size_t i = 1; i <= n; ++i) sum += reflex ? (f[t] + slope * i) - f[t - i] : f[t] - f[t - i];
    sum = sum / n;
    ms = ms * 0.96 + sum * (sum * 0.04);
    out[t] = ms > 0.0 ? sum / std::sqrt(ms) : 0.0;
  }
  return out;
}

// Maximum and minimum of v[t-n+1..t] by a plain scan.
std::pair<double, double> window_range(const Values& v, std::size_t t, std::size_t n) {
  double hi = v[t], lo = v[t];
  for (std::size_t i = t + 1 - n; i <= t; ++i) {
    hi = std::max(hi, v[i]);
    lo = std::min(lo, v[i]);
  }
  return {hi, lo};
}

Outputs ref_ehlers_stochastic(const Values& x, std::size_t n) {
  const Values f = ref_ss(ref_hp1(x, 0.1230235370072432), 0.2531948016118099, 1.1580458998309644, -0.4112407014427743);
  Outputs out(x.size());
  std::optional<double> prev;
  for (std::size_t t = n - 1; t < x.size(); ++t) {
    const auto [hi, lo] = window_range(f, t, n);
    const double stoch = hi - lo > 0.0 ? std::fma(2.0, (f[t] - lo) / (hi - lo), -1.0) : 0.0;
    out[t] = prev ? mid(stoch, *prev) : stoch;
    prev = stoch;
  }
  return out;
}

Outputs ref_even_better_sinewave(const Values& x, double hp, double ss) {
  const double th = 6.283185307179586 / hp;
  const double a1 = (1.0 - std::sin(th)) / std::cos(th);
  Values h(x.size(), 0.0);
  for (std::size_t t = 1; t < x.size(); ++t) h[t] = a1 * h[t - 1] + (x[t] - x[t - 1]) * ((a1 + 1.0) * 0.5);
  const Values f = ref_ss_length(h, ss);
  Outputs out(x.size());
  for (std::size_t t = 2; t < x.size(); ++t) {
    const double wave = (f[t - 2] + (f[t] + f[t - 1])) / 3.0;
    const double pwr = (f[t - 2] * f[t - 2] + (f[t] * f[t] + f[t - 1] * f[t - 1])) / 3.0;
    out[t] = pwr > 0.0 ? std::clamp(wave / std::sqrt(pwr), -1.0, 1.0) : 0.0;
  }
  return out;
}

Outputs ref_fisher(const Values& x, std::size_t n) {
  Outputs out(x.size());
  double v = 0.0, fish = 0.0;
  for (std::size_t t = n - 1; t < x.size(); ++t) {
    const auto [hi, lo] = window_range(x, t, n);
    const double norm = hi - lo > 0.0 ? std::fma(2.0, (x[t] - lo) / (hi - lo), -1.0) : 0.0;
    v = std::clamp(std::fma(norm, 0.33, v * 0.67), -0.999, 0.999);
    fish = std::fma(0.5, std::log((1.0 + v) / (1.0 - v)), 0.5 * fish);
    out[t] = fish;
  }
  return out;
}

Outputs ref_emd(const Values& x, std::size_t n) {
  const Values bp = ref_bp(x, n, 1.2566370614359172 / n);
  Outputs out(x.size());
  double sum = 0.0;
  for (std::size_t t = 0; t < x.size(); ++t) {
    sum = (sum - (t >= 2 * n ? bp[t - 2 * n] : 0.0)) + bp[t];
    if (t + 1 >= std::max<std::size_t>(2 * n, 50)) out[t] = sum / (2.0 * n);
  }
  return out;
}

Outputs ref_periodogram(const Values& x, std::size_t lo, std::size_t hi) {
  const Values f = ref_ss(ref_hp1(x, hp1_alpha(hi)), 0.2531948016118099, 1.1580458998309644, -0.4112407014427743);
  Outputs out(x.size());
  Values r(hi + 1, 0.0), corr(hi + 1);
  double maxpwr = 0.0;
  for (std::size_t t = hi + 2; t < x.size(); ++t) {
    for (std::size_t lag = 0; lag <= hi; ++lag) {
      double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
      for (std::size_t i = 0; i < 3; ++i) {
        const double a = f[t - i], b = f[t - i - lag];
        sx += a, sy += b, sxx += a * a, syy += b * b, sxy += a * b;
      }
      const double d = (3 * sxx - sx * sx) * (3 * syy - sy * sy);
      corr[lag] = d > 0 ? (3 * sxy - sx * sy) / std::sqrt(d) : 0.0;
    }
    maxpwr *= 0.995;
    for (std::size_t p = lo; p <= hi; ++p) {
      double c = 0, s = 0;
      for (std::size_t k = 3; k <= hi; ++k) {
        c += corr[k] * std::cos((6.283185307179586 * k) / p);
        s += corr[k] * std::sin((6.283185307179586 * k) / p);
      }
      const double q = c * c + s * s;
      r[p] = q * (q * 0.2) + 0.8 * r[p];
      if (r[p] > maxpwr) maxpwr = r[p];
    }
    double value = lo, wsum = 0, total = 0;
    for (std::size_t p = lo; maxpwr > 0 && p <= hi; ++p) {
      if (r[p] / maxpwr >= 0.5) wsum += p * (r[p] / maxpwr), total += r[p] / maxpwr;
    }
    if (total > 0) value = std::clamp(wsum / total, double(lo), double(hi));
    out[t] = value;
  }
  return out;
}

Outputs ref_center_of_gravity(const Values& x, std::size_t n) {
  Outputs out(x.size());
  for (std::size_t t = n - 1; t < x.size(); ++t) {
    double num = 0.0, den = 0.0;
    for (std::size_t i = 0; i < n; ++i) num += (i + 1.0) * x[t - i], den += x[t - i];
    out[t] = std::fabs(den) <= 2.220446049250313e-16 ? 0.0 : (n + 1.0) * 0.5 - num / den;
  }
  return out;
}

Outputs ref_autocorrelation(const Values& x, std::size_t n, std::size_t lag) {
  Outputs out(x.size());
  for (std::size_t t = n - 1; t < x.size(); ++t) {
    const double* w = &x[t + 1 - n];  // oldest first
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) sum += w[i];
    const double m = sum / n;
    double den = 0.0, num = 0.0;
    for (std::size_t i = 0; i < n; ++i) den += (w[i] - m) * (w[i] - m);
    for (std::size_t i = 0; i + lag < n; ++i) num += (w[i] - m) * (w[i + lag] - m);
    out[t] = den == 0.0 ? 0.0 : num / den;
  }
  return out;
}

Outputs ref_cti(const Values& x, std::size_t n) {
  Outputs out(x.size());
  const double sx = ((n - 1.0) * n) * 0.5, sxx = (((n - 1.0) * n) * (2.0 * n - 1.0)) / 6.0;
  for (std::size_t t = n - 1; t < x.size(); ++t) {
    const double* w = &x[t + 1 - n];
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) sum += w[i];
    const double m = sum / n;
    double sy = 0, syy = 0, sxy = 0;
    for (std::size_t i = 0; i < n; ++i) sy += w[i] - m, syy += (w[i] - m) * (w[i] - m), sxy += (w[i] - m) * i;
    const double den = (sxx * n - sx * sx) * (syy * n - sy * sy);
    out[t] = den == 0.0 ? 0.0 : std::clamp((sxy * n - sx * sy) / std::sqrt(den), -1.0, 1.0);
  }
  return out;
}

Outputs ref_hurst(const Values& x, std::size_t n, std::size_t k) {
  Outputs out(x.size());
  for (std::size_t t = n - 1; t < x.size(); ++t) {
    const double* w = &x[t + 1 - n];
    std::vector<std::pair<double, double>> pts;
    for (std::size_t c = 1; c <= k; ++c) {
      const std::size_t size = n / c;
      double rs = 0.0;
      int counted = 0;
      for (std::size_t j = 0; j < c; ++j) {
        const double* v = w + j * size;
        double sum = 0.0;
        for (std::size_t i = 0; i < size; ++i) sum += v[i];
        const double mean = sum / size;
        Values y;
        double acc = 0.0, sq = 0.0;
        for (std::size_t i = 0; i < size; ++i) {
          acc += v[i] - mean;
          y.push_back(acc);
          sq += (v[i] - mean) * (v[i] - mean);
        }
        const double range = *std::max_element(y.begin(), y.end()) - *std::min_element(y.begin(), y.end());
        if (range != 0.0 && sq / size != 0.0) rs += range / std::sqrt(sq / size), ++counted;
      }
      if (counted > 0) pts.push_back({std::log(double(size)), std::log(rs / counted)});
    }
    double sxs = 0, sys = 0, sxy = 0, sxx = 0;
    for (auto [px, py] : pts) sxs += px, sys += py, sxy += px * py, sxx += px * px;
    const double m = pts.size(), den = m * sxx - sxs * sxs;
    out[t] = pts.size() < 2 || den <= 0 ? 0.5 : std::clamp((m * sxy - sxs * sys) / den, 0.0, 1.0);
  }
  return out;
}

// ---------------------------------------------------------------------------

TEST(CycleFilters, RecursiveFiltersMatchTheirDifferenceEquations) {
  for (const Values& x : walks_and_cycle()) {
    expect_series(run_kind("HighpassFilter", {20}, x), as_series(ref_hp2(x, 20)), 0.0, "HighpassFilter");
    expect_series(run_kind("SuperSmoother", {10}, x), as_series(ref_ss_length(x, 10)), 0.0, "SuperSmoother");
    Values decycled(x.size()), osc(x.size());
    const Values fast = ref_hp2(x, 10), slow = ref_hp2(x, 30), hp = ref_hp2(x, 25);
    for (std::size_t t = 0; t < x.size(); ++t) decycled[t] = x[t] - hp[t], osc[t] = (x[t] - fast[t]) - (x[t] - slow[t]);
    expect_series(run_kind("Decycler", {25}, x), as_series(decycled), 0.0, "Decycler");
    expect_series(run_kind("DecyclerOscillator", {10, 30}, x), as_series(osc), 0.0, "DecyclerOscillator");
    expect_series(run_kind("SuperSmoothedHighpass", {10, 48}, x),
                  as_series(ref_ss_length(ref_hp1(x, hp1_alpha(48)), 10)), 0.0, "SuperSmoothedHighpass");
    expect_series(run_kind("SuperSmoothedHighpass", {2, 3}, x),
                  as_series(ref_ss_length(ref_hp1(x, hp1_alpha(3)), 2)), 0.0, "SuperSmoothedHighpass 2, 3");
    expect_series(run_kind("BandpassFilter", {20, 0.3}, x),
                  as_series(ref_bp(x, 20, (0.3 * 12.566370614359172) / 20)), 0.0, "BandpassFilter");
    expect_series(run_kind("CyberneticCycle", {10}, x), as_series(ref_cybernetic(x, 10)), 0.0, "CyberneticCycle");
    Values inv(x.size());
    for (std::size_t t = 0; t < x.size(); ++t) inv[t] = std::tanh(x[t] * 0.02);
    expect_series(run_kind("InverseFisherTransform", {0.02}, x), as_series(inv), 0.0, "InverseFisherTransform");
  }
}

TEST(CycleFilters, RecursiveFiltersSeedTheirFirstOutputs) {
  const Values x = {5.0, 7.0, 4.0};
  auto first_two = [&](const std::string& kind, std::vector<double> p) {
    Outputs o = run_kind(kind, std::move(p), x);
    return std::make_pair(*o[0], *o[1]);
  };
  EXPECT_EQ(first_two("HighpassFilter", {10}), std::make_pair(0.0, 0.0));
  EXPECT_EQ(first_two("BandpassFilter", {10, 0.5}), std::make_pair(0.0, 0.0));
  EXPECT_EQ(first_two("SuperSmoother", {10}), std::make_pair(5.0, 7.0));
  EXPECT_EQ(first_two("Decycler", {10}), std::make_pair(5.0, 7.0));
  // A high-pass output that overflows gives no value for that close.
  Outputs o = run_kind("SuperSmoothedHighpass", {3, 10}, {0.0, 1.5e308, -1.5e308});
  EXPECT_TRUE(o[0] && o[1]);
  EXPECT_FALSE(o[2]);
}

TEST(CycleFilters, OscillatorsAndCycleEstimatorsMatchReferences) {
  for (const Values& x : walks_and_cycle()) {
    expect_series(run_kind("Reflex", {20}, x), ref_flex(x, 20, true), 0.0, "Reflex");
    expect_series(run_kind("Trendflex", {20}, x), ref_flex(x, 20, false), 0.0, "Trendflex");
    expect_series(run_kind("Reflex", {1}, x), ref_flex(x, 1, true), 0.0, "Reflex 1");
    expect_series(run_kind("EhlersStochastic", {20}, x), ref_ehlers_stochastic(x, 20), 0.0, "EhlersStochastic");
    expect_series(run_kind("EvenBetterSinewave", {40, 10}, x), ref_even_better_sinewave(x, 40, 10), 0.0, "EBSW 40");
    expect_series(run_kind("EvenBetterSinewave", {3, 1}, x), ref_even_better_sinewave(x, 3, 1), 0.0, "EBSW 3");
    expect_series(run_kind("EmpiricalModeDecomposition", {20, 0.5}, x), ref_emd(x, 20), 0.0, "EMD 20");
    expect_series(run_kind("EmpiricalModeDecomposition", {1, 1}, x), ref_emd(x, 1), 0.0,
                  "EmpiricalModeDecomposition 1");
    expect_series(run_kind("AutocorrelationPeriodogram", {10, 48}, x), ref_periodogram(x, 10, 48), 0.0,
                  "AutocorrelationPeriodogram");
  }
}

TEST(CycleFilters, PeriodogramTabledOrNotGivesThePerBarEvaluation) {
  // 258 * 257 cosines and sines (just past 65,536) fit the table; 1028 * 1027
  // (just past 2^20) do not.
  const Values x = testing::random_walk(300, 5);
  const Outputs want = ref_periodogram(x, 4, 260);
  expect_series(run_kind("AutocorrelationPeriodogram", {4, 260}, x), want, 0.0, "AutocorrelationPeriodogram 4, 260");
  const Values longer = testing::random_walk(1036, 6);
  expect_series(run_kind("AutocorrelationPeriodogram", {4, 1030}, longer), ref_periodogram(longer, 4, 1030), 0.0,
                "AutocorrelationPeriodogram 4, 1030");
  // Instances of the same bounds made and fed on several threads at once
  // share one table.
  std::vector<Outputs> got(6);
  std::vector<std::thread> threads;
  for (Outputs& out : got) threads.emplace_back([&] { out = run_kind("AutocorrelationPeriodogram", {4, 260}, x); });
  for (std::thread& t : threads) t.join();
  for (const Outputs& out : got) expect_series(out, want, 0.0, "AutocorrelationPeriodogram 4, 260 on a thread");
}

TEST(CycleFilters, WindowStatisticsMatchReferences) {
  for (const Values& x : walks_and_cycle(400)) {
    expect_series(run_kind("CenterOfGravity", {10}, x), ref_center_of_gravity(x, 10), 0.0, "CenterOfGravity");
    expect_series(run_kind("FisherTransform", {10}, x), ref_fisher(x, 10), 0.0, "FisherTransform");
    expect_series(run_kind("FisherTransform", {1}, x), ref_fisher(x, 1), 0.0, "FisherTransform 1");
    expect_series(run_kind("Autocorrelation", {30, 3}, x), ref_autocorrelation(x, 30, 3), 0.0, "Autocorrelation");
    expect_series(run_kind("CorrelationTrendIndicator", {20}, x), ref_cti(x, 20), 0.0, "CorrelationTrendIndicator");
    expect_series(run_kind("HurstExponent", {64, 4}, x), ref_hurst(x, 64, 4), 0.0, "HurstExponent");
    expect_series(run_kind("HurstExponent", {8, 4}, x), ref_hurst(x, 8, 4), 0.0, "HurstExponent 8, 4");
  }
}

// Windows longer than the storage they start with: the mirrored copy is made
// when the window first fills, the extremes' queues grow as they go.
TEST(CycleFilters, LongWindowsMatchReferences) {
  for (const Values& x : walks_and_cycle(1000)) {
    expect_series(run_kind("Reflex", {150}, x), ref_flex(x, 150, true), 0.0, "Reflex 150");
    expect_series(run_kind("Trendflex", {150}, x), ref_flex(x, 150, false), 0.0, "Trendflex 150");
    expect_series(run_kind("EhlersStochastic", {200}, x), ref_ehlers_stochastic(x, 200), 0.0, "EhlersStochastic 200");
    expect_series(run_kind("EmpiricalModeDecomposition", {100, 0.5}, x), ref_emd(x, 100), 0.0, "EMD 100");
    expect_series(run_kind("CenterOfGravity", {150}, x), ref_center_of_gravity(x, 150), 0.0, "CenterOfGravity 150");
    expect_series(run_kind("FisherTransform", {200}, x), ref_fisher(x, 200), 0.0, "FisherTransform 200");
    expect_series(run_kind("Autocorrelation", {150, 7}, x), ref_autocorrelation(x, 150, 7), 0.0,
                  "Autocorrelation 150");
    expect_series(run_kind("CorrelationTrendIndicator", {150}, x), ref_cti(x, 150), 0.0, "CTI 150");
    expect_series(run_kind("HurstExponent", {128, 4}, x), ref_hurst(x, 128, 4), 0.0, "HurstExponent 128");
  }
}

TEST(CycleFilters, EnvelopeThresholdsFollowTheHeldPeaksAndValleys) {
  const Values x = walks_and_cycle(300)[2];
  auto built = EmpiricalModeDecomposition::create(10, 0.25);
  ASSERT_TRUE(built.ok());
  EmpiricalModeDecomposition emd = built.value();
  const Values bp = ref_bp(x, 10, 1.2566370614359172 / 10);
  double peak = 0.0, valley = 0.0;
  Values peaks, valleys;
  for (std::size_t t = 0; t < x.size(); ++t) {
    const double bp1 = t >= 1 ? bp[t - 1] : 0.0, bp2 = t >= 2 ? bp[t - 2] : 0.0;
    if (bp1 > bp[t] && bp1 > bp2) peak = bp1;
    if (bp1 < bp[t] && bp1 < bp2) valley = bp1;
    peaks.push_back(peak);
    valleys.push_back(valley);
    emd.update_value(x[t]);
  }
  double ps = 0.0, vs = 0.0;
  for (std::size_t t = x.size() - 50; t < x.size(); ++t) ps += peaks[t], vs += valleys[t];
  EXPECT_NEAR(emd.upper_threshold(), 0.25 * ps / 50.0, 1e-12);
  EXPECT_NEAR(emd.lower_threshold(), 0.25 * vs / 50.0, 1e-12);
  EXPECT_GT(emd.upper_threshold(), 0.0);
  EXPECT_LT(emd.lower_threshold(), 0.0);
}

TEST(CycleFilters, ConstantSeriesGiveTheirNeutralValues) {
  for (double c : {0.1, 1.0 / 3.0, 123.456, -7.77}) {
    const Values x(200, c);
    for (const auto& [kind, params, neutral] : std::vector<std::tuple<std::string, std::vector<double>, double>>{
             {"CenterOfGravity", {10}, 0.0},
             {"CorrelationTrendIndicator", {7}, 0.0},
             {"Autocorrelation", {10, 2}, 0.0},
             {"HurstExponent", {20, 3}, 0.5},
             {"FisherTransform", {5}, 0.0}}) {
      for (const auto& v : run_kind(kind, params, x)) {
        if (v) {
          ASSERT_EQ(*v, neutral) << kind << " at close " << c;
        }
      }
    }
  }
}

TEST(CycleFilters, EdgeBehaviourOfTransforms) {
  // The first Reflex and Trendflex value is s / sqrt(0.04 s^2), about +-5.
  const Values x = testing::random_walk(30, 3);
  for (const char* kind : {"Reflex", "Trendflex"}) {
    Outputs o = run_kind(kind, {10}, x);
    EXPECT_FALSE(o[9]);
    ASSERT_TRUE(o[10]);
    EXPECT_NEAR(std::fabs(*o[10]), 5.0, 1e-12) << kind;
  }
  // A steady climb pins the Fisher smoother at its clamp without reaching +-1.
  Values climb;
  for (int t = 0; t < 300; ++t) climb.push_back(t);
  const double pinned = 0.5 * std::log(1.999 / (1.0 - 0.999));
  Outputs o = run_kind("FisherTransform", {10}, climb);
  EXPECT_NEAR(*o.back(), pinned / (1.0 - 0.5), 1e-9);
}

TEST(CycleFilters, ConstructorChecksInOrder) {
  const std::string avg = "invalid period: autocorrelation periodogram needs AvgLength < min_period < max_period";
  const std::string band = "invalid parameter: bandpass bandwidth must be in (0, 1)";
  const std::string scale = "invalid period: scale must be a positive finite number";
  const std::string fraction = "invalid period: fraction must be in (0, 1]";
  testing::expect_build_outcomes({
      {"HighpassFilter", {kZeroCount}, kPeriodZeroText},
      {"HighpassFilter", {16777217}, kMaxPeriodText},
      {"SuperSmoother", {16777217}, kMaxPeriodText},
      {"DecyclerOscillator", {5, kZeroCount}, kPeriodZeroText},
      {"DecyclerOscillator", {5, 5}, "invalid period: fast period must be strictly less than slow period"},
      {"DecyclerOscillator", {1, 16777217}, kMaxPeriodText},
      {"SuperSmoothedHighpass", {kZeroCount, 1}, kPeriodZeroText},
      {"SuperSmoothedHighpass", {5, 5}, "invalid period: lp_period must be strictly less than hp_period"},
      {"SuperSmoothedHighpass", {16777217, 16777218}, kMaxPeriodText},
      {"BandpassFilter", {16777217, 0.5}, kMaxPeriodText},
      {"BandpassFilter", {20, 0.0}, band},
      {"BandpassFilter", {20, -0.0}, band},
      {"BandpassFilter", {20, 1.0}, band},
      {"BandpassFilter", {20, -0.2}, band},
      {"Reflex", {16777217}, kMaxPeriodText},
      {"Trendflex", {kZeroCount}, kPeriodZeroText},
      {"EvenBetterSinewave", {kZeroCount, 10}, kPeriodZeroText},
      {"EvenBetterSinewave", {40, 16777217}, kMaxPeriodText},
      {"InverseFisherTransform", {0.0}, scale},
      {"InverseFisherTransform", {-0.0}, scale},
      {"InverseFisherTransform", {-1.0}, scale},
      {"EmpiricalModeDecomposition", {16777217, 0.5}, kMaxPeriodText},
      {"EmpiricalModeDecomposition", {10, 0.0}, fraction},
      {"EmpiricalModeDecomposition", {10, 1.0000001}, fraction},
      {"AutocorrelationPeriodogram", {kZeroCount, 48}, kPeriodZeroText},
      {"AutocorrelationPeriodogram", {3, 48}, avg},
      {"AutocorrelationPeriodogram", {20, 20}, avg},
      {"AutocorrelationPeriodogram", {5, 10}, "invalid period: lp_period must be strictly less than hp_period"},
      {"AutocorrelationPeriodogram", {10, 16777217}, kMaxPeriodText},
      {"Autocorrelation", {10, kZeroCount}, "invalid period: autocorrelation lag must be >= 1"},
      {"Autocorrelation", {5, 5}, "invalid period: autocorrelation needs period > lag"},
      {"Autocorrelation", {16777217, 1}, kMaxPeriodText},
      {"CorrelationTrendIndicator", {1}, "invalid period: CTI needs period >= 2"},
      {"CorrelationTrendIndicator", {kZeroCount}, "invalid period: CTI needs period >= 2"},
      {"CorrelationTrendIndicator", {16777217}, kMaxPeriodText},
      {"HurstExponent", {100, 1}, "invalid period: Hurst chunks must be >= 2"},
      {"HurstExponent", {10, 16777217}, kMaxPeriodText},
      {"HurstExponent", {7, 4}, "invalid period: Hurst period must be >= 2 * chunks"},
      {"HurstExponent", {16777217, 2}, kMaxPeriodText},
      {"EvenBetterSinewave", {1e20, 10}, ""},
      {"SuperSmoother", {1}, ""},
  });
}

TEST(CycleFilters, DegenerateFilterParametersAreRefused) {
  const std::string hp2 = "invalid period: high-pass period must be at least 2";
  const std::string hp1 = "invalid period: hp_period must be 3 or at least 5";
  const std::string band = "invalid parameter: bandpass bandwidth must be less than period / 8";
  testing::expect_build_outcomes({
      {"HighpassFilter", {1}, hp2},
      {"Decycler", {1}, hp2},
      {"DecyclerOscillator", {1, 10}, "invalid period: fast period must be at least 2"},
      {"SuperSmoothedHighpass", {1, 2}, hp1},
      {"SuperSmoothedHighpass", {3, 4}, hp1},
      {"EvenBetterSinewave", {1, 10}, hp1},
      {"EvenBetterSinewave", {2, 10}, hp1},
      {"EvenBetterSinewave", {4, 10}, hp1},
      {"BandpassFilter", {1, 0.125}, band},
      {"BandpassFilter", {4, 0.5}, band},
      {"BandpassFilter", {7, 0.9}, band},
  });
  // The neighbours that stay stable are built and stay finite on a long walk.
  const Values x = testing::random_walk(20000, 9);
  for (const auto& [kind, params] : std::vector<std::pair<std::string, std::vector<double>>>{
           {"HighpassFilter", {2}},
           {"DecyclerOscillator", {2, 3}},
           {"SuperSmoothedHighpass", {2, 3}},
           {"SuperSmoothedHighpass", {4, 5}},
           {"EvenBetterSinewave", {3, 10}},
           {"EvenBetterSinewave", {5, 10}},
           {"BandpassFilter", {4, 0.49}},
           {"BandpassFilter", {8, 0.999}}}) {
    const Outputs o = run_kind(kind, params, x);
    ASSERT_TRUE(o.back().has_value()) << kind;
    EXPECT_LT(std::fabs(*o.back()), 1e6) << kind << " " << params[0];
  }
}

TEST(CycleFilters, EmpiricalModeDecompositionWarmupPastFiftyBars) {
  testing::expect_warmup("EmpiricalModeDecomposition", {40, 0.3}, 80);
}

}  // namespace
}  // namespace vsci
