// Order-book kinds against per-book formulas over tapes with one-sided,
// single-level, zero-size and unchanged books, and their construction checks.
#include "support/counted_sums.h"
#include "support/feed_tape.h"

namespace vsci::testing {
namespace {

using Book = const OrderBook&;

bool two_sided(Book b) { return !b.bids.empty() && !b.asks.empty(); }
double mid(Book b) { return (b.bids[0].price + b.asks[0].price) * 0.5; }

// f(the newest book), or 0 for a book missing a side.
auto top(double (*f)(Book)) {
  return newest<OrderBook>([f](Book b) { return two_sided(b) ? f(b) : 0.0; });
}

double depth(const std::vector<Level>& side, double levels) {
  double sum = 0.0;
  for (std::size_t i = 0; i < side.size() && double(i) < levels; ++i) sum += side[i].size;
  return sum;
}

double imbalance(Book b, double levels) {
  const double bid = depth(b.bids, levels), ask = depth(b.asks, levels);
  return bid + ask > 0.0 ? (bid - ask) / (bid + ask) : 0.0;
}

// Least squares of cumulative size on distance from the mid, about the means.
double slope(const std::vector<Level>& side, double m) {
  const auto x = [&](std::size_t i) { return std::fabs(side[i].price - m); };
  double mx = 0.0, my = 0.0, sxy = 0.0, sxx = 0.0, k = double(side.size());
  for (std::size_t i = 0; i < side.size(); ++i) mx += x(i) / k, my += depth(side, i + 1.0) / k;
  for (std::size_t i = 0; i < side.size(); ++i) sxy += (x(i) - mx) * (depth(side, i + 1.0) - my), sxx += std::pow(x(i) - mx, 2);
  return sxy / sxx;
}

// The flow of the best quotes from one two-sided book to the next.
double flow_term(Book before, Book now) {
  const Level &bid0 = before.bids[0], &ask0 = before.asks[0], &bid = now.bids[0], &ask = now.asks[0];
  return ((bid.price >= bid0.price ? bid.size : 0.0) - (bid.price <= bid0.price ? bid0.size : 0.0)) -
         ((ask.price <= ask0.price ? ask.size : 0.0) - (ask.price >= ask0.price ? ask0.size : 0.0));
}

TEST(OrderBook, MatchReferences) {
  const auto flow = [](const std::vector<OrderBook>& r, std::size_t j, const Params& p) -> std::optional<double> {
    std::vector<double> e;  // between each two-sided book and the one before
    for (std::size_t k = 0, before = j + 1; k <= j; ++k) {
      if (!two_sided(r[k])) continue;
      if (before <= j) e.push_back(flow_term(r[before], r[k]));
      before = k;
    }
    if (!two_sided(r[j]) || e.size() < p[0]) return std::nullopt;
    return window_sum(e, e.size() - 1, std::size_t(p[0]));
  };
  const auto levels = [](const std::vector<OrderBook>& r, std::size_t j, const Params& p) {
    return std::optional(imbalance(r[j], p.empty() ? 1e9 : p[0]));
  };
  expect_record_references<OrderBook>([](const BarTape& t, std::size_t i) { return std::vector{t.books[i]}; }, {
      {"OrderBookImbalanceTop1", top([](Book b) { return imbalance(b, 1); }), {{}}},
      {"OrderBookImbalanceTopN", levels, {{1}, {2}, {50}}},
      {"OrderBookImbalanceFull", levels, {{}}},
      {"QuotedSpread", top([](Book b) { return (b.asks[0].price - b.bids[0].price) / mid(b) * 10000.0; }), {{}}},
      {"Microprice", top([](Book b) {
         const Level &bid = b.bids[0], &ask = b.asks[0];
         return bid.size + ask.size > 0.0 ? (bid.size * ask.price + bid.price * ask.size) / (bid.size + ask.size) : mid(b);
       }), {{}}},
      {"DepthSlope", top([](Book b) {
         return b.bids.size() == 1 || b.asks.size() == 1 ? 0.0 : (slope(b.bids, mid(b)) + slope(b.asks, mid(b))) * 0.5;
       }), {{}}, 1e-9},
      {"OrderFlowImbalance", flow, {{1}, {6}, {40}}},
  });
}

// Books with fractional sizes over several magnitudes, unchanged for
// stretches (zero flow terms): windows 2 to 5 and one longer than a stretch,
// the flow terms in a counted running sum re-summed every n.
TEST(OrderBook, OrderFlowImbalanceSumsAcrossUnchangedBooks) {
  const std::vector<double> moves = moves_with_zero_stretches(300, kStretches, 66);
  std::vector<OrderBook> books;
  std::vector<double> flows;
  for (std::size_t i = 0; i < moves.size(); ++i) {
    const double m = moves[i], scale = std::pow(10.0, double(i % 3) - 1.0), bid = 100.0 + std::round(2.0 * m) * 0.5;
    const Level best_bid{bid, 13.7 * std::fabs(m) * scale};
    const Level best_ask{bid + 0.5 * double(1 + i % 2), 9.1 * (1.05 - std::fabs(m)) * scale};
    books.push_back(m == 0.0 && i > 0 ? books.back() : OrderBook{{best_bid}, {best_ask}});
    if (i > 0) flows.push_back(flow_term(books[i - 1], books[i]));
  }
  for (std::size_t n : kStretchWindows) {
    const auto sums = window_sums(flows, n, {.resum_every = n});
    auto ind = build_ok("OrderFlowImbalance", {double(n)});
    Series got, want(books.size());
    for (std::size_t i = 0; i < books.size(); ++i) {
      BarContext ctx(Candle{0, 1, 1, 1, 1, 1});
      ctx.book = &books[i];
      got.push_back(ind->update(ctx));
      if (i >= n) want[i] = sums[i - 1];
    }
    expect_series(got, want, 0.0, "OrderFlowImbalance " + std::to_string(n));
  }
}

TEST(OrderBook, ConstructionChecksInOrder) { expect_count_checks({"OrderBookImbalanceTopN", "OrderFlowImbalance"}, {}); }

}  // namespace
}  // namespace vsci::testing
