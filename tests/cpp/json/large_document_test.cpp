// Documents large and varied enough to exercise what small ones do not: the
// writer's buffer growth, containers sized from their predecessors, long
// arrays reserved from the text that remains, and strings whose special bytes
// fall at every offset of the word-wise scanner. Expectations are built
// independently, by plain string concatenation and by hand-made trees.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "json/number_format.h"
#include "json/reader.h"
#include "json/typed.h"
#include "json/writer.h"

namespace vsci::json {
namespace {

std::string in_quotes(const std::string& s) { return "\"" + s + "\""; }

TEST(JsonLargeDocuments, StreamingWriterMatchesConcatenationAcrossGrowth) {
  std::mt19937_64 rng(31);
  Writer w;
  std::string expected;
  w.begin_array();
  expected += "[";
  for (int i = 0; i < 60000; ++i) {
    if (i) expected += ",";
    w.begin_object();
    const std::string name = "k" + std::to_string(i % 13);
    w.key(name);
    const auto t = static_cast<std::int64_t>(rng() >> 2) - (std::int64_t{1} << 60);
    w.i64(t);
    w.key("x");
    const double x = static_cast<double>(rng() % 1000000) / 64.0;
    w.f64(x);
    w.key("s");
    w.string("a\"b\n");
    std::string xs;
    append_f64(xs, x);
    expected += "{" + in_quotes(name) + ":" + std::to_string(t) + ",\"x\":" + xs + ",\"s\":\"a\\\"b\\n\"}";
    w.end_object();
    // Looking at the text midway must not disturb what follows.
    if (i == 1000) {
      EXPECT_EQ(w.text(), expected);
    }
  }
  w.end_array();
  expected += "]";
  EXPECT_EQ(w.text().size(), expected.size());
  EXPECT_EQ(w.take(), expected);
}

TEST(JsonLargeDocuments, ReserveKeepsWhatWasWrittenAndEscapedNamesAndIntegerEdges) {
  Writer w;
  w.begin_object();
  w.key("a");
  w.u64(1);
  w.reserve(1 << 20);
  w.key("b");
  w.boolean(true);
  w.reserve(4);
  w.key("c");
  w.null();
  w.key("q\"\n");
  w.i64(-9223372036854775807 - 1);
  w.key("");
  w.u64(18446744073709551615ull);
  w.end_object();
  EXPECT_EQ(w.take(), R"({"a":1,"b":true,"c":null,"q\"\n":-9223372036854775808,"":18446744073709551615})");
}

TEST(JsonLargeDocuments, RowsOfRecordsParseAndWriteBack) {
  // Rows of six members, then rows of other sizes at the same depth, so that
  // sizes carried over from earlier containers are both right and wrong.
  std::string text = "{\"rows\":[";
  Value rows = Value::array();
  const int counts[] = {6, 6, 6, 2, 9, 0, 6, 70, 1, 6};
  for (int r = 0; r < 3000; ++r) {
    const int n = counts[r % 10];
    if (r) text += ",";
    text += "{";
    Value row = Value::object();
    for (int m = 0; m < n; ++m) {
      const std::string key = "m" + std::to_string(100 + m);
      text += (m ? "," : "") + in_quotes(key) + ":" + std::to_string(r * 100 + m);
      row.set(key, Value::u64(static_cast<std::uint64_t>(r * 100 + m)));
    }
    text += "}";
    rows.push_back(std::move(row));
  }
  text += "]}";
  Value expected = Value::object();
  expected.set("rows", std::move(rows));
  auto parsed = parse(text);
  ASSERT_TRUE(parsed.ok()) << parsed.error().to_string();
  EXPECT_EQ(*parsed, expected);
  EXPECT_EQ(write(*parsed), text);
}

TEST(JsonLargeDocuments, LongArraysOfUnevenElements) {
  // A long run of short elements, then long ones, then nested arrays: the
  // size the array was reserved at from its start no longer fits its end.
  std::string text = "[";
  Value expected = Value::array();
  for (int i = 0; i < 20000; ++i) {
    if (i) text += ",";
    if (i < 10000) {
      text += "1";
      expected.push_back(Value::u64(1));
    } else if (i < 15000) {
      const std::string s(static_cast<std::size_t>(i % 50), 'x');
      text += in_quotes(s);
      expected.push_back(Value::string(s));
    } else {
      text += "[" + std::to_string(i) + ",[]]";
      expected.push_back(Value::array({Value::u64(static_cast<std::uint64_t>(i)), Value::array()}));
    }
  }
  text += "]";
  auto parsed = parse(text);
  ASSERT_TRUE(parsed.ok()) << parsed.error().to_string();
  EXPECT_EQ(*parsed, expected);
  Reader r(text);
  EXPECT_TRUE(r.skip_value().ok());
  EXPECT_TRUE(r.finish().ok());
}

TEST(JsonLargeDocuments, SpecialBytesAtEveryOffsetOfAString) {
  // For strings of up to 20 bytes, one special byte at each position: the
  // decoded text, or the error at that byte's column.
  for (std::size_t len = 1; len <= 20; ++len) {
    for (std::size_t at = 0; at < len; ++at) {
      std::string body(len, 'a');
      const std::string col = std::to_string(at + 3);  // after `["` and the byte itself
      // An escape decodes.
      std::string escaped = body.substr(0, at) + "\\n" + body.substr(at + 1);
      auto v = parse("[" + in_quotes(escaped) + "]");
      ASSERT_TRUE(v.ok());
      EXPECT_EQ(v->as_array()[0].as_string(), body.substr(0, at) + "\n" + body.substr(at + 1));
      // A control byte fails where it stands.
      std::string control = body;
      control[at] = '\t';
      EXPECT_EQ(parse("[" + in_quotes(control) + "]").error().to_string(),
                "control character (\\u0000-\\u001F) found while parsing a string at line 1 column " + col);
      // Two-byte UTF-8 passes as it is; a lone continuation byte fails once
      // the string has closed.
      std::string accented = body.substr(0, at) + "\xc3\xa9" + body.substr(at + 1);
      v = parse("{" + in_quotes(accented) + ":" + in_quotes(accented) + "}");
      ASSERT_TRUE(v.ok());
      EXPECT_EQ(v->find(accented)->as_string(), accented);
      std::string broken = body;
      broken[at] = '\x80';
      EXPECT_EQ(parse("[" + in_quotes(broken) + "]").error().to_string(),
                "invalid unicode code point at line 1 column " + std::to_string(len + 3));
      // A quote ends the string early: the byte after it is out of place.
      std::string cut = body;
      cut[at] = '"';
      EXPECT_EQ(parse("[" + in_quotes(cut) + "]").error().to_string(),
                "expected `,` or `]` at line 1 column " + std::to_string(at + 4));
    }
    // Unterminated at the very end of the text.
    const std::string open = "[\"" + std::string(len, 'b');
    EXPECT_EQ(parse(open).error().to_string(), "EOF while parsing a string at line 1 column " + std::to_string(len + 2));
  }
}

TEST(JsonLargeDocuments, MemberSeparatorsInEveryLayout) {
  // The same members with whitespace in each place a separator allows it.
  const std::vector<std::string> texts = {
      R"({"a":1,"bb":[2,3],"c":{"d":null}})",
      R"({ "a" : 1 , "bb" : [ 2 , 3 ] , "c" : { "d" : null } })",
      "{\n\t\"a\"\n:1\r\n,\"bb\":[2\n,3],\"c\":{\"d\"  :null}\n}",
  };
  const Value expected = Value::object(
      {{"a", Value::u64(1)}, {"bb", Value::array({Value::u64(2), Value::u64(3)})}, {"c", Value::object({{"d", Value()}})}});
  for (const std::string& t : texts) {
    auto v = parse(t);
    ASSERT_TRUE(v.ok()) << t << ": " << v.error().to_string();
    EXPECT_EQ(*v, expected) << t;
  }
  EXPECT_EQ(parse(R"({"a":1,})").error().to_string(), "trailing comma at line 1 column 8");
  EXPECT_EQ(parse(R"({"a":1 ,"b"})").error().to_string(), "expected `:` at line 1 column 12");
  EXPECT_EQ(parse(R"({"a" :1,"b":2,"a":3})").value(), Value::object({{"a", Value::u64(3)}, {"b", Value::u64(2)}}));
  EXPECT_EQ(parse("[1,\n]").error().to_string(), "trailing comma at line 2 column 1");
  EXPECT_EQ(parse("[1 ,2,,3]").error().to_string(), "expected value at line 1 column 7");
}

}  // namespace
}  // namespace vsci::json
