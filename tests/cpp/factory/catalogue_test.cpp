#include <gtest/gtest.h>

#include <map>
#include <string>

#include "factory/catalogue.h"
#include "factory/registry.h"

namespace vsci {
namespace {

TEST(FeedCatalogue, CountsPerFeed) {
  std::map<Feed, int> counts;
  for (const CatalogueEntry& e : feed_catalogue()) ++counts[e.feed];
  EXPECT_EQ(feed_catalogue().size(), 495u);
  EXPECT_EQ(counts[Feed::Kline], 446);
  EXPECT_EQ(counts[Feed::Derivatives], 16);
  EXPECT_EQ(counts[Feed::CrossSection], 15);
  EXPECT_EQ(counts[Feed::Trade], 8);
  EXPECT_EQ(counts[Feed::Orderbook], 7);
  EXPECT_EQ(counts[Feed::TradeQuote], 3);
  EXPECT_EQ(counts.count(Feed::Unknown), 0u);
}

TEST(FeedCatalogue, SortedUniqueAndEveryEntryFindsItself) {
  auto table = feed_catalogue();
  for (std::size_t i = 1; i < table.size(); ++i) EXPECT_LT(table[i - 1].name, table[i].name) << table[i].name;
  for (const CatalogueEntry& e : table) EXPECT_EQ(feed_for_kind(e.name), e.feed) << e.name;
}

TEST(FeedCatalogue, ExactCaseSensitiveMatching) {
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

TEST(FeedCatalogue, LongestNameIsListedDespiteItsLength) {
  // 30 bytes: longer than any other kind name.
  EXPECT_EQ(std::string_view("RatioAdjustedBreadthOscillator").size(), 30u);
  EXPECT_EQ(feed_for_kind("RatioAdjustedBreadthOscillator"), Feed::CrossSection);
  EXPECT_EQ(feed_for_kind("RatioAdjustedBreadthOscillatorX"), Feed::Unknown);
  EXPECT_EQ(feed_for_kind("McClellanSummationIndex"), Feed::CrossSection);
  EXPECT_EQ(feed_for_kind("HasbrouckInformationShare"), Feed::Kline);
}

TEST(FeedCatalogue, EveryRegisteredKindIsCatalogued) {
  for (const KindEntry* e : registry()) EXPECT_NE(feed_for_kind(e->name), Feed::Unknown) << e->name;
}

}  // namespace
}  // namespace vsci
