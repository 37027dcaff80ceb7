// Single-bar candlestick patterns: each tests the current candle's body and
// shadows alone and gives +1, -1 or 0 on every valid bar; and LongLine and
// ShortLine, which also hold the ranges of the five bars before. Fed only
// validated candles (see KindIndicator); single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/candle_history.h"
#include "indicators/cores/ring.h"
#include "indicators/indicator.h"

namespace vsci {

namespace candle_patterns {
double doji(const Candle& c);
double dragonfly_doji(const Candle& c);
double gravestone_doji(const Candle& c);
double long_legged_doji(const Candle& c);
double rickshaw_man(const Candle& c);
double high_wave(const Candle& c);
double takuri(const Candle& c);
double hammer(const Candle& c);
double hanging_man(const Candle& c);
double inverted_hammer(const Candle& c);
double shooting_star(const Candle& c);
double marubozu(const Candle& c);
double closing_marubozu(const Candle& c);
double opening_marubozu(const Candle& c);
double belt_hold(const Candle& c);
double small_body_two_shadows(const Candle& c);
}  // namespace candle_patterns

using Doji = CandlePattern<&candle_patterns::doji>;
using DragonflyDoji = CandlePattern<&candle_patterns::dragonfly_doji>;
using GravestoneDoji = CandlePattern<&candle_patterns::gravestone_doji>;
using LongLeggedDoji = CandlePattern<&candle_patterns::long_legged_doji>;
using RickshawMan = CandlePattern<&candle_patterns::rickshaw_man>;
using HighWave = CandlePattern<&candle_patterns::high_wave>;
using Takuri = CandlePattern<&candle_patterns::takuri>;
using Hammer = CandlePattern<&candle_patterns::hammer>;
using HangingMan = CandlePattern<&candle_patterns::hanging_man>;
using InvertedHammer = CandlePattern<&candle_patterns::inverted_hammer>;
using ShootingStar = CandlePattern<&candle_patterns::shooting_star>;
using Marubozu = CandlePattern<&candle_patterns::marubozu>;
using ClosingMarubozu = CandlePattern<&candle_patterns::closing_marubozu>;
using OpeningMarubozu = CandlePattern<&candle_patterns::opening_marubozu>;
using BeltHold = CandlePattern<&candle_patterns::belt_hold>;
using SmallBodyTwoShadows = CandlePattern<&candle_patterns::small_body_two_shadows>;

// A bar whose range stands out from (Long) or falls short of (!Long) the mean
// range of the five bars before it, with a body of at least half its range:
// +1 when it closes up, -1 otherwise. No value until five ranges are held, so
// the first value comes on the sixth valid bar while warmup says 5.
template <bool Long>
class RangeLine {
 public:
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return kWindow; }

 private:
  static constexpr std::size_t kWindow = 5;
  Ring<double> ranges_{kWindow};
};

using LongLine = RangeLine<true>;
using ShortLine = RangeLine<false>;

}  // namespace vsci
