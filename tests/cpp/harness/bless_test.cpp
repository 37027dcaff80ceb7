// "bless": the test comes back in the writer's field order with the backtest
// output, as a key-ordered tree, in place of its `expected`.
#include <gtest/gtest.h>

#include <tbb/task_group.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "engine/result.h"
#include "harness/session.h"
#include "harness/strategy_format.h"
#include "json/number_format.h"
#include "support/harness_calls.h"

namespace vsci {
namespace {

const std::string kIdleStrategy =
    R"({"symbol":"S","timeframe":"1d","indicators":{},"entry":{"any":[]},"exit":{"any":[]},"sizing":{"type":"fixed_qty","qty":1}})";

TEST(Bless, AnswersTheTestWithTheOutputAsExpected) {
  const std::string answer = Session::command(
      R"({"cmd":"bless","data":{"d":[[-60000,1,1,1,1]]},"test":{"id":"x","dataset_ref":"d","expected":[1,2],"strategy":)" +
      kIdleStrategy + "}}");
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
                             kIdleStrategy.substr(0, kIdleStrategy.size() - 1) + R"(,"indicators":{"a":{"type":"Nope"}}}}})"),
            R"({"error":"backtest error: unknown indicator type: Nope","ok":false})");
}

// A long dataset's stages run in pieces on the worker pool; inside a parallel
// task (as in a suite) they run whole on one thread. Both must answer alike,
// and the blessed test must pass as it stands.
TEST(Bless, LongDatasetsAnswerAsOnOneThread) {
  std::string candles = "[";
  double price = 100.0;
  std::uint64_t state = 7;
  for (int i = 0; i < 45'000; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const double step = static_cast<double>(static_cast<std::int64_t>(state >> 40) % 2001 - 1000) / 40000.0;
    const double open = price;
    price *= 1.0 + step;
    candles += (i ? "," : "") + std::string(R"({"time":)") + std::to_string(3'600'000LL * i) + R"(,"open":)";
    json::append_f64(candles, open);
    const std::pair<const char*, double> prices[] = {
        {R"(,"high":)", std::max(open, price) * 1.001},
        {R"(,"low":)", std::min(open, price) * 0.999},
        {R"(,"close":)", price}};
    for (const auto& [key, value] : prices) {
      candles += key;
      json::append_f64(candles, value);
    }
    candles += R"(,"volume":)" + std::to_string(1 + i % 97) + "}";
  }
  candles += "]";
  const std::string strategy =
      R"({"symbol":"S","timeframe":"1h","indicators":{"f":{"type":"Sma","params":[5]},)"
      R"("s":{"type":"Sma","params":[20]}},)"
      R"("entry":{"cross_above":["f","s"]},"exit":{"cross_below":["f","s"]},"sizing":{"type":"fixed_qty","qty":1}})";
  const std::string text = R"({"cmd":"bless","data":{"d":)" + candles +
                           R"(},"test":{"id":"x","dataset_ref":"d","strategy":)" + strategy + "}}";
  const std::string answer = Session::command(text);
  std::string on_one_thread;
  tbb::task_group tasks;
  tasks.run_and_wait([&] { on_one_thread = Session::command(text); });
  ASSERT_GT(answer.size(), std::size_t{2} << 20);
  EXPECT_TRUE(answer == on_one_thread);
  EXPECT_NE(answer.find(R"("num_trades":)"), std::string::npos);

  const std::string run = R"({"cmd":"run_test","data":{"d":)" + candles + R"(},"test":)" + answer + "}";
  EXPECT_NE(Session::command(run).find(R"("passed":true)"), std::string::npos);
}

// Bless writes the output straight into its answer; the answer must be the
// test written around the output's own text. The output is long enough to be
// written in pieces, and the members after it outgrow the room reserved for
// them, so the buffer moves once the output is in it.
TEST(Bless, OutputWrittenInPlaceIsTheTestAroundItsText) {
  BacktestResult r;
  r.symbol = "S\"q";
  r.timeframe = "1h";
  r.metrics.sharpe = 1.0 / 3.0;
  r.metrics.num_trades = 2'500;
  r.fees_paid = 12.5;
  r.initial_capital = 10'000.0;
  std::uint64_t state = 11;
  const auto next = [&] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) / 9007199254740992.0;
  };
  for (int i = 0; i < 60'000; ++i) r.equity.push_back({3'600'000LL * i - 7, 10'000.0 * (0.5 + next())});
  for (int i = 0; i < 2'500; ++i) {
    r.trades.push_back({60'000LL * i, 60'000LL * i + 1, next(), next() * 1e-7, -next(), next() - 0.5, next() * 1e21,
                        static_cast<ExitReason>(i % 6)});
  }
  StrategyTest t;
  t.id = "blessed";
  t.strategy = json::Value::object();
  t.dataset_ref = "d";
  for (int i = 0; i < 30'000; ++i) {
    t.tolerances.emplace_back("metrics.p" + std::to_string(100'000 + i), Tolerance{Tolerance::Kind::Rel, next()});
  }
  t.property_checks = {{Property::Kind::NoNaN, 0.0, "", 0.0, 0.0}, {Property::Kind::FieldInRange, 0.0, "metrics.pnl", -1.0, 2.5}};
  t.fuzz = FuzzSpec{5, 3, {Perturbation::Kind::Dropout, 0.25}};

  for (const MemberOrder order : {MemberOrder::Key, MemberOrder::Declared}) {
    const std::string reference = write_test_with(t, ExpectedDocument::of_text(write_result(r, order)));
    ASSERT_GT(reference.size(), std::size_t{4} << 20);  // the tolerances are a million bytes of it
    const auto in_place = [&] {
      return write_strategy_test(t, [&](json::Writer& w) {
        w.key("expected");
        write_result(w, r, order);
      });
    };
    EXPECT_TRUE(in_place() == reference);
    std::string on_one_thread;
    tbb::task_group tasks;
    tasks.run_and_wait([&] { on_one_thread = in_place(); });
    EXPECT_TRUE(on_one_thread == reference);
  }
}

}  // namespace
}  // namespace vsci
