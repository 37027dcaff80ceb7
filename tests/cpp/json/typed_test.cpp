// Typed reading of a record from text (with positions) and from a tree (without),
// and the scalar readers' type and range messages.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "json/typed.h"

namespace vsci::json {
namespace {

struct Bar {
  std::int64_t time = 0;
  double open = 0, high = 0, low = 0, close = 0, volume = 0;
};

constexpr Field kBarFields[] = {{"time", true}, {"open", true}, {"high", true},
                                {"low", true},  {"close", true}, {"volume", false}};
constexpr Record kBar{"Candle", kBarFields};

// The readers pass their name tables; a list spells the same choices here.
Error unknown_variant(std::string_view variant, std::initializer_list<std::string_view> choices) {
  return Error::unknown_variant(variant, {choices.begin(), choices.size()});
}

double* price_slot(Bar& b, std::size_t i) {
  switch (i) {
    case 1: return &b.open;
    case 2: return &b.high;
    case 3: return &b.low;
    case 4: return &b.close;
    default: return &b.volume;
  }
}

// Reads one Bar from text; gives the bar or the error text with position.
std::string read_text(std::string_view text, Bar* out = nullptr) {
  Reader r(text);
  Bar b;
  auto res = read_record(r, kBar, [&](std::size_t i, Reader& rd) -> Expected<void, Error> {
    if (i == 0) {
      auto t = rd.read_i64();
      if (!t) return unexpected(std::move(t.error()));
      b.time = *t;
      return {};
    }
    auto x = rd.read_f64();
    if (!x) return unexpected(std::move(x.error()));
    *price_slot(b, i) = *x;
    return {};
  });
  if (res) res = r.finish();
  if (!res) return res.error().to_string();
  if (out) *out = b;
  return "<ok>";
}

std::string read_tree(std::string_view text, Bar* out = nullptr) {
  auto v = parse(text);
  if (!v) return "parse: " + v.error().to_string();
  Bar b;
  auto res = read_record(*v, kBar, [&](std::size_t i, const Value& x) -> Expected<void, Error> {
    if (i == 0) {
      auto t = get_i64(x);
      if (!t) return unexpected(std::move(t.error()));
      b.time = *t;
      return {};
    }
    auto d = get_f64(x);
    if (!d) return unexpected(std::move(d.error()));
    *price_slot(b, i) = *d;
    return {};
  });
  if (!res) return res.error().to_string();
  if (out) *out = b;
  return "<ok>";
}

TEST(JsonTypedText, ObjectFormTakesMembersInAnyOrderAndSkipsUnknownOnes) {
  Bar b;
  ASSERT_EQ(read_text(R"({"close":4,"note":{"a":[1,{"b":null}]},"low":3.5,"time":-7,"high":2,"open":1e1})", &b),
            "<ok>");
  EXPECT_EQ(b.time, -7);
  EXPECT_EQ(b.open, 10.0);
  EXPECT_EQ(b.high, 2.0);
  EXPECT_EQ(b.low, 3.5);
  EXPECT_EQ(b.close, 4.0);
  EXPECT_EQ(b.volume, 0.0);
  // Skipped members must still be well-formed JSON.
  EXPECT_EQ(read_text(R"({"note":[1,],"time":1})"), "trailing comma at line 1 column 12");
}

TEST(JsonTypedText, ObjectFormMessagesAndPositions) {
  EXPECT_EQ(read_text(R"({"time":1,"open":1,"open":2})"), "duplicate field `open` at line 1 column 25");
  EXPECT_EQ(read_text(R"({"time":1,"open":1,"high":1,"low":1})"), "missing field `close` at line 1 column 36");
  EXPECT_EQ(read_text(R"({"close":1})"), "missing field `time` at line 1 column 11");
  EXPECT_EQ(read_text(R"({"time":1.5})"), "invalid type: floating point `1.5`, expected i64 at line 1 column 11");
  EXPECT_EQ(read_text(R"({"time":1e3})"), "invalid type: floating point `1000.0`, expected i64 at line 1 column 11");
  EXPECT_EQ(read_text(R"({"time":9223372036854775808})"),
            "invalid value: integer `9223372036854775808`, expected i64 at line 1 column 27");
  EXPECT_EQ(read_text(R"({"open":null})"), "invalid type: null, expected f64 at line 1 column 12");
  EXPECT_EQ(read_text(R"({"open":"1"})"), "invalid type: string \"1\", expected f64 at line 1 column 11");
  EXPECT_EQ(read_text(R"({"open":true})"), "invalid type: boolean `true`, expected f64 at line 1 column 12");
  EXPECT_EQ(read_text(R"({"open":[1]})"), "invalid type: sequence, expected f64 at line 1 column 9");
  EXPECT_EQ(read_text(R"({"open":{}})"), "invalid type: map, expected f64 at line 1 column 9");
  EXPECT_EQ(read_text("5"), "invalid type: integer `5`, expected struct Candle at line 1 column 1");
  EXPECT_EQ(read_text("  -5"), "invalid type: integer `-5`, expected struct Candle at line 1 column 4");
  EXPECT_EQ(read_text(R"("x")"), "invalid type: string \"x\", expected struct Candle at line 1 column 3");
  EXPECT_EQ(read_text(R"({"time":1,"open":1,"high":1,"low":1,"close":1} 1)"), "trailing characters at line 1 column 48");
}

TEST(JsonTypedText, ArrayFormIsPositional) {
  Bar b;
  ASSERT_EQ(read_text("[1,10,11,9,10]", &b), "<ok>");
  EXPECT_EQ(b.close, 10.0);
  EXPECT_EQ(b.volume, 0.0);
  ASSERT_EQ(read_text("[1,10,11,9,10,5]", &b), "<ok>");
  EXPECT_EQ(b.volume, 5.0);
  EXPECT_EQ(read_text("[1,10,11,9]"), "invalid length 4, expected struct Candle with 6 elements at line 1 column 11");
  EXPECT_EQ(read_text("[]"), "invalid length 0, expected struct Candle with 6 elements at line 1 column 2");
  EXPECT_EQ(read_text("[1,10,11,9,10,5,7]"), "trailing characters at line 1 column 17");
  EXPECT_EQ(read_text("[1,10,11,9,10,5,]"), "trailing comma at line 1 column 17");
  EXPECT_EQ(read_text("[1,10,11,9,10,]"), "trailing comma at line 1 column 15");
  EXPECT_EQ(read_text("[1,10 11]"), "expected `,` or `]` at line 1 column 7");
  EXPECT_EQ(read_text("[1,10,"), "EOF while parsing a value at line 1 column 6");
}

TEST(JsonTypedTree, SameRulesWithoutPositions) {
  Bar b;
  ASSERT_EQ(read_tree(R"({"volume":2,"close":4,"low":3,"time":-7,"high":2,"open":1,"x":"y"})", &b), "<ok>");
  EXPECT_EQ(b.time, -7);
  EXPECT_EQ(b.volume, 2.0);
  EXPECT_EQ(read_tree(R"({"time":1,"open":1})"), "missing field `high`");
  EXPECT_EQ(read_tree(R"({"time":1.5})"), "invalid type: floating point `1.5`, expected i64");
  EXPECT_EQ(read_tree(R"({"time":18446744073709551615})"),
            "invalid value: integer `18446744073709551615`, expected i64");
  EXPECT_EQ(read_tree(R"({"time":1,"open":null})"), "invalid type: null, expected f64");
  EXPECT_EQ(read_tree("[1,10,11,9]"), "invalid length 4, expected struct Candle with 6 elements");
  EXPECT_EQ(read_tree("[1,10,11,9,10,5,7]"), "invalid length 7, expected fewer elements in array");
  EXPECT_EQ(read_tree("true"), "invalid type: boolean `true`, expected struct Candle");
  // Members are visited in key order, so "close" is checked before "time".
  EXPECT_EQ(read_tree(R"({"time":"a","close":"b"})"), "invalid type: string \"b\", expected f64");
}

TEST(JsonTypedScalars, IntegerRangesAndFoundDescriptions) {
  auto u32_of = [](std::string_view t) {
    Reader r(t);
    auto v = r.read_u32();
    return v ? std::to_string(*v) : v.error().to_string();
  };
  EXPECT_EQ(u32_of("4294967295"), "4294967295");
  EXPECT_EQ(u32_of("4294967296"), "invalid value: integer `4294967296`, expected u32 at line 1 column 10");
  EXPECT_EQ(u32_of("-1"), "invalid value: integer `-1`, expected u32 at line 1 column 2");
  EXPECT_EQ(u32_of("2.0"), "invalid type: floating point `2.0`, expected u32 at line 1 column 3");
  auto u64_tree = [](std::string_view t) {
    auto v = get_u64(*parse(t));
    return v ? std::to_string(*v) : v.error().to_string();
  };
  EXPECT_EQ(u64_tree("18446744073709551615"), "18446744073709551615");
  EXPECT_EQ(u64_tree("-3"), "invalid value: integer `-3`, expected u64");
  EXPECT_EQ(u64_tree("1e300"), "invalid type: floating point `1" + std::string(300, '0') + ".0`, expected u64");
  EXPECT_EQ(describe(*parse("0.0001")), "floating point `0.0001`");
  EXPECT_EQ(describe(*parse("-0.0")), "floating point `-0.0`");
  EXPECT_EQ(describe(*parse(R"("a\"b\\c\nd\u0001")")), "string \"a\\\"b\\\\c\\nd\\u{1}\"");
  EXPECT_EQ(describe(*parse("false")), "boolean `false`");
  Reader r(R"(["x", tru])");
  ASSERT_TRUE(r.begin_array().ok());
  ASSERT_TRUE(*r.next_element());
  EXPECT_EQ(*r.read_str(), "x");
  ASSERT_TRUE(*r.next_element());
  EXPECT_EQ(r.read_bool().error().to_string(), "expected ident at line 1 column 10");
}

TEST(JsonTypedScalars, VariantAndFieldMessages) {
  EXPECT_EQ(unknown_variant("BUY", {"buy", "sell"}).message, "unknown variant `BUY`, expected `buy` or `sell`");
  EXPECT_EQ(unknown_variant("x", {"abs", "rel", "pct"}).message,
            "unknown variant `x`, expected one of `abs`, `rel`, `pct`");
  EXPECT_EQ(unknown_variant("x", {"only"}).message, "unknown variant `x`, expected `only`");
  EXPECT_EQ(Error::invalid_type(kFoundUnitVariant, "newtype variant").message,
            "invalid type: unit variant, expected newtype variant");
  EXPECT_EQ(struct_with_elements("Tolerance::Abs", 1), "struct Tolerance::Abs with 1 element");
  EXPECT_EQ(Error::missing_field("test").to_string(), "missing field `test`");
}

// A record with an optional field between two required ones: the text is
// taken exactly when the tree reads it without a key given twice, and then
// to the same values.
TEST(JsonTypedText, ReadAsTheTreeWouldTakesOnlyWhatTheTreeReadsAlike) {
  static constexpr Field kFields[] = {{"a", true}, {"b", false}, {"c", true}};
  static constexpr Record kAbc{"Abc", kFields};
  const auto text_read = [&](std::string_view text, double* out) {
    Reader r(text);
    const bool took = read_record_as_tree_would(r, kAbc, [&](std::size_t i, Reader& rd) -> Expected<void, Error> {
      auto x = rd.read_f64();
      if (!x) return unexpected(std::move(x.error()));
      out[i] = *x;
      return {};
    });
    return took && r.finish().ok();
  };
  const std::pair<std::string_view, bool> cases[] = {
      {R"({"a":1,"c":3})", true},        {R"({"c":3,"b":2,"a":1})", true},    {R"({"a":1,"b":2})", false},
      {R"({"a":1,"c":3,"a":4})", false}, {R"({"a":1,"c":3,"x":1e999})", false}, {R"({"a":1,"x":[1,{"y":[]}],"c":3})", true},
      {R"({"a":"s","c":3})", false},     {"[1,2,3]", true},                    {"[1,2]", false},
      {"[1]", false},                    {"[1,2,3,4]", false},                 {"[]", false},
      {"7", false}};
  for (const auto& [text, takes] : cases) {
    double got[3] = {0, 0, 0};
    EXPECT_EQ(text_read(text, got), takes) << text;
    if (!takes) continue;
    auto tree = parse(text);
    ASSERT_TRUE(tree.ok()) << text;
    double want[3] = {0, 0, 0};
    ASSERT_TRUE(read_record(*tree, kAbc, [&](std::size_t i, const Value& x) -> Expected<void, Error> {
                  want[i] = *get_f64(x);
                  return {};
                }).ok());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(got[i], want[i]) << text;
  }
}

// The grammar check accepts exactly what the tree reader parses.
TEST(JsonTypedText, ValidJsonIsWhatParses) {
  const std::string deep = std::string(127, '[') + std::string(127, ']');
  const std::string texts[] = {"{}", " [1, 2.5e3, -0, \"x\", true, null] ", "1e999", "-1e-999", "[1,]", "{\"a\" 1}",
                                    "[1] 2", "18446744073709551616", "\"\\u12\"", "", deep, "[" + deep + "]"};
  for (const std::string& t : texts) EXPECT_EQ(is_valid_json(t), parse(t).ok()) << t;
}

}  // namespace
}  // namespace vsci::json
