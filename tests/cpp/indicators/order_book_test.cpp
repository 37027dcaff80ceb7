// Order-book kinds against per-book formulas over tapes with one-sided,
// single-level, zero-size and unchanged books, and their construction checks.
#include "support/feed_tape.h"

namespace vsci::testing {
namespace {

const ConformanceRows kConformance{{"DepthSlope"}, {"Microprice"}, {"OrderBookImbalanceFull"}, {"OrderBookImbalanceTop1"},
                                   {"OrderBookImbalanceTopN"}, {"OrderFlowImbalance"}, {"QuotedSpread"}};

using Books = std::vector<OrderBook>;

bool two_sided(const OrderBook& b) { return !b.bids.empty() && !b.asks.empty(); }
double mid(const OrderBook& b) { return (b.bids[0].price + b.asks[0].price) * 0.5; }

// f(the newest book), or 0 for a book missing a side.
auto top(double (*f)(const OrderBook&)) {
  return newest<OrderBook>([f](const OrderBook& b) { return two_sided(b) ? f(b) : 0.0; });
}

double imbalance(const OrderBook& b, double levels) {
  double bid = 0.0, ask = 0.0;
  for (std::size_t i = 0; i < b.bids.size() && double(i) < levels; ++i) bid += b.bids[i].size;
  for (std::size_t i = 0; i < b.asks.size() && double(i) < levels; ++i) ask += b.asks[i].size;
  return bid + ask > 0.0 ? (bid - ask) / (bid + ask) : 0.0;
}

// Least squares of cumulative size on distance from the mid, about the means.
double slope(const std::vector<Level>& side, double m) {
  std::vector<double> x, y;
  for (const Level& l : side) x.push_back(std::fabs(l.price - m)), y.push_back((y.empty() ? 0.0 : y.back()) + l.size);
  const double k = double(x.size()), mx = sum_of(x) / k, my = sum_of(y) / k;
  double sxy = 0.0, sxx = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) sxy += (x[i] - mx) * (y[i] - my), sxx += (x[i] - mx) * (x[i] - mx);
  return sxy / sxx;
}

TEST(OrderBook, MatchReferences) {
  const auto flow = [](const Books& r, std::size_t j, const Params& p) -> std::optional<double> {
    std::vector<double> e;
    for (std::size_t k = 0, before = j + 1; k <= j; ++k) {
      if (!two_sided(r[k])) continue;
      if (before <= j) {
        const Level &bid0 = r[before].bids[0], &ask0 = r[before].asks[0], &bid = r[k].bids[0], &ask = r[k].asks[0];
        e.push_back(((bid.price >= bid0.price ? bid.size : 0.0) - (bid.price <= bid0.price ? bid0.size : 0.0)) -
                    ((ask.price <= ask0.price ? ask.size : 0.0) - (ask.price >= ask0.price ? ask0.size : 0.0)));
      }
      before = k;
    }
    if (!two_sided(r[j]) || e.size() < p[0]) return std::nullopt;
    return window_sum(e, e.size() - 1, std::size_t(p[0]));
  };
  const auto levels = [](const Books& r, std::size_t j, const Params& p) {
    return std::optional(imbalance(r[j], p.empty() ? 1e9 : p[0]));
  };
  expect_record_references<OrderBook>([](const FeedTape& t, std::size_t i) { return Books{t.bars.books[i]}; }, {
      {"OrderBookImbalanceTop1", top([](const OrderBook& b) { return imbalance(b, 1); }), {{}}},
      {"OrderBookImbalanceTopN", levels, {{1}, {2}, {50}}},
      {"OrderBookImbalanceFull", levels, {{}}},
      {"QuotedSpread", top([](const OrderBook& b) { return (b.asks[0].price - b.bids[0].price) / mid(b) * 10000.0; }), {{}}},
      {"Microprice", top([](const OrderBook& b) {
         const Level &bid = b.bids[0], &ask = b.asks[0];
         return bid.size + ask.size > 0.0 ? (bid.size * ask.price + bid.price * ask.size) / (bid.size + ask.size) : mid(b);
       }), {{}}},
      {"DepthSlope", top([](const OrderBook& b) {
         return b.bids.size() == 1 || b.asks.size() == 1 ? 0.0 : (slope(b.bids, mid(b)) + slope(b.asks, mid(b))) * 0.5;
       }), {{}}, 1e-9},
      {"OrderFlowImbalance", flow, {{1}, {6}, {40}}},
  });
}

TEST(OrderBook, ConstructionChecksInOrder) { expect_count_checks({"OrderBookImbalanceTopN", "OrderFlowImbalance"}, {}); }

}  // namespace
}  // namespace vsci::testing
