// Order-book kinds: size imbalances at the top, over the top N levels and over
// the whole book, the quoted spread, the micro-price, the slope of cumulative
// depth, and the order-flow imbalance of the best quotes from book to book.
// A bar without a book gives no value and changes nothing. Single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/window_sum.h"
#include "indicators/indicator.h"
#include "util/expected.h"

namespace vsci {

struct OrderBookImbalanceTop1 {
  std::optional<double> update_bar(const BarContext& ctx) const;
  std::uint64_t warmup() const { return 1; }
};

class OrderBookImbalanceTopN {
 public:
  static Expected<OrderBookImbalanceTopN, IndicatorError> create(std::uint64_t levels);
  std::optional<double> update_bar(const BarContext& ctx) const;
  std::uint64_t warmup() const { return 1; }

 private:
  explicit OrderBookImbalanceTopN(std::size_t levels) : levels_(levels) {}
  std::size_t levels_;
};

struct OrderBookImbalanceFull {
  std::optional<double> update_bar(const BarContext& ctx) const;
  std::uint64_t warmup() const { return 1; }
};

// The spread in basis points of the mid.
struct QuotedSpread {
  std::optional<double> update_bar(const BarContext& ctx) const;
  std::uint64_t warmup() const { return 1; }
};

struct Microprice {
  std::optional<double> update_bar(const BarContext& ctx) const;
  std::uint64_t warmup() const { return 1; }
};

// Cumulative depth gained per unit of distance from the mid, averaged over
// both sides.
struct DepthSlope {
  std::optional<double> update_bar(const BarContext& ctx) const;
  std::uint64_t warmup() const { return 1; }
};

class OrderFlowImbalance {
 public:
  static Expected<OrderFlowImbalance, IndicatorError> create(std::uint64_t n);
  std::optional<double> update_bar(const BarContext& ctx);
  std::uint64_t warmup() const { return flows_.capacity() + 1; }

 private:
  explicit OrderFlowImbalance(std::size_t n) : flows_(n, true) {}
  WindowSum flows_;
  std::optional<Level> previous_bid_;
  Level previous_ask_;
};

}  // namespace vsci
