// A test passes only when the output matches its expected document within
// tolerance, every property holds and no fuzz run fails.
#include "harness/test_run.h"

#include <algorithm>
#include <cmath>

#include "harness/backtest_call.h"
#include "harness/fuzz.h"
#include "harness/properties.h"

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


// Whether the rounded values e and a are close enough under `tol`.
bool within(double e, double a, const Tolerance& tol) {
  if (std::isnan(e) || std::isnan(a)) return false;
  const double d = a - e;
  // Both the same infinity.
  if (std::isnan(d)) return true;
  double t = tol.value;
  if (tol.kind == Tolerance::Kind::Rel) t = tol.value * std::max(std::max(std::fabs(e), std::fabs(a)), 1.0);
  return std::fabs(d) <= t;
}

DiffEntry entry(std::string_view field, std::optional<double> e, std::optional<double> a, const char* kind) {
  return DiffEntry{std::string(field), e, a, false, kind};
}

// Whether `text` is `compact` (a valid compact document) with blanks where
// JSON allows them, next to a bracket, brace, comma or colon or at either
// end: then it is the same document. A blank anywhere else splits a token.
bool same_but_blanks(std::string_view compact, std::string_view text) {
  if (compact.size() == text.size()) return compact == text;  // no room for a blank
  const auto structural = [&](std::size_t k) {
    return k >= compact.size() || std::string_view("{}[],:").find(compact[k]) != std::string_view::npos;
  };
  std::size_t j = 0;
  bool in_string = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!in_string && (c == ' ' || c == '\n' || c == '\r' || c == '\t')) {
      if (j == 0 || structural(j - 1) || structural(j)) continue;
      return false;
    }
    if (j == compact.size() || compact[j] != c) return false;
    ++j;
    if (c == '"') {
      in_string = !in_string;
    } else if (in_string && c == '\\') {
      if (++i == text.size() || j == compact.size() || compact[j] != text[i]) return false;
      ++j;
    }
  }
  return j == compact.size();
}

// No tolerance can fail two equal values.
bool tolerances_admit_equal(const Tolerances& tolerances) {
  return std::all_of(tolerances.begin(), tolerances.end(), [](const auto& t) { return t.second.value >= 0.0; });
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

Tolerance find_tolerance(const Tolerances& tolerances, std::string_view field) {
  return ToleranceIndex(tolerances).find(field);
}

std::vector<DiffEntry> compare_flat(const FlatDocument& e, const FlatDocument& a, const Tolerances& tolerances) {
  const ToleranceIndex index(tolerances);
  std::vector<DiffEntry> diff;
  std::size_t ei = 0;
  std::size_t ai = 0;
  // A merge walk over the two sorted documents visits the union of their paths once each, in order.
  while (ei != e.size() || ai != a.size()) {
    const int order = ai == a.size() ? -1 : ei == e.size() ? 1 : e.path(ei).compare(a.path(ai));
    if (order < 0) {
      diff.push_back(entry(e.path(ei), round_to_8_decimals(e.value(ei)), std::nullopt, "missing"));
      ++ei;
    } else if (order > 0) {
      diff.push_back(entry(a.path(ai), std::nullopt, round_to_8_decimals(a.value(ai)), "extra"));
      ++ai;
    } else {
      const double ev = round_to_8_decimals(e.value(ei));
      const double av = round_to_8_decimals(a.value(ai));
      if (!within(ev, av, index.find(e.path(ei)))) diff.push_back(entry(e.path(ei), ev, av, "mismatch"));
      ++ei;
      ++ai;
    }
  }
  return diff;
}

std::vector<DiffEntry> compare_documents(const json::Value& expected, const json::Value& actual,
                                         const Tolerances& tolerances) {
  return compare_flat(FlatDocument::from_value(expected), FlatDocument::from_value(actual), tolerances);
}

Expected<TestResult, SessionError> run_test(const StrategyTest& test, const Datasets& data) {
  const std::vector<Candle>* candles = find_dataset(data, test.dataset_ref);
  if (candles == nullptr) return unexpected(SessionError::data("missing dataset: " + test.dataset_ref));
  const bool compare = static_cast<bool>(test.expected);

  TestResult result;
  result.id = test.id;
  {
    // The output is flattened once, in full only when a comparison needs it;
    // the expected document only after the backtest, so that the two are
    // never held beside the request; both are dropped before the fuzz runs.
    const std::vector<std::string> looked_up = looked_up_paths(test.property_checks);
    // A blessed test whose output has not moved holds that output's own
    // key-ordered text as its expected document: every field is equal, and
    // no tolerance can fail an equal field, so there is nothing to compare.
    // The output is then asked for in key order (flattening does not mind).
    const bool may_be_unchanged = !test.expected.text().empty() && tolerances_admit_equal(test.tolerances);
    auto text = run_backtest_text(test.strategy, *candles, may_be_unchanged ? MemberOrder::Key : MemberOrder::Declared);
    if (!text) return unexpected(std::move(text).error());
    const bool unchanged = may_be_unchanged && same_but_blanks(*text, test.expected.text());
    auto output = FlatDocument::from_text(*text, compare && !unchanged ? nullptr : &looked_up);
    if (!output) return unexpected(SessionError::json(output.error()));
    std::string().swap(*text);
    if (compare && !unchanged) {
      auto expected = test.expected.tree() != nullptr ? FlatDocument::from_value(*test.expected.tree())
                                                      : FlatDocument::from_text(test.expected.text());
      if (!expected) return unexpected(SessionError::json(expected.error()));
      result.diff = compare_flat(*expected, *output, test.tolerances);
    }
    result.property_results = check_properties(test.property_checks, *output);
  }
  auto fuzz = run_fuzz(test, *candles);
  if (!fuzz) return unexpected(std::move(fuzz).error());
  result.fuzz_failures = std::move(*fuzz);
  result.passed = result.diff.empty() && result.fuzz_failures.empty() &&
                  std::all_of(result.property_results.begin(), result.property_results.end(),
                              [](const PropertyResult& r) { return r.passed; });
  return result;
}

}  // namespace vsci
