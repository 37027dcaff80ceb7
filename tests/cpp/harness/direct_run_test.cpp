// A backtest whose candles the harness already holds runs from them, and the
// request text is only written when the run fails or would be refused. The
// answer must be the text path's, byte for byte, errors and positions
// included: a corpus of strategies and candle lists, mutated from a seed, is
// answered both ways. The records' path gives only the text's error when it
// declines, so a decline the text would run shows here as an error where the
// text answers "ok".
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/result.h"
#include "harness/backtest_call.h"
#include "json/reader.h"
#include "support/harness_calls.h"

namespace vsci {
namespace {

std::string outcome(const Expected<std::string, SessionError>& r) {
  return r.ok() ? "ok " + r.value() : "error " + r.error().to_string();
}

// The records' answer as the request text's would read, in either order.
std::string outcome(const Expected<BacktestResult, SessionError>& r, MemberOrder order = MemberOrder::Declared) {
  return r.ok() ? "ok " + write_result(r.value(), order) : "error " + r.error().to_string();
}

json::Value tree(const std::string& text) {
  auto v = json::parse(text);
  if (!v.ok()) throw std::runtime_error("bad test text: " + text);
  return std::move(v).value();
}

std::string strategy(const std::string& indicators, const std::string& extra) {
  return R"({"symbol":"S","timeframe":"1h","indicators":)" + indicators +
         R"(,"entry":{"cross_above":["f","s"]},"exit":{"cross_below":["f","s"]},)"
         R"("sizing":{"type":"fixed_fraction","fraction":0.5})" + extra + "}";
}

// Strategies that run, and strategies the engine refuses at every step it
// has: reading (a wrong type, a missing member, nesting one level too deep
// inside the request), validation, the feed guards, building.
std::vector<std::string> strategies() {
  const std::string sma = R"({"f":{"type":"Sma","params":[3]},"s":{"type":"Sma","params":[8]}})";
  std::string deep;
  for (int i = 0; i < 125; ++i) deep += '[';
  deep += std::string(125, ']');
  return {
      strategy(sma, ""),
      strategy(sma, R"(,"costs":{"taker_bps":5})"),
      strategy(R"({"f":{"type":"Rsi","params":[4]},"s":{"type":"Ema","params":[6]}})", ""),
      strategy(R"({"f":{"type":"Nope","params":[3]},"s":{"type":"Sma","params":[8]}})", ""),
      strategy(R"({"f":{"type":"Sma","params":[0]},"s":{"type":"Sma","params":[8]}})", ""),
      strategy(R"({"f":{"type":"Sma","params":[1.5]},"s":{"type":"Sma","params":[8]}})", ""),
      strategy(R"({"f":{"type":"Sma","params":[3]}})", ""),
      strategy(sma, R"(,"costs":{"slippage":{"type":"spread"}})"),
      strategy(sma, R"(,"costs":{"funding":true})"),
      strategy(sma, R"(,"spec_version":2)"),
      strategy(sma, R"(,"note":)" + deep),                      // deepest the request allows
      strategy(sma, R"(,"note":[)" + deep + "]"),               // one level deeper
      strategy(sma, R"(,"costs":{"taker_bps":"5"})"),
      R"({"symbol":"S","timeframe":"1h"})",
      "5",
      "[]",
      "null",
  };
}

std::vector<Candle> walk(std::size_t n, std::mt19937_64& rng) {
  std::normal_distribution<double> step(0.0, 0.01);
  std::vector<Candle> out(n);
  double price = 100.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double open = price;
    price *= std::exp(step(rng));
    out[i] = {static_cast<std::int64_t>(i) * 3'600'000 - 7'200'000, open, std::max(open, price) * 1.001,
              std::min(open, price) * 0.999, price, 10.0 + static_cast<double>(i % 5)};
  }
  return out;
}

// One value of one candle replaced by something the text path treats
// specially: not finite (written null), signed zero, the extremes.
void mutate(std::vector<Candle>& candles, std::mt19937_64& rng) {
  if (candles.empty()) return;
  const double specials[] = {std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             -0.0,
                             std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::max(),
                             -1e-300};
  Candle& c = candles[std::uniform_int_distribution<std::size_t>(0, candles.size() - 1)(rng)];
  const std::size_t which = std::uniform_int_distribution<std::size_t>(0, 5)(rng);
  const double v = specials[std::uniform_int_distribution<std::size_t>(0, std::size(specials) - 1)(rng)];
  if (which == 0) {
    c.time = v < 0 ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
    return;
  }
  double* prices[] = {&c.open, &c.high, &c.low, &c.close, &c.volume};
  *prices[which - 1] = v;
}

TEST(DirectRun, AnswersAsTheRequestTextOverAMutatedCorpus) {
  std::mt19937_64 rng(20261207);
  const std::vector<std::string> specs = strategies();
  // Each strategy read once and run over every candle list, as a test's
  // main run and fuzz runs share it.
  std::vector<json::Value> trees;
  for (const std::string& s : specs) trees.push_back(tree(s));
  std::vector<ReadStrategy> read;
  for (const json::Value& t : trees) read.emplace_back(t);
  int direct_successes = 0;
  int too_deep = 0;
  for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{40}, std::size_t{600}}) {
    for (int variant = 0; variant < 6; ++variant) {
      std::vector<Candle> candles = walk(n, rng);
      for (int m = 0; m < variant % 3; ++m) mutate(candles, rng);
      for (std::size_t i = 0; i < specs.size(); ++i) {
        const std::string& s = specs[i];
        const auto literal = run_backtest_request(trees[i], candles);
        const std::string through_text = outcome(literal);
        const auto records = run_backtest_result(read[i], candles);
        EXPECT_EQ(outcome(records), through_text) << s << " with " << n << " candles";
        // In key order, as bless stores it: the literal text's tree.
        const std::string by_key = literal.ok() ? "ok " + key_ordered(literal.value()) : through_text;
        EXPECT_EQ(outcome(records, MemberOrder::Key), by_key) << s;
        direct_successes += through_text.starts_with("ok ");
        too_deep += through_text.find("recursion limit exceeded") != std::string::npos;
      }
    }
  }
  // The corpus is not all refusals, and the nesting limit is met exactly
  // where the request text puts the strategy.
  EXPECT_GT(direct_successes, 40);
  EXPECT_GT(too_deep, 0);
}

