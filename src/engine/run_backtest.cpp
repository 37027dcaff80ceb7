// The engine's one entry: read and check the request, step every candle with
// its bar's side records, write the result; the first error ends the run.
#include "engine/run_backtest.h"

#include "engine/engine.h"
#include "engine/request.h"
#include "engine/result.h"
#include "util/interrupt.h"

namespace vsci {

Expected<std::string, BacktestError> run_backtest_json(std::string_view request_text) {
  auto loaded = load_run_request(request_text);
  if (!loaded.ok()) return unexpected(std::move(loaded).error());
  RunRequest& request = loaded.value();

  const std::size_t n = request.candles.size();
  // The engine keeps the strategy for the run; the request keeps the
  // market data, which each step borrows.
  auto built = Engine::create(std::move(request.spec), request.capital, n);
  if (!built.ok()) return unexpected(std::move(built).error());
  Engine& engine = built.value();

  for (std::size_t i = 0; i < n; ++i) {
    check_interrupt();
    auto stepped = engine.step(request.candles[i], bar_feeds(request, i));
    if (!stepped.ok()) return unexpected(std::move(stepped).error());
  }
  // The market data has been stepped through: freed before the result, the
  // largest text of a run, is written beside the request text.
  { const RunRequest stepped = std::move(request); }
  return write_result(engine.finish());
}

}  // namespace vsci
