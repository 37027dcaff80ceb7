#include "harness/result_fields.h"

#include <charconv>
#include <cstddef>

namespace vsci::result_fields {

namespace {

// The item index and member of "name[i].member" when `path` is one, i written
// as the flattening writes it (no leading zero) and below `count`.
std::optional<std::size_t> item(std::string_view path, std::string_view name, std::size_t count,
                                std::string_view& member) {
  if (!path.starts_with(name) || path.size() <= name.size() + 1 || path[name.size()] != '[') return std::nullopt;
  const std::string_view rest = path.substr(name.size() + 1);
  std::size_t i = 0;
  const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), i);
  const auto digits = static_cast<std::size_t>(end - rest.data());
  if (ec != std::errc() || digits == 0 || (digits > 1 && rest[0] == '0') || i >= count) return std::nullopt;
  if (!rest.substr(digits).starts_with("].")) return std::nullopt;
  member = rest.substr(digits + 2);
  return i;
}

}  // namespace

int find_name(Names names, std::string_view key, int hint) {
  if (hint >= 0 && static_cast<std::size_t>(hint) < names.size() && names[static_cast<std::size_t>(hint)] == key) {
    return hint;
  }
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (names[k] == key) return static_cast<int>(k);
  }
  return -1;
}

std::optional<double> top_number(const BacktestResult& r, int top) {
  switch (top) {
    case kFeesPaid: return finite(r.fees_paid);
    case kInitialCapital: return finite(r.initial_capital);
    case kSchemaVersion: return static_cast<double>(r.schema_version);
    default: return std::nullopt;
  }
}

std::optional<double> number_at(const BacktestResult& r, std::string_view path) {
  std::string_view member;
  if (const auto i = item(path, kTopNames[kEquity], r.equity.size(), member)) {
    const int k = find_name(kPointNames, member, -1);
    return k < 0 ? std::nullopt : number<kPointMembers>(r.equity[*i], static_cast<std::size_t>(k));
  }
  if (const auto i = item(path, kTopNames[kTrades], r.trades.size(), member)) {
    const int k = find_name(kTradeNames, member, -1);
    return k < 0 ? std::nullopt : number<kTradeMembers>(r.trades[*i], static_cast<std::size_t>(k));
  }
  if (path.starts_with("metrics.")) {
    const int k = find_name(kMetricNames, path.substr(8), -1);
    return k < 0 ? std::nullopt : number<kMetricMembers>(r.metrics, static_cast<std::size_t>(k));
  }
  return top_number(r, find_name(kTopNames, path, -1));
}

}  // namespace vsci::result_fields
