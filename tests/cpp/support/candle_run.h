// Driving candle kinds in tests, outputs included: feed a kind built by name a whole vector of
// candles and collect what each bar gave (and its named outputs); the candle
// tapes the reference tables run over; a kind's outputs against per-bar
// reference values; and, included with them, the constructor checks.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "support/bar_tape.h"
#include "support/compare.h"
#include "support/kind_checks.h"
#include "support/series.h"

namespace vsci::testing {

using Candles = std::vector<Candle>;

// What each bar gave, with the named outputs of bars that gave a value.
struct CandleRun {
  Series values;
  std::vector<std::vector<NamedOutput>> outputs;
};

inline CandleRun run_candle_kind(const std::string& kind, std::vector<double> params, const Candles& candles) {
  auto ind = build_ok(kind, std::move(params));
  CandleRun run;
  for (const Candle& c : candles) {
    run.values.push_back(ind->update(BarContext(c)));
    const auto out = ind->outputs();
    run.outputs.emplace_back(out.begin(), out.end());
  }
  return run;
}

// A random walk, a rising and a falling trend, and a walk with rough volumes
// (which leave residue in running sums), no volume on one bar in five, flat
// bars at the previous close on one in seven, and a flat stretch without
// volume.
inline const std::vector<Candles>& candle_run_tapes() {
  static const std::vector<Candles> tapes = [] {
    std::vector<Candles> t = {make_tape(700, 31).candles, make_tape(700, 32, 100.0, 0.6).candles,
                              make_tape(700, 33, 400.0, -0.4).candles, make_tape(700, 34).candles};
    Candles& odd = t.back();
    for (std::size_t i = 1; i < odd.size(); ++i) {
      const double p = odd[i - 1].close, v = i % 5 == 0 || (i > 300 && i < 320) ? 0.0 : std::sqrt(odd[i].volume);
      odd[i] = i % 7 == 0 || (i > 300 && i < 320) ? Candle{odd[i].time, p, p, p, p, v} : odd[i];
      odd[i].volume = v;
    }
    return t;
  }();
  return tapes;
}

// The candle tapes plus one with every price on whole units (highs rounded
// up, lows down), where equal highs, lows and closes are common.
inline std::vector<Candles> candle_run_tapes_with_ties() {
  std::vector<Candles> tapes = candle_run_tapes();
  tapes.push_back(tapes[0]);
  for (Candle& c : tapes.back())
    c = {c.time, std::round(c.open), std::ceil(c.high), std::floor(c.low), std::round(c.close), c.volume};
  return tapes;
}

// Per bar: no value, or the values of the named outputs in order.
using OutputSeries = std::vector<std::optional<std::vector<double>>>;

// The kind gives a value on exactly the bars `want` has one: the first of
// want's values, with outputs named `names` (space-separated) that hold all
// of them, bit for bit or within tol (relative, as close_enough).
inline void expect_outputs(const std::string& kind, const std::vector<double>& params, const Candles& candles,
                           const OutputSeries& want, const std::string& names, double tol = 0.0) {
  SCOPED_TRACE(kind + " " + ::testing::PrintToString(params));
  const CandleRun run = run_candle_kind(kind, params, candles);
  for (std::size_t i = 0; i < candles.size(); ++i) {
    ASSERT_EQ(run.values[i].has_value(), want[i].has_value()) << "bar " << i;
    if (!want[i]) continue;
    std::string got_names;
    bool same = close_enough(*run.values[i], want[i]->front(), tol) && run.outputs[i].size() == want[i]->size();
    for (std::size_t k = 0; k < run.outputs[i].size(); ++k) {
      got_names += (k ? " " : "") + std::string(run.outputs[i][k].name);
      same = same && close_enough(run.outputs[i][k].value, (*want[i])[k], tol);
    }
    ASSERT_TRUE(same && got_names == names) << "bar " << i << ": " << got_names << ", value " << show(run.values[i]);
  }
  EXPECT_TRUE(std::ranges::any_of(want, [](const auto& w) { return w.has_value(); }));
}

}  // namespace vsci::testing
