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

using Point = FlatDocument::Point;

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

// The equity curve from the paths, in key order: equity[i].equity points;
// failing those, fields named exactly equity_curve[i]; sorted by index.
std::vector<Point> scan_equity_points(const FlatDocument& flat) {
  std::vector<Point> from_output;
  std::vector<Point> from_curve;
  for (std::size_t k = 0; k < flat.size(); ++k) {
    const std::string_view path = flat.path(k);
    if (auto i = index_between(path, "equity[", "].equity")) from_output.push_back({*i, flat.value(k)});
    else if (auto j = index_between(path, "equity_curve[", "]")) from_curve.push_back({*j, flat.value(k)});
  }
  std::vector<Point>& points = from_output.empty() ? from_curve : from_output;
  std::stable_sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.index < b.index; });
  return std::move(points);
}

std::pair<bool, std::optional<std::string>> monotone_equity(const FlatDocument& flat) {
  // The flattening reads the curve from the structure where it can: the same
  // points, already in index order.
  std::vector<Point> scanned;
  const std::vector<Point>* curve = flat.equity_points();
  if (curve == nullptr) {
    scanned = scan_equity_points(flat);
    curve = &scanned;
  } else if (curve->empty()) {
    curve = flat.equity_curve_points();
  }
  const std::vector<Point>& points = *curve;
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
  std::optional<std::string_view> first;
  for (std::size_t k = 0; k < flat.size(); ++k) {
    if (std::isfinite(flat.value(k))) continue;
    if (flat.sorted()) return std::string(flat.path(k));
    if (!first || flat.path(k) < *first) first = flat.path(k);
  }
  if (!first) return std::nullopt;
  return std::string(*first);
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

std::optional<double> lookup_metric(const FlatDocument& flat, std::string_view name) {
  auto found = flat.find(name);
  if (!found) found = flat.find("metrics." + std::string(name));
  if (!found || std::isnan(*found)) return std::nullopt;
  return found;
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
