#include <gtest/gtest.h>

#include <string>

#include "engine/request.h"
#include "support/request_text.h"

namespace vsci {
namespace {

using testing::at_byte;
using testing::first_byte;
using testing::kOneCandle;
using testing::kPrefix;
using testing::kSpec;
using testing::last_byte;
using testing::last_byte_after;
using testing::read_error;
using testing::read_ok;
using testing::request_with;

TEST(RequestRecords, ObjectAndArrayFormsWithDefaults) {
  const RunRequest a = read_ok(request_with(""));
  EXPECT_EQ(a.capital, 10000.0);
  EXPECT_FALSE(a.reference);
  EXPECT_FALSE(a.derivs);
  EXPECT_FALSE(a.books);
  EXPECT_FALSE(a.trades);
  EXPECT_FALSE(a.sections);
  ASSERT_EQ(a.candles.size(), 1u);
  EXPECT_EQ(a.candles[0].time, 1);
  EXPECT_EQ(a.candles[0].open, 1.0);
  EXPECT_EQ(a.candles[0].high, 2.0);
  EXPECT_EQ(a.candles[0].low, 0.5);
  EXPECT_EQ(a.candles[0].close, 1.5);
  EXPECT_EQ(a.candles[0].volume, 3.0);
  EXPECT_EQ(a.spec.symbol, "BTC");

  const RunRequest b = read_ok("[" + kSpec + ",[[7,1,2,0.5,1.5]], 250.5]");
  ASSERT_EQ(b.candles.size(), 1u);
  EXPECT_EQ(b.candles[0].time, 7);
  EXPECT_EQ(b.candles[0].volume, 0.0);
  EXPECT_EQ(b.capital, 250.5);
  EXPECT_FALSE(b.books);

  const std::string one = "[" + kSpec + "]";
  EXPECT_EQ(read_error(one),
            kPrefix + "invalid length 1, expected struct RunRequest with 8 elements" + at_byte(one, one.size() - 1));
  const std::string nine = "[" + kSpec + ",[],1,null,null,null,null,null,9]";
  EXPECT_EQ(read_error(nine), kPrefix + "trailing characters" + at_byte(nine, last_byte(nine, "9]") - 1));
}

TEST(RequestRecords, CandleMembersAndMessages) {
  EXPECT_EQ(read_ok(request_with("", kSpec, R"([{"time":1,"open":1,"high":1,"low":1,"close":1}])")).candles[0].volume,
            0.0);
  struct Case {
    std::string candles;
    std::string message;
    std::string marker;  // the reader stops at byte `offset` of the first `marker` in the candles
    std::size_t offset;
  };
  const Case cases[] = {
      {R"([{"time":1,"open":1,"high":1,"low":1}])", "missing field `close`", "}", 0},
      {R"([{"time":1.5,"open":1,"high":1,"low":1,"close":1}])", "invalid type: floating point `1.5`, expected i64",
       "1.5", 2},
      {R"([{"time":9223372036854775808,"open":1,"high":1,"low":1,"close":1}])",
       "invalid value: integer `9223372036854775808`, expected i64", "808", 2},
      {R"([{"time":1,"open":1,"high":1,"low":1,"close":1,"volume":null}])", "invalid type: null, expected f64",
       "null", 3},
      {R"([{"time":1,"open":true,"high":1,"low":1,"close":1}])", "invalid type: boolean `true`, expected f64",
       "true", 3},
      {R"([{"time":1,"open":1,"high":1,"low":1,"close":1,"open":2}])", "duplicate field `open`", "\"open\":2", 5},
      {R"([[1,1,1,1]])", "invalid length 4, expected struct Candle with 6 elements", "]", 0},
      {R"([5])", "invalid type: integer `5`, expected struct Candle", "5", 0},
      {R"([[1,1,1,1,1,1,1]])", "trailing characters", ",1]]", 1},
      {R"({})", "invalid type: map, expected a sequence", "{", 0},
      {R"([[1,1,1,1,1e999]])", "number out of range", "1e999", 4},
  };
  for (const Case& c : cases) {
    const std::string text = request_with("", kSpec, c.candles);
    const std::size_t stop = last_byte_after(text, "\"candles\":", c.marker) - (c.marker.size() - 1) + c.offset;
    EXPECT_EQ(read_error(text), kPrefix + c.message + at_byte(text, stop)) << c.candles;
  }
  // The extremes of the time range read exactly.
  const RunRequest r = read_ok(request_with(
      "", kSpec, "[[-9223372036854775808,1,1,1,1],[9223372036854775807,1,1,1,1]]"));
  EXPECT_EQ(r.candles[0].time, std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(r.candles[1].time, std::numeric_limits<std::int64_t>::max());
}

TEST(RequestRecords, DerivativesTicks) {
  const std::string all11 =
      R"({"funding_rate":0.1,"mark_price":2,"index_price":3,"futures_price":4,"open_interest":5,"long_size":6,)"
      R"("short_size":7,"taker_buy_volume":8,"taker_sell_volume":9,"long_liquidation":10,"short_liquidation":11})";
  const RunRequest r = read_ok(request_with(R"("derivs":[)" + all11 + R"(,[1,2,3,4,5,6,7,8,9,10,11,-12]])", kSpec,
                                            kOneCandle.substr(0, kOneCandle.size() - 1) + "," + kOneCandle.substr(1)));
  ASSERT_TRUE(r.derivs);
  ASSERT_EQ(r.derivs->size(), 2u);
  const DerivativesTick& t = (*r.derivs)[0];
  EXPECT_EQ(t.funding_rate, 0.1);
  EXPECT_EQ(t.open_interest, 5.0);
  EXPECT_EQ(t.short_liquidation, 11.0);
  EXPECT_EQ(t.timestamp, 0);
  EXPECT_EQ((*r.derivs)[1].short_liquidation, 11.0);
  EXPECT_EQ((*r.derivs)[1].timestamp, -12);

  std::string missing = all11;
  missing.erase(missing.find(R"(,"short_liquidation":11)"), std::string(R"(,"short_liquidation":11)").size());
  const std::string text = request_with(R"("derivs":[)" + missing + "]");
  EXPECT_EQ(read_error(text), kPrefix + "missing field `short_liquidation`" + at_byte(text, last_byte(text, "10}")));
  const std::string ten = request_with(R"("derivs":[[1,2,3,4,5,6,7,8,9,10]])");
  EXPECT_EQ(read_error(ten), kPrefix + "invalid length 10, expected struct DerivativesTick with 12 elements" +
                                 at_byte(ten, last_byte(ten, "10]")));
  const std::string null_stamp = request_with(R"("derivs":[[1,2,3,4,5,6,7,8,9,10,11,null]])");
  EXPECT_EQ(read_error(null_stamp),
            kPrefix + "invalid type: null, expected i64" + at_byte(null_stamp, last_byte(null_stamp, "null")));
}

TEST(RequestRecords, TradePrintsAndSides) {
  const RunRequest r = read_ok(request_with(
      R"("trades":[[{"price":1,"size":2,"side":"buy"},[3,4,{"sell":null},99]],[],[{"price":5,"size":6,"side":{"buy":null}}]])",
      kSpec, "[[1,1,1,1,1],[2,1,1,1,1],[3,1,1,1,1]]"));
  ASSERT_TRUE(r.trades);
  ASSERT_EQ(r.trades->size(), 3u);
  ASSERT_EQ(r.trades->bar(0).size(), 2u);
  EXPECT_EQ(r.trades->bar(0)[0].price, 1.0);
  EXPECT_EQ(r.trades->bar(0)[0].side, TradeSide::Buy);
  EXPECT_EQ(r.trades->bar(0)[0].timestamp, 0);
  EXPECT_EQ(r.trades->bar(0)[1].size, 4.0);
  EXPECT_EQ(r.trades->bar(0)[1].side, TradeSide::Sell);
  EXPECT_EQ(r.trades->bar(0)[1].timestamp, 99);
  EXPECT_TRUE(r.trades->bar(1).empty());
  ASSERT_EQ(r.trades->bar(2).size(), 1u);
  EXPECT_EQ(r.trades->bar(2)[0].price, 5.0);

  struct Case {
    std::string side;
    std::string message;
    std::size_t stop_in_side;  // offset of the stop byte within the side text
  };
  const Case cases[] = {
      {R"("BUY")", "unknown variant `BUY`, expected `buy` or `sell`", 4},
      {R"({"buy":1})", "invalid type: integer `1`, expected unit", 7},
      {R"({"hold":null})", "unknown variant `hold`, expected `buy` or `sell`", 6},
      {R"({})", "expected value", 1},
      {R"({"buy":null,"sell":null})", "expected value", 10},
      {R"(1)", "expected value", 0},
      {R"(null)", "expected value", 0},
      {R"(["buy"])", "expected value", 0},
  };
  for (const Case& c : cases) {
    const std::string text = request_with(R"("trades":[[{"price":1,"size":2,"side":)" + c.side + "}]]");
    const std::size_t side_at = first_byte(text, R"("side":)") + 7;
    EXPECT_EQ(read_error(text), kPrefix + c.message + at_byte(text, side_at + c.stop_in_side)) << c.side;
  }
  EXPECT_NE(read_error(request_with(R"("trades":[{"price":1,"size":2,"side":"buy"}])")).find("expected a sequence"),
            std::string::npos);
}

TEST(RequestRecords, BooksAndCrossSections) {
  const RunRequest r = read_ok(request_with(
      R"("books":[{"asks":[[101,1],{"size":2,"price":102}],"bids":[[99,3]]}],)"
      R"("sections":[[[[0.5,10],{"change":-1,"volume":2,"new_high":true,"new_low":false}]]])"));
  ASSERT_TRUE(r.books);
  const OrderBook& book = (*r.books)[0];
  ASSERT_EQ(book.asks.size(), 2u);
  EXPECT_EQ(book.asks[1].price, 102.0);
  EXPECT_EQ(book.asks[1].size, 2.0);
  ASSERT_EQ(book.bids.size(), 1u);
  EXPECT_EQ(book.bids[0].price, 99.0);
  ASSERT_TRUE(r.sections);
  const CrossSection& s = (*r.sections)[0];
  EXPECT_EQ(s.timestamp, 0);
  ASSERT_EQ(s.members.size(), 2u);
  EXPECT_EQ(s.members[0].change, 0.5);
  EXPECT_FALSE(s.members[0].new_high);
  EXPECT_FALSE(s.members[0].new_low);
  EXPECT_TRUE(s.members[1].new_high);

  const std::string no_asks = request_with(R"("books":[{"bids":[]}])");
  EXPECT_EQ(read_error(no_asks), kPrefix + "missing field `asks`" + at_byte(no_asks, last_byte_after(no_asks, "bids", "}")));
  const std::string one_flag = request_with(R"("sections":[{"members":[{"change":1,"volume":1,"new_high":1}]}])");
  EXPECT_EQ(read_error(one_flag), kPrefix + "invalid type: integer `1`, expected a boolean" +
                                      at_byte(one_flag, last_byte(one_flag, "\"new_high\":1")));
  const std::string null_flag = request_with(R"("sections":[{"members":[{"change":1,"volume":1,"new_low":null}]}])");
  EXPECT_EQ(read_error(null_flag), kPrefix + "invalid type: null, expected a boolean" +
                                       at_byte(null_flag, last_byte(null_flag, "null")));
  const std::string no_members = request_with(R"("sections":[{"timestamp":5}])");
  EXPECT_EQ(read_error(no_members),
            kPrefix + "missing field `members`" + at_byte(no_members, last_byte(no_members, "5}")));
}

TEST(RequestRecords, NullFeedsUnknownMembersAndDuplicates) {
  const RunRequest r = read_ok(request_with(
      R"("derivs":null,"books":null,"trades":null,"sections":null,"reference":null,"note":{"a":[1,2,{"b":null}]})"));
  EXPECT_FALSE(r.derivs);
  EXPECT_FALSE(r.reference);
  EXPECT_FALSE(r.trades);

  const std::string capital = request_with(R"("capital":null)");
  EXPECT_EQ(read_error(capital),
            kPrefix + "invalid type: null, expected f64" + at_byte(capital, last_byte(capital, "null")));
  const std::string twice = request_with(R"("candles":[])");
  EXPECT_EQ(read_error(twice),
            kPrefix + "duplicate field `candles`" + at_byte(twice, last_byte(twice, "\"candles\"", 1)));
  // A skipped member must still be well-formed.
  const std::string bad_skip = request_with(R"("note":[1,2,])");
  EXPECT_EQ(read_error(bad_skip), kPrefix + "trailing comma" + at_byte(bad_skip, last_byte(bad_skip, "2,]")));
  const std::string no_spec = R"({"candles":[]})";
  EXPECT_EQ(read_error(no_spec), kPrefix + "missing field `spec`" + at_byte(no_spec, no_spec.size() - 1));
  const std::string reference = request_with(R"("reference":[{"time":1,"open":1,"high":1,"low":1}])");
  EXPECT_EQ(read_error(reference),
            kPrefix + "missing field `close`" + at_byte(reference, last_byte_after(reference, "reference", "}")));
}

TEST(RequestRecords, TheWholeTextIsOneRequest) {
  const std::string ok = request_with("");
  EXPECT_EQ(read_error(" \t\r\n" + ok + " \n\t"), "<ok>");
  const std::string second = ok + " {}";
  EXPECT_EQ(read_error(second), kPrefix + "trailing characters" + at_byte(second, second.size() - 2));
  EXPECT_EQ(read_error("5"), kPrefix + "invalid type: integer `5`, expected struct RunRequest at line 1 column 1");
}

TEST(RequestRecords, BarFeedsLendEachBarsRecords) {
  const RunRequest r = read_ok(request_with(
      R"("reference":[[1,0,0,0,11],[2,0,0,0,12]],"books":[[[[1,1]],[[2,1]]],[[[3,1]],[[4,1]]]],)"
      R"("trades":[[],[[5,1,"sell"]]])",
      kSpec, "[[1,1,1,1,1],[2,1,1,1,1]]"));
  const BarFeeds f0 = bar_feeds(r, 0);
  const BarFeeds f1 = bar_feeds(r, 1);
  EXPECT_EQ(f0.reference, 11.0);
  EXPECT_EQ(f1.reference, 12.0);
  EXPECT_EQ(f0.book, &(*r.books)[0]);
  EXPECT_EQ(f1.book->bids[0].price, 3.0);
  ASSERT_TRUE(f0.trades);
  EXPECT_TRUE(f0.trades->empty());
  ASSERT_EQ(f1.trades->size(), 1u);
  EXPECT_EQ((*f1.trades)[0].price, 5.0);
  EXPECT_EQ(f0.derivatives, nullptr);
  EXPECT_EQ(f0.cross_section, nullptr);
}

}  // namespace
}  // namespace vsci
