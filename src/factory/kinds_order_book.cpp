#include "factory/registry.h"
#include "indicators/order_book.h"

namespace vsci {

std::span<const KindEntry> order_book_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&create_plain<DepthSlope>>("DepthSlope").fed_by(Feed::Orderbook),
      kind_row<&create_plain<Microprice>>("Microprice").fed_by(Feed::Orderbook),
      kind_row<&create_plain<OrderBookImbalanceFull>>("OrderBookImbalanceFull").fed_by(Feed::Orderbook),
      kind_row<&create_plain<OrderBookImbalanceTop1>>("OrderBookImbalanceTop1").fed_by(Feed::Orderbook),
      kind_row<&OrderBookImbalanceTopN::create>("OrderBookImbalanceTopN", {"levels"}, {2}).fed_by(Feed::Orderbook),
      kind_row<&OrderFlowImbalance::create>("OrderFlowImbalance", {"period"}).fed_by(Feed::Orderbook),
      kind_row<&create_plain<QuotedSpread>>("QuotedSpread").fed_by(Feed::Orderbook),
  };
  return kEntries;
}

}  // namespace vsci
