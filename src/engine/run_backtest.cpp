// The engine's entry: read and check the request, step every candle with its
// bar's side records, write the result; the first error ends the run.
#include "engine/run_backtest.h"

#include "engine/engine.h"
#include "engine/result.h"
#include "util/interrupt.h"

namespace vsci {

namespace {

// The run after every check: `candles` may be the request's own list, which
// is released (with the rest of the market data) once stepped through, before
// the result, the largest text of a run, is written.
Expected<BacktestResult, BacktestError> run_checked(RunRequest request, std::span<const Candle> candles) {
  const std::size_t n = candles.size();
  // The engine keeps the strategy for the run; the request keeps the
  // market data, which each step borrows.
  auto built = Engine::create(std::move(request.spec), request.capital, n);
  if (!built.ok()) return unexpected(std::move(built).error());
  Engine& engine = built.value();

  for (std::size_t i = 0; i < n; ++i) {
    check_interrupt();
    auto stepped = engine.step(candles[i], bar_feeds(request, i));
    if (!stepped.ok()) return unexpected(std::move(stepped).error());
  }
  { const RunRequest stepped = std::move(request); }
  return engine.finish();
}

}  // namespace

Expected<std::string, BacktestError> run_backtest_json(std::string_view request_text) {
  auto loaded = load_run_request(request_text);
  if (!loaded.ok()) return unexpected(std::move(loaded).error());
  const std::span<const Candle> candles = loaded.value().candles;
  auto result = run_checked(std::move(loaded).value(), candles);
  if (!result.ok()) return unexpected(std::move(result).error());
  return write_result(result.value());
}

Expected<BacktestResult, BacktestError> run_backtest_records(RunRequest request, std::span<const Candle> candles) {
  auto checked = check_run_request(request, candles.size());
  if (!checked.ok()) return unexpected(std::move(checked).error());
  return run_checked(std::move(request), candles);
}

}  // namespace vsci
