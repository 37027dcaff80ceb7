// Each pattern reads as the list of tests that make it, bullish variant
// first, so the code can be held against the shape it names line by line.
// Shapes several patterns share (a long bearish bar with a bullish bar opening
// below it, three rising candles, a gap followed by a counter candle) are
// written once below. Every test is a plain comparison: a zero range or body
// falls into 0 through the tests themselves, and nothing divides by a range
// it has not first required to be positive.
#include "indicators/candlestick_multi.h"

#include <algorithm>
#include <cmath>

namespace vsci {

namespace {

// The fractions the kinds are built with; nothing changes them.
constexpr double kCounterattackTolerance = 0.05;
constexpr double kEqualityTolerance = 0.001;
constexpr double kDojiStarPenetration = 0.3;
constexpr double kMatHoldFloor = 0.5;

// a and b equal within `tolerance` of the larger magnitude (so two zeros match).
bool near_equal(double a, double b, double tolerance) {
  return std::fabs(a - b) <= tolerance * std::max(std::fabs(a), std::fabs(b));
}

// A long bearish b1 (body at least half its range) and a bullish bar opening below its low.
bool bullish_under_long_bearish(const Candle& b1, const Candle& c) {
  const double r1 = bar_range(b1);
  return r1 > 0.0 && is_bearish(b1) && b1.open - b1.close >= 0.5 * r1 && c.close > c.open && c.open < b1.low;
}

// Three bullish candles, each opening within the body before and closing higher.
bool three_rising(const Candle& b1, const Candle& b2, const Candle& b3) {
  return is_bullish(b1) && is_bullish(b2) && is_bullish(b3) && within(b2.open, b1.open, b1.close) &&
         within(b3.open, b2.open, b2.close) && b2.close > b1.close && b3.close > b2.close;
}

// The mirror: three bearish candles, each opening within the body before and closing lower.
bool three_falling(const Candle& b1, const Candle& b2, const Candle& b3) {
  return three_rising(upside_down(b1), upside_down(b2), upside_down(b3));
}

// Two bullish candles with a gap up between their bodies, then a bearish one opening inside the second.
bool bearish_after_gap_up(const Candle& b1, const Candle& b2, const Candle& c) {
  return is_bullish(b1) && is_bullish(b2) && b2.open > b1.close && c.close < c.open && b2.open < c.open &&
         c.open < b2.close;
}

// The mirror: a gap down between two bearish bodies, then a bullish candle opening inside the second.
bool bullish_after_gap_down(const Candle& b1, const Candle& b2, const Candle& c) {
  return bearish_after_gap_up(upside_down(b1), upside_down(b2), upside_down(c));
}

// Body over range, 0 on a flat bar.
double body_ratio(const Candle& x) {
  const double r = bar_range(x);
  return r > 0.0 ? body_size(x) / r : 0.0;
}

// Two long bodies (at least 0.95 of their ranges), as Kicking and KickingByLength require.
bool two_long_bodies(const Candle& b1, const Candle& c) {
  const double r1 = bar_range(b1), r = bar_range(c);
  return r1 > 0.0 && body_size(b1) >= 0.95 * r1 && r > 0.0 && body_size(c) >= 0.95 * r;
}

// A bearish bar with (almost) no shadows: both within 0.05 of its range.
bool bearish_marubozu(const Candle& x) {
  const double r = bar_range(x);
  return r > 0.0 && is_bearish(x) && x.high - x.open <= 0.05 * r && x.close - x.low <= 0.05 * r;
}

// A long bullish b1, three small bearish candles inside its range closing
// lower each time, then a long bullish candle closing above b1.
bool rising_three_methods_shape(const Candle& b1, const Candle& b2, const Candle& b3, const Candle& b4,
                                const Candle& c) {
  const double r1 = bar_range(b1);
  const double rise = b1.close - b1.open;
  const auto small_counter = [&](const Candle& x) {
    return body_top(x) > b1.low && body_bottom(x) < b1.high && is_bearish(x) && x.open - x.close <= 0.5 * rise;
  };
  return r1 > 0.0 && rise >= 0.5 * r1 && small_counter(b2) && small_counter(b3) && small_counter(b4) &&
         b3.close < b2.close && b4.close < b3.close && c.close > c.open && c.close - c.open >= 0.5 * bar_range(c) &&
         c.close > b1.close && c.open > b4.close;
}
}  // namespace

namespace candle_patterns {

double engulfing(const Candle& b1, const Candle& c) {
  if (!(b1.close - b1.open != 0.0 && body_size(c) > body_size(b1))) return 0.0;
  return signal(is_bearish(b1) && c.close > c.open && c.open <= b1.close && c.close >= b1.open,
                is_bullish(b1) && c.close < c.open && c.open >= b1.close && c.close <= b1.open);
}

double harami(const Candle& b1, const Candle& c) {
  if (!(c.close != c.open && b1.close != b1.open && body_size(c) < body_size(b1))) return 0.0;
  return signal(is_bearish(b1) && c.close > c.open && c.close <= b1.open && c.open >= b1.close,
                is_bullish(b1) && c.close < c.open && c.open <= b1.close && c.close >= b1.open);
}

double harami_cross(const Candle& b1, const Candle& c) {
  const double bottom = body_bottom(b1), top = body_top(b1);
  if (!(within(c.open, bottom, top) && within(c.close, bottom, top) && is_doji(c) && !is_doji(b1))) return 0.0;
  return b1.close < b1.open ? 1.0 : -1.0;
}

double piercing_dark_cloud(const Candle& b1, const Candle& c) {
  const double m = safe_midpoint(b1.open, b1.close);
  return signal(c.open < b1.low && c.close > c.open && is_bearish(b1) && c.close < b1.open && c.close > m,
                c.open > b1.high && c.close < c.open && is_bullish(b1) && c.close < m && c.close > b1.open);
}

double kicking(const Candle& b1, const Candle& c) {
  if (!two_long_bodies(b1, c)) return 0.0;
  return signal(is_bearish(b1) && c.close > c.open && c.low > b1.high,
                is_bullish(b1) && c.close < c.open && c.high < b1.low);
}

// The longer body decides the sign; equal bodies give the sign of b1's colour.
double kicking_by_length(const Candle& b1, const Candle& c) {
  if (!two_long_bodies(b1, c)) return 0.0;
  const bool current_longer = body_size(b1) < body_size(c);
  if (is_bearish(b1) && is_bullish(c) && c.low > b1.high) return current_longer ? 1.0 : -1.0;
  if (is_bullish(b1) && is_bearish(c) && c.high < b1.low) return current_longer ? -1.0 : 1.0;
  return 0.0;
}

double counterattack(const Candle& b1, const Candle& c) {
  const double r = bar_range(c), r1 = bar_range(b1);
  if (!(body_size(c) >= 0.5 * r && body_size(b1) >= 0.5 * r1 &&
        std::fabs(c.close - b1.close) <= (r + r1) * (kCounterattackTolerance * 0.5))) {
    return 0.0;
  }
  return signal(c.close > c.open && is_bearish(b1), is_bullish(b1) && c.close < c.open);
}

double separating_lines(const Candle& b1, const Candle& c) {
  const double r = bar_range(c), r1 = bar_range(b1);
  if (!(r > 0.0 && r1 > 0.0 && std::fabs(c.open - b1.open) <= 0.05 * r1 && body_size(c) >= 0.5 * r)) return 0.0;
  return signal(c.close > c.open && is_bearish(b1) && c.open - c.low <= 0.05 * r,
                is_bullish(b1) && c.close < c.open && c.high - c.open <= 0.05 * r);
}

double doji_star(const Candle& b1, const Candle& c) {
  const double r = bar_range(c), r1 = bar_range(b1);
  if (!(r > 0.0 && r1 > 0.0 && body_size(b1) >= 0.5 * r1 && body_size(c) <= 0.1 * r)) return 0.0;
  return signal(is_bearish(b1) && body_top(c) < b1.close, is_bullish(b1) && body_bottom(c) > b1.close);
}

// The lows are tested first: bars whose lows and highs both match give +1.
double equal_extremes_pair(const Candle& b1, const Candle& c) {
  return signal(near_equal(c.low, b1.low, kEqualityTolerance), near_equal(c.high, b1.high, kEqualityTolerance));
}

double in_neck(const Candle& b1, const Candle& c) {
  return bullish_under_long_bearish(b1, c) && c.close >= b1.close &&
                 c.close <= b1.close + 0.1 * (b1.open - b1.close)
             ? -1.0
             : 0.0;
}

double thrusting(const Candle& b1, const Candle& c) {
  return bullish_under_long_bearish(b1, c) && c.close < safe_midpoint(b1.open, b1.close) &&
                 c.close > b1.close + 0.1 * (b1.open - b1.close)
             ? -1.0
             : 0.0;
}

double close_at_prior_low(const Candle& b1, const Candle& c) {
  return bullish_under_long_bearish(b1, c) && std::fabs(c.close - b1.low) <= 0.05 * bar_range(b1) ? -1.0 : 0.0;
}

double homing_pigeon(const Candle& b1, const Candle& c) {
  return is_bearish(b1) && c.close >= b1.close && c.close < c.open && c.open <= b1.open &&
                 c.open - c.close < b1.open - b1.close
             ? 1.0
             : 0.0;
}

double matching_low(const Candle& b1, const Candle& c) {
  return is_bearish(b1) && c.close < c.open &&
                 std::fabs(c.close - b1.close) <= 0.05 * safe_midpoint(bar_range(c), bar_range(b1))
             ? 1.0
             : 0.0;
}

double morning_evening_star(const Candle& b1, const Candle& b2, const Candle& c) {
  const double body1 = body_size(b1), body2 = body_size(b2);
  if (!(c.close != c.open && b1.close != b1.open && body1 >= 2.0 * body2 && body_size(c) >= 2.0 * body2)) return 0.0;
  return signal(
      c.close > b1.close + 0.3 * body1 && c.close > c.open && is_bearish(b1) && body_top(b2) < b1.close,
      c.close < c.open && body_bottom(b2) > b1.close && is_bullish(b1) && c.close < b1.close - 0.3 * body1);
}

double morning_doji_star(const Candle& b1, const Candle& b2, const Candle& c) {
  const double r1 = bar_range(b1), r2 = bar_range(b2);
  return r1 > 0.0 && r2 > 0.0 && b1.open - b1.close >= 0.5 * r1 && body_size(b2) <= 0.1 * r2 &&
                 body_bottom(c) > body_top(b2) && c.close > c.open && body_top(b2) < b1.close &&
                 c.close > b1.close + (b1.open - b1.close) * kDojiStarPenetration
             ? 1.0
             : 0.0;
}

double evening_doji_star(const Candle& b1, const Candle& b2, const Candle& c) {
  const double r1 = bar_range(b1), r2 = bar_range(b2);
  return r1 > 0.0 && r2 > 0.0 && b1.close - b1.open >= 0.5 * r1 && body_size(b2) <= 0.1 * r2 &&
                 body_top(c) < body_bottom(b2) && c.close < c.open && body_bottom(b2) > b1.close &&
                 c.close < b1.close - (b1.close - b1.open) * kDojiStarPenetration
             ? -1.0
             : 0.0;
}

double abandoned_baby(const Candle& b1, const Candle& b2, const Candle& c) {
  if (!near_equal(b2.open, b2.close, kEqualityTolerance)) return 0.0;
  return signal(is_bearish(b1) && b2.high < b1.low && c.close > c.open && c.low > b2.high,
                is_bullish(b1) && b2.low > b1.high && c.high < b2.low && c.close < c.open);
}

double three_inside(const Candle& b1, const Candle& b2, const Candle& c) {
  if (!(b1.close != b1.open && b2.close != b2.open && body_size(b2) < body_size(b1))) return 0.0;
  return signal(is_bearish(b1) && is_bullish(b2) && b2.close <= b1.open && b2.open >= b1.close &&
                    c.close > c.open && c.close > b1.open,
                is_bullish(b1) && is_bearish(b2) && b2.open <= b1.close && b2.close >= b1.open &&
                    c.close < c.open && c.close < b1.open);
}

double three_outside(const Candle& b1, const Candle& b2, const Candle& c) {
  if (!(b1.close != b1.open && body_size(b2) > body_size(b1))) return 0.0;
  return signal(is_bearish(b1) && is_bullish(b2) && b2.close >= b1.open && b2.open <= b1.close &&
                    c.close > c.open && c.close > b2.close,
                is_bullish(b1) && is_bearish(b2) && b2.open >= b1.close && b2.close <= b1.open &&
                    c.close < c.open && c.close < b2.close);
}

double two_crows(const Candle& b1, const Candle& b2, const Candle& c) {
  return is_bullish(b1) && is_bearish(b2) && b2.close > b1.close && c.open < b2.open && c.close < c.open &&
                 c.open > b2.close && c.close > b1.open && c.close < b1.close
             ? -1.0
             : 0.0;
}

double identical_three_crows(const Candle& b1, const Candle& b2, const Candle& c) {
  return is_bearish(b1) && is_bearish(b2) && is_bearish(c) && b2.close < b1.close && c.close < b2.close &&
                 near_equal(b2.open, b1.close, kEqualityTolerance) && near_equal(c.open, b2.close, kEqualityTolerance)
             ? -1.0
             : 0.0;
}

double advance_block(const Candle& b1, const Candle& b2, const Candle& c) {
  return three_rising(b1, b2, c) && body_size(b2) < body_size(b1) && body_size(c) < body_size(b2) &&
                 c.high - c.close >= b2.high - b2.close && c.high - c.close > 0.0
             ? -1.0
             : 0.0;
}

double stalled_pattern(const Candle& b1, const Candle& b2, const Candle& c) {
  const double r = bar_range(c), r1 = bar_range(b1), r2 = bar_range(b2);
  return r > 0.0 && r1 > 0.0 && r2 > 0.0 && is_bullish(b1) && is_bullish(b2) && is_bullish(c) &&
                 b2.close > b1.close && c.close > b2.close && b1.close - b1.open >= 0.5 * r1 &&
                 b2.close - b2.open >= 0.5 * r2 && c.close - c.open <= 0.3 * r && c.open >= b2.close - 0.1 * r2
             ? -1.0
             : 0.0;
}

double three_stars_in_south(const Candle& b1, const Candle& b2, const Candle& c) {
  const double t = kEqualityTolerance * std::max(std::fabs(c.high), std::fabs(c.low));
  return is_bearish(b1) && b1.close - b1.low >= b1.open - b1.close && is_bearish(b2) &&
                 b1.open - b1.close > b2.open - b2.close && within(b2.open, b1.close, b1.open) && b2.low > b1.low &&
                 b2.close > b1.close && c.close < c.open && c.high < b2.high && c.low > b2.low &&
                 c.high - c.open <= t && c.close - c.low <= t
             ? 1.0
             : 0.0;
}

double three_stair_step(const Candle& b1, const Candle& b2, const Candle& c) {
  return signal(three_rising(b1, b2, c), three_falling(b1, b2, c));
}

double stick_sandwich(const Candle& b1, const Candle& b2, const Candle& c) {
  return is_bearish(b1) && is_bullish(b2) && c.close < c.open && b2.low > b1.close &&
                 std::fabs(c.close - b1.close) <= 0.1 * bar_range(b1)
             ? 1.0
             : 0.0;
}

double tasuki_gap(const Candle& b1, const Candle& b2, const Candle& c) {
  return signal(bearish_after_gap_up(b1, b2, c) && b1.close < c.close && c.close < b2.open,
                bullish_after_gap_down(b1, b2, c) && b2.open < c.close && c.close < b1.close);
}

double gap_side_by_side_white(const Candle& b1, const Candle& b2, const Candle& c) {
  const double r2 = bar_range(b2);
  if (!(r2 > 0.0 && is_bullish(b2) && c.close > c.open && std::fabs(c.open - b2.open) <= 0.1 * r2 &&
        b2.close - b2.open <= 2.0 * (c.close - c.open) && c.close - c.open <= 2.0 * (b2.close - b2.open))) {
    return 0.0;
  }
  return signal(body_bottom(b2) > body_top(b1), body_top(b2) < body_bottom(b1));
}

double upside_gap_two_crows(const Candle& b1, const Candle& b2, const Candle& c) {
  return is_bullish(b1) && is_bearish(b2) && b2.close > b1.close && c.open > b2.open && c.close < b2.close &&
                 c.close < c.open && c.close > b1.close
             ? -1.0
             : 0.0;
}

double upside_gap_three_methods(const Candle& b1, const Candle& b2, const Candle& c) {
  return bearish_after_gap_up(b1, b2, c) && b1.open < c.close && c.close < b1.close ? 1.0 : 0.0;
}

double downside_gap_three_methods(const Candle& b1, const Candle& b2, const Candle& c) {
  return bullish_after_gap_down(b1, b2, c) && b1.close < c.close && c.close < b1.open ? -1.0 : 0.0;
}

double unique_three_river(const Candle& b1, const Candle& b2, const Candle& c) {
  return is_bearish(b1) && b1.open - b1.close >= 0.5 * bar_range(b1) && is_bearish(b2) && b2.open <= b1.open &&
                 b2.close >= b1.close && b2.low < b1.low && c.close > c.open &&
                 c.close - c.open <= 0.3 * bar_range(c) && c.high <= b2.close
             ? 1.0
             : 0.0;
}

double tower_top_bottom(const Candle& b1, const Candle& b2, const Candle& c) {
  if (!(body_ratio(b1) >= 0.5 && body_ratio(b2) <= 0.3 && bar_range(c) > 0.0 && body_ratio(c) >= 0.5)) return 0.0;
  return signal(b1.close <= b1.open && c.close > c.open, is_bullish(b1) && c.close <= c.open);
}

// A gap down to the middle doji gives +1, a gap up -1.
double three_doji_gap_star(const Candle& b1, const Candle& b2, const Candle& c) {
  if (!(is_doji(b1) && is_doji(b2) && is_doji(c))) return 0.0;
  return signal(body_top(b2) < body_bottom(b1) && body_bottom(c) > body_bottom(b2),
                body_bottom(b2) > body_top(b1) && body_top(c) < body_top(b2));
}

// +1 when the bar after the inside bar breaks below it, -1 when it breaks above.
double hikkake(const Candle& b1, const Candle& b2, const Candle& c) {
  if (!is_inside_bar(b1, b2)) return 0.0;
  return signal(c.high < b2.high && c.low < b2.low, c.low > b2.low && c.high > b2.high);
}

// Three rising bullish candles struck down by one bearish candle give +1; the mirror -1.
double three_line_strike(const Candle& b1, const Candle& b2, const Candle& b3, const Candle& c) {
  return signal(three_rising(b1, b2, b3) && c.close < c.open && c.open > b3.close && c.close < b1.open,
                three_falling(b1, b2, b3) && c.close > c.open && c.open < b3.close && c.close > b1.open);
}

double concealing_baby_swallow(const Candle& b1, const Candle& b2, const Candle& b3, const Candle& c) {
  return bearish_marubozu(b1) && bearish_marubozu(b2) && is_bearish(b3) && b3.open < b2.close &&
                 b3.high > b2.close && c.close < c.open && c.close < b3.low && c.open > b3.high
             ? 1.0
             : 0.0;
}

double hikkake_modified(const Candle& b1, const Candle& b2, const Candle& b3, const Candle& c) {
  if (!(is_inside_bar(b1, b2) && is_inside_bar(b2, b3))) return 0.0;
  const double r2 = bar_range(b2);
  return signal(b2.close <= b2.low + 0.2 * r2 && c.high < b3.high && c.low < b3.low,
                c.low > b3.low && c.high > b3.high && b2.close >= b2.high - 0.2 * r2);
}

// The colour of b3 is not looked at.
double breakaway(const Candle& b1, const Candle& b2, const Candle& b3, const Candle& b4, const Candle& c) {
  return signal(is_bearish(b1) && is_bearish(b2) && b2.open < b1.close && b3.high < b2.high && b3.low < b2.low &&
                    b4.high < b3.high && b4.low < b3.low && is_bearish(b4) && c.close > c.open &&
                    b2.open < c.close && c.close < b1.close,
                is_bullish(b1) && is_bullish(b2) && b2.open > b1.close && b3.high > b2.high && b3.low > b2.low &&
                    b4.high > b3.high && b4.low > b3.low && is_bullish(b4) && c.close < c.open &&
                    b1.close < c.close && c.close < b2.open);
}

double ladder_bottom(const Candle& b1, const Candle& b2, const Candle& b3, const Candle& b4, const Candle& c) {
  return is_bearish(b1) && is_bearish(b2) && is_bearish(b3) && b2.open < b1.open && b2.close < b1.close &&
                 b3.open < b2.open && b3.close < b2.close && is_bearish(b4) && b4.high > b4.open &&
                 c.open > b4.open && c.close > c.open && c.close > b4.high
             ? 1.0
             : 0.0;
}

double mat_hold(const Candle& b1, const Candle& b2, const Candle& b3, const Candle& b4, const Candle& c) {
  const double r1 = bar_range(b1);
  const double rise = b1.close - b1.open;
  return r1 > 0.0 && rise >= 0.5 * r1 && body_size(b2) <= 0.5 * rise && body_size(b3) <= 0.5 * rise &&
                 body_size(b4) <= 0.5 * rise && body_bottom(b2) > b1.close &&
                 std::min({b2.low, b3.low, b4.low}) > b1.close - rise * kMatHoldFloor && c.close > c.open &&
                 c.close > std::max({b1.high, b2.high, b3.high, b4.high})
             ? 1.0
             : 0.0;
}

double rising_three_methods(const Candle& b1, const Candle& b2, const Candle& b3, const Candle& b4, const Candle& c) {
  return rising_three_methods_shape(b1, b2, b3, b4, c) ? 1.0 : 0.0;
}

// Rising three methods upside down.
double falling_three_methods(const Candle& b1, const Candle& b2, const Candle& b3, const Candle& b4, const Candle& c) {
  return rising_three_methods_shape(upside_down(b1), upside_down(b2), upside_down(b3), upside_down(b4),
                                    upside_down(c))
             ? -1.0
             : 0.0;
}

}  // namespace candle_patterns

}  // namespace vsci
