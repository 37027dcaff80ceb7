// The harness talks to the engine through the same request text a user sends,
// so a test exercises the exact path of a real backtest.
#include "harness/backtest_call.h"

#include <memory>
#include <string_view>
#include <utility>

#include "engine/run_backtest.h"
#include "json/number_format.h"
#include "json/reader.h"
#include "json/writer.h"
#include "util/parallel.h"

namespace vsci {

namespace {

// The longest text of a candle whose numbers all take the plain form of at
// most 17 digits (every price and size a candle usually holds): the member
// names and punctuation, a time and five such numbers.
constexpr std::size_t kUsualCandleChars = 52 + 20 + 5 * 19;
// The longest text of any candle.
constexpr std::size_t kMaxCandleChars = 52 + json::kMaxIntChars + 5 * json::kMaxF64Chars;

// One candle object, members in key order, exactly as the writer would lay
// out its keys and values; needs kMaxCandleChars of room.
char* put_candle(char* p, const Candle& c) {
  using json::Writer;
  // The prices come first in key order.
  const std::pair<std::string_view, double> prices[] = {
      {"{\"close\":", c.close}, {",\"high\":", c.high}, {",\"low\":", c.low}, {",\"open\":", c.open}};
  for (const auto& [name, value] : prices) p = json::write_f64(Writer::put_text(p, name), value);
  p = json::write_i64(Writer::put_text(p, ",\"time\":"), c.time);
  p = json::write_f64(Writer::put_text(p, ",\"volume\":"), c.volume);
  *p++ = '}';
  return p;
}

// The request text: an object of the candles and the strategy, in key order.
constexpr std::string_view kCandlesKey = "{\"candles\":[";
constexpr std::string_view kSpecKey = "],\"spec\":";

}  // namespace

std::string write_backtest_request(const json::Value& strategy, const std::vector<Candle>& candles) {
  // The strategy is written first so that the whole text is reserved once:
  // the buffer then never moves, and the room reserved beyond what usual
  // candles need is never touched.
  const std::string spec = json::write(strategy);
  json::Writer w;
  w.reserve(candles.size() * (kUsualCandleChars + 1) + kMaxCandleChars + spec.size() + 32);
  w.begin_object();
  w.key("candles");
  w.begin_array();
  w.raw_values(candles.size(), kMaxCandleChars, [&](char* p, std::size_t i) { return put_candle(p, candles[i]); });
  w.end_array();
  w.key("spec");
  w.raw(spec);
  w.end_object();
  return w.take();
}

Expected<std::string, SessionError> run_backtest_text(const json::Value& strategy, const std::vector<Candle>& candles) {
  Expected<std::string, BacktestError> result = unexpected(BacktestError::invalid_spec(""));
  if (candles.size() < kParallelMinItems || !pieces_pay_off()) {
    result = run_backtest_json(write_backtest_request(strategy, candles));
  } else {
    // A long request is written by pieces straight into a buffer that no
    // one fills first, so that its pages are first touched in parallel too.
    const std::string spec = json::write(strategy);
    const auto put = [&](char* p, std::size_t i) { return put_candle(p, candles[i]); };
    const json::RawRun<decltype(put)> run(candles.size(), kMaxCandleChars, put);
    const std::size_t size = kCandlesKey.size() + run.size() + kSpecKey.size() + spec.size() + 1;
    const std::unique_ptr<char[]> text(new char[size]);
    char* p = json::Writer::put_text(text.get(), kCandlesKey);
    run.write(p);
    p = json::Writer::put_text(json::Writer::put_text(p + run.size(), kSpecKey), spec);
    *p = '}';
    result = run_backtest_json(std::string_view(text.get(), size));
  }
  if (!result) return unexpected(SessionError::backtest(result.error().to_string()));
  return std::move(result).value();
}

Expected<FlatDocument, SessionError> run_backtest_flat(const json::Value& strategy, const std::vector<Candle>& candles,
                                                       const std::vector<std::string>* only) {
  auto result = run_backtest_text(strategy, candles);
  if (!result) return unexpected(std::move(result).error());
  auto flat = FlatDocument::from_text(*result, only);
  if (!flat) return unexpected(SessionError::json(flat.error()));
  return std::move(flat).value();
}

}  // namespace vsci
