// A property that cannot find what it checks fails with a detail text, not the
// command, so one bad property never hides the others.
#include "harness/properties.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>

namespace vsci {

namespace {

struct Point {
  std::uint64_t index;
  double value;
};

// A decimal index: optional "+", digits (leading zeros allowed), fitting in 64 bits.
std::optional<std::uint64_t> parse_index(std::string_view s) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  std::uint64_t n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (n > (UINT64_MAX - digit) / 10) return std::nullopt;
    n = n * 10 + digit;
  }
  return n;
}

// The index text of `path` when it reads exactly head + index + tail.
std::optional<std::uint64_t> index_between(std::string_view path, std::string_view head, std::string_view tail) {
  if (path.size() < head.size() + tail.size()) return std::nullopt;
  if (path.substr(0, head.size()) != head || path.substr(path.size() - tail.size()) != tail) return std::nullopt;
  return parse_index(path.substr(head.size(), path.size() - head.size() - tail.size()));
}

// The equity curve: a backtest output's equity[i].equity points; failing
// those, fields named exactly equity_curve[i].
std::vector<Point> equity_points(const FlatMap& flat) {
  std::vector<Point> from_output;
  std::vector<Point> from_curve;
  for (const auto& [path, value] : flat) {
    if (auto i = index_between(path, "equity[", "].equity")) from_output.push_back({*i, value});
    else if (auto j = index_between(path, "equity_curve[", "]")) from_curve.push_back({*j, value});
  }
  return from_output.empty() ? from_curve : from_output;
}

std::pair<bool, std::optional<std::string>> monotone_equity(const FlatMap& flat) {
  std::vector<Point> points = equity_points(flat);
  if (points.empty()) return {false, std::string("no equity_curve")};
  std::stable_sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.index < b.index; });
  for (std::size_t k = 1; k < points.size(); ++k) {
    const Point& prev = points[k - 1];
    const Point& cur = points[k];
    if (cur.value < prev.value + -0.000000001) {
      return {false, "equity_curve[" + std::to_string(cur.index) + "] < [" + std::to_string(prev.index) + "]"};
    }
  }
  return {true, std::nullopt};
}

// `metric` >= bound, or the "missing" detail when the metric is absent.
std::pair<bool, std::optional<std::string>> at_least(const FlatMap& flat, std::string_view metric, double bound) {
  const auto v = lookup_metric(flat, metric);
  if (!v) return {false, "missing: " + std::string(metric)};
  return {*v >= bound, std::nullopt};
}

std::pair<bool, std::optional<std::string>> check_one(const Property& p, const FlatMap& flat) {
  switch (p.kind) {
    case Property::Kind::NoNaN:
      for (const auto& [path, value] : flat) {
        if (!std::isfinite(value)) return {false, path};
      }
      return {true, std::nullopt};
    case Property::Kind::MonotoneEquity:
      return monotone_equity(flat);
    case Property::Kind::MaxDrawdownLe: {
      // The engine reports drawdown as a non-negative percentage; the bound's
      // sign is not meaningful. A NaN bound fails the comparison.
      const auto v = lookup_metric(flat, "max_drawdown");
      if (!v) return {false, std::string("missing: max_drawdown")};
      return {*v <= std::fabs(p.value), std::nullopt};
    }
    case Property::Kind::MinTradesGe:
      return at_least(flat, "num_trades", p.value);
    case Property::Kind::SharpeGe:
      return at_least(flat, "sharpe", p.value);
    case Property::Kind::PnlGe:
      return at_least(flat, "pnl", p.value);
    case Property::Kind::FieldInRange: {
      const auto v = lookup_metric(flat, p.field);
      if (!v) return {false, "missing: " + p.field};
      return {*v >= p.min && *v <= p.max, std::nullopt};
    }
  }
  return {false, std::nullopt};
}

}  // namespace

std::optional<double> lookup_metric(const FlatMap& flat, std::string_view name) {
  auto found = flat.find(name);
  if (found == flat.end()) found = flat.find("metrics." + std::string(name));
  if (found == flat.end() || std::isnan(found->second)) return std::nullopt;
  return found->second;
}

std::vector<PropertyResult> check_properties(const std::vector<Property>& properties, const json::Value& output) {
  std::vector<PropertyResult> results;
  if (properties.empty()) return results;
  const FlatMap flat = flatten_json(output);
  results.reserve(properties.size());
  for (const Property& p : properties) {
    auto [passed, detail] = check_one(p, flat);
    results.push_back(PropertyResult{p, passed, std::move(detail)});
  }
  return results;
}

}  // namespace vsci
