// The registry: one entry per accepted kind name, with the getter of each
// parameter position (in position order) and the kind's constructor. Each
// indicator family contributes its entries from its own kinds_<family>.cpp;
// the factory merges them once into one table sorted by name bytes.
// Read-only after first use; safe from any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "indicators/indicator.h"

namespace vsci {

// One parameter as its getter delivered it; the getter fixes which member is set.
struct ParamValue {
  double real = 0.0;           // 'f': param_finite
  std::uint64_t count = 0;     // 'p': param_positive_integer
  std::int32_t i32 = 0;        // 'i': param_i32
  std::uint32_t u32 = 0;       // 'u': param_u32
};

using KindConstructor = IndicatorResult (*)(const ParamValue* values);

// The widest parameter list an entry may declare.
inline constexpr std::size_t kMaxKindParams = 16;

struct KindEntry {
  std::string_view name;
  // One letter per position from #0: 'f' finite, 'p' positive integer,
  // 'i' i32, 'u' u32. Empty for kinds without parameters.
  std::string_view params;
  KindConstructor make;
};

// The family tables. Each is defined in src/factory/kinds_<family>.cpp.
std::span<const KindEntry> moving_average_kinds();
std::span<const KindEntry> momentum_kinds();
std::span<const KindEntry> adaptive_average_kinds();
std::span<const KindEntry> regression_kinds();
std::span<const KindEntry> ma_oscillator_kinds();
std::span<const KindEntry> rsi_family_kinds();
std::span<const KindEntry> trend_strength_kinds();
std::span<const KindEntry> volatility_kinds();
std::span<const KindEntry> rolling_statistics_kinds();
std::span<const KindEntry> performance_ratio_kinds();
std::span<const KindEntry> cycle_filter_kinds();
std::span<const KindEntry> hilbert_kinds();

// Every entry of every family, sorted by name bytes (built once, on first use).
std::span<const KindEntry* const> registry();

// The entry named exactly `name` (no aliases), or null.
const KindEntry* find_kind(std::string_view name);

}  // namespace vsci
