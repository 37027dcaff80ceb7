// Hilbert-transform kinds and cores, checked bit for bit against a batch
// reference of the homodyne pipeline written over whole arrays (the
// phase-adaptive pair fed candles whose other prices it must not read).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "indicators/cores/hilbert_core.h"
#include "support/candle_run.h"
#include "support/compare.h"
#include "support/kind_checks.h"
#include "support/series.h"
#include "util/math_constants.h"

namespace vsci {
namespace {

using testing::expect_series;
using testing::run_kind;
using Values = std::vector<double>;
using Outputs = testing::Series;

constexpr double kEps = 2.220446049250313e-16;

Values sine_series(std::size_t n, double period, double noise_scale, unsigned seed) {
  const Values noise = testing::random_walk(n, seed, 0.0);
  Values x;
  for (std::size_t t = 0; t < n; ++t) {
    x.push_back(100.0 + 5.0 * std::sin(2.0 * kPi * t / period) + noise_scale * noise[t]);
  }
  return x;
}

// Walks, clean and noisy waves, and whole-number prices with ties and a long
// flat stretch, where the pipeline's terms vanish.
std::vector<Values> walks_waves_and_steps() {
  Values steps = testing::random_walk(400, 25, 50.0);
  for (std::size_t t = 0; t < steps.size(); ++t) steps[t] = t >= 200 && t < 280 ? 60.0 : std::round(steps[t]);
  return {testing::random_walk(400, 21, 100.0), testing::random_walk(400, 22, 80.0, 0.4),
          sine_series(400, 20.0, 0.05, 23), sine_series(400, 37.0, 0.0, 24), steps};
}

// The whole pipeline over arrays: index t is bar t (count t + 1).
struct Reference {
  Outputs period, adaptive, phase, sine, trend, fama, inphase, quadrature;
  std::vector<std::optional<std::pair<double, double>>> mama_fama;
};

Reference reference(const Values& x, double fast, double slow) {
  const std::size_t size = x.size();
  Values smooth(size), det(size), q1(size), i1(size), i2(size), q2(size), re(size), im(size), period(size), sp(size);
  auto ht = [](const Values& v, std::size_t t) {
    return ((0.0962 * v[t] + 0.5769 * v[t - 2]) - 0.5769 * v[t - 4]) - 0.0962 * v[t - 6];
  };
  for (std::size_t t = 0; t < size; ++t) {
    const double prev_period = t ? period[t - 1] : 0.0;
    period[t] = prev_period;
    sp[t] = t ? sp[t - 1] : 0.0;
    if (t >= 3) smooth[t] = (x[t - 3] + ((4.0 * x[t] + 3.0 * x[t - 1]) + (x[t - 2] + x[t - 2]))) / 10.0;
    if (t < 9) continue;
    const double adj = std::min(std::max(prev_period, 6.0), 50.0) * 0.075 + 0.54;
    det[t] = adj * ht(smooth, t);
    if (t < 15) continue;
    q1[t] = adj * ht(det, t);
    i1[t] = det[t - 3];
    if (t < 21) continue;
    const double ji = adj * ht(i1, t), jq = adj * ht(q1, t);
    i2[t] = 0.2 * (i1[t] - jq) + 0.8 * i2[t - 1];
    q2[t] = 0.2 * (q1[t] + ji) + 0.8 * q2[t - 1];
    re[t] = 0.2 * (i2[t] * i2[t - 1] + q2[t] * q2[t - 1]) + 0.8 * re[t - 1];
    im[t] = 0.2 * (i2[t] * q2[t - 1] - q2[t] * i2[t - 1]) + 0.8 * im[t - 1];
    double p = (std::fabs(im[t]) > kEps && std::fabs(re[t]) > kEps) ? 6.283185307179586 / std::atan2(im[t], re[t])
                                                                    : prev_period;
    p = std::max(std::min(p, 1.5 * prev_period), 0.67 * prev_period);
    p = std::clamp(p, 6.0, 50.0);
    period[t] = 0.8 * prev_period + 0.2 * p;
    sp[t] = 0.67 * sp[t - 1] + 0.33 * period[t];
  }
  // The phase over the newest round(sp) smoothed prices, and that length.
  auto phase_at = [&](std::size_t t) {
    const std::size_t held = std::min<std::size_t>(50, t - 2);
    std::size_t n = static_cast<std::size_t>(sp[t] + 0.5);
    n = n == 0 ? 1 : std::min(n, held);
    double real = 0.0, imag = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      const double a = ((double(i) + double(i)) * kPi) / double(n);
      real += std::sin(a) * smooth[t - i];
      imag += std::cos(a) * smooth[t - i];
    }
    double phase = real < 0 ? 0.0 : 180.0;
    if (std::fabs(imag) > 0.001) phase = std::atan(real / imag) * 57.29577951308232 + 90.0;
    phase = 360.0 / sp[t] + phase;
    if (imag < 0) phase += 180.0;
    if (phase > 315.0) phase -= 360.0;
    return std::make_pair(phase, n);
  };

