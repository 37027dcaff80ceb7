// Two- to five-bar candlestick patterns on hand-made sequences: a case that
// meets each variant and near misses that stay 0, exact edges included.
#include <gtest/gtest.h>

#include "support/pattern_cases.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// Long bearish and long bullish bars many cases start from, and pairs of
// bars with a gap between their bodies.
const Ohlc kDown{10, 10.5, 7.5, 8}, kUp{8, 10.5, 7.5, 10};
const Ohlc kUp1{10, 11, 10, 11}, kUp2{12, 13, 12, 13}, kDown1{13, 13, 12, 12}, kDown2{11, 11, 10, 10};

TEST(CandlestickTwoBar, ShapesAndNearMisses) {
  expect_pattern_cases({
      // Opening at the previous close is allowed; a body exactly as long is not larger.
      {"Engulfing", {kDown}, {{{8, 11, 7.5, 10.5}, 1}, {{7.5, 11, 7.5, 10.5}, 1}, {{8, 10.5, 7.5, 10}, 0}}},
      {"Engulfing", {kUp}, {{{10, 10.5, 7, 7.5}, -1}, {{10.5, 10.5, 7, 7.5}, -1}}},
      {"Engulfing", {{9, 10, 8, 9}}, {{{8, 11, 7.5, 10.5}, 0}}},
      {"Harami", {kDown}, {{{8.5, 9.5, 8.5, 9.5}, 1}, {{8, 10, 8, 10}, 0}}},
      {"Harami", {kUp}, {{{9.5, 9.5, 8.5, 8.5}, -1}}},
      {"HaramiCross", {kDown}, {{{9, 9.5, 8.5, 9}, 1}, {{10.5, 11, 8.5, 10.5}, 0}}},
      {"HaramiCross", {{5, 5, 5, 5}}, {{{5, 6, 4, 5}, -1}}},  // a flat first bar is no doji
      {"HaramiCross", {{9, 10, 8, 9}}, {{{9, 9.5, 8.5, 9}, 0}}},
      {"PiercingDarkCloud", {kDown}, {{{7, 9.5, 7, 9.5}, 1}, {{7, 9, 7, 9}, 0}}},  // at the midpoint: 0
      {"PiercingDarkCloud", {kUp}, {{{11, 11, 8.5, 8.5}, -1}, {{11, 11, 9, 9}, 0}}},
      {"Kicking", {{10, 10, 8, 8}}, {{{11, 13, 11, 13}, 1}, {{10, 12, 10, 12}, 0}}},  // no gap: 0
      {"Kicking", {{8, 10, 8, 10}}, {{{7, 7, 5, 5}, -1}}},
      // Equal bodies give the sign of the first bar's colour.
      {"KickingByLength", {{10, 10, 8, 8}}, {{{11, 13, 11, 13}, -1}, {{11, 14, 11, 14}, 1}, {{10, 12, 10, 12}, 0}}},
      {"KickingByLength", {{8, 10, 8, 10}}, {{{7, 7, 5, 5}, 1}, {{7, 7, 4, 4}, -1}}},
      // Ranges of 2 give a tolerance of 0.1, and the closes 0.1 and 0.2 are exactly 0.1 apart.
      {"Counterattack", {{2.1, 2.1, 0.1, 0.1}}, {{{-1.8, 0.2, -1.8, 0.2}, 1}, {{-1.75, 0.25, -1.75, 0.25}, 0}}},
      {"Counterattack", {{0, 2, 0, 2}}, {{{4, 4, 2, 2}, -1}}},
      {"SeparatingLines", {kDown}, {{{10, 12, 10, 12}, 1}, {{10.5, 12, 10.5, 12}, 0}}},
      {"SeparatingLines", {kUp}, {{{8, 8, 6, 6}, -1}}},
      {"DojiStar", {kDown}, {{{7, 7.5, 6.5, 7}, 1}, {{8, 8.5, 7.5, 8}, 0}}},
      {"DojiStar", {kUp}, {{{11, 11.5, 10.5, 11}, -1}}},
      {"EqualExtremesPair",
       {{105, 110, 100, 105}},
       {{{105, 115, 100.1, 105}, 1}, {{105, 110.05, 100.2, 105}, -1}, {{105, 111, 100.2, 105}, 0}}},
      {"EqualExtremesPair", {{0, 1, 0, 1}}, {{{0, 2, 0, 1}, 1}}},  // two lows of 0 match
      {"InNeck", {kDown}, {{{7, 8, 7, 8}, -1}, {{7, 8.1, 7, 8.1}, -1}, {{7, 8.5, 7, 8.5}, 0}, {{7, 7.9, 7, 7.9}, 0}}},
      {"Thrusting", {kDown}, {{{7, 8.5, 7, 8.5}, -1}, {{7, 9, 7, 9}, 0}}},
      {"CloseAtPriorLowPattern", {kDown}, {{{7, 7.5, 7, 7.5}, -1}, {{7, 7.75, 7, 7.75}, 0}}},
      {"HomingPigeon", {kDown}, {{{9.5, 9.5, 8.5, 8.5}, 1}, {{10, 10, 8, 8}, 0}}},
      {"MatchingLow", {kDown}, {{{9, 9, 8, 8}, 1}, {{9, 9, 7.5, 7.5}, 0}}},
      {"MatchingLow", {{5, 5, 5, 5}}, {{{5, 5, 5, 5}, 0}}},
  });
}

