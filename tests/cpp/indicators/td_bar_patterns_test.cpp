// The DeMark bar setups on hand-made bars against the previous one or two:
// each buy and sell test met, near misses that stay 0, inclusive edges.
#include <gtest/gtest.h>

#include "support/pattern_cases.h"

namespace vsci {
namespace {

using namespace vsci::testing;

TEST(TdBarPatterns, SetupsAndNearMisses) {
  const Ohlc p{10, 11, 9, 10.5}, q{10, 12, 8, 10}, inside{10, 11, 9, 10}, lower{9.8, 10, 9, 9.2};
  expect_pattern_cases({
      // Opening exactly at the previous low is no gap.
      {"TdOpen", {inside}, {{{8.5, 9.5, 8, 9}, 1}, {{9, 9.5, 8, 9}, 0}, {{11.5, 12, 10.5, 11}, -1}}},
      {"TdClop", {p}, {{{9.5, 11.5, 9.5, 11}, 1}, {{11, 11.5, 9, 9.5}, -1}, {{9.5, 10.8, 9.5, 10.4}, 0}}},
      // Both ends exactly on the body's edges count as inside; a doji inside buys.
      {"TdClopwin", {p}, {{{10, 10.5, 10, 10.5}, 1}, {{10.5, 10.5, 10, 10.2}, -1}}},
      {"TdClopwin", {p}, {{{10.2, 10.4, 10.1, 10.2}, 1}, {{10, 11, 10, 10.6}, 0}}},
      // An open exactly at the previous close is enough.
      {"TdPropulsion", {p}, {{{10.5, 11.5, 10.5, 11.2}, 1}, {{10.4, 11.5, 10.4, 11.2}, 0}}},
      {"TdPropulsion", {p}, {{{10.5, 10.5, 8.5, 8.8}, -1}, {{10.2, 10.5, 8.5, 8.8}, -1}}},
      {"TdCamouflage", {p}, {{{9.5, 10.2, 8.5, 10}, 1}, {{11.5, 11.8, 10.5, 11}, -1}, {{9.5, 10.2, 9, 10}, 0}}},
      {"TdTrap", {q, inside}, {{{10.5, 11.5, 10, 11.2}, 1}, {{9.5, 10, 8.5, 8.8}, -1}}},
      {"TdTrap", {q, {10, 12, 9, 10}}, {{{10, 12.6, 10, 12.5}, 0}}},  // equal highs: no inside bar
      {"TdDifferential", {{10, 10.5, 9.5, 10}, lower}, {{{9.1, 9.15, 8.5, 9.1}, 1}, {{9.1, 9.2, 8.5, 9.2}, 0}}},
      // After a gap up the buying pressure counts from the previous close, not the bar's low.
      {"TdDifferential", {{10, 10.5, 9.5, 10}, {10.2, 11, 10, 10.8}},
       {{{10.9, 11.5, 10.85, 10.9}, -1}, {{11.5, 12.5, 11.4, 11.7}, 0}}},
  });
}

}  // namespace
}  // namespace vsci
