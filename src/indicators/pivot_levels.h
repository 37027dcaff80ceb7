// Pivot levels: parameterless candle kinds that turn the current bar alone
// into support and resistance levels for the bars after it, published as
// named outputs. Fed only validated candles; single-threaded use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "indicators/indicator.h"

namespace vsci {

// One bar in, N levels out, the first of them the main value: the shape every
// pivot kind shares.
template <std::size_t N>
class PivotKind {
 public:
  std::uint64_t warmup() const { return 1; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 protected:
  explicit constexpr PivotKind(const std::array<std::string_view, N>& names) : outputs_(names) {}
  double publish(const std::array<double, N>& levels) {
    outputs_.set(levels);
    return levels[0];
  }

 private:
  OutputList<N> outputs_;
};

struct WoodiePivots : PivotKind<5> {
  static constexpr std::array<std::string_view, 5> kOutputNames{"pp", "r1", "r2", "s1", "s2"};
  WoodiePivots() : PivotKind(kOutputNames) {}
  std::optional<double> update_candle(const Candle& c);
};

struct ClassicPivots : PivotKind<7> {
  static constexpr std::array<std::string_view, 7> kOutputNames{"pp", "r1", "r2", "r3", "s1", "s2", "s3"};
  ClassicPivots() : PivotKind(kOutputNames) {}
  std::optional<double> update_candle(const Candle& c);
};

struct DemarkPivots : PivotKind<3> {
  static constexpr std::array<std::string_view, 3> kOutputNames{"pp", "r1", "s1"};
  DemarkPivots() : PivotKind(kOutputNames) {}
  std::optional<double> update_candle(const Candle& c);
};

struct CentralPivotRange : PivotKind<3> {
  static constexpr std::array<std::string_view, 3> kOutputNames{"pivot", "tc", "bc"};
  CentralPivotRange() : PivotKind(kOutputNames) {}
  std::optional<double> update_candle(const Candle& c);
};

struct Camarilla : PivotKind<9> {
  static constexpr std::array<std::string_view, 9> kOutputNames{"pp", "r1", "r2", "r3", "r4",
                                                                "s1", "s2", "s3", "s4"};
  Camarilla() : PivotKind(kOutputNames) {}
  std::optional<double> update_candle(const Candle& c);
};

// The next bar's projected high and low; the main value is the high.
struct TdRangeProjection : PivotKind<2> {
  static constexpr std::array<std::string_view, 2> kOutputNames{"high", "low"};
  TdRangeProjection() : PivotKind(kOutputNames) {}
  std::optional<double> update_candle(const Candle& c);
};

struct FibRangePivots : PivotKind<7> {
  static constexpr std::array<std::string_view, 7> kOutputNames{"pp", "r1", "r2", "r3", "s1", "s2", "s3"};
  FibRangePivots() : PivotKind(kOutputNames) {}
  std::optional<double> update_candle(const Candle& c);
};

}  // namespace vsci