TEST(CandlestickThreeBar, ShapesAndNearMisses) {
  const double penetration = 8 + (10 - 8) * 0.3;  // b1's close plus 0.3 of its body: not above it
  const Ohlc doji_low{7, 7.5, 6.5, 7}, doji_high{11, 11.5, 10.5, 11}, at_limit{7.5, penetration, 7.5, penetration};
  const Ohlc up{10, 13, 10, 13}, down{13, 13, 10, 10}, doji{10, 11, 9, 10}, outer{10, 12, 8, 10};
  expect_pattern_cases({
      {"MorningEveningStar", {kDown, {7, 7.5, 6.5, 7.5}}, {{{7.5, 9.5, 7.5, 9.5}, 1}, {{7.5, 8.5, 7.5, 8.5}, 0}}},
      {"MorningEveningStar", {kDown, doji_low}, {{{7.5, 9.5, 7.5, 9.5}, 1}}},  // b2 without a body
      {"MorningEveningStar", {kUp, {10.5, 11, 10.5, 11}}, {{{10.5, 10.5, 8.5, 8.5}, -1}}},
      {"MorningDojiStar", {kDown, doji_low}, {{{7.5, 9.5, 7.5, 9.5}, 1}, {at_limit, 0}}},
      {"EveningDojiStar", {kUp, doji_high}, {{{10.5, 10.5, 8.5, 8.5}, -1}, {{10.5, 10.5, 9.5, 9.5}, 0}}},
      {"AbandonedBaby", {kDown, {7, 7.2, 6.8, 7}}, {{{7.5, 9, 7.5, 9}, 1}, {{7.5, 9, 7.1, 9}, 0}}},
      {"AbandonedBaby", {kUp, {11, 11.2, 10.8, 11}}, {{{10.5, 10.6, 9, 9}, -1}}},
      {"ThreeInside", {kDown, {8.5, 9.5, 8.5, 9.5}}, {{{9.5, 10.5, 9.5, 10.5}, 1}}},
      {"ThreeInside", {kDown, {8, 10, 8, 10}}, {{{9.5, 10.5, 9.5, 10.5}, 0}}},  // equal bodies
      {"ThreeInside", {kUp, {9.5, 9.5, 8.5, 8.5}}, {{{8.5, 8.5, 7.5, 7.5}, -1}}},
      {"ThreeOutside", {{9.5, 9.5, 8.5, 8.5}, {8, 10, 8, 10}}, {{{10, 11, 10, 11}, 1}}},
      {"ThreeOutside", {{9.5, 9.5, 8.5, 8.5}, {8.5, 9.5, 8.5, 9.5}}, {{{10, 11, 10, 11}, 0}}},  // equal bodies
      {"ThreeOutside", {{8.5, 9.5, 8.5, 9.5}, {10, 10, 8, 8}}, {{{8, 8, 7, 7}, -1}}},
      {"TwoCrows", {{8, 10, 8, 10}, {11.5, 11.5, 10.5, 10.5}}, {{{11, 11, 9, 9}, -1}, {{11, 11, 7.5, 7.5}, 0}}},
      {"IdenticalThreeCrows", {{10, 10, 8, 8}, {8, 8, 6, 6}}, {{{6, 6, 4, 4}, -1}, {{6.012, 6.012, 4, 4}, 0}}},
      {"AdvanceBlock", {up, {11, 14.5, 11, 13.5}}, {{{13, 16, 13, 14}, -1}, {{13, 14.5, 13, 14}, 0}}},
      {"StalledPattern", {up, {12, 15, 12, 15}}, {{{15, 18, 15, 15.5}, -1}, {{14.5, 18, 14.5, 15.5}, 0}}},
      {"ThreeStarsInSouth", {{10, 10.2, 5, 8}, {9, 9.2, 7, 8.5}}, {{{8.8, 8.8, 8.2, 8.2}, 1}}},
      {"ThreeStarsInSouth", {{10, 10.2, 6, 8}, {9, 9.2, 7, 8.5}},
       {{{8.8, 8.8, 8.2, 8.2}, 1}, {{8.8, 8.9, 8.2, 8.2}, 0}}},
      {"ThreeStairStepCandles", {kUp1, {11, 12, 11, 12}}, {{{12, 13, 12, 13}, 1}}},  // opening at b1's close counts
      {"ThreeStairStepCandles", {kDown1, {12, 12, 11, 11}}, {{{11, 11, 10, 10}, -1}}},
      {"ThreeStairStepCandles", {kUp1, {11.5, 12, 11.5, 12}}, {{{12, 13, 12, 13}, 0}}},
      {"StickSandwich", {{10, 10, 8, 8}, {8.5, 9.5, 8.5, 9.5}}, {{{9, 9, 8, 8}, 1}, {{9, 9, 7.5, 7.5}, 0}}},
      // Opening exactly at b2's open does not count.
      {"TasukiGap", {kUp1, kUp2}, {{{12.5, 12.5, 11.5, 11.5}, 1}, {{12, 12, 11.5, 11.5}, 0}}},
      {"TasukiGap", {kDown1, kDown2}, {{{10.5, 11.5, 10.5, 11.5}, -1}}},
      {"UpsideGapThreeMethods", {kUp1, kUp2}, {{{12.5, 12.5, 10.5, 10.5}, 1}, {{12.5, 12.5, 11.5, 11.5}, 0}}},
      {"DownsideGapThreeMethods", {kDown1, kDown2}, {{{10.5, 12.5, 10.5, 12.5}, -1}, {{10.5, 11.5, 10.5, 11.5}, 0}}},
      {"GapSideBySideWhite", {kUp1, kUp2}, {{kUp2, 1}, {{12.5, 13.5, 12.5, 13.5}, 0}}},
      {"GapSideBySideWhite", {{13, 14, 13, 14}, {11, 12, 11, 12}}, {{{11, 12, 11, 12}, -1}}},
      {"UpsideGapTwoCrows", {kUp1, {12.5, 12.5, 12, 12}}, {{{13, 13, 11.5, 11.5}, -1}, {{13, 13, 10.5, 10.5}, 0}}},
      {"UniqueThreeRiver", {{10, 10, 7, 7.5}, {9, 9, 6, 8}}, {{{7, 7.25, 6, 7.25}, 1}, {{7, 8.5, 6, 7.25}, 0}}},
      {"TowerTopBottom", {up, {13, 14, 12, 13.2}}, {{down, -1}, {up, 0}}},
      {"TowerTopBottom", {down, {11, 12, 10, 11}}, {{up, 1}}},
      {"TowerTopBottom", {down, {11, 11, 11, 11}}, {{up, 1}}},  // a flat b2 passes
      // A third doji whose top equals the middle one's after a gap up: 0.
      {"ThreeDojiGapStar", {doji, {12, 13, 11, 12}}, {{{11.5, 12.5, 10.5, 11.5}, -1}, {{12, 13, 11, 12}, 0}}},
      {"ThreeDojiGapStar", {doji, {8, 9, 7, 8}}, {{{8.5, 9.5, 7.5, 8.5}, 1}}},
      {"Hikkake", {outer, {10, 11, 9, 10}}, {{{9, 10, 8, 8.5}, 1}, {{11, 12, 10, 11.5}, -1}}},
      {"Hikkake", {outer, {10, 12, 9, 10}}, {{{9, 10, 8, 8.5}, 0}}},  // equal highs: no inside bar
  });
}

