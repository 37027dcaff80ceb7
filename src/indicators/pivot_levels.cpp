// Each level is evaluated in the order its formula is written, with the
// decimal constants as written (a division by 3 rather than a product with a
// third), so that levels agree to the bit with the same formulas elsewhere.
#include "indicators/pivot_levels.h"

#include <algorithm>

namespace vsci {

namespace {

// The DeMark sum: the close side of the bar counted twice, the close itself
// on a bar that closes where it opened.
double demark_sum(const Candle& c) {
  if (c.close > c.open) return 2.0 * c.high + c.low + c.close;
  if (c.close < c.open) return c.high + 2.0 * c.low + c.close;
  return c.high + c.low + 2.0 * c.close;
}

}  // namespace

std::optional<double> WoodiePivots::update_candle(const Candle& c) {
  const double pp = (c.high + c.low + 2.0 * c.close) * 0.25;
  const double range = c.high - c.low;
  return publish({pp, 2.0 * pp - c.low, pp + range, 2.0 * pp - c.high, pp - range});
}

std::optional<double> ClassicPivots::update_candle(const Candle& c) {
  const double pp = (c.low + c.high + c.close) / 3.0;
  const double range = c.high - c.low;
  return publish({pp, 2.0 * pp - c.low, pp + range, c.high + 2.0 * (pp - c.low), 2.0 * pp - c.high, pp - range,
                  c.low - 2.0 * (c.high - pp)});
}

std::optional<double> DemarkPivots::update_candle(const Candle& c) {
  const double x = demark_sum(c);
  return publish({x * 0.25, x * 0.5 - c.low, x * 0.5 - c.high});
}

std::optional<double> CentralPivotRange::update_candle(const Candle& c) {
  const double pivot = (c.high + c.low + c.close) / 3.0;
  const double mid = safe_midpoint(c.high, c.low);
  const double other = 2.0 * pivot - mid;
  return publish({pivot, std::max(other, mid), std::min(other, mid)});
}

std::optional<double> Camarilla::update_candle(const Candle& c) {
  const double pp = (c.low + c.high + c.close) / 3.0;
  const double k = (c.high - c.low) * 1.1;
  const double close = c.close;
  return publish({pp, close + k / 12.0, close + k / 6.0, close + k * 0.25, close + k * 0.5, close - k / 12.0,
                  close - k / 6.0, close - k * 0.25, close - k * 0.5});
}

std::optional<double> TdRangeProjection::update_candle(const Candle& c) {
  const double x = demark_sum(c);
  return publish({x * 0.5 - c.low, x * 0.5 - c.high});
}

std::optional<double> FibRangePivots::update_candle(const Candle& c) {
  const double pp = (c.low + c.high + c.close) / 3.0;
  const double range = c.high - c.low;
  return publish({pp, pp + 0.382 * range, pp + 0.618 * range, pp + range, pp - 0.382 * range, pp - 0.618 * range,
                  pp - range});
}

}  // namespace vsci
