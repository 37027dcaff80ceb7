// Blessing records what the strategy does today as what it must keep doing;
// nothing is checked, so a failing property cannot block it.
#include "harness/bless.h"

#include "harness/backtest_call.h"

namespace vsci {

Expected<std::string, SessionError> bless_answer(const StrategyTest& test, const Datasets& data) {
  const std::vector<Candle>* candles = find_dataset(data, test.dataset_ref);
  if (candles == nullptr) return unexpected(SessionError::data("missing dataset: " + test.dataset_ref));
  auto result = run_backtest_result(ReadStrategy(test.strategy), *candles);
  if (!result) return unexpected(std::move(result).error());
  // The result with its objects in key order, as a tree of it would be
  // written, straight into the answer: a text of its own beside the answer
  // would hold the longest part of it twice.
  return write_strategy_test(test, [&](json::Writer& w) {
    w.key("expected");
    write_result(w, *result, MemberOrder::Key);
  });
}

}  // namespace vsci