TEST(DirectRun, LongListsAnswerAsTheRequestText) {
  // Long enough that the engine reads the written request in pieces.
  std::mt19937_64 rng(7);
  std::vector<Candle> candles = walk(40'000, rng);
  const json::Value spec = tree(strategies()[1]);
  const ReadStrategy read(spec);
  const std::string clean = outcome(run_backtest_request(spec, candles));
  ASSERT_TRUE(clean.starts_with("ok ")) << clean.substr(0, 200);
  EXPECT_EQ(outcome(run_backtest_result(read, candles)), clean);
  // A value the text writes as null, late in the list: refused there.
  candles[39'000].close = std::numeric_limits<double>::infinity();
  const std::string refused = outcome(run_backtest_request(spec, candles));
  EXPECT_TRUE(refused.starts_with("error backtest error: invalid strategy spec: invalid type: null")) << refused;
  EXPECT_EQ(outcome(run_backtest_result(read, candles)), refused);
}

// The engine's key-ordered document against the tree of its declared one,
// over results of every shape: no trades, every exit reason, values that are
// not finite, signed zeros, extremes, names that need escapes.
TEST(DirectRun, KeyOrderIsTheDeclaredDocumentWrittenAsATree) {
  std::mt19937_64 rng(3);
  std::uniform_int_distribution<std::uint64_t> bits;
  const auto any = [&] {
    const std::uint64_t b = bits(rng);
    double d;
    std::memcpy(&d, &b, sizeof d);
    const double special[] = {std::nan(""), -0.0, 0.0, 1e16, 1e-7, 123.456};
    return (b & 3) == 0 ? special[(b >> 2) % std::size(special)] : d;
  };
  const char* names[] = {"BTC", "", "a\"b\\c\n\x01\x7f", "\xc3\xa9t\xc3\xa9"};
  for (int i = 0; i < 200; ++i) {
    BacktestResult r;
    r.symbol = names[i % 4];
    r.timeframe = names[(i + 1) % 4];
    r.metrics = {any(), any(), any(), any(), any(), any(), any(), any(), bits(rng)};
    for (std::uint64_t t = 0, n = bits(rng) % 4; t < n; ++t) {
      r.trades.push_back({static_cast<std::int64_t>(bits(rng)), -static_cast<std::int64_t>(t), any(), any(), any(),
                          any(), any(), static_cast<ExitReason>(bits(rng) % 6)});
    }
    for (std::uint64_t t = 0, n = bits(rng) % 5; t < n; ++t) r.equity.push_back({static_cast<std::int64_t>(bits(rng)), any()});
    r.fees_paid = any();
    r.initial_capital = any();
    EXPECT_EQ(write_result(r, MemberOrder::Key), key_ordered(write_result(r)))
        << write_result(r);
  }
}

}  // namespace
}  // namespace vsci
