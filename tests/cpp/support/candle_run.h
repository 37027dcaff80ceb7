// Driving candle kinds in tests, outputs included: feed a kind built by name a whole vector of
// candles and collect what each bar gave (and its named outputs); and the
// candle tapes the reference tables run over.
#pragma once

#include <string>
#include <vector>

#include "support/bar_tape.h"
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

}  // namespace vsci::testing
