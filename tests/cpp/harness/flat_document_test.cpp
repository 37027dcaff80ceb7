// Flattening from text must give what flattening the parsed tree gives: the
// same paths, values and order, the same errors; a run's records looked up
// give what their text holds.
#include "harness/flat_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "harness/compare.h"
#include "json/reader.h"

namespace vsci {
namespace {

// The reference: the tree's flattening, as a list in path order.
std::vector<std::pair<std::string, double>> reference(std::string_view text) {
  auto v = json::parse(text);
  if (!v) throw std::runtime_error("bad test JSON: " + v.error().to_string());
  const FlatMap flat = flatten_json(*v);
  return {flat.begin(), flat.end()};
}

std::vector<std::pair<std::string, double>> listed(const FlatDocument& d) {
  std::vector<std::pair<std::string, double>> out;
  for (std::size_t i = 0; i < d.size(); ++i) out.emplace_back(std::string(d.path(i)), d.value(i));
  return out;
}

// Values compared by their bits, so that -0.0 and 0.0 differ.
void expect_same(std::string_view text) {
  auto flat = FlatDocument::from_text(text);
  ASSERT_TRUE(flat.ok()) << text;
  const auto want = reference(text);
  const auto got = listed(*flat);
  ASSERT_EQ(got.size(), want.size()) << text;
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].first, want[i].first) << text;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(got[i].second), std::bit_cast<std::uint64_t>(want[i].second)) << text;
  }
}

TEST(FlatDocument, TrickyDocumentsFlattenAsTheirTrees) {
  const char* docs[] = {
      "[]", "{}", "-0", "7", "\"s\"", "null", "[[[1]],[],[[2,3]]]", R"({"a":{},"b":[],"c":[{}],"d":null})",
      R"({"a":"x","b":true,"c":[null,false,"y",1.5]})", R"({"a.b":2,"a":{"b":1}})", R"({"a":{"b":1},"a.b":2})",
      R"({"x":1,"x":null})", R"({"x":null,"x":1})", R"({"x":[1],"x":{"0":2}})", R"({"":{"a":1},"a":2})",
      R"({"a":{"":3}})", R"({"a[0]":1,"a":[2]})", R"({"a-":1,"a":{"b":2},"aB":3,"a_":[4],"a0":5})",
      R"({"k\u002e":1,"\u00e9":2,"\"":3})", R"({"n":[18446744073709551615,-9223372036854775808,1e-320,-0.0,0]})",
      R"({"z":1,"y":{"b":[1,2],"a":3},"x":[{"q":1,"p":2},{"p":3}]})",
  };
  for (const char* d : docs) expect_same(d);
}

// Arrays past ten items sort their paths by index text: [10] before [1].
TEST(FlatDocument, LongArraysSortByIndexText) {
  for (const int n : {10, 11, 12, 99, 100, 101, 1234}) {
    std::string text = R"({"equity":[)";
    for (int i = 0; i < n; ++i) text += (i ? "," : "") + std::string(R"({"time":)") + std::to_string(i) + R"(,"equity":)" +
                                        std::to_string(1000 - i) + ".5}";
    text += R"(],"top":[)";
    for (int i = 0; i < n; ++i) text += (i ? "," : "") + std::to_string(i);
    text += "]}";
    expect_same(text);
  }
}

// Random documents over keys that sort below "." and "[" and, with
// `colliding`, keys that make paths meet or are empty; keys may repeat;
// arrays reach past the ten-item mark.
std::string random_value(std::mt19937_64& rng, int depth, bool colliding = true) {
  static const char* const keys[] = {"aB", "a-", "equity", "time", "equity_curve", "0", "1", "a", "b", "a.b", "a[0]", ""};
  const std::size_t key_count = colliding ? sizeof keys / sizeof keys[0] : 9;
  const int pick = static_cast<int>(rng() % (depth > 3 ? 3 : 6));
  if (pick == 0) {
    std::uniform_real_distribution<double> u(-1e6, 1e6);
    return std::to_string(static_cast<long long>(u(rng))) + (rng() % 2 ? ".25" : "");
  }
  if (pick == 1) return rng() % 2 ? "\"s\"" : "null";
  if (pick == 2) return rng() % 3 ? "1" : "-0";
  if (pick == 3 || pick == 4) {
    const std::size_t n = rng() % 3 == 0 ? 8 + rng() % 16 : rng() % 4;
    std::string out = "[";
    for (std::size_t i = 0; i < n; ++i) out += (i ? "," : "") + random_value(rng, depth + 1, colliding);
    return out + "]";
  }
  const std::size_t n = rng() % 5;
  std::string out = "{";
  for (std::size_t i = 0; i < n; ++i) {
    out += (i ? ",\"" : "\"") + std::string(keys[rng() % key_count]) + "\":" + random_value(rng, depth + 1, colliding);
  }
  return out + "}";
}

TEST(FlatDocument, RandomDocumentsFlattenAsTheirTrees) {
  std::mt19937_64 rng(20);
  for (int i = 0; i < 400; ++i) expect_same(random_value(rng, 0, i % 2 == 0));
}

