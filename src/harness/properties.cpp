// A property that cannot find what it checks fails with a detail text, not the
// command, so one bad property never hides the others.
#include "harness/properties.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace vsci {

namespace {

using Point = FlatDocument::Point;

// `name` as a field path, else "metrics." + name; a NaN counts as absent.
std::optional<double> lookup_metric(const FlatDocument& flat, std::string_view name) {
  auto found = flat.find(name);
  if (!found) found = flat.find("metrics." + std::string(name));
  if (!found || std::isnan(*found)) return std::nullopt;
  return found;
}

std::pair<bool, std::optional<std::string>> monotone_equity(const FlatDocument& flat) {
  const std::vector<Point>& points = flat.equity_points();
  if (points.empty()) return {false, std::string("no equity_curve")};
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
std::pair<bool, std::optional<std::string>> at_least(const FlatDocument& flat, std::string_view metric, double bound) {
  const auto v = lookup_metric(flat, metric);
  if (!v) return {false, "missing: " + std::string(metric)};
  return {*v >= bound, std::nullopt};
}

// The name each kind looks up with lookup_metric.
std::string_view metric_name(const Property& p) {
  switch (p.kind) {
    case Property::Kind::MaxDrawdownLe: return "max_drawdown";
    case Property::Kind::MinTradesGe: return "num_trades";
    case Property::Kind::SharpeGe: return "sharpe";
    case Property::Kind::PnlGe: return "pnl";
    case Property::Kind::FieldInRange: return p.field;
    default: return {};
  }
}

// The first path in key order holding NaN or an infinity.
std::optional<std::string> first_non_finite(const FlatDocument& flat) {
  for (std::size_t k = 0; k < flat.size(); ++k) {
    if (!std::isfinite(flat.value(k))) return std::string(flat.path(k));
  }
  return std::nullopt;
}

std::pair<bool, std::optional<std::string>> check_one(const Property& p, const FlatDocument& flat) {
  switch (p.kind) {
    case Property::Kind::NoNaN: {
      auto path = first_non_finite(flat);
      if (path) return {false, std::move(path)};
      return {true, std::nullopt};
    }
    case Property::Kind::MonotoneEquity:
      return monotone_equity(flat);
    case Property::Kind::MaxDrawdownLe: {
      // The engine reports drawdown as a non-negative percentage; the bound's
      // sign is not meaningful. A NaN bound fails the comparison.
      const auto v = lookup_metric(flat, metric_name(p));
      if (!v) return {false, std::string("missing: max_drawdown")};
      return {*v <= std::fabs(p.value), std::nullopt};
    }
    case Property::Kind::MinTradesGe:
    case Property::Kind::SharpeGe:
    case Property::Kind::PnlGe:
      return at_least(flat, metric_name(p), p.value);
    case Property::Kind::FieldInRange: {
      const auto v = lookup_metric(flat, p.field);
      if (!v) return {false, "missing: " + p.field};
      return {*v >= p.min && *v <= p.max, std::nullopt};
    }
  }
  return {false, std::nullopt};
}

}  // namespace

std::vector<std::string> looked_up_paths(const std::vector<Property>& properties) {
  std::vector<std::string> paths;
  for (const Property& p : properties) {
    if (p.kind == Property::Kind::NoNaN || p.kind == Property::Kind::MonotoneEquity) continue;
    const std::string_view name = metric_name(p);
    paths.emplace_back(name);
    paths.push_back("metrics." + std::string(name));
  }
  std::sort(paths.begin(), paths.end());
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
  return paths;
}

bool reads_equity_curve(const std::vector<Property>& properties) {
  return std::any_of(properties.begin(), properties.end(),
                     [](const Property& p) { return p.kind == Property::Kind::MonotoneEquity; });
}

std::vector<PropertyResult> check_properties(const std::vector<Property>& properties, const FlatDocument& flat) {
  std::vector<PropertyResult> results;
  results.reserve(properties.size());
  for (const Property& p : properties) {
    auto [passed, detail] = check_one(p, flat);
    results.push_back(PropertyResult{p, passed, std::move(detail)});
  }
  return results;
}

}  // namespace vsci