TEST(CandlestickLonger, ShapesAndNearMisses) {
  const Ohlc r2{10.5, 12, 10.5, 12}, r3{11.5, 13, 11.5, 13}, f2{12.5, 12.5, 11, 11}, f3{11.5, 11.5, 10, 10};
  const Ohlc m1{10, 15, 10, 15}, m2{16, 16.5, 14, 15.5}, m3{15.5, 16, 13, 15}, m4{15, 15.5, 13.5, 14.5};
  const Ohlc h1{10, 14, 6, 10}, h3{9, 12, 8, 9}, crow1{10, 10, 8, 8}, crow2{8, 8, 6, 6}, crow3{5.5, 6.5, 5, 5.2};
  const Ohlc ladder[] = {{14, 14, 12, 12}, {13, 13, 11, 11}, {12, 12, 10, 10}};
  const Ohlc away[] = {{14, 14, 12, 12}, {11.5, 11.5, 10.5, 10.5}, {10.5, 11, 9.5, 10}, {10, 10.5, 9, 9.2}};
  const Ohlc away_up[] = {{10, 12, 10, 12}, {12.5, 13.5, 12.5, 13.5}, {13.5, 14, 13, 13.8}, {14, 15, 13.5, 14.8}};
  const Ohlc dip[] = {{14, 14.5, 13, 13.5}, {13.5, 14, 12.5, 13}, {13, 13.5, 12, 12.5}};
  const Ohlc fall1{15, 15, 10, 10}, rally[] = {{11, 12, 10.5, 11.5}, {11.5, 12.5, 11, 12}, {12, 13, 11.5, 12.5}};
  expect_pattern_cases({
      // Closing exactly at b1's open does not strike.
      {"ThreeLineStrike", {kUp1, r2, r3}, {{{13.5, 13.5, 9.5, 9.5}, 1}, {{13.5, 13.5, 10, 10}, 0}}},
      {"ThreeLineStrike", {kDown1, f2, f3}, {{{9.5, 13.5, 9.5, 13.5}, -1}}},
      {"ConcealingBabySwallow", {crow1, crow2, crow3}, {{{7, 7, 4.5, 4.5}, 1}, {{6.5, 6.5, 4.5, 4.5}, 0}}},
      {"HikkakeModified", {h1, {10, 13, 7, 8}, h3}, {{{8.5, 11, 7.5, 8}, 1}}},
      {"HikkakeModified", {h1, {10, 13, 7, 7 + 0.2 * 6}, h3}, {{{8.5, 11, 7.5, 8}, 1}}},  // on the 0.2 line
      {"HikkakeModified", {h1, {10, 13, 7, 10}, h3}, {{{8.5, 11, 7.5, 8}, 0}}},
      {"HikkakeModified", {h1, {10, 13, 7, 12}, h3}, {{{9.5, 13, 8.5, 12.5}, -1}}},
      // A close at the highest high, or a low on the floor, gives 0.
      {"MatHold", {m1, m2, m3, m4}, {{{14.5, 17, 14.5, 17}, 1}, {{14.5, 16.5, 14.5, 16.5}, 0}}},
      {"MatHold", {m1, m2, {15.5, 16, 12.5, 15}, m4}, {{{14.5, 17, 14.5, 17}, 0}}},
      {"LadderBottom", {ladder[0], ladder[1], ladder[2], {10.5, 11, 9, 9.5}}, {{{11, 12, 11, 12}, 1}}},
      {"LadderBottom", {ladder[0], ladder[1], ladder[2], {10.5, 10.5, 9, 9.5}}, {{{11, 12, 11, 12}, 0}}},
      {"RisingThreeMethods", {m1, dip[0], dip[1], dip[2]}, {{{13, 16, 13, 16}, 1}}},
      {"RisingThreeMethods", {m1, dip[0], {14, 14, 12.5, 13.5}, dip[2]}, {{{13, 16, 13, 16}, 0}}},  // equal closes
      {"FallingThreeMethods", {fall1, rally[0], rally[1], rally[2]}, {{{12, 12, 9, 9}, -1}, {{12.5, 12.5, 9, 9}, 0}}},
      {"Breakaway", {away[0], away[1], away[2], away[3]}, {{{9.5, 11.8, 9.5, 11.8}, 1}}},
      {"Breakaway", {away[0], away[1], {10, 11, 9.5, 10.5}, away[3]}, {{{9.5, 11.8, 9.5, 11.8}, 1}}},  // b3 bullish
      {"Breakaway", {away_up[0], away_up[1], away_up[2], away_up[3]},
       {{{12.7, 12.7, 12.2, 12.2}, -1}, {{12.7, 12.7, 12.6, 12.6}, 0}}},
  });
}

}  // namespace
}  // namespace vsci
