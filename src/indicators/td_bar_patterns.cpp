// Each setup reads as its buy test, then its sell test, as plain comparisons
// with the previous bar P (and the bar before it, Q); the two tests of a
// setup exclude each other, so the order only fixes which is written first.
#include "indicators/td_bar_patterns.h"

#include <cmath>

namespace vsci::td_patterns {

double open(const Candle& p, const Candle& c) {
  return signal(c.open < p.low && c.high > p.low, c.open > p.high && c.low < p.high);
}

double clop(const Candle& p, const Candle& c) {
  return signal(c.open < p.open && c.open < p.close && c.close > p.open && c.close > p.close,
                c.open > p.open && c.open > p.close && c.close < p.open && c.close < p.close);
}

// A bar opening and closing within the previous body always signals: a doji there counts as a buy.
double clopwin(const Candle& p, const Candle& c) {
  const double bottom = body_bottom(p), top = body_top(p);
  if (!(within(c.open, bottom, top) && within(c.close, bottom, top))) return 0.0;
  return c.close >= c.open ? 1.0 : -1.0;
}

double propulsion(const Candle& p, const Candle& c) {
  return signal(c.open >= p.close && c.close > p.high, c.close < p.low && c.open <= p.close);
}

double camouflage(const Candle& p, const Candle& c) {
  return signal(c.close < p.close && c.close > c.open && c.low < p.low,
                c.close > p.close && c.close < c.open && c.high > p.high);
}

double trap(const Candle& q, const Candle& p, const Candle& c) {
  if (!is_inside_bar(q, p)) return 0.0;
  return signal(c.close > p.high, c.close < p.low);
}

// Buying and selling pressure on this bar and on P, each measured from the
// true range against the close before it.
double differential(const Candle& q, const Candle& p, const Candle& c) {
  const double buying = c.close - std::fmin(c.low, p.close);
  const double selling = std::fmax(c.high, p.close) - c.close;
  const double buying_before = p.close - std::fmin(p.low, q.close);
  const double selling_before = std::fmax(p.high, q.close) - p.close;
  return signal(selling < selling_before && p.close < q.close && c.close < p.close && buying > buying_before,
                selling > selling_before && c.close > p.close && p.close > q.close && buying < buying_before);
}

}  // namespace vsci::td_patterns