// Objects of many members, in rising, falling and mixed key order, with one
// key given again early, late or not at all: the later value wins, and no
// other member is lost or moved.
TEST(FlatDocument, RepeatedKeysAmongManyMembersKeepTheLastValue) {
  std::mt19937_64 rng(11);
  for (const int n : {2, 8, 9, 40, 5000}) {
    for (const int order : {0, 1, 2}) {
      std::vector<std::string> keys;
      for (int i = 0; i < n; ++i) keys.push_back("k" + std::to_string(order == 1 ? n - i : i));
      if (order == 2) std::shuffle(keys.begin(), keys.end(), rng);
      for (const int repeat : {-1, 0, n - 1, n / 2}) {
        std::vector<std::pair<std::string, double>> members;
        for (int i = 0; i < n; ++i) members.emplace_back(keys[static_cast<std::size_t>(i)], i + 0.5);
        if (repeat >= 0) members.emplace_back(keys[static_cast<std::size_t>(repeat)], -1.0 - repeat);
        std::string text = R"({"o":{)";
        std::map<std::string, double> want;
        for (std::size_t i = 0; i < members.size(); ++i) {
          text += (i ? ",\"" : "\"") + members[i].first + "\":" + std::to_string(members[i].second);
          want["o." + members[i].first] = members[i].second;
        }
        text += "}}";
        auto flat = FlatDocument::from_text(text);
        ASSERT_TRUE(flat.ok());
        ASSERT_EQ(flat->size(), want.size()) << n << " " << order << " " << repeat;
        std::size_t i = 0;
        for (const auto& [path, value] : want) {
          EXPECT_EQ(flat->path(i), path);
          EXPECT_EQ(flat->value(i), value) << path;
          ++i;
        }
      }
    }
  }
}

TEST(FlatDocument, UnreadableTextGivesTheParseError) {
  for (const char* text : {"", "[1,", R"({"a":1e400})", R"({"a":[1,2]]})", "[1] x", R"({"a.b":1,})"}) {
    auto flat = FlatDocument::from_text(text);
    ASSERT_FALSE(flat.ok()) << text;
    EXPECT_EQ(flat.error().to_string(), json::parse(text).error().to_string());
  }
}

// A run's records looked up as the property checks look them up give what
// the result's text flattened gives: every wanted path (a value the text
// writes null is no number), nothing that is not finite, the same curve.
TEST(FlatDocument, ResultRecordsFlattenAsTheirText) {
  std::mt19937_64 rng(8);
  const double special[] = {std::nan(""), std::numeric_limits<double>::infinity(), -0.0, 1e16, 0.1};
  const auto any = [&] { return rng() % 3 == 0 ? special[rng() % std::size(special)] : static_cast<double>(rng() % 1000) / 7; };
  // Sorted, as the property checks ask.
  std::vector<std::string> only = {
      "equity[0].equity", "equity[03].time", "equity[11].time", "equity[2]", "equity[2].time", "equity[99].time",
      "fees_paid", "initial_capital", "metrics", "metrics.num_trades", "metrics.sharpe", "metrics.win_rate", "pnl",
      "schema_version", "symbol", "trades[0].reason", "trades[0].entry_time", "trades[1].qty", "trades[1].return_pct",
      "trades[2].exit_price", "trades[2]x", "win_rate"};
  std::sort(only.begin(), only.end());
  for (int i = 0; i < 100; ++i) {
    BacktestResult r;
    r.symbol = "S";
    r.metrics = {any(), any(), any(), any(), any(), any(), any(), any(), rng() % 9};
    for (std::uint64_t t = 0, n = rng() % 4; t < n; ++t) {
      r.trades.push_back({static_cast<std::int64_t>(rng()), -1, any(), any(), any(), any(), any(), ExitReason::End});
    }
    for (std::uint64_t t = 0, n = rng() % 14; t < n; ++t) r.equity.push_back({static_cast<std::int64_t>(rng() >> 3), any()});
    r.fees_paid = any();
    r.initial_capital = any();
    const std::string text = write_result(r);
    const FlatDocument records = FlatDocument::from_result(r, only, true);
    const FlatDocument flat = FlatDocument::from_text(text).value();
    std::size_t found = 0;
    for (const std::string& path : only) {
      const auto got = records.find(path);
      const auto want = flat.find(path);
      ASSERT_EQ(got.has_value(), want.has_value()) << text << " at " << path;
      if (got) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(*got), std::bit_cast<std::uint64_t>(*want)) << path;
        EXPECT_EQ(records.path(found++), path);
      }
    }
    EXPECT_EQ(records.size(), found);
    // The curve: the text's numbers at equity[i].equity, in index order.
    std::vector<std::pair<std::uint64_t, double>> curve;
    for (std::size_t k = 0; k < r.equity.size(); ++k) {
      if (const auto v = flat.find("equity[" + std::to_string(k) + "].equity")) curve.emplace_back(k, *v);
    }
    ASSERT_EQ(records.equity_points().size(), curve.size()) << text;
    for (std::size_t k = 0; k < curve.size(); ++k) {
      EXPECT_EQ(records.equity_points()[k].index, curve[k].first);
      EXPECT_EQ(records.equity_points()[k].value, curve[k].second);
    }
    // Without the curve, only the curve is left out.
    const FlatDocument bare = FlatDocument::from_result(r, only, false);
    EXPECT_TRUE(bare.equity_points().empty());
    EXPECT_EQ(listed(bare), listed(records));
  }
}

}  // namespace
}  // namespace vsci
