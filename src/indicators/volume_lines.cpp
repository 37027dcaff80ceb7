// Zero denominators never give NaN here: a bar without range adds nothing,
// a previous close of 0 counts as no change, and a line without volume has
// no price to give.
#include "indicators/volume_lines.h"

#include <algorithm>

#include "indicators/cores/volume_flow.h"

namespace vsci {

std::optional<double> Obv::update_candle(const Candle& c) {
  if (prev_close_) {
    if (c.close > *prev_close_) total_ = total_ + c.volume;
    else if (c.close < *prev_close_) total_ = total_ - c.volume;
  }
  prev_close_ = c.close;
  return total_;
}

std::optional<double> Adl::update_candle(const Candle& c) {
  total_ = money_flow_volume(c) + total_;
  return total_;
}

std::optional<double> Wad::update_candle(const Candle& c) {
  if (!prev_close_) {
    prev_close_ = c.close;
    return std::nullopt;
  }
  const double prev = *prev_close_;
  double amount = 0.0;
  if (c.close > prev) amount = c.close - std::min(c.low, prev);
  else if (c.close < prev) amount = c.close - std::max(c.high, prev);
  total_ = amount + total_;
  prev_close_ = c.close;
  return total_;
}

std::optional<double> AdOscillator::update_candle(const Candle& c) {
  const auto line = line_.update_candle(c);
  if (!line) return std::nullopt;
  const auto average = average_.update_value(*line);
  if (!average) return std::nullopt;
  return *line - *average;
}

std::optional<double> Vwap::update_candle(const Candle& c) {
  const double typical = typical_price(c);
  price_volume_ = price_volume_ + c.volume * typical;
  volume_ = volume_ + c.volume;
  if (volume_ == 0.0) return std::nullopt;
  return price_volume_ / volume_;
}

std::optional<double> VolumePriceTrend::update_candle(const Candle& c) {
  if (prev_close_) {
    const double prev = *prev_close_;
    const double change = prev != 0.0 ? (c.close - prev) / prev : 0.0;
    total_ = total_ + c.volume * change;
  }
  prev_close_ = c.close;
  return total_;
}

std::optional<double> IntradayIntensity::update_candle(const Candle& c) const {
  const double range = c.high - c.low;
  if (!(range > 0.0)) return 0.0;
  return (c.volume * (((c.close + c.close) - c.high) - c.low)) / range;
}

std::optional<double> MarketFacilitationIndex::update_candle(const Candle& c) const {
  if (c.volume == 0.0) return std::nullopt;
  return (c.high - c.low) / c.volume;
}

}  // namespace vsci
