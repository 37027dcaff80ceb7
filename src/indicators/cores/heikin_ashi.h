// The Heikin-Ashi open and close of a bar, chained on the previous bar's
// Heikin-Ashi pair (on the first bar the open is the midpoint of the bar's own
// open and close). Shared by HeikinAshi and HeikinAshiBodyOscillator. Pure.
#pragma once

#include <optional>

#include "market/bar_context.h"
#include "market/price_checks.h"

namespace vsci {

struct HeikinAshiPair {
  double open = 0.0;
  double close = 0.0;
};

inline HeikinAshiPair heikin_ashi_next(const std::optional<HeikinAshiPair>& prev, const Candle& c) {
  const double open = prev ? safe_midpoint(prev->open, prev->close) : safe_midpoint(c.open, c.close);
  return {open, (c.open + c.high + c.low + c.close) * 0.25};
}

}  // namespace vsci
