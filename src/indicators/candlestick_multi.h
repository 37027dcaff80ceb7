// Candlestick patterns over two to five consecutive candles: each kind keeps
// the previous valid candles, tests its pattern with the current one and gives
// +1, -1 or 0 from the bar that completes its span on. Pattern functions take
// their candles oldest first (b1, b2, ..., current). Fed only validated
// candles (see KindIndicator); single-threaded use.
#pragma once

#include "indicators/cores/candle_history.h"
#include "indicators/indicator.h"

namespace vsci {

namespace candle_patterns {
// Two bars.
double engulfing(const Candle& b1, const Candle& c);
double harami(const Candle& b1, const Candle& c);
double harami_cross(const Candle& b1, const Candle& c);
double piercing_dark_cloud(const Candle& b1, const Candle& c);
double kicking(const Candle& b1, const Candle& c);
double kicking_by_length(const Candle& b1, const Candle& c);
double counterattack(const Candle& b1, const Candle& c);
double separating_lines(const Candle& b1, const Candle& c);
double doji_star(const Candle& b1, const Candle& c);
double equal_extremes_pair(const Candle& b1, const Candle& c);
double in_neck(const Candle& b1, const Candle& c);
double thrusting(const Candle& b1, const Candle& c);
double close_at_prior_low(const Candle& b1, const Candle& c);
double homing_pigeon(const Candle& b1, const Candle& c);
double matching_low(const Candle& b1, const Candle& c);
// Three bars.
double morning_evening_star(const Candle& b1, const Candle& b2, const Candle& c);
double morning_doji_star(const Candle& b1, const Candle& b2, const Candle& c);
double evening_doji_star(const Candle& b1, const Candle& b2, const Candle& c);
double abandoned_baby(const Candle& b1, const Candle& b2, const Candle& c);
double three_inside(const Candle& b1, const Candle& b2, const Candle& c);
double three_outside(const Candle& b1, const Candle& b2, const Candle& c);
double two_crows(const Candle& b1, const Candle& b2, const Candle& c);
double identical_three_crows(const Candle& b1, const Candle& b2, const Candle& c);
double advance_block(const Candle& b1, const Candle& b2, const Candle& c);
double stalled_pattern(const Candle& b1, const Candle& b2, const Candle& c);
double three_stars_in_south(const Candle& b1, const Candle& b2, const Candle& c);
double three_stair_step(const Candle& b1, const Candle& b2, const Candle& c);
double stick_sandwich(const Candle& b1, const Candle& b2, const Candle& c);
double tasuki_gap(const Candle& b1, const Candle& b2, const Candle& c);
double gap_side_by_side_white(const Candle& b1, const Candle& b2, const Candle& c);
double upside_gap_two_crows(const Candle& b1, const Candle& b2, const Candle& c);
double upside_gap_three_methods(const Candle& b1, const Candle& b2, const Candle& c);
double downside_gap_three_methods(const Candle& b1, const Candle& b2, const Candle& c);
double unique_three_river(const Candle& b1, const Candle& b2, const Candle& c);
double tower_top_bottom(const Candle& b1, const Candle& b2, const Candle& c);
double three_doji_gap_star(const Candle& b1, const Candle& b2, const Candle& c);
double hikkake(const Candle& b1, const Candle& b2, const Candle& c);
// Four and five bars.
double three_line_strike(const Candle& b1, const Candle& b2, const Candle& b3, const Candle& c);
double concealing_baby_swallow(const Candle& b1, const Candle& b2, const Candle& b3, const Candle& c);
double hikkake_modified(const Candle& b1, const Candle& b2, const Candle& b3, const Candle& c);
double breakaway(const Candle& b1, const Candle& b2, const Candle& b3, const Candle& b4, const Candle& c);
double ladder_bottom(const Candle& b1, const Candle& b2, const Candle& b3, const Candle& b4, const Candle& c);
double mat_hold(const Candle& b1, const Candle& b2, const Candle& b3, const Candle& b4, const Candle& c);
double rising_three_methods(const Candle& b1, const Candle& b2, const Candle& b3, const Candle& b4, const Candle& c);
double falling_three_methods(const Candle& b1, const Candle& b2, const Candle& b3, const Candle& b4, const Candle& c);
}  // namespace candle_patterns

using Engulfing = CandlePattern<&candle_patterns::engulfing>;
using Harami = CandlePattern<&candle_patterns::harami>;
using HaramiCross = CandlePattern<&candle_patterns::harami_cross>;
using PiercingDarkCloud = CandlePattern<&candle_patterns::piercing_dark_cloud>;
using Kicking = CandlePattern<&candle_patterns::kicking>;
using KickingByLength = CandlePattern<&candle_patterns::kicking_by_length>;
using Counterattack = CandlePattern<&candle_patterns::counterattack>;
using SeparatingLines = CandlePattern<&candle_patterns::separating_lines>;
using DojiStar = CandlePattern<&candle_patterns::doji_star>;
using EqualExtremesPair = CandlePattern<&candle_patterns::equal_extremes_pair>;
using InNeck = CandlePattern<&candle_patterns::in_neck>;
using Thrusting = CandlePattern<&candle_patterns::thrusting>;
using CloseAtPriorLowPattern = CandlePattern<&candle_patterns::close_at_prior_low>;
using HomingPigeon = CandlePattern<&candle_patterns::homing_pigeon>;
using MatchingLow = CandlePattern<&candle_patterns::matching_low>;

using MorningEveningStar = CandlePattern<&candle_patterns::morning_evening_star>;
using MorningDojiStar = CandlePattern<&candle_patterns::morning_doji_star>;
using EveningDojiStar = CandlePattern<&candle_patterns::evening_doji_star>;
using AbandonedBaby = CandlePattern<&candle_patterns::abandoned_baby>;
using ThreeInside = CandlePattern<&candle_patterns::three_inside>;
using ThreeOutside = CandlePattern<&candle_patterns::three_outside>;
using TwoCrows = CandlePattern<&candle_patterns::two_crows>;
using IdenticalThreeCrows = CandlePattern<&candle_patterns::identical_three_crows>;
using AdvanceBlock = CandlePattern<&candle_patterns::advance_block>;
using StalledPattern = CandlePattern<&candle_patterns::stalled_pattern>;
using ThreeStarsInSouth = CandlePattern<&candle_patterns::three_stars_in_south>;
using ThreeStairStepCandles = CandlePattern<&candle_patterns::three_stair_step>;
using StickSandwich = CandlePattern<&candle_patterns::stick_sandwich>;
using TasukiGap = CandlePattern<&candle_patterns::tasuki_gap>;
using GapSideBySideWhite = CandlePattern<&candle_patterns::gap_side_by_side_white>;
using UpsideGapTwoCrows = CandlePattern<&candle_patterns::upside_gap_two_crows>;
using UpsideGapThreeMethods = CandlePattern<&candle_patterns::upside_gap_three_methods>;
using DownsideGapThreeMethods = CandlePattern<&candle_patterns::downside_gap_three_methods>;
using UniqueThreeRiver = CandlePattern<&candle_patterns::unique_three_river>;
using TowerTopBottom = CandlePattern<&candle_patterns::tower_top_bottom>;
using ThreeDojiGapStar = CandlePattern<&candle_patterns::three_doji_gap_star>;
using Hikkake = CandlePattern<&candle_patterns::hikkake>;

using ThreeLineStrike = CandlePattern<&candle_patterns::three_line_strike>;
using ConcealingBabySwallow = CandlePattern<&candle_patterns::concealing_baby_swallow>;
using HikkakeModified = CandlePattern<&candle_patterns::hikkake_modified>;
using Breakaway = CandlePattern<&candle_patterns::breakaway>;
using LadderBottom = CandlePattern<&candle_patterns::ladder_bottom>;
using MatHold = CandlePattern<&candle_patterns::mat_hold>;
using RisingThreeMethods = CandlePattern<&candle_patterns::rising_three_methods>;
using FallingThreeMethods = CandlePattern<&candle_patterns::falling_three_methods>;

}  // namespace vsci
