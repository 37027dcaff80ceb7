// Command dispatch: parse failures, the "cmd" member, the version answer,
// the error answer's exact text, and the commands the text reader reads.
#include <gtest/gtest.h>

#include <string>

#include "harness/command_reader.h"
#include "harness/envelopes.h"
#include "harness/session.h"
#include "harness/session_error.h"

namespace vsci {
namespace {

std::string answer(std::string_view text) { return Session::command(text); }
std::string error_of(std::string_view message) { return "{\"error\":\"" + std::string(message) + "\",\"ok\":false}"; }

TEST(SessionDispatch, VersionAnswer) {
  EXPECT_EQ(answer(R"({"cmd":"version"})"), R"({"version":"0.2.0"})");
  EXPECT_EQ(answer(R"({"cmd":"version","x":1})"), R"({"version":"0.2.0"})");
  EXPECT_EQ(answer(" \n{ \"cmd\" : \"version\" }\r\n\t "), R"({"version":"0.2.0"})");
  // The last of a repeated member counts.
  EXPECT_EQ(answer(R"({"cmd":"list","cmd":"version"})"), R"({"version":"0.2.0"})");
  EXPECT_EQ(answer(R"({"cmd":"ver\u0073ion"})"), R"({"version":"0.2.0"})");
  EXPECT_EQ(Session::version(), "0.2.0");
}

TEST(SessionDispatch, ParseFailuresAreJsonErrorsWithPositions) {
  EXPECT_EQ(answer(""), error_of("json error: EOF while parsing a value at line 1 column 0"));
  EXPECT_EQ(answer(R"({"cmd":"version"} x)"), error_of("json error: trailing characters at line 1 column 19"));
  EXPECT_EQ(answer(std::string("{\"cmd\":\"version\"}\0", 18)), error_of("json error: trailing characters at line 1 column 18"));
}

TEST(SessionDispatch, CmdMustBeAStringMemberOfAnObject) {
  for (const char* text : {R"({"cmd":5})", "{}", "[]", R"("version")", R"({"command":"list"})", "null",
                           R"({"cmd":null})", R"({"cmd":["version"]})", "17"}) {
    EXPECT_EQ(answer(text), error_of("bad spec: missing cmd")) << text;
  }
}

TEST(SessionDispatch, UnknownCommandsAreNamedAsReceived) {
  EXPECT_EQ(answer(R"({"cmd":"Version"})"), error_of("bad spec: unknown cmd: Version"));
  EXPECT_EQ(answer(R"({"cmd":""})"), error_of("bad spec: unknown cmd: "));
  EXPECT_EQ(answer(R"({"cmd":"version "})"), error_of("bad spec: unknown cmd: version "));
  // The name goes back through the writer's escaping.
  EXPECT_EQ(answer(R"({"cmd":"a\"b\\c\nd\u0001"})"), error_of(R"(bad spec: unknown cmd: a\"b\\c\nd\u0001)"));
  EXPECT_EQ(answer(R"({"cmd":"\u00e9"})"), error_of("bad spec: unknown cmd: \xc3\xa9"));
}

TEST(SessionDispatch, RunTestReadsItsEnvelope) {
  EXPECT_EQ(answer(R"({"cmd":"run_test"})"), error_of("json error: missing field `test`"));
  EXPECT_EQ(answer(R"({"cmd":"run_test","test":{"id":"a","strategy":{},"dataset_ref":"d"}})"),
            error_of("data error: missing dataset: d"));
}

TEST(SessionDispatch, ListAndSuiteReadTheirEnvelopes) {
  EXPECT_EQ(answer(R"({"cmd":"list"})"), error_of("json error: missing field `tests`"));
  EXPECT_EQ(answer(R"({"cmd":"run_suite"})"), error_of("json error: missing field `tests`"));
  EXPECT_EQ(answer(R"({"cmd":"list","tests":[]})"), R"({"ids":[]})");
  EXPECT_EQ(answer(R"({"cmd":"run_suite","tests":[]})"), R"({"results":[],"passed":0,"failed":0})");
  // Every test is read in full; the data member is not read at all.
  EXPECT_EQ(answer(R"({"cmd":"list","data":5,"tests":[{"id":"a","strategy":{}}]})"),
            error_of("json error: missing field `dataset_ref`"));
  EXPECT_EQ(answer(R"({"cmd":"list","data":5,"tests":[{"id":"b","strategy":0,"dataset_ref":""},["a",0,""]]})"),
            R"({"ids":["a","b"]})");
  // A suite without data: every test fails with its missing dataset.
  EXPECT_EQ(answer(R"({"cmd":"run_suite","tests":[{"id":"t","strategy":{},"dataset_ref":"d1"}]})"),
            R"({"results":[{"id":"t","passed":false,"error":"data error: missing dataset: d1","diff":[],)"
            R"("property_results":[],"fuzz_failures":[]}],"passed":0,"failed":1})");
}

// A command laid out as `layout` says: its one test, in a list when the layout
// holds many, and a dataset "d" of eight candles with `bad_candle` among them
// when it is given.
std::string laid_out(std::string_view name, EnvelopeLayout layout, const std::string& expected,
                     const std::string& bad_candle = "", const std::string& dataset_ref = "d") {
  std::string test = R"({"id":"t","dataset_ref":")" + dataset_ref +
                     R"(","strategy":{"symbol":"S","timeframe":"1h","indicators":{"f":{"type":"Sma","params":[2]}},)"
                     R"("entry":{"gt":["f","f"]},"exit":{"lt":["f","f"]},"sizing":{"type":"fixed_qty","qty":1}},)"
                     R"("expected":)" + expected + "}";
  if (layout == EnvelopeLayout::TestsAndData) test = "[" + test + "]";
  std::string candles = "[";
  for (int i = 0; i < 8; ++i) {
    const std::string good = "[" + std::to_string(i * 60000) + ",10,12,9,11]";
    candles += (i ? "," : "") + (i == 5 && !bad_candle.empty() ? bad_candle : good);
  }
  return R"({"cmd":")" + std::string(name) + R"(",")" + std::string(tests_member(layout)) + R"(":)" + test +
         R"(,"data":{"d":)" + candles + "]}}";
}

