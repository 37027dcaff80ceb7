// Compact writing: the float text rules, string escapes, tree key order and the
// streaming writer's declared order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "json/number_format.h"
#include "json/reader.h"
#include "json/writer.h"

namespace vsci::json {
namespace {

std::string f64_text(double v) {
  std::string s;
  append_f64(s, v);
  return s;
}

TEST(JsonWriterFloats, SpecialValues) {
  EXPECT_EQ(f64_text(0.0), "0.0");
  EXPECT_EQ(f64_text(-0.0), "-0.0");
  EXPECT_EQ(f64_text(std::numeric_limits<double>::quiet_NaN()), "null");
  EXPECT_EQ(f64_text(std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(f64_text(-std::numeric_limits<double>::infinity()), "null");
}

TEST(JsonWriterFloats, PlainFormForDecimalExponentsMinusFiveToFifteen) {
  EXPECT_EQ(f64_text(1.0), "1.0");
  EXPECT_EQ(f64_text(-2.0), "-2.0");
  EXPECT_EQ(f64_text(10000.0), "10000.0");
  EXPECT_EQ(f64_text(1e15), "1000000000000000.0");
  EXPECT_EQ(f64_text(123.456), "123.456");
  EXPECT_EQ(f64_text(0.25), "0.25");
  EXPECT_EQ(f64_text(0.1), "0.1");
  EXPECT_EQ(f64_text(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(f64_text(0.00001), "0.00001");
  EXPECT_EQ(f64_text(-0.000012345), "-0.000012345");
  EXPECT_EQ(f64_text(1234567890123456.0), "1234567890123456.0");
  EXPECT_EQ(f64_text(9.999999999999998e15), "9999999999999998.0");
  EXPECT_EQ(f64_text(1.0 / 3.0), "0.3333333333333333");
}

TEST(JsonWriterFloats, ScientificFormOutsideThatRange) {
  EXPECT_EQ(f64_text(1e16), "1e+16");
  EXPECT_EQ(f64_text(1.5e16), "1.5e+16");
  EXPECT_EQ(f64_text(0.000001), "1e-6");
  EXPECT_EQ(f64_text(1.5e-7), "1.5e-7");
  EXPECT_EQ(f64_text(-2.5e300), "-2.5e+300");
  EXPECT_EQ(f64_text(5e-324), "5e-324");
  EXPECT_EQ(f64_text(std::numeric_limits<double>::max()), "1.7976931348623157e+308");
  EXPECT_EQ(f64_text(std::numeric_limits<double>::min()), "2.2250738585072014e-308");
  EXPECT_EQ(f64_text(123456789012345678.0), "1.2345678901234568e+17");
}

TEST(JsonWriterFloats, EveryTextReadsBackToTheSameDouble) {
  // A deterministic spread over many magnitudes.
  std::uint64_t bits = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < 2000; ++i) {
    bits ^= bits << 13;
    bits ^= bits >> 7;
    bits ^= bits << 17;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    if (!std::isfinite(d)) continue;
    auto back = parse(f64_text(d));
    ASSERT_TRUE(back.ok()) << f64_text(d);
    EXPECT_EQ(back->to_f64(), d) << f64_text(d);
  }
}

TEST(JsonWriterStrings, OnlyQuoteBackslashAndControlBytesAreEscaped) {
  std::string s;
  append_string(s, std::string("q\" b\\ \b\t\n\f\r \x01\x1f\x7f / \xc3\xa9 \0", 22));
  EXPECT_EQ(s, "\"q\\\" b\\\\ \\b\\t\\n\\f\\r \\u0001\\u001f\x7f / \xc3\xa9 \\u0000\"");
}

TEST(JsonWriterTree, CompactInKeyOrderWithIntegersKept) {
  Value v = Value::object();
  v.set("ok", Value::boolean(false));
  v.set("error", Value::string("json error: x"));
  EXPECT_EQ(write(v), R"({"error":"json error: x","ok":false})");
  auto doc = parse(R"( { "z" : [ 1 , -2 , 3.0 , 1e2 , null , "s" ] , "a" : { } , "m" : 18446744073709551615 } )");
  ASSERT_TRUE(doc.ok());
  EXPECT_EQ(write(*doc), R"({"a":{},"m":18446744073709551615,"z":[1,-2,3.0,100.0,null,"s"]})");
}

TEST(JsonWriterStream, DeclaredOrderAndSeparators) {
  Writer w;
  w.begin_object();
  w.key("schema_version");
  w.u64(1);
  w.key("b");
  w.begin_array();
  w.i64(-5);
  w.f64(0.5);
  w.begin_object();
  w.end_object();
  w.begin_array();
  w.end_array();
  w.null();
  w.end_array();
  w.key("a");
  w.string("x\"y");
  w.key("t");
  w.value(*parse(R"({"k":[true]})"));
  w.key("r");
  w.raw("[1]");
  w.end_object();
  EXPECT_EQ(w.take(), R"({"schema_version":1,"b":[-5,0.5,{},[],null],"a":"x\"y","t":{"k":[true]},"r":[1]})");
}

}  // namespace
}  // namespace vsci::json
