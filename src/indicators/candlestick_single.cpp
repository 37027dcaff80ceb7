// Each pattern reads as the list of tests that make it, in the order they are
// made, so the code can be held against the shape it names line by line. The
// kinds look at no trend: Hammer and HangingMan (and InvertedHammer and
// ShootingStar) fire on the very same bar with opposite signs, and the rule
// reading them decides what the context means.
#include "indicators/candlestick_single.h"

namespace vsci {

namespace {

// The fractions the kinds are built with; nothing changes them.
constexpr double kMarubozuShadowFraction = 0.05;
constexpr double kBeltHoldShadowFraction = 0.05;
constexpr double kSmallBodyFraction = 0.3;

// Hammer and HangingMan: a long lower shadow under a real body with little above it.
bool hammer_shape(const Candle& c) {
  const double b = body_size(c);
  return c.high > c.low && c.close != c.open && lower_shadow(c) >= 2.0 * b && upper_shadow(c) <= b;
}

// InvertedHammer and ShootingStar: the same shape upside down.
bool inverted_hammer_shape(const Candle& c) { return hammer_shape(upside_down(c)); }

// OpeningMarubozu and BeltHold: a long body opening at (or within a shadow
// fraction of) the bar's low when bullish, its high when bearish.
double opens_at_extreme(const Candle& c, double body_fraction, double shadow_fraction) {
  const double r = bar_range(c);
  if (!(r > 0.0 && body_size(c) >= body_fraction * r)) return 0.0;
  return signal(c.close > c.open && c.open - c.low <= shadow_fraction * r,
                c.high - c.open <= shadow_fraction * r && c.close < c.open);
}

}  // namespace

namespace candle_patterns {

double doji(const Candle& c) { return is_doji(c) ? 1.0 : 0.0; }

double dragonfly_doji(const Candle& c) {
  const double r = bar_range(c);
  return is_doji(c) && lower_shadow(c) >= 0.5 * r && upper_shadow(c) <= 0.1 * r ? 1.0 : 0.0;
}

double gravestone_doji(const Candle& c) {
  const double r = bar_range(c);
  return is_doji(c) && upper_shadow(c) >= 0.5 * r && lower_shadow(c) <= 0.1 * r ? -1.0 : 0.0;
}

double long_legged_doji(const Candle& c) {
  const double r = bar_range(c);
  return is_doji(c) && lower_shadow(c) >= 0.3 * r && upper_shadow(c) >= 0.3 * r ? 1.0 : 0.0;
}

double rickshaw_man(const Candle& c) {
  const double r = bar_range(c);
  if (!(is_doji(c) && upper_shadow(c) >= 0.3 * r && lower_shadow(c) >= 0.3 * r)) return 0.0;
  const double p = (safe_midpoint(c.open, c.close) - c.low) / r;
  return 0.4 <= p && p <= 0.6 ? 1.0 : 0.0;
}

double high_wave(const Candle& c) {
  const double r = bar_range(c);
  return r > 0.0 && lower_shadow(c) >= 0.4 * r && upper_shadow(c) >= 0.4 * r ? 1.0 : 0.0;
}

double takuri(const Candle& c) {
  const double r = bar_range(c);
  return is_doji(c) && lower_shadow(c) >= 0.7 * r && upper_shadow(c) <= 0.05 * r ? 1.0 : 0.0;
}

double hammer(const Candle& c) { return hammer_shape(c) ? 1.0 : 0.0; }

double hanging_man(const Candle& c) { return hammer_shape(c) ? -1.0 : 0.0; }

double inverted_hammer(const Candle& c) { return inverted_hammer_shape(c) ? 1.0 : 0.0; }

double shooting_star(const Candle& c) { return inverted_hammer_shape(c) ? -1.0 : 0.0; }

double marubozu(const Candle& c) {
  const double r = bar_range(c);
  const bool shape = r > 0.0 && c.close != c.open && upper_shadow(c) <= kMarubozuShadowFraction * r &&
                     lower_shadow(c) <= kMarubozuShadowFraction * r;
  return shape ? signal(is_bullish(c), is_bearish(c)) : 0.0;
}

double closing_marubozu(const Candle& c) {
  const double r = bar_range(c);
  if (!(r > 0.0 && body_size(c) >= 0.7 * r)) return 0.0;
  return signal(c.high - c.close <= 0.05 * r && c.close > c.open, c.close < c.open && c.close - c.low <= 0.05 * r);
}

double opening_marubozu(const Candle& c) { return opens_at_extreme(c, 0.7, 0.05); }

double belt_hold(const Candle& c) { return opens_at_extreme(c, 0.5, kBeltHoldShadowFraction); }

double small_body_two_shadows(const Candle& c) {
  const double r = bar_range(c);
  const double b = body_size(c);
  const bool shape = r > 0.0 && c.close != c.open && b <= kSmallBodyFraction * r && upper_shadow(c) >= 2.0 * b &&
                     lower_shadow(c) >= 2.0 * b;
  return shape ? signal(is_bullish(c), is_bearish(c)) : 0.0;
}

}  // namespace candle_patterns

template <bool Long>
std::optional<double> RangeLine<Long>::update_candle(const Candle& c) {
  const double r = bar_range(c);
  if (ranges_.size() < kWindow) {
    ranges_.push(r);
    return std::nullopt;
  }
  // Summed afresh from the oldest: five ranges, and no residue carried between bars.
  double sum = 0.0;
  for (std::size_t i = 0; i < kWindow; ++i) sum += ranges_[i];
  const double average = sum / static_cast<double>(kWindow);
  ranges_.push(r);
  const bool stands_out = Long ? r > average : r < average;
  if (!(stands_out && body_size(c) >= 0.5 * r)) return 0.0;
  return c.close > c.open ? 1.0 : -1.0;
}

template class RangeLine<true>;
template class RangeLine<false>;

}  // namespace vsci
