#include <gtest/gtest.h>

#include <string>

#include "engine/request.h"
#include "support/request_text.h"

namespace vsci {
namespace {

using testing::kSpec;
using testing::request_with;
using testing::spec_set;

std::string load_error(const std::string& text) {
  auto r = load_run_request(text);
  return r.ok() ? "<ok>" : r.error().to_string();
}

const std::string kSpread = R"({"slippage":{"type":"spread"}})";
const std::string kFunding = R"({"funding":true})";
const std::string kSpreadText = "costs.slippage spread needs an order-book feed; without one every fill" +
                                std::string(14, ' ') + "would be priced at zero slippage";
const std::string kFundingText = "costs.funding needs a derivatives feed; without one no funding would be" +
                                 std::string(14, ' ') + "charged at all";

std::string candles(int n) {
  std::string s = "[";
  for (int i = 0; i < n; ++i) s += (i ? "," : "") + std::string("[") + std::to_string(i) + ",1,2,0.5,1.5]";
  return s + "]";
}

std::string list_of(int n, const std::string& element) {
  std::string s = "[";
  for (int i = 0; i < n; ++i) s += (i ? "," : "") + element;
  return s + "]";
}

const std::string kTick = "[0.0001,100,100,100,1,1,1,1,1,0,0]";
const std::string kBookText = "[[[99,1]],[[101,1]]]";
const std::string kSectionText = "[[[0.1,5]]]";

TEST(RequestEntry, GuardTextsAreExact) {
  EXPECT_EQ(kSpreadText.size(), 116u);
  EXPECT_EQ(kFundingText.size(), 99u);
  EXPECT_EQ(SPREAD_NEEDS_BOOKS, kSpreadText);
  EXPECT_EQ(FUNDING_NEEDS_DERIVS, kFundingText);
}

TEST(RequestEntry, StepsInOrder) {
  // Reading first: a malformed request never reaches validation.
  EXPECT_EQ(load_error(""), "invalid strategy spec: EOF while parsing a value at line 1 column 0");
  // Validation before the cost guards and the candle checks.
  const std::string undeclared = spec_set("entry", R"({"gt":["rsi",70]})");
  EXPECT_EQ(load_error(request_with("", undeclared, "[]")), "rule references undeclared indicator: rsi");
  // The spread guard before the funding guard, both before "no candles".
  std::string both = spec_set("costs", R"({"slippage":{"type":"spread"},"funding":true})");
  EXPECT_EQ(load_error(request_with("", both, "[]")), "invalid strategy spec: " + kSpreadText);
  EXPECT_EQ(load_error(request_with("\"books\":[]", both, "[]")), "invalid strategy spec: " + kFundingText);
  EXPECT_EQ(load_error(request_with("\"books\":[],\"derivs\":[]", both, "[]")), "invalid input data: no candles");
  EXPECT_EQ(load_error(request_with("", spec_set("costs", kFunding), "[]")), "invalid strategy spec: " + kFundingText);
  // A null feed is no feed.
  EXPECT_EQ(load_error(request_with("\"books\":null", spec_set("costs", kSpread), candles(1))),
            "invalid strategy spec: " + kSpreadText);
  EXPECT_EQ(load_error(request_with("", kSpec, "[]")), "invalid input data: no candles");
}

TEST(RequestEntry, FeedLengthsInOrder) {
  EXPECT_EQ(load_error(request_with("\"books\":[]", kSpec, candles(5))),
            "invalid input data: books feed length 0 does not match 5 candles");
  // Every feed one short, the first in order is reported; fixing each in turn
  // reveals the next.
  const std::string feeds[] = {
      "\"reference\":" + candles(2),
      "\"derivs\":" + list_of(2, kTick),
      "\"books\":" + list_of(2, kBookText),
      "\"trades\":[[],[]]",
      "\"sections\":" + list_of(2, kSectionText),
  };
  const std::string right[] = {
      "\"reference\":" + candles(3),
      "\"derivs\":" + list_of(3, kTick),
      "\"books\":" + list_of(3, kBookText),
      "\"trades\":[[],[[1,1,\"buy\"],[2,1,\"sell\"]],[]]",
      "\"sections\":" + list_of(3, kSectionText),
  };
  const char* names[] = {"reference", "derivs", "books", "trades", "sections"};
  for (int fixed = 0; fixed <= 5; ++fixed) {
    // Members written in reverse order: the check order does not follow the text.
    std::string members;
    for (int k = 4; k >= 0; --k) members += (members.empty() ? "" : ",") + (k < fixed ? right[k] : feeds[k]);
    const std::string want = fixed == 5 ? "<ok>"
                                        : std::string("invalid input data: ") + names[fixed] +
                                              " feed length 2 does not match 3 candles";
    EXPECT_EQ(load_error(request_with(members, kSpec, candles(3))), want) << fixed;
  }
  // Longer feeds fail as well; trades count per-bar lists, not prints.
  EXPECT_EQ(load_error(request_with("\"trades\":[[],[],[],[[1,1,\"buy\"]]]", kSpec, candles(3))),
            "invalid input data: trades feed length 4 does not match 3 candles");
}

TEST(RequestEntry, AcceptedRequestKeepsItsRecords) {
  auto r = load_run_request(request_with("\"books\":" + list_of(2, kBookText) + ",\"capital\":5e3",
                                         spec_set("costs", kSpread), candles(2)));
  ASSERT_TRUE(r.ok()) << r.error().to_string();
  EXPECT_EQ(r->candles.size(), 2u);
  EXPECT_EQ(r->candles[1].time, 1);
  EXPECT_EQ(r->capital, 5000.0);
  EXPECT_EQ(r->spec.costs.slippage.type, Slippage::Type::Spread);
  ASSERT_TRUE(r->books);
  EXPECT_EQ((*r->books)[1].asks[0].price, 101.0);
}

}  // namespace
}  // namespace vsci
