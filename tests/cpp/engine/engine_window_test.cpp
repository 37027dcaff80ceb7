// What a bar keeps for the rules: each indicator's value under its name and
// each named output under "name.output" (a later store under the same key
// wins), outputs that first appear late in a run, and the memory that takes:
// a bar keeps the values its indicators gave, not one place for every text a
// rule happens to name.
#include <gtest/gtest.h>
#include <malloc.h>

#include <array>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/request.h"
#include "engine_test_support.h"

namespace vsci::testing {
namespace {

// A stand-in kind with named outputs: no value for its first `start` bars,
// then close + `offset`, with the outputs up = close + 1 and b = 2 * close.
class FakeBands final : public Indicator {
 public:
  FakeBands(std::uint64_t start, double offset) : start_(start), offset_(offset) {}
  std::optional<double> update(const BarContext& ctx) override {
    if (seen_++ < start_) return std::nullopt;
    const double c = ctx.candle->close;
    outputs_ = {NamedOutput{"up", c + 1.0}, NamedOutput{"b", 2.0 * c}};
    return c + offset_;
  }
  std::span<const NamedOutput> outputs() const override { return outputs_; }
  std::uint64_t warmup() const override { return 0; }

 private:
  std::uint64_t start_;
  double offset_;
  std::uint64_t seen_ = 0;
  std::array<NamedOutput, 2> outputs_{};
};

// "FakeBands" with parameters [start, offset]; every other name goes to the
// factory.
Expected<IndicatorPtr, BacktestError> build_with_fakes(std::string_view type, std::span<const double> params) {
  if (type != "FakeBands") return build_indicator(type, params);
  return IndicatorPtr(new FakeBands(static_cast<std::uint64_t>(params[0]), params[1]));
}

// Runs the request's spec over its candles with the stand-in kinds; the
// trades as (entry time, exit time) pairs.
std::vector<std::pair<std::int64_t, std::int64_t>> fake_trades(const std::string& indicators, const std::string& entry,
                                                               const std::string& exit, const std::vector<Bar>& bs) {
  auto read = read_run_request(request_json(
      spec_json(indicators, entry, exit,
                R"("sizing":{"type":"fixed_qty","qty":1},"execution":{"fill_timing":"close"})"),
      bs));
  EXPECT_TRUE(read.ok());
  auto built = Engine::create(read.value().spec, 10000.0, bs.size(), build_with_fakes);
  EXPECT_TRUE(built.ok());
  Engine& engine = built.value();
  for (const Candle& c : read.value().candles) EXPECT_TRUE(engine.step(c, BarFeeds{}).ok());
  std::vector<std::pair<std::int64_t, std::int64_t>> out;
  for (const Trade& t : engine.finish().trades) out.emplace_back(t.entry_time, t.exit_time);
  return out;
}

using Trades = std::vector<std::pair<std::int64_t, std::int64_t>>;

TEST(EngineHistoryWindow, OutputsAreKeptUnderNameDotOutput) {
  const auto bs = flat_bars({10, 11, 12, 13, 14, 15, 16});
  // Outputs from bar 3 on; the previous bar's "up" exists from bar 4, where
  // the window (two records) reuses records made before "up" was first seen.
  EXPECT_EQ(fake_trades(R"({"a":{"type":"FakeBands","params":[3,0]}})", R"({"gt":[{"prev":["a.up",1]},0]})", kNever,
                        bs),
            (Trades{{5000, 7000}}));
  // The value of the output read at the bar it belongs to: up = close + 1.
  EXPECT_EQ(fake_trades(R"({"a":{"type":"FakeBands","params":[1,0]}})",
                        R"({"eq":["a.up",{"add":[{"price":"close"},1]}]})", kNever, bs),
            (Trades{{2000, 7000}}));
  // An output name the kind never gives has no value at any bar.
  EXPECT_EQ(fake_trades(R"({"a":{"type":"FakeBands","params":[0,0]}})", R"({"not":{"lt":["a.nope",1e300]}})",
                        R"({"gt":["a.nope",0]})", bs),
            (Trades{{1000, 7000}}));
}

TEST(EngineHistoryWindow, ALaterStoreUnderTheSameKeyWins) {
  // "a" gives the output b = 2 * close on every bar; the indicator declared
  // as "a.b" comes after it in name order and gives close + 100 from bar 2 on,
  // replacing it under the key "a.b" there.
  const std::string indicators =
      R"({"a":{"type":"FakeBands","params":[0,0]},"a.b":{"type":"FakeBands","params":[2,100]}})";
  const std::string doubled = R"({"eq":["a.b",{"mul":[{"price":"close"},2]}]})";
  const std::string plus_100 = R"({"eq":["a.b",{"add":[{"price":"close"},100]}]})";
  EXPECT_EQ(fake_trades(indicators, doubled, plus_100, flat_bars({10, 11, 12, 13})), (Trades{{1000, 3000}}));
}

std::size_t heap_in_use() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

TEST(EngineHistoryWindow, ReferencesToOutputsThatNeverComeCostNoMemoryPerBar) {
  // 4000 references to outputs an Sma never gives, and a window as long as
  // the run: the only value any bar holds is the Sma's own.
  constexpr int kRefs = 4000;
  constexpr int kBars = 2000;
  std::string refs;
  for (int i = 0; i < kRefs; ++i) refs += R"({"gt":["a.x)" + std::to_string(i) + R"(",0]},)";
  const std::string entry = R"({"any":[)" + refs + R"({"rising":[{"price":"close"},)" + std::to_string(kBars) + "]}]}";
  auto read = read_run_request(request_json(
      spec_json(R"({"a":{"type":"Sma","params":[2]}})", entry, kNever, R"("sizing":{"type":"fixed_qty","qty":1})"),
      flat_bars({1})));
  ASSERT_TRUE(read.ok());

  const std::size_t before = heap_in_use();
  auto built = Engine::create(read.value().spec, 10000.0, kBars);
  ASSERT_TRUE(built.ok());
  Engine& engine = built.value();
  Candle candle;
  for (int i = 0; i < kBars; ++i) {
    candle.time = i;
    candle.open = candle.high = candle.low = candle.close = 100.0;
    ASSERT_TRUE(engine.step(candle, BarFeeds{}).ok());
  }
  EXPECT_EQ(engine.history_capacity(), static_cast<std::size_t>(kBars));
  // A place per reference per bar would be 4000 * 2000 * 16 bytes = 128 MB.
  // (Under an allocator that keeps no statistics both readings are 0.)
  EXPECT_LT(heap_in_use() - before, std::size_t{16} << 20);
}

}  // namespace
}  // namespace vsci::testing
