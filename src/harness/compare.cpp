// One home keeps the two ways of comparing and the two forms of a flattened
// document (the tree's here, the text's in flat_document.h) answering alike.
#include "harness/compare.h"

#include <algorithm>
#include <cmath>

namespace vsci {

namespace {

void flatten_into(const json::Value& v, std::string& path, FlatMap& out) {
  switch (v.kind()) {
    case json::Kind::U64:
    case json::Kind::I64:
    case json::Kind::F64:
      out.insert_or_assign(path, v.to_f64());
      return;
    case json::Kind::Array: {
      const std::size_t base = path.size();
      const json::Value::Array& items = v.as_array();
      for (std::size_t i = 0; i < items.size(); ++i) {
        path += '[';
        path += std::to_string(i);
        path += ']';
        flatten_into(items[i], path, out);
        path.resize(base);
      }
      return;
    }
    case json::Kind::Object: {
      const std::size_t base = path.size();
      for (const json::Value::Member& m : v.as_object()) {
        if (base != 0) path += '.';
        path += m.key;
        flatten_into(m.value, path, out);
        path.resize(base);
      }
      return;
    }
    default:
      return;
  }
}

}  // namespace

void flatten_json(const json::Value& v, std::string_view prefix, FlatMap& out) {
  std::string path(prefix);
  flatten_into(v, path, out);
}

FlatMap flatten_json(const json::Value& v) {
  FlatMap out;
  flatten_json(v, "", out);
  return out;
}

double round_to_8_decimals(double x) {
  const double scaled = x * 100000000.0;
  if (!std::isfinite(scaled)) return x;
  return std::round(scaled) / 100000000.0;
}

void index_text_order(std::uint64_t n, std::vector<std::uint64_t>& out) {
  out.clear();
  if (n == 0) return;
  out.push_back(0);
  // Every index beginning with the digits of p, longer ones first, then p.
  auto visit = [&](auto& self, std::uint64_t p) -> void {
    if (p >= n) return;
    if (p < (n + 9) / 10) {
      for (std::uint64_t d = 0; d < 10; ++d) self(self, p * 10 + d);
    }
    out.push_back(p);
  };
  for (std::uint64_t d = 1; d < 10; ++d) visit(visit, d);
}

ToleranceIndex::ToleranceIndex(const Tolerances& tolerances) : tolerances_(tolerances) {
  for (std::size_t i = 0; i < tolerances.size(); ++i) {
    const std::string_view key = tolerances[i].first;
    exact_.push_back({key, i});
    const std::size_t star = key.find("[*]");
    if (star != std::string_view::npos) patterns_.push_back({key.substr(0, star), i});
    if (star_ == nullptr && key == "*") star_ = &tolerances[i].second;
  }
  const auto by_text_then_order = [](const Key& a, const Key& b) {
    return a.text != b.text ? a.text < b.text : a.order < b.order;
  };
  std::sort(exact_.begin(), exact_.end(), by_text_then_order);
  std::sort(patterns_.begin(), patterns_.end(), by_text_then_order);
}

const Tolerance* ToleranceIndex::first_equal(const std::vector<Key>& keys, std::string_view text) const {
  const auto it = std::lower_bound(keys.begin(), keys.end(), text,
                                   [](const Key& k, std::string_view t) { return k.text < t; });
  if (it == keys.end() || it->text != text) return nullptr;
  return &tolerances_[it->order].second;
}

Tolerance ToleranceIndex::find(std::string_view field) const {
  if (const Tolerance* t = first_equal(exact_, field)) return *t;
  // A pattern's prefix matches the whole field or the field up to one of its
  // '[': trying those from the longest down finds the longest match first.
  if (const Tolerance* t = first_equal(patterns_, field)) return *t;
  for (std::size_t i = field.size(); i-- > 0;) {
    if (field[i] != '[') continue;
    if (const Tolerance* t = first_equal(patterns_, field.substr(0, i))) return *t;
  }
  if (star_ != nullptr) return *star_;
  return Tolerance{Tolerance::Kind::Abs, 0.0};
}

bool within_tolerance(double e, double a, const Tolerance& tol) {
  if (std::isnan(e) || std::isnan(a)) return false;
  const double d = a - e;
  // Both the same infinity.
  if (std::isnan(d)) return true;
  double t = tol.value;
  if (tol.kind == Tolerance::Kind::Rel) t = tol.value * std::max(std::max(std::fabs(e), std::fabs(a)), 1.0);
  return std::fabs(d) <= t;
}

}  // namespace vsci
