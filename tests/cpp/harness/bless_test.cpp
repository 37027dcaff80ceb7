// "bless": the test comes back in the writer's field order with the backtest
// output, as a key-ordered tree, in place of its `expected`.
#include <gtest/gtest.h>

#include <string>

#include "harness/session.h"

namespace vsci {
namespace {

const std::string kStrategy =
    R"({"symbol":"S","timeframe":"1d","indicators":{},"entry":{"any":[]},"exit":{"any":[]},"sizing":{"type":"fixed_qty","qty":1}})";

TEST(Bless, AnswersTheTestWithTheOutputAsExpected) {
  const std::string answer = Session::command(
      R"({"cmd":"bless","data":{"d":[[-60000,1,1,1,1]]},"test":{"id":"x","dataset_ref":"d","expected":[1,2],"strategy":)" +
      kStrategy + "}}");
  EXPECT_EQ(answer,
            R"({"id":"x","strategy":{"entry":{"any":[]},"exit":{"any":[]},"indicators":{},"sizing":{"qty":1,"type":"fixed_qty"},)"
            R"("symbol":"S","timeframe":"1d"},"dataset_ref":"d","expected":{"equity":[{"equity":10000.0,"time":-60000}],)"
            R"("fees_paid":0.0,"initial_capital":10000.0,"metrics":{"calmar":0.0,"max_drawdown":0.0,"num_trades":0,"pnl":0.0,)"
            R"("profit_factor":0.0,"return_pct":0.0,"sharpe":0.0,"sortino":0.0,"win_rate":0.0},"schema_version":1,)"
            R"("symbol":"S","timeframe":"1d","trades":[]},"tolerances":{},"property_checks":[]})");
}

// The output is rewritten in key order from its text: strings with escapes,
// integers and floats come out as the tree writes them.
TEST(Bless, RewrittenOutputIsTheTreesText) {
  const std::string strategy =
      R"({"symbol":"S\"q\n\u001f\u00e9/","timeframe":"1\\d","indicators":{},"entry":{"all":[]},"exit":{"any":[]},)"
      R"("sizing":{"type":"fixed_qty","qty":1}})";
  const std::string text = R"({"cmd":"bless","data":{"d":[[-60000,1e-7,2,0.5,1.25],[0,3,4,2,3.5,1e21]]},"test":)"
                           R"({"id":"x","dataset_ref":"d","strategy":)" + strategy + "}}";
  const std::string answer = Session::command(text);
  EXPECT_EQ(answer, command_from_tree(text));
  EXPECT_NE(answer.find(R"("symbol":"S\"q\n\u001fé/")"), std::string::npos) << answer;
  EXPECT_NE(answer.find(R"({"equity":10000.0,"time":-60000})"), std::string::npos) << answer;
}

TEST(Bless, FailuresAreTheErrorAnswers) {
  EXPECT_EQ(Session::command(R"({"cmd":"bless","test":{"id":"x","dataset_ref":"d","strategy":{}}})"),
            R"({"error":"data error: missing dataset: d","ok":false})");
  EXPECT_EQ(Session::command(R"({"cmd":"bless","data":{"d":[[1,1,1,1,1]]},"test":{"id":"x","dataset_ref":"d","strategy":)" +
                             kStrategy.substr(0, kStrategy.size() - 1) + R"(,"indicators":{"a":{"type":"Nope"}}}}})"),
            R"({"error":"backtest error: unknown indicator type: Nope","ok":false})");
}

}  // namespace
}  // namespace vsci
