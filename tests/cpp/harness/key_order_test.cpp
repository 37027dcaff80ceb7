// The key-order rewrite of a result text gives what writing its parsed tree
// gives, for the forms the engine writes its numbers in, compact or not.
#include "harness/key_order.h"

#include <gtest/gtest.h>

#include <string>

#include "json/number_format.h"
#include "json/reader.h"
#include "json/writer.h"

namespace vsci {
namespace {

TEST(KeyOrder, RewriteIsTheTreesText) {
  const char* texts[] = {
      R"({"schema_version":1,"symbol":"S","metrics":{"pnl":-0.5,"sharpe":null,"num_trades":3},"equity":[{"time":-60000,"equity":10000.0},{"time":0,"equity":9999.5}],"fees_paid":0.0})",
      R"({"b":1,"a":2,"b":3,"c":{"z":[],"y":{}},"a":[true,false,null]})",
      R"([{"x":1e+16,"w":1.5e-7,"v":1E5,"u":-0,"t":123456789012345678901,"s":-9223372036854775808}])",
      R"({"k":"q\"u\\o\nte\u001f\u00e9/","k2":"\u00e9","\u0041":1,"A":2})",
      " { \"b\" : [ 1 , 2 ] ,\n \"a\" : { \"d\" : 0.25 , \"c\" : \"x\" } } ",
      R"({"long":"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz","a":0})",
      "[]", "{}", "7", "\"s\"", "null",
  };
  for (const char* text : texts) {
    auto rewritten = engine_text_in_key_order(text);
    ASSERT_TRUE(rewritten.ok()) << text;
    EXPECT_EQ(*rewritten, json::write(*json::parse(text))) << text;
  }
}

TEST(KeyOrder, UnreadableTextGivesTheParseError) {
  const std::string deep = std::string(128, '[') + std::string(128, ']');
  for (const std::string& text : {std::string(R"({"a":1,})"), std::string(R"({"a":1e400})"), std::string("[1] x"),
                                 std::string(R"({"a":"\u00"})"), std::string("[01]"), deep}) {
    auto rewritten = engine_text_in_key_order(text);
    ASSERT_FALSE(rewritten.ok()) << text;
    EXPECT_EQ(rewritten.error().to_string(), json::parse(text).error().to_string()) << text;
  }
  const std::string deepest = std::string(127, '[') + std::string(127, ']');
  EXPECT_EQ(*engine_text_in_key_order(deepest), deepest);
}

// Long arrays are rewritten in pieces in parallel; the text must still be the
// tree's, whether the cuts fall between elements or inside strings, and an
// array that closes early must not take in what follows it.
TEST(KeyOrder, LongArraysRewriteAsTheTree) {
  std::string equity;
  std::string trades;
  std::string strings;
  for (int i = 0; i < 90'000; ++i) {
    const std::string t = std::to_string(1'700'000'000'000LL + 3'600'000LL * i);
    equity += (i ? "," : "") + std::string(R"({"time":)") + t + R"(,"equity":)";
    json::append_f64(equity, 10000.0 + (i % 977) * 0.37 - (i % 13) * 1e-3);
    equity += "}";
    // Strings that hold the joint between two objects.
    strings += (i ? "," : "") + std::string(R"({"b":"},{","a":[)") + std::to_string(i) + R"(,-0,1e+16]})";
  }
  for (int i = 0; i < 5; ++i) trades += (i ? "," : "") + std::string(R"({"exit_time":2,"entry_time":1})");
  const std::string texts[] = {
      R"({"trades":[)" + trades + R"(],"equity":[)" + equity + R"(],"fees_paid":0.0})",
      R"({"z":[)" + strings + R"(],"a":[)" + equity + "]}",
      "[" + equity + R"(,{"s":"},{\"\u00e9"}])",
      "[" + equity + "," + strings + "]",
      "[[" + equity + "],[" + equity + "]]",
  };
  for (const std::string& text : texts) {
    auto rewritten = engine_text_in_key_order(text);
    ASSERT_TRUE(rewritten.ok()) << text.substr(0, 80);
    EXPECT_TRUE(*rewritten == json::write(*json::parse(text))) << text.substr(0, 80);
  }
  // A fault late in a long array gives the parse error, position and all.
  const std::string bad = "[" + equity + R"(,{"time":1,"equity":01}])";
  auto rewritten = engine_text_in_key_order(bad);
  ASSERT_FALSE(rewritten.ok());
  EXPECT_EQ(rewritten.error().to_string(), json::parse(bad).error().to_string());
}

}  // namespace
}  // namespace vsci
