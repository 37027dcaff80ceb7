// The harness talks to the engine through the same request text a user sends,
// so a test exercises the exact path of a real backtest.
#include "harness/backtest_call.h"

#include "engine/run_backtest.h"
#include "json/reader.h"
#include "json/writer.h"

namespace vsci {

std::string write_backtest_request(const json::Value& strategy, const std::vector<Candle>& candles) {
  json::Writer w;
  // About 110 bytes a candle; one reservation instead of repeated growth.
  w.reserve(candles.size() * 128 + 256);
  w.begin_object();
  w.key("candles");
  w.begin_array();
  for (const Candle& c : candles) {
    w.begin_object();
    w.key("close");
    w.f64(c.close);
    w.key("high");
    w.f64(c.high);
    w.key("low");
    w.f64(c.low);
    w.key("open");
    w.f64(c.open);
    w.key("time");
    w.i64(c.time);
    w.key("volume");
    w.f64(c.volume);
    w.end_object();
  }
  w.end_array();
  w.key("spec");
  w.value(strategy);
  w.end_object();
  return w.take();
}

Expected<std::string, SessionError> run_backtest_text(const json::Value& strategy, const std::vector<Candle>& candles) {
  auto result = run_backtest_json(write_backtest_request(strategy, candles));
  if (!result) return unexpected(SessionError::backtest(result.error().to_string()));
  return std::move(result).value();
}

Expected<json::Value, SessionError> run_backtest(const json::Value& strategy, const std::vector<Candle>& candles) {
  auto result = run_backtest_text(strategy, candles);
  if (!result) return unexpected(std::move(result).error());
  auto parsed = json::parse(*result);
  if (!parsed) return unexpected(SessionError::json(parsed.error()));
  return std::move(parsed).value();
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
