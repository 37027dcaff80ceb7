// The per-bar volume measures several candle families share: the bar's
// money-flow volume and its typical price. Pure functions of a validated
// candle; callable from any thread.
#pragma once

#include "market/bar_context.h"

namespace vsci {

// volume * (((close - low) - (high - close)) / (high - low)): the volume
// weighted by where the close sits in the bar; 0 for a bar without range.
inline double money_flow_volume(const Candle& c) {
  const double range = c.high - c.low;
  if (range == 0.0) return 0.0;
  return c.volume * (((c.close - c.low) - (c.high - c.close)) / range);
}

// ((high + low) + close) / 3, a division rather than a product with 1/3.
inline double typical_price(const Candle& c) { return (c.high + c.low + c.close) / 3.0; }

}  // namespace vsci
