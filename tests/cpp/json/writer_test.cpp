// Compact writing: the special float values, string escapes, tree key order
// and the streaming writer's declared order. The float text rules are checked
// against the standard conversions in number_text_test.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

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

TEST(JsonWriterStrings, OnlyQuoteBackslashAndControlBytesAreEscaped) {
  Writer w;
  w.string(std::string("q\" b\\ \b\t\n\f\r \x01\x1f\x7f / \xc3\xa9 \0", 22));
  EXPECT_EQ(w.take(), "\"q\\\" b\\\\ \\b\\t\\n\\f\\r \\u0001\\u001f\x7f / \xc3\xa9 \\u0000\"");
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

// Long runs of raw values are written in pieces on the worker pool; the text
// must be the one the values make written one after another.
TEST(JsonWriterStream, LongRawRunsMatchTheValuesInOrder) {
  std::uint64_t state = 12345;
  const auto next = [&] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return state;
  };
  std::vector<double> values(70'001);
  for (double& v : values) {
    const std::uint64_t bits = next();
    double x;
    std::memcpy(&x, &bits, sizeof x);
    // A mix of ordinary prices, huge and tiny magnitudes and non-finite bits.
    v = (bits & 3) == 0 ? x : static_cast<double>(bits >> 40) / 1000.0;
  }
  const auto put = [&](char* p, std::size_t i) {
    *p++ = '[';
    p = write_i64(p, static_cast<std::int64_t>(i) - 7);
    *p++ = ',';
    p = write_f64(p, values[i]);
    *p++ = ']';
    return p;
  };
  for (const std::size_t count : {std::size_t{0}, std::size_t{3}, std::size_t{19'999}, values.size()}) {
    for (const bool after_another : {false, true}) {
      std::string expected = after_another ? "[true" : "[";
      for (std::size_t i = 0; i < count; ++i) {
        if (i > 0 || after_another) expected += ',';
        expected += "[" + std::to_string(static_cast<long long>(i) - 7) + ",";
        append_f64(expected, values[i]);
        expected += "]";
      }
      expected += "]";
      Writer w;
      w.begin_array();
      if (after_another) w.boolean(true);
      w.raw_values(count, 64, put);
      w.end_array();
      EXPECT_EQ(w.take(), expected) << count << ' ' << after_another;
    }
  }
}

// A long run written in pieces leaves a slice of room after it: what follows
// (an answer's property results after its diff) must not move the whole text,
// which would hold it twice for a moment.
TEST(JsonWriterStream, WhatFollowsALongRawRunLeavesItInPlace) {
  if (!pieces_pay_off()) GTEST_SKIP() << "one worker thread: runs are written whole";
  Writer w;
  w.begin_array();
  w.raw_values(100'000, kMaxIntChars, [](char* p, std::size_t i) { return write_u64(p, i); });
  const char* const run = w.text().data();
  for (int k = 0; k < 40; ++k) w.string(std::string(100, 'x'));
  w.end_array();
  EXPECT_EQ(w.text().data(), run);
  EXPECT_TRUE(w.text().starts_with("[0,1,2,"));
}

}  // namespace
}  // namespace vsci::json
