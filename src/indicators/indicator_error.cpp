// The text of an indicator error is formed only when someone asks for it, so a
// refused input on the hot path costs no string work.
#include "indicators/indicator_error.h"

namespace vsci {

void IndicatorError::append_to(std::string& out) const {
  std::string_view prefix;
  switch (kind_) {
    case Kind::PeriodZero:
      out += "period must be greater than zero";
      return;
    case Kind::NonFiniteInput:
      out += "input value must be finite (got NaN or infinity)";
      return;
    case Kind::NonPositiveMultiplier:
      out += "multiplier must be greater than zero";
      return;
    case Kind::InvalidPeriod: prefix = "invalid period: "; break;
    case Kind::InvalidCandle: prefix = "invalid candle: "; break;
    case Kind::InvalidTick: prefix = "invalid tick: "; break;
    case Kind::InvalidOrderBook: prefix = "invalid order book: "; break;
    case Kind::InvalidTrade: prefix = "invalid trade: "; break;
    case Kind::InvalidDerivativesTick: prefix = "invalid derivatives tick: "; break;
    case Kind::InvalidCrossSection: prefix = "invalid cross-section: "; break;
    case Kind::InvalidParameter: prefix = "invalid parameter: "; break;
  }
  out += prefix;
  out += detail_;
}

std::string IndicatorError::to_string() const {
  std::string s;
  append_to(s);
  return s;
}

}  // namespace vsci
