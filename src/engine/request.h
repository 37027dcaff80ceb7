// The backtest request: the strategy, the candles, the starting capital and the
// optional side feeds, read straight from JSON text into typed records, and the
// entry checks that run before an engine is built. Pure functions over their
// arguments; callable from any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "engine/bar_record.h"
#include "engine/strategy_spec.h"
#include "factory/backtest_error.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

// One list of trade prints per bar, held flat so that a million bars of mostly
// empty lists cost two arrays, not a million vectors.
class TradeFeed {
 public:
  // Number of per-bar lists (what the feed-length check counts).
  std::size_t size() const { return ends_.size(); }
  std::span<const TradePrint> bar(std::size_t i) const {
    const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
    return {prints_.data() + begin, ends_[i] - begin};
  }

  // Starts the next bar's list; add() appends to the newest list.
  void start_bar() { ends_.push_back(prints_.size()); }
  void add(const TradePrint& print) {
    prints_.push_back(print);
    ++ends_.back();
  }

 private:
  std::vector<TradePrint> prints_;
  std::vector<std::size_t> ends_;  // ends_[i]: one past bar i's last print
};

struct RunRequest {
  StrategySpec spec;
  std::vector<Candle> candles;
  double capital = 10000.0;
  std::optional<std::vector<Candle>> reference;
  std::optional<std::vector<DerivativesTick>> derivs;
  std::optional<std::vector<OrderBook>> books;
  std::optional<TradeFeed> trades;
  std::optional<std::vector<CrossSection>> sections;
};

// Reads one request from the whole text (white space around it allowed). A
// reading failure is InvalidSpec with the reader's message and
// " at line {} column {}".
Expected<RunRequest, BacktestError> read_run_request(std::string_view text);

// Nothing when count equals the candle count, else InvalidInput
// "{feed} feed length {count} does not match {candles} candles".
Expected<void, BacktestError> check_feed_length(std::size_t candles, std::string_view feed, std::size_t count);

// The checks after reading, in order: validate the strategy, the spread and
// funding feed guards, "no candles" (`candles` being the candle count), and
// the side-feed lengths (reference, derivs, books, trades, sections).
Expected<void, BacktestError> check_run_request(const RunRequest& request, std::size_t candles);

// Everything before the engine is built, in order: read the request, validate
// the strategy, the spread and funding feed guards, "no candles", and the
// side-feed lengths (reference, derivs, books, trades, sections). The first
// failure is returned.
Expected<RunRequest, BacktestError> load_run_request(std::string_view text);

// The side records of bar i (the feeds' lengths already checked).
BarFeeds bar_feeds(const RunRequest& request, std::size_t i);

}  // namespace vsci
