#include "factory/registry.h"
#include "indicators/order_book.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&create_plain<DepthSlope>>("DepthSlope"),
    kind_row<&create_plain<Microprice>>("Microprice"),
    kind_row<&create_plain<OrderBookImbalanceFull>>("OrderBookImbalanceFull"),
    kind_row<&create_plain<OrderBookImbalanceTop1>>("OrderBookImbalanceTop1"),
    kind_row<&OrderBookImbalanceTopN::create>("OrderBookImbalanceTopN", {"levels"}, {2}),
    kind_row<&OrderFlowImbalance::create>("OrderFlowImbalance", {"period"}),
    kind_row<&create_plain<QuotedSpread>>("QuotedSpread"),
};

}  // namespace

std::span<const KindEntry> order_book_kinds() { return kEntries; }

}  // namespace vsci
