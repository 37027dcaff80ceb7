// The harness's backtest is the engine's run of the request text a user would
// send, {"candles":[...],"spec":<strategy>}. Writing and reading that text
// back shows only in what the engine refuses and in the positions of its
// messages: candle numbers survive the shortest-form round trip exactly. So a
// run that would succeed takes the candles as they are held, and anything
// that fails or would be refused is run again through the text, which alone
// forms every error.
#include "harness/backtest_call.h"

#include <cmath>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "engine/candle_codec.h"
#include "engine/request.h"
#include "engine/run_backtest.h"
#include "harness/key_order.h"
#include "json/reader.h"
#include "json/writer.h"
#include "util/parallel.h"

namespace vsci {

namespace {

// The request text: an object of the candles and the strategy, in key order.
constexpr std::string_view kCandlesKey = "{\"candles\":[";
constexpr std::string_view kSpecKey = "],\"spec\":";

bool finite(const Candle& c) {
  return std::isfinite(c.open) && std::isfinite(c.high) && std::isfinite(c.low) && std::isfinite(c.close) &&
         std::isfinite(c.volume);
}

// The run without the request text, or nothing when the text must answer: a
// non-finite candle value (written null, which the engine refuses), or any
// failure on the way. The strategy is read from a request holding it beside an
// empty candle list, so the reader meets it exactly where the full text puts
// it (the same depth, after the same member); the candles read from that text
// would be these very values.
std::optional<std::string> run_backtest_direct(const std::string& spec, const std::vector<Candle>& candles,
                                               MemberOrder order) {
  for (const Candle& c : candles) {
    if (!finite(c)) return std::nullopt;
  }
  std::string text;
  text.reserve(kCandlesKey.size() + kSpecKey.size() + spec.size() + 1);
  text.append(kCandlesKey).append(kSpecKey).append(spec) += '}';
  auto request = read_run_request(text);
  if (!request) return std::nullopt;
  auto result = run_backtest_records(std::move(request).value(), candles, order);
  if (!result) return std::nullopt;
  return std::move(result).value();
}

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

Expected<std::string, SessionError> run_backtest_through_text(const json::Value& strategy,
                                                              const std::vector<Candle>& candles) {
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

Expected<std::string, SessionError> run_backtest_text(const json::Value& strategy, const std::vector<Candle>& candles,
                                                      MemberOrder order) {
  if (auto direct = run_backtest_direct(json::write(strategy), candles, order)) return std::move(*direct);
  auto text = run_backtest_through_text(strategy, candles);
  if (!text || order == MemberOrder::Declared) return text;
  auto ordered = engine_text_in_key_order(*text);
  if (!ordered) return unexpected(SessionError::json(ordered.error()));
  return std::move(ordered).value();
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
