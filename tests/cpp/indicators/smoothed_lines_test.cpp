// Smoothed lines against batch loops over the candle tapes: the Alligator's
// three lines and the Gator's gaps, Heikin-Ashi candles of unfused averages;
// constructor checks.
#include <gtest/gtest.h>

#include "support/batch_reference.h"
#include "support/candle_run.h"
#include "support/candle_series.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// The Alligator and the Gator of lines of lengths p (each seeded by its plain
// mean, then (m + v * (p - 1)) / p), and the Heikin-Ashi candles of n-bar averages.
std::array<OutputSeries, 3> smoothed(const Candles& c, std::vector<double> p, std::size_t n) {
  std::array<OutputSeries, 3> out;
  out.fill(OutputSeries(c.size()));
  std::vector<Series> l;
  for (double q : p)
    l.push_back(seeded(candle_field(c, [](const Candle& x) { return (x.high + x.low) * 0.5; }), std::size_t(q),
                       [q](double v, double m) { return (m + v * (q - 1)) / q; }));
  const auto avg = [&](double Candle::*f) { return ref::mean_seeded(candle_field(c, [f](const Candle& x) { return x.*f; }), n); };
  const Series o = avg(&Candle::open), h = avg(&Candle::high), lo = avg(&Candle::low), cl = avg(&Candle::close);
  for (std::size_t i = 0; i < c.size(); ++i) {
    if (l[0][i] && l[1][i] && l[2][i])
      out[0][i] = {*l[0][i], *l[1][i], *l[2][i]}, out[1][i] = {std::fabs(*l[0][i] - *l[1][i]), -std::fabs(*l[1][i] - *l[2][i])};
    if (i + 1 < n) continue;
    const double close = (*o[i] + *h[i] + *lo[i] + *cl[i]) * 0.25;
    const double open = i + 1 == n ? (*o[i] + *cl[i]) * 0.5 : ((*out[2][i - 1])[0] + (*out[2][i - 1])[3]) * 0.5;
    out[2][i] = {open, std::max({*h[i], open, close}), std::min({*lo[i], open, close}), close};
  }
  return out;
}

TEST(SmoothedLines, MatchBatchReferencesAndCheckTheirParameters) {
  for (const Candles& tape : candle_run_tapes_with_ties()) {
    for (auto [p, n] : {std::pair<std::vector<double>, std::size_t>{{13, 8, 5}, 1}, {{1, 2, 3}, 3}, {{5, 21, 4}, 14}}) {
      const auto want = smoothed(tape, p, n);
      expect_outputs("Alligator", p, tape, want[0], "jaw teeth lips");
      expect_outputs("GatorOscillator", p, tape, want[1], "upper lower");
      expect_outputs("SmoothedHeikinAshi", {double(n)}, tape, want[2], "open high low close");
    }
  }
  // The constructor checks, in order.
  std::vector<BuildCase> cases{{"SmoothedHeikinAshi", {kZeroCount}, kPeriodZeroText}, {"SmoothedHeikinAshi", {16777217}, kMaxPeriodText}};
  for (const char* kind : {"Alligator", "GatorOscillator"})  // every zero before any bound
    cases.insert(cases.end(), {{kind, {16777217, 8, kZeroCount}, kPeriodZeroText}, {kind, {13, 16777217, 5}, kMaxPeriodText},
                               {kind, {16777216, 1, 16777216}, ""}});
  expect_build_outcomes(cases);
}

}  // namespace
}  // namespace vsci