  Reference r;
  r.period = r.adaptive = r.phase = r.sine = r.trend = r.fama = r.inphase = r.quadrature = Outputs(size);
  r.mama_fama.resize(size);
  double prev_phase = 0, prev_sine = 0, prev_lead = 0, days = 0, t1 = 0, t2 = 0, t3 = 0;
  double mama = 0, fama = 0, mama_phase = 0;
  for (std::size_t t = 0; t < size; ++t) {
    if (t >= 3 && t < 9) mama = fama = smooth[t];
    if (t < 21) continue;
    r.inphase[t] = i1[t], r.quadrature[t] = q1[t];
    // Trend mode, from the first measured bar on.
    const auto [phase, n] = phase_at(t);
    const double sine = std::sin((phase * kPi) / 180.0), lead = std::sin(((phase + 45.0) * kPi) / 180.0);
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) sum += x[t - i];
    const double avg = sum / n;
    const double trendline = (t3 + ((4.0 * avg + 3.0 * t1) + (t2 + t2))) / 10.0;
    t3 = t2, t2 = t1, t1 = avg;
    double trend = 1.0;
    if ((sine > lead && prev_sine <= prev_lead) || (sine < lead && prev_sine >= prev_lead)) days = 0, trend = 0;
    days += 1;
    const double step = phase - prev_phase;
    if (days < 0.5 * sp[t] || (sp[t] != 0 && 241.20000000000002 / sp[t] < step && step < 540.0 / sp[t])) trend = 0;
    if (trendline != 0 && std::fabs((smooth[t] - trendline) / trendline) >= 0.015) trend = 1;
    prev_phase = phase, prev_sine = sine, prev_lead = lead;
    // The adaptive average.
    const double mp = std::fabs(i1[t]) > kEps ? std::atan(q1[t] / i1[t]) * 57.29577951308232 : mama_phase;
    const double delta = std::max(mama_phase - mp, 1.0);
    const double alpha = std::max(fast / delta, slow);
    mama = x[t] * alpha + mama * (1.0 - alpha);
    fama = fama * (1.0 - alpha * 0.5) + (alpha * 0.5) * mama;
    mama_phase = mp;
    if (t >= 32) r.fama[t] = fama, r.mama_fama[t] = std::make_pair(mama, fama);
    if (t < 49) continue;
    r.period[t] = sp[t];
    r.adaptive[t] = std::clamp(std::round(sp[t] * 0.5), 3.0, 25.0);
    r.phase[t] = phase;
    r.sine[t] = std::sin(phase * 0.017453292519943295);
    r.trend[t] = trend;
  }
  return r;
}

TEST(HilbertKinds, MatchTheBatchReference) {
  for (const Values& x : walks_waves_and_steps()) {
    const Reference r = reference(x, 0.5, 0.05);
    expect_series(run_kind("HilbertCyclePeriod", {}, x), r.period, 0.0, "HilbertCyclePeriod");
    expect_series(run_kind("AdaptiveCycle", {}, x), r.adaptive, 0.0, "AdaptiveCycle");
    expect_series(run_kind("HtDcPhase", {}, x), r.phase, 0.0, "HtDcPhase");
    expect_series(run_kind("SineWave", {}, x), r.sine, 0.0, "SineWave");
    expect_series(run_kind("HtTrendMode", {}, x), r.trend, 0.0, "HtTrendMode");
    expect_series(run_kind("Fama", {0.5, 0.05}, x), r.fama, 0.0, "Fama");
    expect_series(run_kind("Fama", {0.3, 0.3}, x), reference(x, 0.3, 0.3).fama, 0.0, "Fama 0.3, 0.3");
    testing::Candles bars;
    testing::OutputSeries pair(x.size());
    for (std::size_t t = 0; t < x.size(); ++t) {
      bars.push_back({0, x[t] + 1, x[t] + 2, x[t] - 1, x[t], 0.0});  // only the close is read
      if (r.mama_fama[t]) pair[t] = {r.mama_fama[t]->first, r.mama_fama[t]->second};
    }
    testing::expect_outputs("PhaseAdaptiveMa", {0.5, 0.05}, bars, pair, "mama fama");
  }
}

