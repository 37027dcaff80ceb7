// The market-data kinds driven through the engine's own entry, with requests
// that carry every side feed and records that fail their checks: those are
// left out and the kinds go on from the records that pass.
#include <gtest/gtest.h>

#include "engine_test_support.h"

namespace vsci::testing {
namespace {

TEST(EngineMarketKinds, RecordsThatFailTheirChecksAreLeftOut) {
  // Bar 1's sell of size -1 and bar 3's print at price 0 fail: the delta
  // reads 5, 8, -, 6. Bar 2's tick (mark 0), book (crossed) and section
  // (negative volume) fail: on bar 3 the open-interest delta is 15 - 12, the
  // net liquidation 3 - 1, the advance-decline line 1 - 1 + 2 and the top
  // imbalance (3 - 1) / 4, so the entry signal comes on bar 3 alone.
  const std::string book = R"([[[99,1]],[[101,1]]])";
  const std::string feeds =
      R"("trades":[[[100,5,"buy"]],[[100,-1,"sell"],[100,3,"buy"]],[],[[0,4,"buy"],[100,2,"sell"]],[]],)"
      R"("derivs":[[0,1,1,1,10,1,1,1,1,0,0],[0,1,1,1,12,1,1,1,1,1,3],[0,0,1,1,14,1,1,1,1,5,0],)"
      R"([0,1,1,1,15,1,1,1,1,3,1],[0,1,1,1,15,1,1,1,1,0,0]],)"
      R"("books":[)" + book + "," + book + R"(,[[[101,1]],[[99,1]]],[[[99,3]],[[101,1]]],)" + book + "],"
      R"("sections":[[[[1,1]]],[[[-1,1]]],[[[1,-1]]],[[[1,1],[2,1]]],[[[0,1]]]])";
  const std::string indicators =
      R"({"cvd":{"type":"CumulativeVolumeDelta","params":[],"feed":"trade"},"oid":["OpenInterestDelta",[]],)"
      R"("liq":["LiquidationFeatures",[]],"adl":["AdvanceDecline",[]],"obi":["OrderBookImbalanceTop1",[]]})";
  const std::string entry = R"({"all":[{"eq":["cvd",6]},{"eq":["oid",3]},{"eq":["liq.net",2]},)"
                            R"({"eq":["liq.imbalance",0.5]},{"eq":["adl",2]},{"eq":["obi",0.5]}]})";
  const auto doc = run_ok(request_json(spec_json(indicators, entry, kNever, R"("sizing":["fixed_qty",1])"),
                                       flat_bars({100, 101, 102, 103, 104}), feeds));
  ASSERT_EQ(trades_of(doc).size(), 1u);
  expect_trade(trades_of(doc)[0], {5000, 5000, 104, 104, 1, 0, 0, "end"});
}

}  // namespace
}  // namespace vsci::testing
