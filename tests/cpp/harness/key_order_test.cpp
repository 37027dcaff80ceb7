// The key-order rewrite of a result text gives what writing its parsed tree
// gives, for the forms the engine writes its numbers in, compact or not.
#include "harness/key_order.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace vsci
