// The body and shadow measures every candlestick and bar pattern reads, and
// CandlePattern: a kind that keeps the previous accepted candles in fixed
// slots, tests one pattern over them and the current candle, then shifts the
// current candle in. A pattern is a plain function of its candles, oldest
// first. No heap memory; single-threaded use.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>

#include "market/bar_context.h"

namespace vsci {

inline double bar_range(const Candle& c) { return c.high - c.low; }
inline double body_size(const Candle& c) { return std::fabs(c.close - c.open); }
inline double body_top(const Candle& c) { return std::max(c.open, c.close); }
inline double body_bottom(const Candle& c) { return std::min(c.open, c.close); }
inline double upper_shadow(const Candle& c) { return c.high - body_top(c); }
inline double lower_shadow(const Candle& c) { return body_bottom(c) - c.low; }
// A bar whose close equals its open is neither.
inline bool is_bullish(const Candle& c) { return c.close > c.open; }
inline bool is_bearish(const Candle& c) { return c.close < c.open; }
// A flat bar is no doji: without a range there is nothing for the body to be small against.
inline bool is_doji(const Candle& c) {
  const double r = bar_range(c);
  return r > 0.0 && body_size(c) <= 0.1 * r;
}
// inner lies inside outer: a strictly lower high and a strictly higher low.
inline bool is_inside_bar(const Candle& outer, const Candle& inner) {
  return inner.high < outer.high && inner.low > outer.low;
}
// The bar upside down: prices negated, so high and low trade places and every
// rise becomes a fall. Negation is exact, so a test on mirrored bars is the
// mirror test bit for bit.
inline Candle upside_down(const Candle& x) { return {x.time, -x.open, -x.low, -x.high, -x.close, x.volume}; }
inline bool within(double x, double lo, double hi) { return lo <= x && x <= hi; }
// The bullish reading wins; the two variants of a pattern exclude each other anyway.
inline double signal(bool bullish, bool bearish) { return bullish ? 1.0 : (bearish ? -1.0 : 0.0); }

template <auto Detect>
class CandlePattern;

// The pattern's span is the number of candles Detect takes; the first value
// comes on the accepted bar that fills its last slot, so warmup is the span.
template <class... Bars, double (*Detect)(Bars...)>
class CandlePattern<Detect> {
 public:
  static constexpr std::size_t kSpan = sizeof...(Bars);

  std::optional<double> update_candle(const Candle& c) {
    bars_[kSpan - 1] = c;
    std::optional<double> value;
    if (held_ == kSpan - 1) {
      value = detect(std::make_index_sequence<kSpan>{});
    } else {
      ++held_;
    }
    // Slots fill from the newest end, so a short history is always the newest candles.
    std::copy(bars_.begin() + 1, bars_.end(), bars_.begin());
    return value;
  }
  std::uint64_t warmup() const { return kSpan; }

 private:
  template <std::size_t... I>
  double detect(std::index_sequence<I...>) const {
    return Detect(bars_[I]...);
  }

  // The previous candles oldest first; the last slot takes the current candle.
  std::array<Candle, kSpan> bars_{};
  std::size_t held_ = 0;
};

}  // namespace vsci
