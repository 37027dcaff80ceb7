// Price transforms and bar measures: parameterless candle kinds that turn the
// current bar into one number, and HeikinAshi, which turns it into a smoothed
// candle with named outputs. Each gives a value on every valid bar. Fed only
// validated candles (see KindIndicator); single-threaded use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "indicators/cores/heikin_ashi.h"
#include "indicators/indicator.h"

namespace vsci {

// The stateless measures: one formula of the bar each.
struct TypicalPrice {
  std::optional<double> update_candle(const Candle& c) const { return (c.high + c.low + c.close) / 3.0; }
  std::uint64_t warmup() const { return 1; }
};

struct WeightedClose {
  std::optional<double> update_candle(const Candle& c) const { return ((c.high + c.low) + 2.0 * c.close) * 0.25; }
  std::uint64_t warmup() const { return 1; }
};

struct MedianPrice {
  std::optional<double> update_candle(const Candle& c) const { return safe_midpoint(c.high, c.low); }
  std::uint64_t warmup() const { return 1; }
};

struct AvgPrice {
  std::optional<double> update_candle(const Candle& c) const { return (c.open + c.high + c.low + c.close) * 0.25; }
  std::uint64_t warmup() const { return 1; }
};

// The bar's range as a fraction of its close (0 when the close is 0).
struct HighLowRange {
  std::optional<double> update_candle(const Candle& c) const;
  std::uint64_t warmup() const { return 1; }
};

// The bar's change as a fraction of its open (0 when the open is 0).
struct CloseVsOpen {
  std::optional<double> update_candle(const Candle& c) const;
  std::uint64_t warmup() const { return 1; }
};

// |close - open| / range, in [0, 1] (0 on a bar without range).
struct BodySizePct {
  std::optional<double> update_candle(const Candle& c) const;
  std::uint64_t warmup() const { return 1; }
};

// (close - open) / range, in [-1, 1] (0 on a bar without range).
struct BalanceOfPower {
  std::optional<double> update_candle(const Candle& c) const;
  std::uint64_t warmup() const { return 1; }
};

// (upper shadow - lower shadow) / range, in [-1, 1] (0 on a bar without range).
struct ShadowRatio {
  std::optional<double> update_candle(const Candle& c) const;
  std::uint64_t warmup() const { return 1; }
};

class TrueRange {
 public:
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 1; }

 private:
  std::optional<double> prev_close_;
};

class HeikinAshi {
 public:
  static constexpr std::array<std::string_view, 4> kOutputNames{"open", "high", "low", "close"};

  // The main value is the Heikin-Ashi open.
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  std::optional<HeikinAshiPair> prev_;
  OutputList<4> outputs_{kOutputNames};
};

}  // namespace vsci
