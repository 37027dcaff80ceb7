#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "harness/strategy_format.h"
#include "json/reader.h"
#include "json/writer.h"
#include "support/harness_calls.h"

namespace vsci {
namespace {

json::Value parse(std::string_view text) {
  auto v = json::parse(text);
  if (!v) throw std::runtime_error(v.error().to_string());
  return std::move(v).value();
}

std::string test_error(std::string_view text) {
  auto t = read_strategy_test(parse(text));
  return t ? "<ok>" : t.error().to_string();
}

TEST(StrategyTestFormat, MinimalTestAndAbsentMembers) {
  auto t = read_strategy_test(parse(R"({"id":"a","strategy":{},"dataset_ref":"d","expected":null,"fuzz":null})"));
  ASSERT_TRUE(t.ok());
  EXPECT_EQ(t->id, "a");
  EXPECT_FALSE(t->expected);
  EXPECT_FALSE(t->fuzz.has_value());
  EXPECT_TRUE(t->tolerances.empty());
  EXPECT_TRUE(t->property_checks.empty());
  EXPECT_EQ(write_test_with(*t, t->expected), R"({"id":"a","strategy":{},"dataset_ref":"d","tolerances":{},"property_checks":[]})");
}

TEST(StrategyTestFormat, RequiredMembersAndTypes) {
  EXPECT_EQ(test_error(R"({"strategy":{},"dataset_ref":"d"})"), "missing field `id`");
  EXPECT_EQ(test_error(R"({"id":"a","dataset_ref":"d"})"), "missing field `strategy`");
  EXPECT_EQ(test_error(R"({"id":"a","strategy":1})"), "missing field `dataset_ref`");
  EXPECT_EQ(test_error(R"({"id":5,"strategy":{},"dataset_ref":"d"})"), "invalid type: integer `5`, expected a string");
  EXPECT_EQ(test_error(R"(7)"), "invalid type: integer `7`, expected struct StrategyTest");
  EXPECT_EQ(test_error(R"({"id":"a","strategy":{},"dataset_ref":"d","tolerances":[]})"),
            "invalid type: sequence, expected a map");
  EXPECT_EQ(test_error(R"({"id":"a","strategy":{},"dataset_ref":"d","property_checks":{}})"),
            "invalid type: map, expected a sequence");
}

TEST(StrategyTestFormat, ArrayFormTakesThreeToSevenElements) {
  auto t = read_strategy_test(parse(R"(["x",{"a":1},"d"])"));
  ASSERT_TRUE(t.ok());
  EXPECT_EQ(t->dataset_ref, "d");
  auto full = read_strategy_test(
      parse(R"(["x",{},"d",{"m":1},{"p":{"kind":"abs","value":1}},[{"kind":"no_nan"}],[7,2,["jitter",0.5]]])"));
  ASSERT_TRUE(full.ok()) << full.error().to_string();
  ASSERT_TRUE(full->fuzz.has_value());
  EXPECT_EQ(full->fuzz->seed, 7u);
  EXPECT_EQ(full->fuzz->runs, 2u);
  EXPECT_EQ(full->fuzz->perturbation.amount, 0.5);
  EXPECT_EQ(test_error(R"(["x",{}])"), "invalid length 2, expected struct StrategyTest with 7 elements");
  EXPECT_EQ(test_error(R"(["x",{},"d",null,{},[],null,1])"), "invalid length 8, expected fewer elements in array");
}

TEST(StrategyTestFormat, TaggedValues) {
  auto tol = [](std::string_view text) {
    auto r = read_tolerance(parse(text));
    return r ? std::string("<ok>") : r.error().to_string();
  };
  EXPECT_EQ(tol(R"({"kind":"abs"})"), "missing field `value`");
  // Every kind list reads "one of ...", the two tolerance kinds included.
  EXPECT_EQ(tol(R"({"kind":"ABS","value":1})"), "unknown variant `ABS`, expected one of `abs`, `rel`");
  EXPECT_EQ(tol(R"(["Rel",1])"), "unknown variant `Rel`, expected one of `abs`, `rel`");
  EXPECT_EQ(tol(R"({"value":1})"), "missing field `kind`");
  EXPECT_EQ(tol(R"(3)"), "invalid type: integer `3`, expected internally tagged enum Tolerance");
  EXPECT_EQ(tol(R"(["abs"])"), "invalid length 0, expected struct variant Tolerance::Abs with 1 element");
  EXPECT_EQ(tol(R"(["rel",0.5])"), "<ok>");
  EXPECT_EQ(tol(R"({"kind":"rel","value":"x"})"), "invalid type: string \"x\", expected f64");

  auto prop = read_property(parse(R"({"kind":"sharpe_gee","value":1})"));
  EXPECT_EQ(prop.error().to_string(),
            "unknown variant `sharpe_gee`, expected one of `no_nan`, `monotone_equity`, `max_drawdown_le`, "
            "`min_trades_ge`, `sharpe_ge`, `pnl_ge`, `field_in_range`");
  auto range = read_property(parse(R"(["field_in_range","metrics.sharpe",0])"));
  EXPECT_EQ(range.error().to_string(),
            "invalid length 2, expected struct variant Property::FieldInRange with 3 elements");
  auto ok = read_property(parse(R"({"kind":"field_in_range","max":2,"field":"f","min":-1,"extra":true})"));
  ASSERT_TRUE(ok.ok());
  EXPECT_EQ(ok->field, "f");
  EXPECT_EQ(ok->min, -1.0);
  EXPECT_EQ(ok->max, 2.0);
  auto plain = read_property(parse(R"({"kind":"no_nan","value":"ignored"})"));
  ASSERT_TRUE(plain.ok());
  EXPECT_EQ(plain->kind, Property::Kind::NoNaN);

  auto pert = read_perturbation(parse(R"({"kind":"dropout"})"));
  EXPECT_EQ(pert.error().to_string(), "missing field `p`");
  auto pert_kind = read_perturbation(parse(R"({"kind":"shake","amount":1})"));
  EXPECT_EQ(pert_kind.error().to_string(), "unknown variant `shake`, expected one of `jitter`, `dropout`, `gap_shock`");
}

TEST(StrategyTestFormat, TaggedArrayFormLengths) {
  auto tol = [](std::string_view text) {
    auto r = read_tolerance(parse(text));
    return r ? std::string("<ok>") : r.error().to_string();
  };
  auto prop = [](std::string_view text) {
    auto r = read_property(parse(text));
    return r ? std::string("<ok>") : r.error().to_string();
  };
  auto pert = [](std::string_view text) {
    auto r = read_perturbation(parse(text));
    return r ? std::string("<ok>") : r.error().to_string();
  };
  // No first element: no kind at all.
  EXPECT_EQ(tol("[]"), "missing field `kind`");
  EXPECT_EQ(prop("[]"), "missing field `kind`");
  EXPECT_EQ(pert("[]"), "missing field `kind`");
  // Surplus elements after the members: the count after the kind against the
  // member count.
  EXPECT_EQ(tol(R"(["abs",1,2])"), "invalid length 2, expected 1 element in sequence");
  EXPECT_EQ(pert(R"(["dropout",0.5,1,1])"), "invalid length 3, expected 1 element in sequence");
  EXPECT_EQ(prop(R"(["field_in_range","f",0,1,9])"), "invalid length 4, expected 3 elements in sequence");
  // A kind without members takes no elements after it in the array form...
  EXPECT_EQ(prop(R"(["no_nan",1])"), "invalid length 1, expected 0 elements in sequence");
  EXPECT_EQ(prop(R"(["monotone_equity",1,2])"), "invalid length 2, expected 0 elements in sequence");
  EXPECT_EQ(prop(R"(["no_nan"])"), "<ok>");
  // ...while its object form ignores other members.
  EXPECT_EQ(prop(R"({"kind":"monotone_equity","value":[1]})"), "<ok>");
  auto range = read_property(parse(R"(["field_in_range","metrics.sharpe",-1,2])"));
  ASSERT_TRUE(range.ok());
  EXPECT_EQ(range->field, "metrics.sharpe");
  EXPECT_EQ(range->min, -1.0);
  EXPECT_EQ(range->max, 2.0);
}

TEST(StrategyTestFormat, FuzzSpecIntegers) {
  auto fuzz = [](std::string_view runs) {
    auto r = read_fuzz_spec(parse(std::string(R"({"seed":18446744073709551615,"runs":)") + std::string(runs) +
                                  R"(,"perturbation":{"kind":"jitter","amount":0.1}})"));
    return r ? std::string("<ok>") : r.error().to_string();
  };
  EXPECT_EQ(fuzz("4294967295"), "<ok>");
  EXPECT_EQ(fuzz("4294967296"), "invalid value: integer `4294967296`, expected u32");
  auto short_form = read_fuzz_spec(parse(R"([1,2])"));
  EXPECT_EQ(short_form.error().to_string(), "invalid length 2, expected struct FuzzSpec with 3 elements");
}

TEST(StrategyTestFormat, WritersUseDeclaredOrder) {
  auto t = read_strategy_test(parse(
      R"({"fuzz":{"perturbation":{"amount":2,"kind":"gap_shock"},"runs":3,"seed":9},"property_checks":[{"kind":"max_drawdown_le","value":0.5},{"kind":"field_in_range","field":"x","min":0,"max":1e20}],"tolerances":{"b":{"kind":"rel","value":0.1},"a":{"value":1,"kind":"abs"}},"expected":{"z":1,"a":[1.5,null]},"dataset_ref":"d","strategy":{"y":2,"x":1},"id":"t"})"));
  ASSERT_TRUE(t.ok()) << t.error().to_string();
  EXPECT_EQ(write_test_with(*t, t->expected),
            R"({"id":"t","strategy":{"x":1,"y":2},"dataset_ref":"d","expected":{"a":[1.5,null],"z":1},)"
            R"("tolerances":{"a":{"kind":"abs","value":1.0},"b":{"kind":"rel","value":0.1}},)"
            R"("property_checks":[{"kind":"max_drawdown_le","value":0.5},{"kind":"field_in_range","field":"x","min":0.0,"max":1e+20}],)"
            R"("fuzz":{"seed":9,"runs":3,"perturbation":{"kind":"gap_shock","amount":2.0}}})");

  TestResult r;
  r.id = "t\"1";
  r.passed = false;
  r.diff.push_back({"metrics.sharpe", 1.0, std::nullopt, false, "missing"});
  r.diff.push_back({"trades[0].qty", std::nullopt, std::numeric_limits<double>::quiet_NaN(), false, "extra"});
  Property nan_check;
  r.property_results.push_back({nan_check, true, std::nullopt});
  Property pnl;
  pnl.kind = Property::Kind::PnlGe;
  pnl.value = -0.0;
  r.property_results.push_back({pnl, false, std::string("pnl 1 < 2")});
  r.fuzz_failures.push_back({4, pnl, std::nullopt});
  EXPECT_EQ(write_test_result(r),
            R"({"id":"t\"1","passed":false,"diff":[{"field":"metrics.sharpe","expected":1.0,"within_tolerance":false,"kind":"missing"},)"
            R"({"field":"trades[0].qty","actual":null,"within_tolerance":false,"kind":"extra"}],)"
            R"("property_results":[{"property":{"kind":"no_nan"},"passed":true},{"property":{"kind":"pnl_ge","value":-0.0},"passed":false,"detail":"pnl 1 < 2"}],)"
            R"("fuzz_failures":[{"run":4,"property":{"kind":"pnl_ge","value":-0.0}}]})");
  r.error = "data error: missing dataset: x";
  EXPECT_NE(write_test_result(r).find(R"("passed":false,"error":"data error: missing dataset: x","diff")"),
            std::string::npos);
}

// The text of a diff entry as the writer's plain calls write it.
std::string plain_entry(const DiffEntry& d) {
  json::Writer w;
  w.begin_object();
  w.key("field");
  w.string(d.field);
  if (d.expected) {
    w.key("expected");
    w.f64(*d.expected);
  }
  if (d.actual) {
    w.key("actual");
    w.f64(*d.actual);
  }
  w.key("within_tolerance");
  w.boolean(d.within_tolerance);
  w.key("kind");
  w.string(d.kind);
  w.end_object();
  return w.take();
}

// A long diff (a changed strategy's) is written in pieces: the same text as
// entry by entry, fields that need escaping and every value form included.
TEST(StrategyTestFormat, LongDiffWritesAsEntryByEntry) {
  const double values[] = {1.5, -0.0, 1e300, std::numeric_limits<double>::quiet_NaN(),
                           -std::numeric_limits<double>::infinity(), 123456789.125, 5e-324};
  const std::string fields[] = {"equity[12].equity", "a\"b", std::string("x\n\x01\x7f", 4), std::string(300, 'q'), ""};
  TestResult r;
  r.id = "long";
  std::string entries;
  for (std::size_t i = 0; i < 50'000; ++i) {
    DiffEntry d{fields[i % 5] + std::to_string(i), values[i % 7], values[(i / 7) % 7], i % 3 == 0,
                i % 4 == 0 ? "extra" : "mismatch"};
    if (i % 11 == 0) d.expected.reset();
    if (i % 13 == 0) d.actual.reset();
    entries += (i > 0 ? "," : "") + plain_entry(d);
    r.diff.push_back(std::move(d));
  }
  EXPECT_EQ(write_test_result(r), R"({"id":"long","passed":false,"diff":[)" + entries +
                                      R"(],"property_results":[],"fuzz_failures":[]})");
}

}  // namespace
}  // namespace vsci
