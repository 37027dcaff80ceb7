// The document tree: literal classes of numbers, decoded strings, member order
// and repeated keys.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <map>
#include <random>
#include <string>

#include "json/reader.h"
#include "json/value.h"

namespace vsci::json {
namespace {

Value parsed(std::string_view text) {
  auto v = parse(text);
  EXPECT_TRUE(v.ok()) << text << ": " << (v ? "" : v.error().to_string());
  return v ? std::move(v).value() : Value();
}

TEST(JsonTree, NumberLiteralsKeepTheirClass) {
  // (Integer edges and decimal rounding: number_text_test.)
  EXPECT_EQ(parsed("0"), Value::u64(0));
  EXPECT_EQ(parsed("-1"), Value::i64(-1));
  EXPECT_EQ(parsed("1.0"), Value::f64(1.0));
  EXPECT_EQ(parsed("1E+2"), Value::f64(100.0));
  // -0 has no integer form and keeps its sign as a float; so does an underflow.
  for (const char* text : {"-0", "-1e-400"}) {
    const Value neg_zero = parsed(text);
    ASSERT_EQ(neg_zero.kind(), Kind::F64) << text;
    EXPECT_EQ(neg_zero.as_f64(), 0.0);
    EXPECT_TRUE(std::signbit(neg_zero.as_f64())) << text;
  }
  EXPECT_EQ(parsed("5e-324"), Value::f64(std::numeric_limits<double>::denorm_min()));
  EXPECT_EQ(parsed("1.7976931348623157e308"), Value::f64(std::numeric_limits<double>::max()));
}

TEST(JsonTree, StringsAreDecoded) {
  EXPECT_EQ(parsed(R"("\" \\ \/ \b \f \n \r \t")").as_string(), "\" \\ / \b \f \n \r \t");
  EXPECT_EQ(parsed(R"("\u00e9\u20AC")").as_string(), "\xc3\xa9\xe2\x82\xac");
  EXPECT_EQ(parsed(R"("\ud83d\ude00")").as_string(), "\xf0\x9f\x98\x80");
  EXPECT_EQ(parsed(R"("a\u0000b")").as_string(), std::string("a\0b", 3));
  EXPECT_EQ(parsed("\"caf\xc3\xa9 \x7f\"").as_string(), "caf\xc3\xa9 \x7f");
  EXPECT_EQ(parsed(R"("")").as_string(), "");
}

TEST(JsonTree, ObjectsAreOrderedByKeyBytesAndKeepTheLastRepeat) {
  const Value v = parsed(R"({"b":1,"a":2,"b":3,"ab":4,"B":5,"\u00e9":6,"":7})");
  ASSERT_TRUE(v.is_object());
  std::string keys;
  for (const auto& m : v.as_object()) keys += "[" + m.key + "]";
  EXPECT_EQ(keys, "[][B][a][ab][b][\xc3\xa9]");
  EXPECT_EQ(*v.find("b"), Value::u64(3));
  EXPECT_EQ(v.find("c"), nullptr);
  const Value cmd = parsed(R"({"cmd":"list","cmd":"version"})");
  EXPECT_EQ(cmd.as_object().size(), 1u);
  EXPECT_EQ(cmd.find("cmd")->as_string(), "version");
}

TEST(JsonTree, ObjectsOfEverySizeMatchAnOrderedMapOfLastValues) {
  // Few members are ordered one way and many another; both must give what a
  // map keeping each key's last value gives, whatever order the text has.
  std::mt19937_64 rng(5);
  const std::string keys[] = {"", "a", "ab", "b", "B", "ba", "time", "equity", "t\u00e9", "z"};
  for (int i = 0; i < 4000; ++i) {
    const std::size_t n = rng() % (i % 2 ? 8 : 40);
    std::map<std::string, std::uint64_t> want;
    std::string text = "{";
    for (std::size_t k = 0; k < n; ++k) {
      const std::string& key = keys[rng() % std::size(keys)];
      want[key] = k;
      text += (k ? ",\"" : "\"") + key + "\":" + std::to_string(k);
    }
    const Value v = parsed(text + "}");
    ASSERT_EQ(v.as_object().size(), want.size()) << text;
    std::size_t j = 0;
    for (const auto& [key, value] : want) {
      EXPECT_EQ(v.as_object()[j].key, key) << text;
      EXPECT_EQ(v.as_object()[j].value, Value::u64(value)) << text;
      ++j;
    }
  }
}

TEST(JsonTree, NestedContainersAndWhitespace) {
  const Value v = parsed(" \t\r\n[ 1 , [ ] , { } , { \"x\" : [ true , false , null ] } ]\n ");
  ASSERT_TRUE(v.is_array());
  const auto& items = v.as_array();
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[1], Value::array());
  EXPECT_EQ(items[2], Value::object());
  Value expect_x = Value::array({Value::boolean(true), Value::boolean(false), Value()});
  EXPECT_EQ(*items[3].find("x"), expect_x);
}

TEST(JsonTree, BuildingKeepsTheOrderRule) {
  Value v = Value::object();
  v.set("z", Value::u64(1));
  v.set("a", Value::u64(2));
  v.set("z", Value::u64(3));
  ASSERT_EQ(v.as_object().size(), 2u);
  EXPECT_EQ(v.as_object()[0].key, "a");
  EXPECT_EQ(*v.find("z"), Value::u64(3));
  Value built = Value::object({{"b", Value::u64(1)}, {"a", Value::u64(2)}, {"b", Value::u64(9)}});
  EXPECT_EQ(built, parsed(R"({"a":2,"b":9})"));
}

}  // namespace
}  // namespace vsci::json
