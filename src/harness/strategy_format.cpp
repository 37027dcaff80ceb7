// Test files are written by hand and blessed by the harness; both go through
// these readers and writers, so what bless writes reads back as the same test.
#include "harness/strategy_format.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "json/number_format.h"
#include "json/typed.h"

namespace vsci {

namespace {

using json::Error;
using json::Value;

// A tagged value: an object whose "kind" member names the variant, the
// variant's members beside it; or an array [kind, member...]. `Variant` lists
// the kind names in declaration order with the variant's record.
struct Variant {
  std::string_view tag;
  std::string_view record_name;  // e.g. "variant Tolerance::Abs"; empty for no members
  std::span<const json::Field> fields;
};

// Reads the tag and finds the variant; then `read_field(variant, i, value)`
// for each member i of that variant. Object form ignores unknown members (and "kind" itself).
template <class ReadField>
Expected<std::size_t, Error> read_tagged(const Value& v, std::string_view enum_name, std::span<const Variant> variants,
                                         ReadField&& read_field) {
  const std::string enum_text = "internally tagged enum " + std::string(enum_name);
  auto find_variant = [&](const Value& tag) -> Expected<std::size_t, Error> {
    auto name = json::get_str(tag, "variant identifier");
    if (!name) return unexpected(std::move(name.error()));
    for (std::size_t i = 0; i < variants.size(); ++i) {
      if (variants[i].tag == *name) return i;
    }
    // The kinds are always listed as "one of ...", even when there are two.
    std::string message = "unknown variant `" + std::string(*name) + "`, expected one of ";
    for (std::size_t i = 0; i < variants.size(); ++i) {
      if (i != 0) message += ", ";
      message += '`';
      message += variants[i].tag;
      message += '`';
    }
    return unexpected(Error::custom(std::move(message)));
  };
  if (v.is_object()) {
    const Value* tag = v.find("kind");
    if (tag == nullptr) return unexpected(Error::missing_field("kind"));
    auto which = find_variant(*tag);
    if (!which) return which;
    const Variant& var = variants[*which];
    if (!var.fields.empty()) {
      const json::Record rec{var.record_name, var.fields};
      // The record reader sees "kind" as an unknown member and skips it.
      auto r = json::read_record(v, rec, [&](std::size_t i, const Value& x) { return read_field(*which, i, x); });
      if (!r) return unexpected(std::move(r.error()));
    }
    return which;
  }
  if (v.is_array()) {
    const Value::Array& items = v.as_array();
    if (items.empty()) return unexpected(Error::missing_field("kind"));
    auto which = find_variant(items[0]);
    if (!which) return which;
    const Variant& var = variants[*which];
    const std::size_t given = items.size() - 1;
    if (given < var.fields.size()) {
      return unexpected(Error::invalid_length(given, json::struct_with_elements(var.record_name, var.fields.size())));
    }
    // Surplus elements, a kind without members included: the elements after
    // the kind against the member count.
    if (given > var.fields.size()) {
      const std::size_t n = var.fields.size();
      return unexpected(Error::invalid_length(given, std::to_string(n) + (n == 1 ? " element" : " elements") +
                                                         " in sequence"));
    }
    for (std::size_t i = 0; i < var.fields.size(); ++i) {
      if (auto f = read_field(*which, i, items[i + 1]); !f) return unexpected(std::move(f.error()));
    }
    return which;
  }
  return unexpected(Error::invalid_type(json::describe(v), enum_text));
}

constexpr json::Field kValueField[] = {{"value", true}};
constexpr json::Field kAmountField[] = {{"amount", true}};
constexpr json::Field kPField[] = {{"p", true}};
constexpr json::Field kRangeFields[] = {{"field", true}, {"min", true}, {"max", true}};

constexpr Variant kToleranceVariants[] = {{"abs", "variant Tolerance::Abs", kValueField}, {"rel", "variant Tolerance::Rel", kValueField}};

constexpr Variant kPropertyVariants[] = {
    {"no_nan", "", {}},
    {"monotone_equity", "", {}},
    {"max_drawdown_le", "variant Property::MaxDrawdownLe", kValueField},
    {"min_trades_ge", "variant Property::MinTradesGe", kValueField},
    {"sharpe_ge", "variant Property::SharpeGe", kValueField},
    {"pnl_ge", "variant Property::PnlGe", kValueField},
    {"field_in_range", "variant Property::FieldInRange", kRangeFields},
};

constexpr Variant kPerturbationVariants[] = {{"jitter", "variant Perturbation::Jitter", kAmountField},
                                             {"dropout", "variant Perturbation::Dropout", kPField},
                                             {"gap_shock", "variant Perturbation::GapShock", kAmountField}};

Expected<void, Error> read_f64_into(const Value& v, double& out) {
  auto x = json::get_f64(v);
  if (!x) return unexpected(std::move(x.error()));
  out = *x;
  return {};
}

Expected<void, Error> read_string_into(const Value& v, std::string& out) {
  auto s = json::get_str(v);
  if (!s) return unexpected(std::move(s.error()));
  out.assign(*s);
  return {};
}

constexpr json::Field kFuzzFields[] = {{"seed", true}, {"runs", true}, {"perturbation", true}};
constexpr json::Record kFuzzRecord{"FuzzSpec", kFuzzFields};

constexpr json::Field kTestFields[] = {{"id", true},          {"strategy", true},        {"dataset_ref", true},
                                       {"expected", false},   {"tolerances", false},     {"property_checks", false},
                                       {"fuzz", false}};
constexpr json::Record kTestRecord{"StrategyTest", kTestFields};

void write_tolerance(json::Writer& w, const Tolerance& t) {
  w.begin_object();
  w.key("kind");
  w.string(t.kind == Tolerance::Kind::Abs ? "abs" : "rel");
  w.key("value");
  w.f64(t.value);
  w.end_object();
}

void write_perturbation(json::Writer& w, const Perturbation& p) {
  w.begin_object();
  w.key("kind");
  switch (p.kind) {
    case Perturbation::Kind::Jitter:
      w.string("jitter");
      w.key("amount");
      break;
    case Perturbation::Kind::Dropout:
      w.string("dropout");
      w.key("p");
      break;
    case Perturbation::Kind::GapShock:
      w.string("gap_shock");
      w.key("amount");
      break;
  }
  w.f64(p.amount);
  w.end_object();
}

// A diff entry as one object; `p` has diff_entry_room(d) bytes of room.
char* put_diff_entry(char* p, const DiffEntry& d) {
  using W = json::Writer;
  p = W::put_string(W::put_text(p, "{\"field\":"), d.field);
  if (d.expected) p = json::write_f64(W::put_text(p, ",\"expected\":"), *d.expected);
  if (d.actual) p = json::write_f64(W::put_text(p, ",\"actual\":"), *d.actual);
  p = W::put_text(p, d.within_tolerance ? ",\"within_tolerance\":true" : ",\"within_tolerance\":false");
  p = W::put_string(W::put_text(p, ",\"kind\":"), d.kind);
  *p++ = '}';
  return p;
}

std::size_t diff_entry_room(const DiffEntry& d) {
  return json::Writer::string_room(d.field.size()) + json::Writer::string_room(d.kind.size()) +
         2 * json::kMaxF64Chars + 80;
}

}  // namespace

Expected<Tolerance, Error> read_tolerance(const Value& v) {
  Tolerance t;
  auto which = read_tagged(v, "Tolerance", kToleranceVariants,
                           [&](std::size_t, std::size_t, const Value& x) { return read_f64_into(x, t.value); });
  if (!which) return unexpected(std::move(which.error()));
  t.kind = static_cast<Tolerance::Kind>(*which);
  return t;
}

Expected<Property, Error> read_property(const Value& v) {
  Property p;
  auto which = read_tagged(v, "Property", kPropertyVariants,
                           [&](std::size_t kind, std::size_t i, const Value& x) -> Expected<void, Error> {
                             if (static_cast<Property::Kind>(kind) != Property::Kind::FieldInRange) {
                               return read_f64_into(x, p.value);
                             }
                             if (i == 0) return read_string_into(x, p.field);
                             return read_f64_into(x, i == 1 ? p.min : p.max);
                           });
  if (!which) return unexpected(std::move(which.error()));
  p.kind = static_cast<Property::Kind>(*which);
  return p;
}

Expected<Perturbation, Error> read_perturbation(const Value& v) {
  Perturbation p;
  auto which = read_tagged(v, "Perturbation", kPerturbationVariants,
                           [&](std::size_t, std::size_t, const Value& x) { return read_f64_into(x, p.amount); });
  if (!which) return unexpected(std::move(which.error()));
  p.kind = static_cast<Perturbation::Kind>(*which);
  return p;
}

Expected<FuzzSpec, Error> read_fuzz_spec(const Value& v) {
  FuzzSpec f;
  auto r = json::read_record(v, kFuzzRecord, [&](std::size_t i, const Value& x) -> Expected<void, Error> {
    switch (i) {
      case 0: {
        auto s = json::get_u64(x);
        if (!s) return unexpected(std::move(s.error()));
        f.seed = *s;
        return {};
      }
      case 1: {
        auto n = json::get_u32(x);
        if (!n) return unexpected(std::move(n.error()));
        f.runs = *n;
        return {};
      }
      default: {
        auto p = read_perturbation(x);
        if (!p) return unexpected(std::move(p.error()));
        f.perturbation = *p;
        return {};
      }
    }
  });
  if (!r) return unexpected(std::move(r.error()));
  return f;
}

Expected<StrategyTest, Error> read_strategy_test(const Value& v) {
  StrategyTest t;
  auto r = json::read_record(v, kTestRecord, [&](std::size_t i, const Value& x) -> Expected<void, Error> {
    switch (i) {
      case 0: return read_string_into(x, t.id);
      case 1: t.strategy = x; return {};
      case 2: return read_string_into(x, t.dataset_ref);
      case 3:
        t.expected = ExpectedDocument::of_tree(x);
        return {};
      case 4: {
        auto map = json::get_object(x);
        if (!map) return unexpected(std::move(map.error()));
        for (const Value::Member& m : **map) {
          auto tol = read_tolerance(m.value);
          if (!tol) return unexpected(std::move(tol.error()));
          t.tolerances.emplace_back(m.key, *tol);
        }
        return {};
      }
      case 5: {
        auto list = json::get_array(x);
        if (!list) return unexpected(std::move(list.error()));
        for (const Value& item : **list) {
          auto p = read_property(item);
          if (!p) return unexpected(std::move(p.error()));
          t.property_checks.push_back(std::move(*p));
        }
        return {};
      }
      default: {
        if (x.is_null()) return {};
        auto f = read_fuzz_spec(x);
        if (!f) return unexpected(std::move(f.error()));
        t.fuzz = *f;
        return {};
      }
    }
  });
  if (!r) return unexpected(std::move(r.error()));
  return t;
}

Expected<std::vector<StrategyTest>, Error> read_strategy_tests(const Value& v) {
  auto list = json::get_array(v);
  if (!list) return unexpected(std::move(list.error()));
  std::vector<StrategyTest> tests;
  tests.reserve((*list)->size());
  for (const Value& item : **list) {
    auto t = read_strategy_test(item);
    if (!t) return unexpected(std::move(t.error()));
    tests.push_back(std::move(*t));
  }
  return tests;
}

std::string_view property_kind_name(Property::Kind kind) {
  return kPropertyVariants[static_cast<std::size_t>(kind)].tag;
}

void write_property(json::Writer& w, const Property& p) {
  w.begin_object();
  w.key("kind");
  w.string(property_kind_name(p.kind));
  switch (p.kind) {
    case Property::Kind::NoNaN:
    case Property::Kind::MonotoneEquity:
      break;
    case Property::Kind::FieldInRange:
      w.key("field");
      w.string(p.field);
      w.key("min");
      w.f64(p.min);
      w.key("max");
      w.f64(p.max);
      break;
    default:
      w.key("value");
      w.f64(p.value);
      break;
  }
  w.end_object();
}

void write_test_result(json::Writer& w, const TestResult& r) {
  w.begin_object();
  w.key("id");
  w.string(r.id);
  w.key("passed");
  w.boolean(r.passed);
  if (r.error) {
    w.key("error");
    w.string(*r.error);
  }
  w.key("diff");
  w.begin_array();
  // A test whose strategy changed can fail on every field of its lists: a
  // long diff is written in pieces on the worker pool.
  std::size_t room = 0;
  for (const DiffEntry& d : r.diff) room = std::max(room, diff_entry_room(d));
  w.raw_values(r.diff.size(), room, [&](char* p, std::size_t i) { return put_diff_entry(p, r.diff[i]); });
  w.end_array();
  w.key("property_results");
  w.begin_array();
  for (const PropertyResult& p : r.property_results) {
    w.begin_object();
    w.key("property");
    write_property(w, p.property);
    w.key("passed");
    w.boolean(p.passed);
    if (p.detail) {
      w.key("detail");
      w.string(*p.detail);
    }
    w.end_object();
  }
  w.end_array();
  w.key("fuzz_failures");
  w.begin_array();
  for (const FuzzFailure& f : r.fuzz_failures) {
    w.begin_object();
    w.key("run");
    w.u64(f.run);
    w.key("property");
    write_property(w, f.property);
    if (f.detail) {
      w.key("detail");
      w.string(*f.detail);
    }
    w.end_object();
  }
  w.end_array();
  w.end_object();
}

std::string write_test_result(const TestResult& r) {
  json::Writer w;
  write_test_result(w, r);
  return w.take();
}

ExpectedDocument ExpectedDocument::of_tree(json::Value tree) {
  ExpectedDocument d;
  if (!tree.is_null()) d.doc_ = std::move(tree);
  return d;
}

ExpectedDocument ExpectedDocument::of_text(std::string_view text) {
  ExpectedDocument d;
  if (text != "null") d.doc_ = text;
  return d;
}

std::string_view ExpectedDocument::text() const {
  const std::string_view* text = std::get_if<std::string_view>(&doc_);
  return text != nullptr ? *text : std::string_view();
}

std::string write_strategy_test(const StrategyTest& t, const std::function<void(json::Writer&)>& write_expected) {
  json::Writer w;
  w.reserve(4096);
  w.begin_object();
  w.key("id");
  w.string(t.id);
  w.key("strategy");
  w.value(t.strategy);
  w.key("dataset_ref");
  w.string(t.dataset_ref);
  write_expected(w);
  w.key("tolerances");
  w.begin_object();
  for (const auto& [pattern, tol] : t.tolerances) {
    w.key(pattern);
    write_tolerance(w, tol);
  }
  w.end_object();
  w.key("property_checks");
  w.begin_array();
  for (const Property& p : t.property_checks) write_property(w, p);
  w.end_array();
  if (t.fuzz) {
    w.key("fuzz");
    w.begin_object();
    w.key("seed");
    w.u64(t.fuzz->seed);
    w.key("runs");
    w.u64(t.fuzz->runs);
    w.key("perturbation");
    write_perturbation(w, t.fuzz->perturbation);
    w.end_object();
  }
  w.end_object();
  return w.take();
}

}  // namespace vsci
