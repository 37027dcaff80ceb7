// AtrOffset: the distance an ATR stop keeps from price, Wilder's average true
// range (fused step) times a multiplier that is checked before the period.
// Shared by the volatility stops and the trailing stops; single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/wilder.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

class AtrOffset {
 public:
  // The multiplier must be above 0; then the period's zero and MAX_PERIOD checks.
  static Expected<AtrOffset, IndicatorError> create(std::uint64_t n, double m) {
    if (!(m > 0.0)) return unexpected(IndicatorError::non_positive_multiplier());
    auto atr = FusedWilderAtr::create(n);
    if (!atr.ok()) return unexpected(atr.error());
    return AtrOffset(std::move(atr).value(), m);
  }

  // Takes a validated candle: ATR × m once the ATR is seeded.
  std::optional<double> update_candle(const Candle& c) {
    const auto atr = atr_.update_candle(c);
    if (!atr) return std::nullopt;
    return *atr * multiplier_;
  }
  std::uint64_t period() const { return atr_.period(); }

 private:
  AtrOffset(FusedWilderAtr atr, double m) : atr_(std::move(atr)), multiplier_(m) {}
  FusedWilderAtr atr_;
  double multiplier_;
};

}  // namespace vsci
