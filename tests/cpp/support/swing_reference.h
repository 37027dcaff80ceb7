// The zigzag (5 % unless given) as a batch loop over a candle array (every pivot kept, no
// bound), for the swing kinds' tests to compare against, and the flat bars a
// hand-built swing sequence is fed as.
#pragma once

#include <cstddef>
#include <vector>

#include "market/bar_context.h"

namespace vsci::testing {

struct RefPivot {
  double price, kind;
  std::size_t bar;
};

struct RefSwings {
  std::vector<RefPivot> pivots;    // all, oldest first
  std::vector<std::size_t> known;  // pivots confirmed up to and including bar i
};

inline RefSwings ref_swings(const std::vector<Candle>& bars, double f = 0.05) {
  RefSwings s{{}, {0}};
  double up = 1.0, extreme = bars[0].high;
  std::size_t at = 0;
  for (std::size_t i = 1; i < bars.size(); ++i) {
    const Candle& c = bars[i];
    if (up > 0 ? c.high > extreme : c.low < extreme) {
      extreme = up > 0 ? c.high : c.low, at = i;
    } else if (up > 0 ? c.low <= extreme * (1 - f) : c.high >= extreme * (f + 1)) {
      s.pivots.push_back({extreme, up, at});
      up = -up, extreme = up > 0 ? c.high : c.low, at = i;
    }
    s.known.push_back(s.pivots.size());
  }
  return s;
}

inline std::vector<Candle> flat_candles(const std::vector<double>& prices) {
  std::vector<Candle> bars;
  for (double p : prices) bars.push_back({0, p, p, p, p, 1.0});
  return bars;
}

}  // namespace vsci::testing
