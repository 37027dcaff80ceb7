// The harness's backtest is the engine's run of the request text a user would
// send, {"candles":[...],"spec":<strategy>}. Writing and reading that text
// back shows only in what the engine refuses and in the positions of its
// messages: candle numbers survive the shortest-form round trip exactly. So a
// run takes the candles as they are held, and one that fails or would be
// refused is run again through the text, which alone forms every error. The
// strategy is read once for all the runs of a test.
#include "harness/backtest_call.h"

#include <cmath>
#include <optional>
#include <utility>

#include "engine/candle_codec.h"
#include "engine/request.h"
#include "engine/run_backtest.h"
#include "json/writer.h"

namespace vsci {

namespace {

bool finite(const Candle& c) {
  return std::isfinite(c.open) && std::isfinite(c.high) && std::isfinite(c.low) && std::isfinite(c.close) &&
         std::isfinite(c.volume);
}

// The request layout, written here only. The strategy is written first so
// that the whole text is reserved once: the buffer then never moves, and the
// room reserved beyond what usual candles need is never touched.
std::string request_text(const std::string& spec, std::span<const Candle> candles) {
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

// The run without the request text, or nothing when the text must answer: a
// strategy that does not read, a non-finite candle value (written null, which
// the engine refuses), or any failure on the way.
std::optional<BacktestResult> run_from_candles(const ReadStrategy& strategy, std::span<const Candle> candles) {
  if (!strategy.request) return std::nullopt;
  for (const Candle& c : candles) {
    if (!finite(c)) return std::nullopt;
  }
  auto result = run_backtest_records(*strategy.request, candles);
  if (!result) return std::nullopt;
  return std::move(result).value();
}

}  // namespace

std::string write_backtest_request(const json::Value& strategy, std::span<const Candle> candles) {
  return request_text(json::write(strategy), candles);
}

Expected<std::string, SessionError> run_backtest_request(const json::Value& strategy, std::span<const Candle> candles) {
  auto result = run_backtest_json(write_backtest_request(strategy, candles));
  if (!result) return unexpected(SessionError::backtest(result.error().to_string()));
  return std::move(result).value();
}

// The strategy is read from a request holding it beside an empty candle list,
// so the reader meets it exactly where the full text puts it (the same depth,
// after the same member); the candles read from that text would be the very
// values a run is given.
ReadStrategy::ReadStrategy(const json::Value& strategy) : strategy(strategy) {
  auto read = read_run_request(request_text(json::write(strategy), {}));
  if (read) request.emplace(std::move(read).value());
}

Expected<BacktestResult, SessionError> run_backtest_result(const ReadStrategy& strategy, std::span<const Candle> candles) {
  if (auto direct = run_from_candles(strategy, candles)) return std::move(*direct);
  // Every reason the candles are declined (a null candle value, a strategy
  // that does not read, an engine refusal) is a refusal of the request text
  // too, so the text is run for its error alone; direct_run_test holds that
  // over a mutated corpus. A text that runs regardless would be a fault of
  // the engine's readers, reported as such rather than answered.
  auto text = run_backtest_request(strategy.strategy, candles);
  if (!text) return unexpected(std::move(text).error());
  return unexpected(SessionError::backtest("the engine ran a request whose candles it refused"));
}

Expected<FlatDocument, SessionError> run_backtest_flat(const ReadStrategy& strategy, std::span<const Candle> candles,
                                                       const std::vector<std::string>& only, bool curve) {
  auto result = run_backtest_result(strategy, candles);
  if (!result) return unexpected(std::move(result).error());
  return FlatDocument::from_result(*result, only, curve);
}

}  // namespace vsci
