// The feeds the registry rows state: counts, exact matching of names, and
// every row held against what its kind really reads, found by feeding it a
// tape and leaving each class of side record out in turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <map>
#include <string>

#include "factory/build_indicator.h"
#include "factory/feed.h"
#include "factory/registry.h"
#include "support/bar_tape.h"

namespace vsci {
namespace {

TEST(KindFeeds, CountsPerFeed) {
  std::map<Feed, int> counts;
  for (const KindEntry* e : registry()) ++counts[feed_for_kind(e->name)];
  EXPECT_EQ(registry().size(), 495u);
  EXPECT_EQ(counts[Feed::Kline], 446);
  EXPECT_EQ(counts[Feed::Derivatives], 16);
  EXPECT_EQ(counts[Feed::CrossSection], 15);
  EXPECT_EQ(counts[Feed::Trade], 8);
  EXPECT_EQ(counts[Feed::Orderbook], 7);
  EXPECT_EQ(counts[Feed::TradeQuote], 3);
  EXPECT_EQ(counts.count(Feed::Unknown), 0u);
}

TEST(KindFeeds, ExactCaseSensitiveMatching) {
  EXPECT_EQ(feed_for_kind("Vpin"), Feed::Trade);
  EXPECT_EQ(feed_for_kind("vpin"), Feed::Unknown);
  EXPECT_EQ(feed_for_kind("Sma"), Feed::Kline);
  EXPECT_EQ(feed_for_kind("Macd"), Feed::Unknown);
  EXPECT_EQ(feed_for_kind("Bollinger"), Feed::Unknown);
  EXPECT_EQ(feed_for_kind("MacdIndicator"), Feed::Kline);
  EXPECT_EQ(feed_for_kind("BollingerBands"), Feed::Kline);
  EXPECT_EQ(feed_for_kind(""), Feed::Unknown);
  EXPECT_EQ(feed_for_kind("S"), Feed::Unknown);
  EXPECT_EQ(feed_for_kind(std::string(27, 'A')), Feed::Unknown);
  EXPECT_EQ(feed_for_kind("OrderFlowImbalance"), Feed::Orderbook);
  EXPECT_EQ(feed_for_kind("TradeToMidSpreadBps"), Feed::TradeQuote);
  EXPECT_EQ(feed_for_kind("CumulativeVolumeDelta"), Feed::Trade);
  EXPECT_EQ(feed_for_kind("CumulativeVolumeIndex"), Feed::CrossSection);
  EXPECT_EQ(feed_for_kind("FundingRate"), Feed::Derivatives);
  EXPECT_EQ(feed_for_kind("Beta"), Feed::Kline);
  EXPECT_EQ(feed_for_kind(" Sma"), Feed::Unknown);
  EXPECT_EQ(feed_for_kind("Sma "), Feed::Unknown);
  EXPECT_EQ(feed_for_kind("Sm"), Feed::Unknown);
  EXPECT_EQ(feed_for_kind(std::string_view("Sma\0", 4)), Feed::Unknown);
}

TEST(KindFeeds, LongestNameIsFound) {
  // 30 bytes: longer than any other kind name.
  EXPECT_EQ(std::string_view("RatioAdjustedBreadthOscillator").size(), 30u);
  EXPECT_EQ(feed_for_kind("RatioAdjustedBreadthOscillator"), Feed::CrossSection);
  EXPECT_EQ(feed_for_kind("RatioAdjustedBreadthOscillatorX"), Feed::Unknown);
  EXPECT_EQ(feed_for_kind("McClellanSummationIndex"), Feed::CrossSection);
  EXPECT_EQ(feed_for_kind("HasbrouckInformationShare"), Feed::Kline);
}

// The side records of a bar, each of which a feed run may leave out.
enum SideRecord : unsigned { kTrades = 1, kBook = 2, kDerivatives = 4, kSection = 8 };

// Everything the kind gives over the tape, values and named outputs, as one
// fingerprint; the side records in `dropped` are absent from every bar.
std::uint64_t fingerprint(const KindEntry& e, const testing::BarTape& tape, unsigned dropped) {
  auto built = build_indicator(e.name, e.example.view());
  if (!built.ok()) return 0;
  Indicator& ind = *built.value();
  std::uint64_t h = 14695981039346656037ull;
  const auto mix = [&h](std::uint64_t v) { h = (h ^ v) * 1099511628211ull; };
  for (std::size_t i = 0; i < tape.size(); ++i) {
    BarContext ctx = tape.context(i);
    if (dropped & kTrades) ctx.trades = {};
    if (dropped & kBook) ctx.book = nullptr;
    if (dropped & kDerivatives) ctx.derivatives = nullptr;
    if (dropped & kSection) ctx.cross_section = nullptr;
    const auto v = ind.update(ctx);
    mix(v ? std::bit_cast<std::uint64_t>(*v) : 0x7ff4000000000001ull);
    for (const NamedOutput& o : ind.outputs()) mix(std::bit_cast<std::uint64_t>(o.value));
  }
  return h;
}

// The feed a kind consumes, judged by which side records change what it gives.
Feed observed_feed(const KindEntry& e, const testing::BarTape& tape) {
  if (e.input != InputClass::Feed) return Feed::Kline;  // fed the close, the candle or the pair only
  const std::uint64_t whole = fingerprint(e, tape, 0);
  unsigned read = 0;
  for (unsigned r : {kTrades, kBook, kDerivatives, kSection}) {
    if (fingerprint(e, tape, r) != whole) read |= r;
  }
  switch (read) {
    case 0: return Feed::Kline;
    case kTrades: return Feed::Trade;
    case kBook: return Feed::Orderbook;
    case kTrades | kBook: return Feed::TradeQuote;
    case kDerivatives: return Feed::Derivatives;
    case kSection: return Feed::CrossSection;
    default: return Feed::Unknown;
  }
}

TEST(KindFeeds, AgreesWithWhatEveryRegisteredKindReads) {
  testing::BarTape tape = testing::make_tape(1500, 23);
  // Asks set further off than bids, by a varying amount, so that neither a
  // book's mid nor its moves are those of the close a kind falls back on
  // without a book.
  for (std::size_t i = 0; i < tape.size(); ++i) {
    for (Level& a : tape.books[i].asks) a.price += 0.05 * static_cast<double>(i % 7);
  }
  std::map<Feed, int> side_fed;
  for (const KindEntry* e : registry()) {
    const Feed seen = observed_feed(*e, tape);
    EXPECT_EQ(feed_display_name(feed_for_kind(e->name)), feed_display_name(seen)) << e->name;
    if (e->input == InputClass::Feed) ++side_fed[seen];
  }
  // Every kind fed side records reads one of them: none passes as candle-fed.
  EXPECT_EQ(side_fed.count(Feed::Kline), 0u);
}

}  // namespace
}  // namespace vsci
