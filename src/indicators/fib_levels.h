// Fibonacci levels from swings: ten parameterless candle kinds that turn the
// last confirmed pivots of their SwingTracker into price levels, fan lines,
// arcs, a channel, time zones or a confluence price, published as named
// outputs (the first is the main value). Single-threaded use.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "indicators/cores/swing_tracker.h"
#include "indicators/indicator.h"

namespace vsci {

// One Fibonacci kind: what it keeps and needs, its names, and its levels from
// the kept pivots (oldest first) and the current bar's index. Levels that do
// not move with the bar depend on the pivots alone, so they are worked out
// again only on a bar that confirms a pivot (the first value always comes on
// such a bar) and stand unchanged, to the bit, in between.
template <class Levels>
class SwingLevels {
 public:
  static constexpr auto kOutputNames = Levels::kNames;

  std::optional<double> update_candle(const Candle& c) {
    const bool confirmed = tracker_.update(c.high, c.low);
    if (tracker_.size() < Levels::kNeeded) return std::nullopt;
    if (confirmed || Levels::kMovesWithBar) outputs_.set(Levels::compute(tracker_.pivots(), tracker_.current_bar()));
    return outputs_.view()[0].value;
  }
  std::uint64_t warmup() const { return Levels::kWarmup; }
  std::span<const NamedOutput> outputs() const { return outputs_.view(); }

 private:
  SwingTracker tracker_{Levels::kKept};
  OutputList<kOutputNames.size()> outputs_{kOutputNames};
};

template <std::size_t N>
using LevelNames = std::array<std::string_view, N>;
template <std::size_t N>
using LevelValues = std::array<double, N>;

struct GoldenPocketLevels {
  static constexpr LevelNames<3> kNames{"low", "mid", "high"};
  static constexpr std::size_t kKept = 2, kNeeded = 2, kWarmup = 2;
  static constexpr bool kMovesWithBar = false;
  static LevelValues<3> compute(std::span<const SwingPivot> p, std::uint64_t cur);
};

inline constexpr LevelNames<7> kRetracementNames{"level_0",   "level_236", "level_382", "level_500",
                                                 "level_618", "level_786", "level_1000"};

struct FibRetracementLevels {
  static constexpr LevelNames<7> kNames = kRetracementNames;
  static constexpr std::size_t kKept = 2, kNeeded = 2, kWarmup = 2;
  static constexpr bool kMovesWithBar = false;
  static LevelValues<7> compute(std::span<const SwingPivot> p, std::uint64_t cur);
};

// The retracement of the widest consecutive swing among the last six pivots.
struct AutoFibLevels {
  static constexpr LevelNames<7> kNames = kRetracementNames;
  static constexpr std::size_t kKept = 6, kNeeded = 2, kWarmup = 2;
  static constexpr bool kMovesWithBar = false;
  static LevelValues<7> compute(std::span<const SwingPivot> p, std::uint64_t cur);
};

struct FibExtensionLevels {
  static constexpr LevelNames<5> kNames{"level_1272", "level_1414", "level_1618", "level_2000", "level_2618"};
  static constexpr std::size_t kKept = 2, kNeeded = 2, kWarmup = 2;
  static constexpr bool kMovesWithBar = false;
  static LevelValues<5> compute(std::span<const SwingPivot> p, std::uint64_t cur);
};

struct FibProjectionLevels {
  static constexpr LevelNames<4> kNames{"level_618", "level_1000", "level_1618", "level_2618"};
  static constexpr std::size_t kKept = 3, kNeeded = 3, kWarmup = 3;
  static constexpr bool kMovesWithBar = false;
  static LevelValues<4> compute(std::span<const SwingPivot> p, std::uint64_t cur);
};

struct FibFanLevels {
  static constexpr LevelNames<3> kNames{"fan_382", "fan_500", "fan_618"};
  static constexpr std::size_t kKept = 2, kNeeded = 2, kWarmup = 2;
  static constexpr bool kMovesWithBar = true;
  static LevelValues<3> compute(std::span<const SwingPivot> p, std::uint64_t cur);
};

struct FibArcsLevels {
  static constexpr LevelNames<3> kNames{"arc_382", "arc_500", "arc_618"};
  static constexpr std::size_t kKept = 2, kNeeded = 2, kWarmup = 2;
  static constexpr bool kMovesWithBar = true;
  static LevelValues<3> compute(std::span<const SwingPivot> p, std::uint64_t cur);
};

struct FibChannelLevels {
  static constexpr LevelNames<4> kNames{"base", "level_618", "level_1000", "level_1618"};
  static constexpr std::size_t kKept = 3, kNeeded = 3, kWarmup = 3;
  static constexpr bool kMovesWithBar = true;
  static LevelValues<4> compute(std::span<const SwingPivot> p, std::uint64_t cur);
};

// Whether the bars since the newest pivot are a Fibonacci number, and how far
// the next one is.
struct FibTimeZonesLevels {
  static constexpr LevelNames<2> kNames{"on_zone", "bars_to_next"};
  static constexpr std::size_t kKept = 2, kNeeded = 1, kWarmup = 2;
  static constexpr bool kMovesWithBar = true;
  static LevelValues<2> compute(std::span<const SwingPivot> p, std::uint64_t cur);
};

// The mean of the densest cluster of retracement levels over the kept swings.
struct FibConfluenceLevels {
  static constexpr LevelNames<2> kNames{"price", "strength"};
  static constexpr std::size_t kKept = 6, kNeeded = 3, kWarmup = 3;
  static constexpr bool kMovesWithBar = false;
  static LevelValues<2> compute(std::span<const SwingPivot> p, std::uint64_t cur);
};

using GoldenPocket = SwingLevels<GoldenPocketLevels>;
using FibRetracement = SwingLevels<FibRetracementLevels>;
using AutoFib = SwingLevels<AutoFibLevels>;
using FibExtension = SwingLevels<FibExtensionLevels>;
using FibProjection = SwingLevels<FibProjectionLevels>;
using FibFan = SwingLevels<FibFanLevels>;
using FibArcs = SwingLevels<FibArcsLevels>;
using FibChannel = SwingLevels<FibChannelLevels>;
using FibTimeZones = SwingLevels<FibTimeZonesLevels>;
using FibConfluence = SwingLevels<FibConfluenceLevels>;

}  // namespace vsci