TEST(HilbertKinds, PhasorPublishesInPhaseAndQuadrature) {
  testing::expect_warmup("HtPhasor", {}, 22);
  for (const Values& x : walks_waves_and_steps()) {
    const Reference r = reference(x, 0.5, 0.05);
    auto ind = testing::build_ok("HtPhasor", {});
    EXPECT_TRUE(std::ranges::equal(ind->output_names(), std::array<std::string_view, 2>{"inphase", "quadrature"}));
    Outputs quadrature;
    for (double v : x) {
      const auto got = ind->update(BarContext(Candle{0, v, v, v, v, 0.0}));
      quadrature.push_back(got ? std::optional(ind->outputs()[1].value) : std::nullopt);
    }
    expect_series(run_kind("HtPhasor", {}, x), r.inphase, 0.0, "HtPhasor in-phase");
    expect_series(quadrature, r.quadrature, 0.0, "HtPhasor quadrature");
  }
}

TEST(HilbertKinds, AdaptiveAverageCoreGivesBothLines) {
  const Values x = walks_waves_and_steps()[1];
  const Reference r = reference(x, 0.6, 0.1);
  auto core = MamaCore::create(0.6, 0.1);
  ASSERT_TRUE(core.ok());
  for (std::size_t t = 0; t < x.size(); ++t) {
    // The core checks its own input: a non-finite one is ignored.
    ASSERT_FALSE(core->update_value(std::numeric_limits<double>::quiet_NaN()));
    const auto v = core->update_value(x[t]);
    ASSERT_EQ(v.has_value(), r.mama_fama[t].has_value()) << t;
    if (v) {
      EXPECT_EQ(v->mama, r.mama_fama[t]->first) << t;
      EXPECT_EQ(v->fama, r.mama_fama[t]->second) << t;
    }
  }
}

TEST(HilbertKinds, MeasuresTheCycleOfACleanWave) {
  // The batch reference could share a misreading with the kinds; a clean
  // 28-bar cycle has a known answer. The period starts from 0 and climbs.
  const Outputs period = run_kind("HilbertCyclePeriod", {}, sine_series(1500, 28.0, 0.0, 1));
  EXPECT_NEAR(*period.back(), 28.0, 1.5);
  EXPECT_LT(*period[49], 28.0);
}

TEST(HilbertKinds, AdaptiveAverageLimits) {
  const std::string limits = "invalid period: fast_limit, slow_limit must satisfy 0 < slow_limit <= fast_limit <= 1";
  testing::expect_build_outcomes({
      {"Fama", {0.5, 0.05}, ""},
      {"Fama", {0.5, 0.5}, ""},
      {"Fama", {1.0, 1.0}, ""},
      {"Fama", {0.05, 0.5}, limits},
      {"PhaseAdaptiveMa", {0.5, 0.5}, ""}, {"PhaseAdaptiveMa", {1.5, 0.5}, limits}, {"PhaseAdaptiveMa", {0.5, 0}, limits},
      {"Fama", {1.5, 0.5}, limits},
      {"Fama", {0.5, 0.0}, limits},
      {"Fama", {0.5, -0.1}, limits},
      {"Fama", {0.5}, "missing parameter #1"},
      {"HtTrendMode", {}, ""},
  });
}

TEST(PhasorTable, EntriesHoldTheUnitPhasorsAndAreSharedAcrossThreads) {
  std::vector<const Phasor*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (std::size_t k = 0; k < seen.size(); ++k) {
    threads.emplace_back([&seen, k] { seen[k] = phasor_table_entry(37).data(); });
  }
  for (auto& th : threads) th.join();
  for (const Phasor* p : seen) EXPECT_EQ(p, seen[0]);

  EXPECT_TRUE(phasor_table_entry(0).empty());
  for (std::size_t length = 1; length <= 50; ++length) {
    const auto entry = phasor_table_entry(length);
    ASSERT_EQ(entry.size(), length);
    for (std::size_t i = 0; i < length; ++i) {
      const double a = ((double(i) + double(i)) * kPi) / double(length);
      EXPECT_EQ(entry[i].sin, std::sin(a));
      EXPECT_EQ(entry[i].cos, std::cos(a));
    }
  }
  EXPECT_EQ(clamp_period(0, 10), 1u);
  EXPECT_EQ(clamp_period(7, 10), 7u);
  EXPECT_EQ(clamp_period(11, 10), 10u);
}

TEST(HilbertKinds, ParallelBacktestsAgree) {
  const Values x = walks_waves_and_steps()[0];
  const Outputs want = reference(x, 0.5, 0.05).sine;
  std::vector<Outputs> got(4);
  std::vector<std::thread> threads;
  for (std::size_t k = 0; k < got.size(); ++k) threads.emplace_back([&, k] { got[k] = run_kind("SineWave", {}, x); });
  for (auto& th : threads) th.join();
  for (const Outputs& g : got) expect_series(g, want, 0.0, "SineWave in parallel");
}

}  // namespace
}  // namespace vsci
