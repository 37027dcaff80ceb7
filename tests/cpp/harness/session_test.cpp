// Command dispatch: parse failures, the "cmd" member, the version answer and
// the error answer's exact text.
#include <gtest/gtest.h>

#include <string>

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
