// A run never starts on a spec that contradicts its feeds, or on side feeds
// that do not line up with the candles.
#include "engine/request.h"

#include <string>

namespace vsci {

Expected<void, BacktestError> check_feed_length(std::size_t candles, std::string_view feed, std::size_t count) {
  if (count == candles) return {};
  std::string message(feed);
  message += " feed length " + std::to_string(count) + " does not match " + std::to_string(candles) + " candles";
  return unexpected(BacktestError::invalid_input(std::move(message)));
}

Expected<void, BacktestError> check_run_request(const RunRequest& request, std::size_t candles) {
  auto valid = request.spec.validate();
  if (!valid.ok()) return valid;

  const Costs& costs = request.spec.costs;
  if (costs.slippage.type == Slippage::Type::Spread && !request.books) {
    return unexpected(BacktestError::invalid_spec(std::string(SPREAD_NEEDS_BOOKS)));
  }
  if (costs.funding && !request.derivs) {
    return unexpected(BacktestError::invalid_spec(std::string(FUNDING_NEEDS_DERIVS)));
  }

  if (candles == 0) return unexpected(BacktestError::invalid_input("no candles"));

  const std::pair<const char*, std::optional<std::size_t>> lengths[] = {
      {"reference", request.reference ? std::optional(request.reference->size()) : std::nullopt},
      {"derivs", request.derivs ? std::optional(request.derivs->size()) : std::nullopt},
      {"books", request.books ? std::optional(request.books->size()) : std::nullopt},
      {"trades", request.trades ? std::optional(request.trades->size()) : std::nullopt},
      {"sections", request.sections ? std::optional(request.sections->size()) : std::nullopt},
  };
  for (const auto& [feed, count] : lengths) {
    if (!count) continue;
    auto same = check_feed_length(candles, feed, *count);
    if (!same.ok()) return same;
  }
  return {};
}

Expected<RunRequest, BacktestError> load_run_request(std::string_view text) {
  auto read = read_run_request(text);
  if (!read.ok()) return read;
  auto checked = check_run_request(read.value(), read.value().candles.size());
  if (!checked.ok()) return unexpected(std::move(checked).error());
  return read;
}

BarFeeds bar_feeds(const RunRequest& request, std::size_t i) {
  BarFeeds feeds;
  if (request.reference) feeds.reference = (*request.reference)[i].close;
  if (request.derivs) feeds.derivatives = &(*request.derivs)[i];
  if (request.books) feeds.book = &(*request.books)[i];
  if (request.trades) feeds.trades = request.trades->bar(i);
  if (request.sections) feeds.cross_section = &(*request.sections)[i];
  return feeds;
}

}  // namespace vsci
