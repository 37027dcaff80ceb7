// The cone's return window keeps shifted sums re-centred every w returns (the
// shared ShiftedSumWindow), and its deviation follows the cone's own formula,
// every product rounded; its history is a sorted window, so the median and
// the rank need no sort per bar. A bar whose close is not positive has no
// return: it repeats the last result rather than take a logarithm.
#include "indicators/volume_candles.h"

#include <cmath>

#include "indicators/cores/window_checks.h"

namespace vsci {

Expected<VolatilityCone, IndicatorError> VolatilityCone::create(std::uint64_t window, std::uint64_t lookback) {
  if (window == 0 || lookback == 0) return unexpected(IndicatorError::period_zero());
  if (window < 2 || lookback < 2) {
    return unexpected(IndicatorError::invalid_period("volatility cone window and lookback must both be >= 2"));
  }
  if (window > MAX_PERIOD) return unexpected(IndicatorError::period_too_large());
  auto history = SortedWindow::create(lookback);
  if (!history.ok()) return unexpected(history.error());
  return VolatilityCone(static_cast<std::size_t>(window), std::move(history).value());
}

std::optional<double> VolatilityCone::update_candle(const Candle& c) {
  if (!(c.close > 0.0)) return last_;
  const std::optional<double> r = closes_.next(c.close);
  if (!r) return std::nullopt;
  returns_.push(*r);
  if (!returns_.full()) return std::nullopt;
  const double w = static_cast<double>(returns_.length());
  const double mean = returns_.deviation_sum() / w;
  // A window of equal returns has no spread, whatever residue the sums keep.
  const double variance =
      returns_.flat() ? 0.0 : (returns_.squared_deviation_sum() - w * (mean * mean)) / (w - 1.0);
  const double sigma = std::sqrt(variance > 0.0 ? variance : 0.0);
  history_.push(sigma);
  if (!history_.full()) return std::nullopt;
  const std::vector<double>& sorted = history_.sorted();
  const std::int64_t key = total_order_key(sigma);
  const std::size_t at_or_below =
      run_end_after(sorted, history_.newest_position(), [key](double e) { return total_order_key(e) == key; });
  outputs_.set({sigma, sorted.front(), history_.median(), sorted.back(),
                100.0 * static_cast<double>(at_or_below) / static_cast<double>(sorted.size())});
  last_ = sigma;
  return sigma;
}

}  // namespace vsci
