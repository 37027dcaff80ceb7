// A candle reads to the same values in every form it may take, compact or
// not, laid out as json.dumps lays it out or not, as the document tree reads
// it; what the request writer puts down reads back to the very same bits;
// and a long list read in pieces stops at its first unusual candle and goes
// on from there as a serial read would.
#include "engine/candle_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine_test_support.h"
#include "harness/envelopes.h"
#include "json/scanner.h"
#include "support/json_spacing.h"
#include "util/parallel.h"

namespace vsci {
namespace {

using testing::num;

bool same(const Candle& a, const Candle& b) {
  return a.time == b.time && std::memcmp(&a.open, &b.open, 5 * sizeof(double)) == 0;
}

// The candle as the document tree reads it: the reference for every form.
Candle tree_read(const std::string& text) {
  auto v = json::parse(text);
  if (!v.ok()) throw std::runtime_error("unparsable: " + text);
  auto c = read_candle_value(*v);
  if (!c.ok()) throw std::runtime_error("unreadable: " + text);
  return *c;
}

using testing::respaced;
using testing::Spacing;

constexpr Spacing kSeparators = Spacing::Separators;
constexpr Spacing kIndent = Spacing::Indent;

// Compact form `form` of a candle: 0 and 1 objects in declared order with
// and without volume, 2 in key order, 3 and 4 arrays with and without volume.
std::string compact_form(const Candle& c, std::size_t form) {
  const std::string t = std::to_string(c.time), o = num(c.open), h = num(c.high), l = num(c.low), cl = num(c.close),
                    v = num(c.volume);
  switch (form) {
    case 0:
    case 1:
      return R"({"time":)" + t + R"(,"open":)" + o + R"(,"high":)" + h + R"(,"low":)" + l + R"(,"close":)" + cl +
             (form == 0 ? R"(,"volume":)" + v : "") + "}";
    case 2:
      return R"({"close":)" + cl + R"(,"high":)" + h + R"(,"low":)" + l + R"(,"open":)" + o + R"(,"time":)" + t +
             R"(,"volume":)" + v + "}";
    default:
      return "[" + t + "," + o + "," + h + "," + l + "," + cl + (form == 3 ? "," + v : "") + "]";
  }
}

// The five compact forms, two others, then each compact one laid out as
// json.dumps lays it out by default and with an indent.
std::vector<std::string> forms(const Candle& c) {
  const std::string t = std::to_string(c.time), o = num(c.open), h = num(c.high), l = num(c.low), cl = num(c.close),
                    v = num(c.volume);
  std::vector<std::string> out;
  for (std::size_t form = 0; form < 5; ++form) out.push_back(compact_form(c, form));
  // Not compact: blanks, another order, an unknown member.
  out.push_back(R"({ "volume" : )" + v + R"(, "close":)" + cl + R"(,"x":[1,{"y":null}],"low":)" + l + R"(,"high":)" + h +
                R"(,"open":)" + o + R"(,"time":)" + t + " }");
  out.push_back("[ " + t + ", " + o + "," + h + "," + l + "," + cl + " ]");
  for (std::size_t i = 0; i < 5; ++i) {
    out.push_back(respaced(out[i], Spacing::Separators));
    out.push_back(respaced(out[i], Spacing::Indent));
  }
  return out;
}

Candle random_candle(std::mt19937_64& rng) {
  std::uniform_int_distribution<std::uint64_t> bits;
  Candle c;
  c.time = static_cast<std::int64_t>(bits(rng));
  double* prices[] = {&c.open, &c.high, &c.low, &c.close, &c.volume};
  for (double* p : prices) {
    const std::uint64_t b = bits(rng);
    std::memcpy(p, &b, sizeof *p);
    if (!std::isfinite(*p)) *p = (b & 1) ? -0.0 : 12345.678;
  }
  return c;
}

TEST(CandleCodec, EveryFormReadsAsTheTreeReadsIt) {
  std::mt19937_64 rng(5);
  for (int i = 0; i < 300; ++i) {
    const Candle c = random_candle(rng);
    const std::vector<std::string> texts = forms(c);
    for (std::size_t k = 0; k < texts.size(); ++k) {
      const std::string& text = texts[k];
      json::Reader r(text);
      Candle got;
      ASSERT_TRUE(read_candle(r, got).ok()) << text;
      EXPECT_TRUE(r.finish().ok()) << text;
      EXPECT_TRUE(same(got, tree_read(text))) << text;
      // The compact forms, blanks or not, are taken by the compact reader.
      if (k < 5 || k >= 7) {
        json::Reader compact(text);
        Candle quick;
        ASSERT_TRUE(read_compact_candle(compact, quick)) << text;
        EXPECT_EQ(compact.offset(), text.size()) << text;
        EXPECT_TRUE(same(quick, got)) << text;
      }
    }
  }
  // The compact reader takes nothing it cannot take whole, laid out with
  // blanks or not.
  std::vector<std::string> partials;
  for (const char* partial : {R"({"time":1,"open":2})", "[1,2,3,4]", "[1,2,3,4,5,6,7]", R"({"time":1.5,"open":2,"high":3,"low":1,"close":2})",
                              R"({"time":1,"open":2,"high":3,"low":1,"close":2,})", "[1,2,3,4,5,]", R"({"close":1,"high":2,"low":3,"open":4,"time":5})"}) {
    for (const std::string& text : {std::string(partial), respaced(partial, Spacing::Separators), respaced(partial, Spacing::Indent)}) {
      partials.push_back(text);
    }
  }
  for (const std::string& partial : partials) {
    json::Reader r(partial);
    Candle c{7, 1, 1, 1, 1, 1};
    EXPECT_FALSE(read_compact_candle(r, c)) << partial;
    EXPECT_EQ(r.offset(), 0u);
    EXPECT_EQ(c.time, 7);
  }
}

TEST(CandleCodec, WrittenCandlesReadBackToTheSameBits) {
  std::mt19937_64 rng(11);
  std::vector<Candle> candles;
  for (int i = 0; i < 2000; ++i) candles.push_back(random_candle(rng));
  candles.push_back({std::numeric_limits<std::int64_t>::min(), -0.0, std::numeric_limits<double>::denorm_min(),
                     std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(), 1e-310});
  for (const Candle& c : candles) {
    char buf[kMaxCandleChars];
    const std::string text(buf, put_candle(buf, c));
    EXPECT_TRUE(same(tree_read(text), c)) << text;
  }
  // A value that is not finite is written null, as the tree writer does.
  Candle bad{1, 1, std::numeric_limits<double>::infinity(), 1, std::nan(""), 1};
  char buf[kMaxCandleChars];
  EXPECT_EQ(std::string(buf, put_candle(buf, bad)),
            R"({"close":null,"high":null,"low":1.0,"open":1.0,"time":1,"volume":1.0})");
}

// A list read serially from its '[' on: candle by candle with the record
// reader, as a list that is not worth cutting is read. Where it stopped, and
// the first error.
struct ListRead {
  std::vector<Candle> candles;
  std::size_t offset = 0;
  std::string error;
};

ListRead read_rest(json::Reader& r, ListRead read) {
  for (;;) {
    auto more = r.next_element();
    if (!more || !*more) {
      if (!more) read.error = more.error().to_string();
      break;
    }
    if (auto s = read_candle(r, read.candles.emplace_back()); !s) {
      read.error = s.error().to_string();
      break;
    }
  }
  read.offset = r.offset();
  return read;
}

ListRead serial_read(const std::string& text) {
  json::Reader r(text);
  EXPECT_TRUE(r.begin_array().ok());
  return read_rest(r, {});
}

// The pieces as far as they read, then the serial read from there on.
// `from_pieces`: how many candles the pieces took.
ListRead piece_read(const std::string& text, json::ListEnd& end, std::size_t& from_pieces) {
  json::Reader r(text);
  ListRead read;
  end = read_candles_in_pieces(r, read.candles);
  from_pieces = read.candles.size();
  if (end == json::ListEnd::Closed) {
    read.offset = r.offset();
    return read;
  }
  return read_rest(r, std::move(read));
}

// A long list in each compact form and layout, read in pieces, meets an
// unusual candle (a member no compact form has, or a fault) in a late piece:
// the pieces before it stand, and the serial read goes on from the last
// candle they took, so the candles, where the reading ends and its error are
// those of the serial read from the start.
TEST(CandleCodec, PiecesStopAtAnUnusualCandleAndTheSerialReadGoesOn) {
  std::mt19937_64 rng(17);
  std::vector<Candle> candles;
  for (int i = 0; i < 30000; ++i) candles.push_back(random_candle(rng));
  const std::string unusual[] = {R"({"time":5,"open":1,"high":2,"low":0.5,"close":1.5,"note":"},{\"time\":1,"})",
                                 R"({"time":5,"open":1,"high":2,"low":0.5,"close":1e999})", R"([5,1,2,0.5])"};
  for (std::size_t form : {0, 2, 3}) {
    std::string list = "[";
    for (std::size_t i = 0; i < candles.size(); ++i) list += (i ? "," : "") + compact_form(candles[i], form);
    list += "]";
    for (const Spacing* layout : {static_cast<const Spacing*>(nullptr), &kSeparators, &kIndent}) {
      const std::string whole = layout ? respaced(list, *layout) : list;
      ASSERT_GT(whole.size(), 2 * json::kPieceBytes);
      json::ListEnd end;
      std::size_t from_pieces;
      const ListRead all = piece_read(whole, end, from_pieces);
      EXPECT_EQ(end, pieces_pay_off() ? json::ListEnd::Closed : json::ListEnd::Open);
      EXPECT_EQ(from_pieces, pieces_pay_off() ? candles.size() : 0);
      ASSERT_EQ(all.candles.size(), candles.size());
      for (std::size_t i = 0; i < candles.size(); ++i) ASSERT_TRUE(same(all.candles[i], candles[i])) << i;
      EXPECT_EQ(all.offset, whole.size());
      for (const std::string& odd : unusual) {
        std::string text = list;
        const std::size_t at = text.find(form == 3 ? ",[" : ",{", text.size() - text.size() / 8) + 1;
        text.insert(at, odd + ",");
        if (layout) text = respaced(text, *layout);
        const ListRead want = serial_read(text);
        const ListRead got = piece_read(text, end, from_pieces);
        EXPECT_EQ(end, json::ListEnd::Open) << odd;
        EXPECT_EQ(from_pieces > 0, pieces_pay_off()) << odd;
        EXPECT_EQ(got.error, want.error) << odd;
        EXPECT_EQ(got.offset, want.offset) << odd;
        ASSERT_EQ(got.candles.size(), want.candles.size()) << odd;
        for (std::size_t i = 0; i < want.candles.size(); ++i) ASSERT_TRUE(same(got.candles[i], want.candles[i])) << i;
      }
    }
  }
}

}  // namespace
}  // namespace vsci