// The text reader takes the commands the table lets it read, with the members
// the table's layout names, and no other; each answers through the text as
// through the tree: a good command, a refused candle, an expected text that
// does not parse (alone and beside a refused candle) and a missing dataset.
TEST(SessionTable, TheTextReaderReadsTheCommandsTheTableLetsIt) {
  std::vector<std::string_view> read_from_text;
  for (std::string_view name : {"version", "list", "bless", "run_test", "run_suite", "Run_test", "nope"}) {
    const auto layout = layout_read_from_text(name);
    if (!layout) {
      for (EnvelopeLayout shape : {EnvelopeLayout::TestAndData, EnvelopeLayout::TestsAndData}) {
        EXPECT_FALSE(read_envelope_from_text(laid_out(name, shape, "[1]"), layout_read_from_text)) << name;
      }
      continue;
    }
    read_from_text.push_back(name);
    ASSERT_TRUE(*layout == EnvelopeLayout::TestAndData || *layout == EnvelopeLayout::TestsAndData) << name;
    const std::string good = laid_out(name, *layout, R"({"m":[1,2]})");
    const auto read = read_envelope_from_text(good, layout_read_from_text);
    ASSERT_TRUE(read) << name;
    EXPECT_EQ(read->cmd, name);
    ASSERT_EQ(read->envelope.tests.size(), 1U) << name;
    ASSERT_EQ(read->envelope.data.size(), 1U) << name;
    EXPECT_EQ(read->envelope.data[0].second.size(), 8U) << name;
    // The tree finds the command and its members where the layout says.
    const std::string answer = Session::command(good);
    EXPECT_EQ(answer.find("unknown cmd"), std::string::npos) << answer;
    EXPECT_EQ(answer.find("missing field"), std::string::npos) << answer;
    for (const std::string& text :
         {good, laid_out(name, *layout, "[1]", "[1,2,3]"), laid_out(name, *layout, R"({"m":[1 2]})"),
          laid_out(name, *layout, R"({"m":01})", "[1,2,3]"), laid_out(name, *layout, "[1]", "", "x")}) {
      ASSERT_TRUE(read_envelope_from_text(text, layout_read_from_text)) << text;
      EXPECT_EQ(Session::command(text), command_from_tree(text)) << text;
    }
  }
  // The commands that carry candles are the ones worth reading from text.
  EXPECT_EQ(read_from_text, (std::vector<std::string_view>{"bless", "run_test", "run_suite"}));
}

TEST(SessionErrorText, VariantPrefixes) {
  EXPECT_EQ(SessionError::json(json::Error::missing_field("test")).to_string(), "json error: missing field `test`");
  EXPECT_EQ(SessionError::json(json::Error{"expected value", 3, 7}).to_string(),
            "json error: expected value at line 3 column 7");
  EXPECT_EQ(SessionError::bad_spec("missing cmd").to_string(), "bad spec: missing cmd");
  EXPECT_EQ(SessionError::data("missing dataset: d").to_string(), "data error: missing dataset: d");
  EXPECT_EQ(SessionError::backtest("no candles").to_string(), "backtest error: no candles");
  EXPECT_EQ(error_answer(SessionError::data("tab\there")), R"({"error":"data error: tab\there","ok":false})");
}

}  // namespace
}  // namespace vsci
