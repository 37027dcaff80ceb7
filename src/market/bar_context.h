// The market-data records every indicator sees, and BarContext, the read-only
// record the engine lends to each indicator's update for one bar. Plain values;
// a BarContext borrows from the engine and must not be kept past the update.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vsci {

struct Candle {
  std::int64_t time = 0;  // milliseconds since the epoch
  double open = 0.0;
  double high = 0.0;
  double low = 0.0;
  double close = 0.0;
  double volume = 0.0;
};

struct Level {
  double price = 0.0;
  double size = 0.0;
};

// bids and asks, best level first.
struct OrderBook {
  std::vector<Level> bids;
  std::vector<Level> asks;
};

enum class TradeSide : std::uint8_t { Buy, Sell };

struct TradePrint {
  double price = 0.0;
  double size = 0.0;
  TradeSide side = TradeSide::Buy;
  std::int64_t timestamp = 0;
};

// Members in the request's declared order: eleven floats, then the timestamp.
struct DerivativesTick {
  double funding_rate = 0.0;
  double mark_price = 0.0;
  double index_price = 0.0;
  double futures_price = 0.0;
  double open_interest = 0.0;
  double long_size = 0.0;
  double short_size = 0.0;
  double taker_buy_volume = 0.0;
  double taker_sell_volume = 0.0;
  double long_liquidation = 0.0;
  double short_liquidation = 0.0;
  std::int64_t timestamp = 0;
};

struct CrossSectionMember {
  double change = 0.0;
  double volume = 0.0;
  bool new_high = false;
  bool new_low = false;
};

struct CrossSection {
  std::vector<CrossSectionMember> members;
  std::int64_t timestamp = 0;
};

// Side records are pointers and spans into storage the engine owns for the
// whole run, so building a context per bar allocates nothing. A null pointer is
// an absent record (no feed, or the record failed its check on this bar).
struct BarContext {
  const Candle* candle = nullptr;  // always set by the engine
  std::optional<double> reference;
  const DerivativesTick* derivatives = nullptr;
  std::span<const TradePrint> trades;  // only prints that passed their check
  const OrderBook* book = nullptr;
  const CrossSection* cross_section = nullptr;

  BarContext() = default;
  explicit BarContext(const Candle& c) : candle(&c) {}
};

}  // namespace vsci
