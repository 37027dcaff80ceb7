// The feed catalogue: every kind name the factory builds under its own name,
// with the class of market data it consumes. One constant table; lookups are
// pure and allocate nothing, callable from any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace vsci {

// The input class an indicator consumes. Unknown stands both for a feed left
// undeclared and for a kind the catalogue does not list.
enum class Feed : std::uint8_t { Kline, Trade, Orderbook, TradeQuote, Derivatives, CrossSection, Unknown };

// "Kline", "Trade", ... as the feed-mismatch message prints them.
std::string_view feed_display_name(Feed feed);

struct CatalogueEntry {
  std::string_view name;
  Feed feed;
};

// The whole table, sorted by name bytes (495 entries, no aliases).
std::span<const CatalogueEntry> feed_catalogue();

// The feed of the kind named exactly `name`, or Feed::Unknown.
Feed feed_for_kind(std::string_view name);

}  // namespace vsci
