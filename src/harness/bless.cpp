// Blessing records what the strategy does today as what it must keep doing;
// nothing is checked, so a failing property cannot block it.
#include "harness/bless.h"

#include "harness/backtest_call.h"
#include "harness/key_order.h"
#include "json/reader.h"

namespace vsci {

namespace {

// The output of the test's main backtest in tree form.
Expected<std::string, SessionError> blessed_output(const StrategyTest& test, const Datasets& data) {
  const std::vector<Candle>* candles = find_dataset(data, test.dataset_ref);
  if (candles == nullptr) return unexpected(SessionError::data("missing dataset: " + test.dataset_ref));
  auto output = run_backtest_text(test.strategy, *candles);
  if (!output) return unexpected(std::move(output).error());
  auto rewritten = engine_text_in_key_order(*output);
  if (!rewritten) return unexpected(SessionError::json(rewritten.error()));
  return std::move(rewritten).value();
}

}  // namespace

Expected<StrategyTest, SessionError> bless_test(const StrategyTest& test, const Datasets& data) {
  auto output = blessed_output(test, data);
  if (!output) return unexpected(std::move(output).error());
  auto tree = json::parse(*output);
  if (!tree) return unexpected(SessionError::json(tree.error()));
  StrategyTest blessed = test;
  blessed.expected = std::move(tree).value();
  blessed.expected_text = {};
  return blessed;
}

Expected<std::string, SessionError> bless_answer(const StrategyTest& test, const Datasets& data) {
  auto output = blessed_output(test, data);
  if (!output) return unexpected(std::move(output).error());
  return write_strategy_test(test, std::string_view(*output));
}

Expected<std::string, SessionError> bless_command(const json::Value& command) {
  auto envelope = read_test_envelope(command);
  if (!envelope) return unexpected(SessionError::json(envelope.error()));
  return bless_answer(envelope->test, envelope->data);
}

}  // namespace vsci
