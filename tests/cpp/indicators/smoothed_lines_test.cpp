// Smoothed lines against batch loops over the candle tapes: the Alligator's
// three lines and the Gator's gaps, Heikin-Ashi candles of unfused averages;
// the adaptive pair against the tested MAMA core and Fama; constructor checks.
#include <gtest/gtest.h>

#include "indicators/cores/hilbert_core.h"
#include "support/batch_reference.h"
#include "support/candle_run.h"
#include "support/candle_series.h"
#include "support/conformance.h"
#include "support/kind_checks.h"

namespace vsci {
namespace {

using namespace vsci::testing;

const ConformanceRows kConformance{{"Alligator"}, {"GatorOscillator"}, {"PhaseAdaptiveMa"}, {"SmoothedHeikinAshi"}};

// The three lines, each seeded by its plain mean, then (m + v * (p - 1)) / p.
OutputSeries alligator(const Candles& c, std::vector<double> periods, bool gator) {
  std::vector<double> mid = candle_field(c, [](const Candle& x) { return (x.high + x.low) * 0.5; });
  std::vector<Series> lines;
  for (double p : periods)
    lines.push_back(seeded(mid, std::size_t(p), [p](double v, double m) { return (m + v * (p - 1)) / p; }));
  OutputSeries out(c.size());
  for (std::size_t i = 0; i < c.size(); ++i) {
    if (!lines[0][i] || !lines[1][i] || !lines[2][i]) continue;
    const double j = *lines[0][i], t = *lines[1][i], l = *lines[2][i];
    out[i] = gator ? std::vector<double>{std::fabs(j - t), -std::fabs(t - l)} : std::vector<double>{j, t, l};
  }
  return out;
}

OutputSeries smoothed_heikin_ashi(const Candles& c, std::size_t n) {
  const auto avg = [&](double Candle::*f) { return ref::mean_seeded(candle_field(c, [f](const Candle& x) { return x.*f; }), n); };
  const Series o = avg(&Candle::open), h = avg(&Candle::high), l = avg(&Candle::low), cl = avg(&Candle::close);
  OutputSeries out(c.size());
  for (std::size_t i = n - 1; i < c.size(); ++i) {
    const double close = (*o[i] + *h[i] + *l[i] + *cl[i]) * 0.25;
    const double open = i + 1 == n ? (*o[i] + *cl[i]) * 0.5 : ((*out[i - 1])[0] + (*out[i - 1])[3]) * 0.5;
    out[i] = {open, std::max({*h[i], open, close}), std::min({*l[i], open, close}), close};
  }
  return out;
}

TEST(SmoothedLines, MatchTheirBatchReferences) {
  for (const Candles& tape : candle_run_tapes_with_ties()) {
    for (std::vector<double> p : {std::vector<double>{13, 8, 5}, {1, 2, 3}, {5, 21, 4}}) {
      expect_outputs("Alligator", p, tape, alligator(tape, p, false), "jaw teeth lips");
      expect_outputs("GatorOscillator", p, tape, alligator(tape, p, true), "upper lower");
    }
    for (std::size_t n : {1, 3, 14})
      expect_outputs("SmoothedHeikinAshi", {double(n)}, tape, smoothed_heikin_ashi(tape, n), "open high low close");
  }
}

TEST(SmoothedLines, PhaseAdaptiveMaPublishesTheCoreLines) {
  const std::vector<double> closes = random_walk(300, 5);
  auto core = MamaCore::create(0.4, 0.07).value();
  auto kind = build_ok("PhaseAdaptiveMa", {0.4, 0.07});
  const Series fama = run_kind("Fama", {0.4, 0.07}, closes);
  for (std::size_t i = 0; i < closes.size(); ++i) {
    const auto want = core.update_value(closes[i]);
    const auto got = kind->update(BarContext(Candle{0, 1, 2, 0.5, closes[i], 1}));
    ASSERT_EQ(got, want ? std::optional(want->mama) : std::nullopt) << i;
    if (got) {
      ASSERT_EQ(kind->outputs()[1].value, *fama[i]) << i;
    }
  }
}

TEST(SmoothedLines, ConstructorChecks) {
  const std::string limits = "invalid period: fast_limit, slow_limit must satisfy 0 < slow_limit <= fast_limit <= 1";
  std::vector<BuildCase> cases{{"PhaseAdaptiveMa", {0.5, 0.05}, ""}, {"PhaseAdaptiveMa", {0.5, 0.5}, ""},
                               {"PhaseAdaptiveMa", {0.05, 0.5}, limits}, {"PhaseAdaptiveMa", {1.5, 0.5}, limits},
                               {"PhaseAdaptiveMa", {0.5, 0}, limits}, {"SmoothedHeikinAshi", {kZeroCount}, kPeriodZeroText},
                               {"SmoothedHeikinAshi", {16777217}, kMaxPeriodText}};
  for (const char* kind : {"Alligator", "GatorOscillator"}) {
    cases.push_back({kind, {16777217, 8, kZeroCount}, kPeriodZeroText});  // every zero before any bound
    cases.push_back({kind, {13, 16777217, 5}, kMaxPeriodText});
    cases.push_back({kind, {16777216, 1, 16777216}, ""});
  }
  expect_build_outcomes(cases);
}

}  // namespace
}  // namespace vsci
