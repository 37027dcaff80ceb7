// Blessing records what the strategy does today as what it must keep doing;
// nothing is checked, so a failing property cannot block it.
#include "harness/bless.h"

#include "harness/backtest_call.h"

namespace vsci {

Expected<StrategyTest, SessionError> bless_test(const StrategyTest& test, const Datasets& data) {
  const std::vector<Candle>* candles = find_dataset(data, test.dataset_ref);
  if (candles == nullptr) return unexpected(SessionError::data("missing dataset: " + test.dataset_ref));
  auto output = run_backtest(test.strategy, *candles);
  if (!output) return unexpected(std::move(output).error());
  StrategyTest blessed = test;
  blessed.expected = std::move(output).value();
  return blessed;
}

Expected<std::string, SessionError> bless_command(const json::Value& command) {
  auto envelope = read_test_envelope(command);
  if (!envelope) return unexpected(SessionError::json(envelope.error()));
  auto blessed = bless_test(envelope->test, envelope->data);
  if (!blessed) return unexpected(std::move(blessed).error());
  return write_strategy_test(*blessed);
}

}  // namespace vsci
