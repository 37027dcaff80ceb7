// Blessing records what the strategy does today as what it must keep doing;
// nothing is checked, so a failing property cannot block it.
#include "harness/bless.h"

#include "harness/backtest_call.h"
#include "harness/key_order.h"

namespace vsci {

Expected<std::string, SessionError> bless_answer(const StrategyTest& test, const Datasets& data) {
  const std::vector<Candle>* candles = find_dataset(data, test.dataset_ref);
  if (candles == nullptr) return unexpected(SessionError::data("missing dataset: " + test.dataset_ref));
  auto output = run_backtest_text(test.strategy, *candles);
  if (!output) return unexpected(std::move(output).error());
  // The result text rewritten with its objects in key order, as a tree of it
  // would be written.
  auto ordered = engine_text_in_key_order(*output);
  if (!ordered) return unexpected(SessionError::json(ordered.error()));
  std::string().swap(*output);
  return write_strategy_test(test, ExpectedDocument::of_text(*ordered));
}

}  // namespace vsci
