// The strategy-test format a test author writes (StrategyTest with its
// tolerances, property checks and fuzz specification) and the result records
// the harness answers with, with their readers (from a parsed document tree)
// and compact writers. Plain values; readers and writers are thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "json/error.h"
#include "json/value.h"
#include "json/writer.h"
#include "util/expected.h"

namespace vsci {

struct Tolerance {
  enum class Kind : unsigned char { Abs, Rel };
  Kind kind = Kind::Abs;
  double value = 0.0;
};

struct Property {
  enum class Kind : unsigned char { NoNaN, MonotoneEquity, MaxDrawdownLe, MinTradesGe, SharpeGe, PnlGe, FieldInRange };
  Kind kind = Kind::NoNaN;
  double value = 0.0;  // the four kinds with a `value`
  std::string field;   // FieldInRange
  double min = 0.0;
  double max = 0.0;
};

struct Perturbation {
  enum class Kind : unsigned char { Jitter, Dropout, GapShock };
  Kind kind = Kind::Jitter;
  double amount = 0.0;  // `amount` of Jitter and GapShock, `p` of Dropout
};

struct FuzzSpec {
  std::uint64_t seed = 0;
  std::uint32_t runs = 0;
  Perturbation perturbation;
};

// A test's expected document: none, a tree, or its text inside the command,
// which is read (and so checked) only when the test compares, and must
// outlive the test. A null document is none, in either form.
class ExpectedDocument {
 public:
  ExpectedDocument() = default;
  static ExpectedDocument of_tree(json::Value tree);
  static ExpectedDocument of_text(std::string_view text);

  explicit operator bool() const { return !std::holds_alternative<std::monostate>(doc_); }
  // Null unless the document is a tree.
  const json::Value* tree() const { return std::get_if<json::Value>(&doc_); }
  // Empty unless the document is text.
  std::string_view text() const;

 private:
  std::variant<std::monostate, json::Value, std::string_view> doc_;
};

struct StrategyTest {
  std::string id;
  json::Value strategy;
  std::string dataset_ref;
  ExpectedDocument expected;
  std::vector<std::pair<std::string, Tolerance>> tolerances;  // sorted by pattern bytes
  std::vector<Property> property_checks;
  std::optional<FuzzSpec> fuzz;
};

struct DiffEntry {
  std::string field;
  std::optional<double> expected;
  std::optional<double> actual;
  bool within_tolerance = false;
  std::string kind;  // "mismatch", "missing" or "extra"
};

struct PropertyResult {
  Property property;
  bool passed = false;
  std::optional<std::string> detail;
};

struct FuzzFailure {
  std::uint64_t run = 0;
  Property property;
  std::optional<std::string> detail;
};

struct TestResult {
  std::string id;
  bool passed = false;
  std::optional<std::string> error;
  std::vector<DiffEntry> diff;
  std::vector<PropertyResult> property_results;
  std::vector<FuzzFailure> fuzz_failures;
};

Expected<StrategyTest, json::Error> read_strategy_test(const json::Value& v);
Expected<std::vector<StrategyTest>, json::Error> read_strategy_tests(const json::Value& v);
Expected<Tolerance, json::Error> read_tolerance(const json::Value& v);
Expected<Property, json::Error> read_property(const json::Value& v);
Expected<Perturbation, json::Error> read_perturbation(const json::Value& v);
Expected<FuzzSpec, json::Error> read_fuzz_spec(const json::Value& v);

// The "kind" text of a property ("no_nan", "max_drawdown_le", ...).
std::string_view property_kind_name(Property::Kind kind);

void write_property(json::Writer& w, const Property& p);
void write_test_result(json::Writer& w, const TestResult& r);
std::string write_test_result(const TestResult& r);
// The test with the member `write_expected` writes (the key "expected" and
// its value, or nothing) in place of its own expected document: a document
// written in place, rather than from a text of its own, is held once.
std::string write_strategy_test(const StrategyTest& t, const std::function<void(json::Writer&)>& write_expected);

}  // namespace vsci
