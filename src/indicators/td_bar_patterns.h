// DeMark-style bar setups: each compares the current bar with the one or two
// valid bars before it and gives +1 (buy), -1 (sell) or 0 from the bar that
// completes its span on. Pattern functions take their candles oldest first.
// Fed only validated candles (see KindIndicator); single-threaded use.
#pragma once

#include "indicators/cores/candle_history.h"
#include "indicators/indicator.h"

namespace vsci {

namespace td_patterns {
double open(const Candle& p, const Candle& c);
double clop(const Candle& p, const Candle& c);
double clopwin(const Candle& p, const Candle& c);
double propulsion(const Candle& p, const Candle& c);
double camouflage(const Candle& p, const Candle& c);
double trap(const Candle& q, const Candle& p, const Candle& c);
double differential(const Candle& q, const Candle& p, const Candle& c);
}  // namespace td_patterns

using TdOpen = CandlePattern<&td_patterns::open>;
using TdClop = CandlePattern<&td_patterns::clop>;
using TdClopwin = CandlePattern<&td_patterns::clopwin>;
using TdPropulsion = CandlePattern<&td_patterns::propulsion>;
using TdCamouflage = CandlePattern<&td_patterns::camouflage>;
using TdTrap = CandlePattern<&td_patterns::trap>;
using TdDifferential = CandlePattern<&td_patterns::differential>;

}  // namespace vsci
