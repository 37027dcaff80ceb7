// Commands read straight from their text answer exactly as through the tree
// of the whole command: which error wins, repeated members, nesting, and
// mutants of commands that carry candles and expected documents; each as
// given and laid out as json.dumps lays it out.
#include "harness/command_reader.h"

#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "harness/compare.h"
#include "harness/flat_document.h"
#include "harness/run_one.h"
#include "harness/session.h"
#include "harness/session_error.h"
#include "json/reader.h"
#include "support/json_spacing.h"
#include "util/interrupt.h"

namespace vsci {
namespace {

using testing::respaced;
using testing::Spacing;

// The head of a long text, for a failure's message.
std::string head(const std::string& text) { return text.substr(0, 400); }

// The text as given, and laid out again as json.dumps lays it out (default
// separators, and indent=2): the text reader answers each as the tree does,
// byte for byte, errors and their positions included.
void expect_tree_answer(const std::string& text) {
  for (const std::string& t : {text, respaced(text, Spacing::Separators), respaced(text, Spacing::Indent)}) {
    EXPECT_EQ(Session::command(t), command_from_tree(t)) << head(t);
  }
}

// The same for the text as given and in one layout.
void expect_tree_answer(const std::string& text, Spacing layout) {
  for (const std::string& t : {text, respaced(text, layout)}) EXPECT_EQ(Session::command(t), command_from_tree(t)) << head(t);
}

const std::string kSmaCrossStrategy =
    R"({"symbol":"S","timeframe":"1h","indicators":{"f":{"type":"Sma","params":[2]},"s":{"type":"Sma","params":[4]}},)"
    R"("entry":{"gt":["f","s"]},"exit":{"lt":["f","s"]},"sizing":{"type":"fixed_qty","qty":1}})";

std::string candles(int n, int shift) {
  std::string out = "[";
  for (int i = 0; i < n; ++i) {
    const int p = 100 + (i * 7 + shift) % 13;
    out += (i ? "," : "") + std::string("[") + std::to_string(i * 3600000) + "," + std::to_string(p) + "," +
           std::to_string(p + 2) + "," + std::to_string(p - 2) + "," + std::to_string(p + 1) + ",5]";
  }
  return out + "]";
}

std::string test_text(const std::string& id, const std::string& set, const std::string& expected) {
  return R"({"id":")" + id + R"(","dataset_ref":")" + set + R"(","strategy":)" + kSmaCrossStrategy +
         R"(,"property_checks":[{"kind":"monotone_equity"},{"kind":"min_trades_ge","value":1}])" +
         (expected.empty() ? "" : R"(,"expected":)" + expected) + "}";
}

// The output bless stores for a test, as the expected document of another.
std::string blessed_expected(const std::string& set_text) {
  const std::string answer =
      Session::command(R"({"cmd":"bless","test":)" + test_text("b", "d", "") + R"(,"data":{"d":)" + set_text + "}}");
  const std::size_t at = answer.find(R"("expected":)");
  const std::size_t end = answer.find(R"(,"tolerances")");
  if (at == std::string::npos || end == std::string::npos) throw std::runtime_error("bless failed: " + answer);
  return answer.substr(at + 11, end - at - 11);
}

std::string parse_error(const std::string& text) { return error_answer(SessionError::json(json::parse(text).error())); }

TEST(CommandReader, AnErrorInsideAnExpectedDocumentWinsOverEverything) {
  const std::string bad = R"({"metrics":{"pnl":[1,2,{"x":1e400}]}})";
  // The dataset is missing and the backtest would fail: the text's own error still wins.
  const std::string run = R"({"cmd":"run_test","test":)" + test_text("t", "nope", bad) + "}";
  EXPECT_EQ(Session::command(run), parse_error(run));
  expect_tree_answer(run);
  const std::string suite = R"({"cmd":"run_suite","tests":[)" + test_text("a", "d", "[1]") + "," +
                            test_text("b", "d", bad) + R"(],"data":{"d":)" + candles(30, 0) + "}}";
  EXPECT_EQ(Session::command(suite), parse_error(suite));
  expect_tree_answer(suite);
  const std::string bless = R"({"cmd":"bless","data":{"d":)" + candles(30, 0) + R"(},"test":)" + test_text("t", "d", bad) + "}";
  EXPECT_EQ(Session::command(bless), parse_error(bless));
  expect_tree_answer(bless);
  // Only a whole `null` means no expected document.
  for (const char* almost : {"nul", "nulL", "null1", "n\xffll"}) {
    const std::string text = R"({"cmd":"run_suite","tests":[)" + test_text("a", "d", almost) + R"(],"data":{"d":[]}})";
    EXPECT_EQ(Session::command(text), parse_error(text)) << almost;
    expect_tree_answer(text);
  }
}

TEST(CommandReader, DatasetsFailInNameOrderBeforeTests) {
  const std::string text = R"({"cmd":"run_suite","tests":[{"id":"x"}],"data":{"b":[[1,2,3,4]],"a":[{"time":1.5}]}})";
  EXPECT_EQ(Session::command(text),
            R"({"error":"json error: invalid type: floating point `1.5`, expected i64","ok":false})");
  const std::string fixed_a = R"({"cmd":"run_suite","tests":[{"id":"x"}],"data":{"b":[[1,2,3,4]],"a":[]}})";
  EXPECT_EQ(Session::command(fixed_a),
            R"({"error":"json error: invalid length 4, expected struct Candle with 6 elements","ok":false})");
  const std::string no_close = R"({"cmd":"run_test","test":)" + test_text("x", "b", "") +
                               R"(,"data":{"a":[{"time":1,"open":1,"high":1,"low":1}],"b":[]}})";
  EXPECT_EQ(Session::command(no_close), R"({"error":"json error: missing field `close`","ok":false})");
  const std::string seven = R"({"cmd":"bless","test":)" + test_text("x", "b", "") + R"(,"data":{"a":[[1,1,1,1,1,1,1]]}})";
  EXPECT_EQ(Session::command(seven),
            R"({"error":"json error: invalid length 7, expected fewer elements in array","ok":false})");
  const std::string tests_bad = R"({"cmd":"run_suite","tests":[{"id":"x"}],"data":{"a":[]}})";
  EXPECT_EQ(Session::command(tests_bad), R"({"error":"json error: missing field `strategy`","ok":false})");
  for (const std::string& t : {text, fixed_a, no_close, seven, tests_bad}) expect_tree_answer(t);
}

TEST(CommandReader, RepeatedMembersKeepTheirLastValue) {
  const std::string set = candles(30, 0);
  const std::string twice = R"({"cmd":"run_test","test":)" + test_text("first", "d", "") + R"(,"data":{"d":[]},"test":)" +
                            test_text("second", "d", "") + R"(,"data":{"d":)" + set + "}}";
  const std::string once = R"({"cmd":"run_test","test":)" + test_text("second", "d", "") + R"(,"data":{"d":)" + set + "}}";
  EXPECT_EQ(Session::command(twice), Session::command(once));
  const std::string cmd_last = R"({"data":{"d":)" + set + R"(},"cmd":"bless","test":)" + test_text("t", "d", "[1]") +
                               R"(,"cmd":"run_test"})";
  EXPECT_NE(Session::command(cmd_last).find(R"("passed":)"), std::string::npos);
  // A dataset named twice keeps its last candles.
  const std::string sets = R"({"cmd":"run_test","test":)" + test_text("second", "d", "") + R"(,"data":{"d":[],"d":)" + set + "}}";
  EXPECT_EQ(Session::command(sets), Session::command(once));
  for (const std::string& t : {twice, once, cmd_last, sets}) expect_tree_answer(t);
}

TEST(CommandReader, NestingIsCountedFromTheTopOfTheCommand) {
  for (const int levels : {124, 125, 126}) {
    const std::string deep = std::string(static_cast<std::size_t>(levels), '[') + std::string(static_cast<std::size_t>(levels), ']');
    const std::string text = R"({"cmd":"run_test","test":)" + test_text("t", "d", deep) + R"(,"data":{"d":)" + candles(20, 0) + "}}";
    // 125 levels inside the test's object reach the limit of 127 exactly.
    if (levels <= 125) EXPECT_NE(Session::command(text).find(R"("passed":false)"), std::string::npos) << levels;
    else EXPECT_EQ(Session::command(text), parse_error(text));
    expect_tree_answer(text);
  }
}

// A list of candles long enough to be read in pieces on the pool: the same
// candles, and the same error wherever a piece goes wrong.
TEST(CommandReader, LongCandleListsReadInPiecesAnswerAsThroughTheTree) {
  std::string set = "[";
  for (int i = 0; i < 100000; ++i) {
    const int p = 100 + (i * 7) % 13;
    set += (i ? ", " : "") + std::string(R"({"time":)") + std::to_string(i * 60000LL) + R"(,"open":)" + std::to_string(p) +
           R"(.25,"high":)" + std::to_string(p + 2) + R"(,"low":)" + std::to_string(p - 2) + R"(,"close":)" +
           std::to_string(p + 1) + R"(.5,"volume":12.5,"note":[1,{"x":"y"}]})";
  }
  set += "]";
  ASSERT_GT(set.size(), std::size_t{9} << 20);  // more than two pieces
  const auto command = [&](const std::string& s) {
    return R"({"cmd":"run_test","test":)" + test_text("t", "d", "") + R"(,"data":{"d":)" + s + "}}";
  };
  const std::string good = command(set);
  expect_tree_answer(good);
  const std::size_t late = set.size() - 1000;
  const std::size_t candle = set.find("{\"time\"", late);
  std::string broken[] = {set, set, set, set, set};
  broken[0].replace(set.find("\"close\":", late), 7, "\"c1ose\"");  // a missing close in the last piece
  broken[1].insert(candle, ",");                                        // an empty element
  broken[2].insert(set.size() - 1, ",");                                // a trailing comma
  broken[3].replace(set.find("12.5", late), 4, "1e999");                // out of range
  broken[4].insert(candle - 2, "]");                                    // closed early
  for (const std::string& b : broken) expect_tree_answer(command(b));
}

// Compact candles, as tools write them, are cut into pieces by position; a
// piece that does not read so (a fault, blanks, a cut inside a string) hands
// the rest of the list to the serial reader, and the answer stays the tree's.
TEST(CommandReader, CompactListsCutByPositionAnswerAsThroughTheTree) {
  std::string set = "[";
  for (int i = 0; i < 60000; ++i) {
    const int p = 100 + (i * 7) % 13;
    const bool object = i % 2 == 0;
    const std::string t = std::to_string(i * 60000LL);
    set += (i ? "," : "") + (object ? R"({"time":)" + t + R"(,"open":)" + std::to_string(p) + R"(.25,"high":)" +
                                          std::to_string(p + 2) + R"(,"low":)" + std::to_string(p - 2) +
                                          R"(,"close":)" + std::to_string(p + 1) + R"(.5,"volume":12.5})"
                                    : "[" + t + "," + std::to_string(p) + ".25," + std::to_string(p + 2) + "," +
                                          std::to_string(p - 2) + "," + std::to_string(p + 1) + ".5]");
  }
  set += "]";
  ASSERT_GT(set.size(), std::size_t{3} << 20);  // several pieces
  const auto command = [&](const std::string& s) {
    return R"({"cmd":"bless","test":)" + test_text("t", "d", "") + R"(,"data":{"d":)" + s + R"(,"e":)" + s + "}}";
  };
  const std::string good = command(set);
  const std::string answer = Session::command(good);
  EXPECT_EQ(answer, command_from_tree(good));
  expect_tree_answer(good);
  const std::size_t late = set.size() - 5000;
  const std::size_t candle = set.find("{\"time\"", late);
  std::string broken[] = {set, set, set, set};
  broken[0].replace(set.find("{\"time\":", late) + 8, 0, "1.5e0,\"t\":");  // a time with an exponent
  broken[1].replace(set.find("12.5", late), 4, "1e999");                  // out of range
  broken[2].insert(candle - 1, ",");                                      // an empty element
  broken[3].erase(set.size() - 1);                                        // never closed
  for (const std::string& b : broken) expect_tree_answer(command(b));
  // Blanks late in the list, and a candle early on with a member no compact
  // form has (a string that looks like the joint of two candles): the same
  // candles, so the same answer.
  std::string blanks = set;
  blanks.insert(candle - 1, " \n ");
  std::string joint = set;
  joint.insert(joint.find("\"volume\":12.5") , R"("note":"},{\"time\":1,",)");
  for (const std::string& same : {blanks, joint}) {
    EXPECT_EQ(Session::command(command(same)), answer);
    EXPECT_EQ(command_from_tree(command(same)), answer);
  }
}

// A candle the tree refuses is answered from the text reader, with the
// tree's error, once the rest of the text is known to parse: the datasets are
// read before the tests, in name order, each up to its first failing candle.
// Seeded mutants place bad candles in several datasets, beside repeated
// names, broken tests and broken expected documents.
TEST(CommandReader, RefusedCandlesAnswerAsTheTreeWould) {
  const std::string bad_candles[] = {
      R"({"time":1.5,"open":1,"high":2,"low":0,"close":1})", R"({"time":1,"open":1,"high":2,"low":0})",
      R"({"time":1,"open":1,"high":2,"low":0,"close":1,"volume":null})", R"([1,2,3,4])", R"([1,2,3,4,5,6,7])",
      R"({"time":1,"open":"1","high":2,"low":0,"close":1})", R"({"time":1,"open":1,"open":2,"high":2,"low":0,"close":1})",
      R"(5)", R"({"time":1,"open":1,"high":2,"low":0,"close":1e999})", R"({"time":1,"open":1,"high":2,"low":0,"close":[1})",
      R"({"time":18446744073709551615,"open":1,"high":2,"low":0,"close":1})"};
  const std::string names[] = {"a", "b", "c"};
  std::mt19937 rng(37);
  int refused = 0;
  for (int round = 0; round < 120; ++round) {
    std::string data = "{";
    for (int d = 0; d < 3; ++d) {
      std::string list = candles(8, d);
      if (rng() % 2 == 0) {
        // A bad candle in place of one of the list's.
        const std::size_t at = list.find(",[", 1 + rng() % (list.size() - 2));
        const std::size_t end = list.find(']', at) + 1;
        if (at != std::string::npos) list.replace(at + 1, end - at - 1, bad_candles[rng() % std::size(bad_candles)]);
      }
      const std::string& name = names[rng() % 3 == 0 ? d : (2 - d)];
      data += (d ? ",\"" : "\"") + name + "\":" + list;
    }
    data += "}";
    std::string test = test_text("t", names[rng() % 3], rng() % 5 == 0 ? "[1,}" : "");
    if (rng() % 6 == 0) test.replace(test.find("\"id\""), 4, "\"id\":5,\"x\"");
    const std::string text = rng() % 2 ? R"({"cmd":"bless","test":)" + test + R"(,"data":)" + data + "}"
                                       : R"({"cmd":"run_suite","data":)" + data + R"(,"tests":[)" + test + "]}";
    expect_tree_answer(text);
    const auto read = read_envelope_from_text(text, layout_read_from_text);
    refused += read && read->refused;
  }
  EXPECT_GT(refused, 10);  // the text reader answered many of them itself
}

// An expected document that is the output itself, compact or with blanks,
// compares equal; a blank inside a token, a negative tolerance or a changed
// number still answer as through the tree.
TEST(CommandReader, UnchangedOutputsCompareEqual) {
  const std::string set = candles(40, 3);
  const std::string expected = blessed_expected(set);
  std::string spaced;
  for (const char c : expected) {
    spaced += c;
    if (c == ',' || c == ':' || c == '[' || c == '{') spaced += " \n";
  }
  const auto command = [&](const std::string& e, const std::string& tolerances) {
    return R"({"cmd":"run_test","data":{"d":)" + set + R"(},"test":)" +
           test_text("t", "d", e + R"(,"tolerances":)" + tolerances) + "}";
  };
  for (const std::string& e : {expected, spaced}) {
    const std::string answer = Session::command(command(e, "{}"));
    EXPECT_NE(answer.find(R"("diff":[],)"), std::string::npos) << answer;
    EXPECT_EQ(answer, command_from_tree(command(e, "{}")));
    expect_tree_answer(command(e, "{}"));
  }
  std::string split = expected;
  split.insert(split.find("10000.0") + 3, " ");
  std::string moved = expected;
  moved.replace(moved.find("10000.0"), 7, "10000.5");
  const std::string cases[] = {command(split, "{}"), command(expected, R"({"*":{"kind":"abs","value":-1}})"),
                               command(expected, R"({"x":{"kind":"rel","value":-0.0}})"), command(moved, "{}")};
  for (const std::string& text : cases) expect_tree_answer(text);
  EXPECT_NE(Session::command(cases[1]).find(R"("kind":"mismatch")"), std::string::npos);
}

// Expected documents are found by their brackets, strings (with brackets and
// escaped quotes inside) masked out, in blocks and byte by byte: each is found
// exactly, wherever it ends.
TEST(CommandReader, ExpectedDocumentsAreFoundExactly) {
  std::mt19937_64 rng(9);
  // The first four strings hold no backslash.
  const char* const strings[] = {R"("]}")", R"("x")", R"("")", R"("{{[[ ]")", R"("[{\"]")", R"("a\\")", R"("\\\"}")"};
  for (int n = 0; n < 400; ++n) {
    const std::size_t kinds = n % 2 == 0 ? 4 : 7;
    std::string doc = "[";
    int depth = 1;
    for (int k = static_cast<int>(rng() % 60); k > 0; --k) {
      const int pick = static_cast<int>(rng() % 6);
      if (doc.back() != '[' && doc.back() != '{' && doc.back() != ',' && doc.back() != ':') doc += ',';
      if (doc.back() == '{') doc += R"("k":)";
      if (pick == 0 && depth < 20) {
        doc += '[';
        ++depth;
      } else if (pick == 1 && depth < 20) {
        doc += R"({"k":)";
        doc += strings[rng() % kinds];
        doc += '}';
      } else if (pick == 2) {
        doc += std::to_string(rng() % 100000) + ".5";
      } else {
        doc += strings[rng() % kinds];
      }
    }
    while (depth-- > 0) doc += ']';
    const std::string text = R"({"cmd":"run_suite","tests":[{"id":"a","dataset_ref":"d","strategy":{},"expected":)" + doc +
                             R"(,"fuzz":null}],"after":")" + std::string(rng() % 70, 'z') + R"("})";
    auto env = read_envelope_from_text(text, layout_read_from_text);
    ASSERT_TRUE(env) << text;
    EXPECT_EQ(env->envelope.tests[0].expected.text(), doc);
  }
}

// The example suite, and commands whose long candle list (every candle in
// one compact form, so the list is cut into pieces when pieces pay) is laid
// out as json.dumps lays it out, with faults late in the list: each answers
// as through the tree.
TEST(CommandReader, TextsAsJsonDumpsLaysThemOutAnswerAsThroughTheTree) {
  std::ifstream in(std::string(VSCI_SOURCE_DIR) + "/examples/suite.json", std::ios::binary);
  std::ostringstream example;
  example << in.rdbuf();
  ASSERT_GT(example.str().size(), 100U);
  expect_tree_answer(example.str());
  const auto candle = [](int i, int form) {
    const std::string t = std::to_string(i * 60000LL);
    const std::string p = std::to_string(100 + (i * 7) % 13);
    if (form == 0) return R"({"time":)" + t + R"(,"open":)" + p + R"(.25,"high":)" + p + R"(.75,"low":)" + p + R"(,"close":)" + p + R"(.5,"volume":12.5})";
    if (form == 1) return R"({"close":)" + p + R"(.5,"high":)" + p + R"(.75,"low":)" + p + R"(,"open":)" + p + R"(.25,"time":)" + t + R"(,"volume":3})";
    return "[" + t + "," + p + ".25," + p + ".75," + p + "," + p + ".5]";
  };
  for (int form = 0; form < 3; ++form) {
    std::string set = "[";
    for (int i = 0; i < (form == 2 ? 80000 : 50000); ++i) set += (i ? "," : "") + candle(i, form);
    set += "]";
    const auto command = [&](const std::string& s) {
      return R"({"cmd":"bless","test":)" + test_text("t", "d", "") + R"(,"data":{"d":)" + s + "}}";
    };
    const std::string good = command(set);
    for (const Spacing layout : {Spacing::Separators, Spacing::Indent}) {
      ASSERT_GT(respaced(set, layout).size(), std::size_t{3} << 20);  // several pieces
      // The text reader takes the command (the tree would answer otherwise).
      ASSERT_TRUE(read_envelope_from_text(respaced(good, layout), layout_read_from_text)) << form;
    }
    expect_tree_answer(good);
    const std::size_t late = set.size() - 3000;
    std::string broken[] = {set, set, set};
    broken[0].replace(set.find(".5", late), 2, "e999");                                  // out of range
    broken[1].insert(set.find(form == 2 ? ",[" : ",{", late) + 1, form == 2 ? "[1]," : "{},");  // a candle short of members
    broken[2].insert(set.size() - 1, ",");                                                   // a trailing comma
    for (const std::string& b : broken) expect_tree_answer(command(b));
  }
}

// Candles in every form read to the same values as the tree's reading.
TEST(CommandReader, CandlesReadAsTheTreeReadsThem) {
  const char* const lists[] = {
      R"([{"time":1,"open":2.5,"high":3,"low":-0.0,"close":1e3,"volume":7},{"time":-2,"open":1,"high":2,"low":0.5,"close":1}])",
      R"([[1,2.5,3,-0,1e3,7],[-2,1,2,0.5,1],[ 3 , 4 , 5 , 6 , 7 ]])",
      R"([{"close":1,"low":2,"high":3,"open":4,"time":5},{"time":6,"open":1,"high":2,"low":3,"close":4,"volume":5,"x":[1]}])",
      R"([{ "time":7,"open":1,"high":2,"low":3,"close":4},{"time":8, "open":18446744073709551615,"high":1.5e-7,"low":3,"close":4}])",
  };
  for (const char* list : lists) {
    const std::string text = R"({"cmd":"run_test","test":{"id":"a","dataset_ref":"d","strategy":{}},"data":{"d":)" +
                             std::string(list) + "}}";
    auto env = read_envelope_from_text(text, layout_read_from_text);
    ASSERT_TRUE(env) << list;
    auto tree = json::parse(text);
    auto want = read_data_map(*tree->find("data"));
    ASSERT_TRUE(want.ok());
    ASSERT_EQ(env->envelope.data.size(), 1U);
    const std::vector<Candle>& got = env->envelope.data[0].second;
    const std::vector<Candle>& ref = (*want)[0].second;
    ASSERT_EQ(got.size(), ref.size()) << list;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].time, ref[i].time) << list;
      const double g[] = {got[i].open, got[i].high, got[i].low, got[i].close, got[i].volume};
      const double r[] = {ref[i].open, ref[i].high, ref[i].low, ref[i].close, ref[i].volume};
      for (int k = 0; k < 5; ++k) EXPECT_EQ(std::bit_cast<std::uint64_t>(g[k]), std::bit_cast<std::uint64_t>(r[k])) << list;
    }
  }
}

TEST(CommandReader, DeclinesWhatTheTreeMustRead) {
  EXPECT_FALSE(read_envelope_from_text(R"({"cmd":"list","tests":[]})", layout_read_from_text));
  EXPECT_FALSE(read_envelope_from_text(R"({"tests":[],"cmd":"run_suite"})", layout_read_from_text));
  EXPECT_FALSE(read_envelope_from_text(R"({"cmd":"run_suite","tests":[],"tests":[]})", layout_read_from_text));
  EXPECT_FALSE(read_envelope_from_text(R"({"cmd":"run_suite","tests":[{"id":1}]})", layout_read_from_text));
  // The envelope keeps views into the command text, which must outlive it.
  const std::string text = R"({"cmd":"run_suite","x":[1,{"y":null}],"tests":[)" + test_text("a", "d", " {\"k\":[1]} ") + "]}";
  auto env = read_envelope_from_text(text, layout_read_from_text);
  ASSERT_TRUE(env);
  ASSERT_EQ(env->envelope.tests.size(), 1U);
  EXPECT_EQ(env->envelope.tests[0].expected.text(), R"({"k":[1]})");
  EXPECT_EQ(env->envelope.tests[0].expected.tree(), nullptr);
}

// Byte-level and splice mutants of commands with candles and expected
// documents: the text reading must give the tree's answer, whatever it is.
TEST(CommandReader, MutantsAnswerAsThroughTheTree) {
  const std::string set_a = candles(24, 0);
  const std::string set_b = candles(14, 5);
  const std::string expected = blessed_expected(set_a);
  const std::string seeds[] = {
      R"({"cmd":"run_test","test":)" + test_text("t", "a", expected) + R"(,"data":{"a":)" + set_a + "}}",
      R"({"cmd":"bless","data":{"a":)" + set_a + R"(},"test":)" + test_text("t", "a", expected) + "}",
      R"({"cmd":"run_suite","tests":[)" + test_text("y", "a", expected) + "," + test_text("x", "b", expected) + "," +
          test_text("z", "b", "null") + R"(],"data":{"b":)" + set_b + R"(,"a":)" + set_a + "}}",
  };
  const char* const splices[] = {"1e400", "-0", "null", "[]", "{}", "\"\"", "1.5", "\"d\"", "[[[", "}", ",", "\"a\":1,"};
  std::mt19937_64 rng(5);
  for (int i = 0; i < 360; ++i) {
    std::string text = seeds[static_cast<std::size_t>(i) % 3];
    for (int edits = 1 + static_cast<int>(rng() % 2); edits > 0; --edits) {
      const std::size_t at = rng() % text.size();
      switch (rng() % 3) {
        case 0: text.insert(at, splices[rng() % (sizeof splices / sizeof splices[0])]); break;
        case 1: text.erase(at, 1 + rng() % 3); break;
        default: text[at] = static_cast<char>(rng()); break;
      }
    }
    expect_tree_answer(text);
  }
  for (const std::string& seed : seeds) expect_tree_answer(seed);
}

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

// Paths and value bits of every number, whichever way a document is given.
std::vector<std::pair<std::string, std::uint64_t>> numbers_of(const FlatDocument& doc) {
  std::vector<std::pair<std::string, std::uint64_t>> out;
  for (std::size_t i = 0; i < doc.size(); ++i) out.emplace_back(std::string(doc.path(i)), bits(doc.value(i)));
  return out;
}

void expect_same_test(const StrategyTest& text, const StrategyTest& tree) {
  EXPECT_EQ(text.id, tree.id);
  EXPECT_EQ(text.strategy, tree.strategy);
  EXPECT_EQ(text.dataset_ref, tree.dataset_ref);
  ASSERT_EQ(static_cast<bool>(text.expected), static_cast<bool>(tree.expected)) << text.id;
  if (tree.expected) {
    // The text reader keeps the document as text; the tree reader as a tree.
    ASSERT_EQ(text.expected.tree(), nullptr);
    ASSERT_NE(tree.expected.tree(), nullptr);
    auto flat = FlatDocument::from_text(text.expected.text());
    ASSERT_TRUE(flat.ok());
    FlatMap reference;
    flatten_json(*tree.expected.tree(), "", reference);
    EXPECT_EQ(numbers_of(*flat), numbers_of(FlatDocument::from_map(reference)));
  }
  ASSERT_EQ(text.tolerances.size(), tree.tolerances.size());
  for (std::size_t i = 0; i < text.tolerances.size(); ++i) {
    EXPECT_EQ(text.tolerances[i].first, tree.tolerances[i].first);
    EXPECT_EQ(text.tolerances[i].second.kind, tree.tolerances[i].second.kind);
    EXPECT_EQ(bits(text.tolerances[i].second.value), bits(tree.tolerances[i].second.value));
  }
  ASSERT_EQ(text.property_checks.size(), tree.property_checks.size());
  for (std::size_t i = 0; i < text.property_checks.size(); ++i) {
    const Property& a = text.property_checks[i];
    const Property& b = tree.property_checks[i];
    EXPECT_TRUE(a.kind == b.kind && bits(a.value) == bits(b.value) && a.field == b.field && bits(a.min) == bits(b.min) &&
                bits(a.max) == bits(b.max));
  }
  ASSERT_EQ(text.fuzz.has_value(), tree.fuzz.has_value());
  if (tree.fuzz) {
    EXPECT_EQ(text.fuzz->seed, tree.fuzz->seed);
    EXPECT_EQ(text.fuzz->runs, tree.fuzz->runs);
    EXPECT_EQ(text.fuzz->perturbation.kind, tree.fuzz->perturbation.kind);
    EXPECT_EQ(bits(text.fuzz->perturbation.amount), bits(tree.fuzz->perturbation.amount));
  }
}

void expect_same_envelope(const CommandEnvelope& text, const CommandEnvelope& tree) {
  ASSERT_EQ(text.tests.size(), tree.tests.size());
  for (std::size_t i = 0; i < text.tests.size(); ++i) expect_same_test(text.tests[i], tree.tests[i]);
  ASSERT_EQ(text.data.size(), tree.data.size());
  for (std::size_t d = 0; d < text.data.size(); ++d) {
    EXPECT_EQ(text.data[d].first, tree.data[d].first);
    const std::vector<Candle>& a = text.data[d].second;
    const std::vector<Candle>& b = tree.data[d].second;
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
      EXPECT_TRUE(a[i].time == b[i].time && bits(a[i].open) == bits(b[i].open) && bits(a[i].high) == bits(b[i].high) &&
                  bits(a[i].low) == bits(b[i].low) && bits(a[i].close) == bits(b[i].close) &&
                  bits(a[i].volume) == bits(b[i].volume));
    }
  }
}

// The body of a command runs on one envelope, whichever reader read it: the
// text reader and the tree reader give the same tests and datasets.
TEST(CommandReader, TextAndTreeReadTheSameEnvelope) {
  const std::string set_a = candles(30, 0);
  const std::string set_b = candles(9, 4);
  const std::string expected = blessed_expected(set_a);
  const std::string full = R"({"id":"f","strategy":{"k":[1,{"x":null}]},"dataset_ref":"b","expected":{"a":[1,2.5,-0.0]},)"
                           R"("tolerances":{"*":{"kind":"rel","value":0.5},"m[*]":{"kind":"abs","value":2}},)"
                           R"("property_checks":[{"kind":"field_in_range","field":"pnl","min":-1,"max":3.25}],)"
                           R"("fuzz":{"seed":7,"runs":2,"perturbation":{"kind":"jitter","amount":0.01}}})";
  const std::string data = R"("data":{"b":)" + set_b + R"(,"a":)" + set_a + "}";
  const std::string suite = R"({"cmd":"run_suite","tests":[)" + test_text("y", "a", expected) + "," + full + "," +
                            test_text("z", "b", "null") + "," + test_text("w", "b", "") + "]," + data + "}";
  auto text_read = read_envelope_from_text(suite, layout_read_from_text);
  ASSERT_TRUE(text_read);
  EXPECT_EQ(text_read->cmd, "run_suite");
  auto tree_read = read_envelope(*json::parse(suite), EnvelopeLayout::TestsAndData);
  ASSERT_TRUE(tree_read.ok());
  expect_same_envelope(text_read->envelope, *tree_read);

  for (const char* cmd : {"run_test", "bless"}) {
    const std::string one = R"({"cmd":")" + std::string(cmd) + R"(","test":)" + full + "," + data + "}";
    auto text_one = read_envelope_from_text(one, layout_read_from_text);
    ASSERT_TRUE(text_one);
    EXPECT_EQ(text_one->cmd, cmd);
    auto tree_one = read_envelope(*json::parse(one), EnvelopeLayout::TestAndData);
    ASSERT_TRUE(tree_one.ok());
    expect_same_envelope(text_one->envelope, *tree_one);
  }
}

// A suite whose expected text turns out unreadable is answered by the tree,
// and none of its tests runs again there; a readable suite runs each test
// once. (At one thread the suite stops at the unreadable test: suite_test.)
TEST(CommandReader, ASuiteRunsItsTestsOnce) {
  const std::string set = candles(30, 0);
  const auto suite = [&](const std::string& second) {
    return R"({"cmd":"run_suite","tests":[)" + test_text("a", "d", "[1]") + "," + test_text("b", "d", second) + "," +
           test_text("c", "d", "") + R"(],"data":{"d":)" + set + "}}";
  };
  // Each of these passes the text reader's structural look and fails to parse.
  for (const char* unreadable : {R"({"m":01})", R"({"m":[1 2]})", "[tru]", R"({"m" 1})", "[1e400]"}) {
    const std::string text = suite(unreadable);
    ASSERT_TRUE(read_envelope_from_text(text, layout_read_from_text)) << unreadable;
    const std::uint64_t before = TEST_tests_run();
    EXPECT_EQ(Session::command(text), parse_error(text)) << unreadable;
    EXPECT_LE(TEST_tests_run() - before, 3U) << unreadable;
    expect_tree_answer(text);
  }
  const std::string good = suite(R"({"m":[1,2]})");
  const std::uint64_t before = TEST_tests_run();
  const std::string answer = Session::command(good);
  EXPECT_EQ(TEST_tests_run() - before, 3U);
  EXPECT_EQ(answer.rfind(R"({"results":[{"id":"a",)", 0), 0U) << answer;
  EXPECT_EQ(answer, command_from_tree(good));
  expect_tree_answer(good);
}

// A suite whose tests list and datasets are long enough to be read in
// pieces (the datasets' lists cut across the names between them), in each
// layout, with faults late in the tests or the datasets, a dataset named
// twice, an empty one, and an expected document holding the joint of two
// tests (a cut there leaves its piece unread): the text reader gives the
// tree's envelope, and every answer is the tree's.
TEST(CommandReader, LongSuitesReadInPiecesAnswerAsThroughTheTree) {
  std::string data = "{";
  for (int d = 0; d < 4; ++d) {
    std::string set = "[";
    for (int i = 0; i < 12000; ++i) {
      const std::string p = std::to_string(100 + (i * 7 + d) % 13);
      set += (i ? "," : "") + std::string(R"({"time":)") + std::to_string(i * 60000LL) + R"(,"open":)" + p +
             R"(.25,"high":)" + p + R"(.75,"low":)" + p + R"(,"close":)" + p + R"(.5,"volume":12.5})";
    }
    set += "]";
    data += (d ? R"(,"d)" : R"("d)") + std::to_string(d) + R"(":)" + set + (d == 1 ? R"(,"empty":[])" : "");
  }
  data += "}";
  std::string curve = "[";
  for (int i = 0; i < 5000; ++i) curve += (i ? "," : "") + std::string(R"({"time":)") + std::to_string(i) + R"(,"value":1.5})";
  curve += "]";
  std::string tests = "[";
  // Four tests run (without an expected document); the others answer at
  // once, their dataset missing. In `joints`, each expected document ends
  // with the joint of two tests, where most cuts then fall.
  std::string joints = "[";
  for (int t = 0; t < 24; ++t) {
    const std::string id = "t" + std::to_string(t);
    const std::string set = t % 6 == 0 ? "d" + std::to_string(t / 6) : "none";
    const bool runs = set != "none";
    tests += (t ? "," : "") + test_text(id, set, runs ? "" : R"({"equity":)" + curve + "}");
    joints += (t ? "," : "") + test_text(id, set, runs ? "" : R"({"equity":)" + curve + R"(,"ids":[{"id":1},{"id":2}]})");
  }
  tests += "]";
  joints += "]";
  const auto suite = [](const std::string& t, const std::string& d) {
    return R"({"cmd":"run_suite","tests":)" + t + R"(,"data":)" + d + "}";
  };
  const std::string good = suite(tests, data);
  ASSERT_GT(tests.size(), std::size_t{2} << 20);
  for (const std::string& text : {good, respaced(good, Spacing::Separators), respaced(good, Spacing::Indent)}) {
    auto text_read = read_envelope_from_text(text, layout_read_from_text);
    ASSERT_TRUE(text_read);
    auto tree_read = read_envelope(*json::parse(text), EnvelopeLayout::TestsAndData);
    ASSERT_TRUE(tree_read.ok());
    expect_same_envelope(text_read->envelope, *tree_read);
  }
  expect_tree_answer(good);
  const std::size_t late_test = tests.find(R"({"id":"t20")");
  const std::size_t late_candle = data.find(R"({"time":)", data.find(R"("d2")") + 700000);
  std::string bad_tests[] = {tests, tests, tests};
  bad_tests[0].replace(late_test, 11, R"({"id":20)");                                          // a test that does not read
  bad_tests[1].insert(tests.find(R"("value":1.5)", late_test) + 8, "e999");                  // an expected number out of range
  bad_tests[2].insert(tests.find(R"("strategy":)", late_test) + 11, R"({"x":1},"y":)");   // a member the tree skips
  std::string bad_data[] = {data, data, data, data};
  bad_data[0].replace(late_candle + 8, 0, "1.5,\"t\":");                                   // a candle the tree refuses
  bad_data[1].insert(data.find(R"("volume")", data.find(R"("d1")")) , R"("n":[1],)");      // a candle no compact form has
  bad_data[2].replace(data.find(R"("d3")"), 4, R"("d0")");                                  // a dataset named twice
  bad_data[3].replace(data.find(R"("d3")"), 4, R"("d\u0033")");                            // a name with an escape
  expect_tree_answer(suite(joints, data));
  for (const std::string& t : bad_tests) expect_tree_answer(suite(t, data), Spacing::Separators);
  for (const std::string& d : bad_data) expect_tree_answer(suite(tests, d), Spacing::Indent);
}

