// Every syntax message of the tokenizer, each at the position a reader of the
// text would point to by hand: the offending byte, the last byte of a token, or
// the end of input.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "json/reader.h"
#include "json/writer.h"

namespace vsci::json {
namespace {

std::string parse_error(std::string_view text) {
  auto v = parse(text);
  return v ? std::string("<ok>") : v.error().to_string();
}

TEST(JsonParseErrors, EndOfInputCountsTheBytesOfTheLastLine) {
  EXPECT_EQ(parse_error(""), "EOF while parsing a value at line 1 column 0");
  EXPECT_EQ(parse_error("   "), "EOF while parsing a value at line 1 column 3");
  EXPECT_EQ(parse_error(" \n\t"), "EOF while parsing a value at line 2 column 1");
  EXPECT_EQ(parse_error("[1,2"), "EOF while parsing a list at line 1 column 4");
  EXPECT_EQ(parse_error("["), "EOF while parsing a list at line 1 column 1");
  EXPECT_EQ(parse_error("[1,\n  "), "EOF while parsing a value at line 2 column 2");
  EXPECT_EQ(parse_error("{\"a\":1"), "EOF while parsing an object at line 1 column 6");
  EXPECT_EQ(parse_error("{\n"), "EOF while parsing an object at line 2 column 0");
  EXPECT_EQ(parse_error("{\"a\""), "EOF while parsing an object at line 1 column 4");
  EXPECT_EQ(parse_error("{\"a\":1,"), "EOF while parsing a value at line 1 column 7");
  EXPECT_EQ(parse_error("{\"a\":"), "EOF while parsing a value at line 1 column 5");
  EXPECT_EQ(parse_error("\"abc"), "EOF while parsing a string at line 1 column 4");
  EXPECT_EQ(parse_error("\"ab\\"), "EOF while parsing a string at line 1 column 4");
  EXPECT_EQ(parse_error("\"\\u12\""), "EOF while parsing a string at line 1 column 6");
  EXPECT_EQ(parse_error("\"\\uD83D"), "EOF while parsing a string at line 1 column 7");
  EXPECT_EQ(parse_error("tru"), "EOF while parsing a value at line 1 column 3");
  EXPECT_EQ(parse_error("-"), "EOF while parsing a value at line 1 column 1");
  EXPECT_EQ(parse_error("1."), "EOF while parsing a value at line 1 column 2");
  EXPECT_EQ(parse_error("1e+"), "EOF while parsing a value at line 1 column 3");
}

TEST(JsonParseErrors, StructureMessagesPointAtTheOffendingByte) {
  EXPECT_EQ(parse_error("{\"a\" 1}"), "expected `:` at line 1 column 6");
  EXPECT_EQ(parse_error("[1 2]"), "expected `,` or `]` at line 1 column 4");
  EXPECT_EQ(parse_error("{\"a\":1 \"b\":2}"), "expected `,` or `}` at line 1 column 8");
  EXPECT_EQ(parse_error("{1:2}"), "key must be a string at line 1 column 2");
  EXPECT_EQ(parse_error("{\"a\":1, 2}"), "key must be a string at line 1 column 9");
  EXPECT_EQ(parse_error("[1,]"), "trailing comma at line 1 column 4");
  EXPECT_EQ(parse_error("{\"a\":1,\n }"), "trailing comma at line 2 column 2");
  EXPECT_EQ(parse_error("1 2"), "trailing characters at line 1 column 3");
  EXPECT_EQ(parse_error("{\"cmd\":\"version\"} x"), "trailing characters at line 1 column 19");
  EXPECT_EQ(parse_error("[\n1,\n  x]"), "expected value at line 3 column 3");
}

TEST(JsonParseErrors, OnlyJsonValueGrammarIsAccepted) {
  for (const char* text : {"+1", ".5", "NaN", "Infinity", "'a'", "]", "}"}) {
    EXPECT_EQ(parse_error(text), "expected value at line 1 column 1") << text;
  }
  EXPECT_EQ(parse_error("[,1]"), "expected value at line 1 column 2");
  EXPECT_EQ(parse_error("trux"), "expected ident at line 1 column 4");
  EXPECT_EQ(parse_error("nulL"), "expected ident at line 1 column 4");
  EXPECT_EQ(parse_error("[fals]"), "expected ident at line 1 column 6");
  EXPECT_EQ(parse_error("01"), "invalid number at line 1 column 2");
  EXPECT_EQ(parse_error("-x"), "invalid number at line 1 column 2");
  EXPECT_EQ(parse_error("1.x"), "invalid number at line 1 column 3");
  EXPECT_EQ(parse_error("1.e5"), "invalid number at line 1 column 3");
  EXPECT_EQ(parse_error("1e+x"), "invalid number at line 1 column 4");
  EXPECT_EQ(parse_error("[-]"), "invalid number at line 1 column 3");
}

TEST(JsonParseErrors, NumbersBeyondTheDoubleRangeAreRefusedAtTheirLastDigit) {
  EXPECT_EQ(parse_error("1e400"), "number out of range at line 1 column 5");
  EXPECT_EQ(parse_error("[-1.5e309]"), "number out of range at line 1 column 9");
  EXPECT_EQ(parse_error(std::string(400, '9')), "number out of range at line 1 column 400");
  EXPECT_EQ(parse_error("1.7976931348623159e308"), "number out of range at line 1 column 22");
  // Tiny magnitudes are not out of range: they read as zero.
  EXPECT_EQ(parse_error("1e-400"), "<ok>");
}

TEST(JsonParseErrors, StringContentRules) {
  EXPECT_EQ(parse_error("\"\\x\""), "invalid escape at line 1 column 3");
  EXPECT_EQ(parse_error("\"\\u12G4\""), "invalid escape at line 1 column 6");
  EXPECT_EQ(parse_error("\"a\tb\""), "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3");
  EXPECT_EQ(parse_error(std::string("\"a\0b\"", 5)),
            "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3");
  // A raw line feed belongs to the line it ends.
  EXPECT_EQ(parse_error("[\"ab\ncd\"]"),
            "control character (\\u0000-\\u001F) found while parsing a string at line 2 column 0");
  // A trailing surrogate cannot stand first; a leading one needs a trailing one.
  EXPECT_EQ(parse_error("\"\\uDC00\""), "lone leading surrogate in hex escape at line 1 column 7");
  EXPECT_EQ(parse_error("\"\\uD800\\u0041\""), "lone leading surrogate in hex escape at line 1 column 13");
  EXPECT_EQ(parse_error("\"\\uD83D\""), "unexpected end of hex escape at line 1 column 8");
  EXPECT_EQ(parse_error("\"\\uD83D\\n\""), "unexpected end of hex escape at line 1 column 9");
  // Bytes that are not UTF-8 are reported once the string is closed.
  EXPECT_EQ(parse_error("\"a\xff\""), "invalid unicode code point at line 1 column 4");
  EXPECT_EQ(parse_error("[\"\xc3(xy\"]"), "invalid unicode code point at line 1 column 7");
  EXPECT_EQ(parse_error("\"\xed\xa0\x80\""), "invalid unicode code point at line 1 column 5");
  EXPECT_EQ(parse_error("\"\xe2\x82\xac \xf0\x9f\x98\x80\""), "<ok>");
}

TEST(JsonParseErrors, NestingStopsAtTheHundredTwentyEighthBracket) {
  EXPECT_EQ(parse_error(std::string(127, '[') + std::string(127, ']')), "<ok>");
  EXPECT_EQ(parse_error(std::string(128, '[') + std::string(128, ']')), "recursion limit exceeded at line 1 column 128");
  std::string objects;
  for (int i = 0; i < 127; ++i) objects += "{\"k\":";
  EXPECT_EQ(parse_error(objects + "1" + std::string(127, '}')), "<ok>");
  // Arrays and objects count together; the failing bracket is the 128th.
  std::string mixed;
  for (int i = 0; i < 64; ++i) mixed += "[{\"k\":";
  EXPECT_EQ(parse_error(mixed), "recursion limit exceeded at line 1 column " + std::to_string(63 * 6 + 2));
}

// The blank json.dumps puts after a comma reads as any other blank: the same
// value, or the same error at the same position, as with a tab in its place
// (a tab counts one column too). Hand-made faults and seeded mutants.
TEST(JsonParseErrors, ABlankAfterACommaReadsAsAnyOtherBlank) {
  const auto outcome = [](const std::string& text) {
    auto v = parse(text);
    return v ? write(*v) : v.error().to_string();
  };
  // Blanks after commas outside strings made tabs.
  const auto tabbed = [](std::string text) {
    bool in_string = false;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
      if (in_string && text[i] == '\\') ++i;
      else if (text[i] == '"') in_string = !in_string;
      else if (!in_string && text[i] == ',' && text[i + 1] == ' ') text[i + 1] = '\t';
    }
    return text;
  };
  std::vector<std::string> texts = {"[1, 2]", "[1, ]", "[1,  2]", "[1, ,2]", "[1, \n]", "[1, ", "[1, 2",
                                    R"({"a": 1, "b": 2})", R"({"a": 1, })", R"({"a": 1, 2})", R"({"a": 1, "b" 2})",
                                    R"({"a": 1, "b":})", R"({"a": 1, )", R"({"a": 1, "b)", R"({"a": 1, "\u0062": [3, {}]})",
                                    R"([{"a": [1, 2], "b": "x, y"}, "z"])", R"({"a": 1, "a": 2})"};
  const std::string doc = R"({"cmd": "run", "tests": [{"id": "a", "v": [1.5, -2, 3e2, null, true], "m": {"k": "x, y"}}, [], {}], "n": 0})";
  std::mt19937 rng(3);
  for (int i = 0; i < 300; ++i) {
    std::string m = doc;
    const std::size_t at = rng() % m.size();
    if (i % 3 == 0) m.erase(at, 1 + rng() % 3);
    else if (i % 3 == 1) m.insert(at, i % 2 ? ", " : ", ]");
    else m[at] = ",] \"1x"[rng() % 6];
    texts.push_back(m);
  }
  for (const std::string& text : texts) EXPECT_EQ(outcome(text), outcome(tabbed(text))) << text;
}

}  // namespace
}  // namespace vsci::json
