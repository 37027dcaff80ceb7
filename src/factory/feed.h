// The class of market data a kind consumes, as a strategy's declaration may
// name it, and the kind's own feed as its registry row states it.
#pragma once

#include <cstdint>
#include <string_view>

namespace vsci {

// Unknown stands both for a feed left undeclared and for a name that is not a
// kind's own.
enum class Feed : std::uint8_t { Kline, Trade, Orderbook, TradeQuote, Derivatives, CrossSection, Unknown };

// "Kline", "Trade", ... as the feed-mismatch message prints them.
std::string_view feed_display_name(Feed feed);

// The feed of the kind named exactly `name` (an alias is not a kind's own
// name), or Feed::Unknown. Pure; allocates nothing once the factory's table
// is built on its first use.
Feed feed_for_kind(std::string_view name);

}  // namespace vsci