bool ask_to_stop() { return true; }

// Long commands that answer without running a backtest (their dataset is
// missing), so that only their reading can stop them: a list of compact
// candles (read in pieces when pieces pay), one whose candles hold a member
// no compact form has (read serially), a command the text reader declines
// (parsed into a tree), and a run_test whose expected document is long. Once
// a stop is asked for, each ends with Interrupted; on the command's own
// thread, the serial reads poll by themselves; without a stop each answers
// as through the tree.
TEST(CommandReader, LongReadsStopWhenAsked) {
  std::string compact = "[";
  std::string unusual = "[";
  std::string document = "[";
  for (int i = 0; i < 80000; ++i) {
    const std::string t = std::to_string(i * 60000LL);
    compact += (i ? "," : "") + std::string(R"({"time":)") + t + R"(,"open":1.5,"high":2,"low":1,"close":1.25,"volume":3})";
    unusual += (i ? "," : "") + std::string(R"({"time":)") + t + R"(,"open":1.5,"high":2,"low":1,"close":1.25,"n":[]})";
    document += (i ? "," : "") + std::string(R"({"time":)") + t + R"(,"value":12345.5,"cash":[10000.25,-0.5]})";
  }
  compact += "]", unusual += "]", document += "]";
  const auto bless = [](const std::string& set) {
    return R"({"cmd":"bless","test":)" + test_text("t", "none", "") + R"(,"data":{"d":)" + set + "}}";
  };
  const std::string commands[] = {
      bless(compact), bless(unusual), R"({"test":)" + test_text("t", "none", "") + R"(,"data":{"d":)" + compact + R"(},"cmd":"bless"})",
      R"({"cmd":"run_test","test":)" + test_text("t", "none", R"({"equity":)" + document + "}") + R"(,"data":{"d":[]}})"};
  for (const std::string& text : commands) {
    ASSERT_GT(text.size(), std::size_t{4} << 20);
    const std::string answer = command_from_tree(text);
    ASSERT_NE(answer.find("\"error\""), std::string::npos);  // no backtest ran
    {
      InterruptScope scope(ask_to_stop);
      ASSERT_TRUE(scope.poll_now());
      EXPECT_THROW(Session::command(text), Interrupted) << head(text);
      EXPECT_THROW(command_from_tree(text), Interrupted) << head(text);
    }
    EXPECT_EQ(Session::command(text), answer) << head(text);
  }
  for (const std::string& text : {commands[1], commands[2]}) {
    const InterruptScope scope(ask_to_stop);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));  // a poll falls due
    EXPECT_THROW(Session::command(text), Interrupted) << head(text);
  }
}

}  // namespace
}  // namespace vsci
