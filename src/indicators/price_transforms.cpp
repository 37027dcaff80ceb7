// The ratios give 0 for a zero denominator rather than an infinity or NaN
// that would poison every rule reading them.
#include "indicators/price_transforms.h"

#include <algorithm>
#include <cmath>

#include "indicators/cores/wilder.h"

namespace vsci {

std::optional<double> HighLowRange::update_candle(const Candle& c) const {
  return c.close == 0.0 ? 0.0 : (c.high - c.low) / c.close;
}

std::optional<double> CloseVsOpen::update_candle(const Candle& c) const {
  return c.open == 0.0 ? 0.0 : (c.close - c.open) / c.open;
}

std::optional<double> BodySizePct::update_candle(const Candle& c) const {
  const double range = c.high - c.low;
  return range == 0.0 ? 0.0 : std::fabs(c.close - c.open) / range;
}

std::optional<double> BalanceOfPower::update_candle(const Candle& c) const {
  const double range = c.high - c.low;
  return range == 0.0 ? 0.0 : (c.close - c.open) / range;
}

std::optional<double> ShadowRatio::update_candle(const Candle& c) const {
  const double range = c.high - c.low;
  if (range == 0.0) return 0.0;
  const double upper = c.high - std::max(c.open, c.close);
  const double lower = std::min(c.open, c.close) - c.low;
  return (upper - lower) / range;
}

std::optional<double> TrueRange::update_candle(const Candle& c) {
  const double tr = true_range(c, prev_close_);
  prev_close_ = c.close;
  return tr;
}

std::optional<double> HeikinAshi::update_candle(const Candle& c) {
  const HeikinAshiPair ha = heikin_ashi_next(prev_, c);
  const double ha_open = ha.open;
  const double ha_close = ha.close;
  const double ha_high = std::max({c.high, ha_open, ha_close});
  const double ha_low = std::min({c.low, ha_open, ha_close});
  prev_ = ha;
  outputs_.set({ha_open, ha_high, ha_low, ha_close});
  return ha_open;
}

}  // namespace vsci
