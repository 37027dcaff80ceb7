// Kinds over one side record of the bar (the derivatives tick, the
// cross-section, ...), no value on a bar without it: RecordFormula, one
// formula of the record (no state, callable from any thread); RecordSeries,
// a close-series core of one count fed one reading of each record
// (single-threaded use).
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "indicators/indicator_error.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

// Feed: the BarContext member that points at the record; Formula: a function
// of the record.
template <auto Feed, auto Formula>
struct RecordFormula {
  std::optional<double> update_bar(const BarContext& ctx) const {
    const auto* record = ctx.*Feed;
    if (record == nullptr) return std::nullopt;
    return Formula(*record);
  }
  std::uint64_t warmup() const { return 1; }
};

// Core: a kind with create(count), update_value and warmup (its own checks
// are the kind's); Reading: a function of the record.
template <class Core, auto Feed, auto Reading>
class RecordSeries {
 public:
  static Expected<RecordSeries, IndicatorError> create(std::uint64_t n) {
    auto core = Core::create(n);
    if (!core.ok()) return unexpected(core.error());
    return RecordSeries(std::move(core).value());
  }
  std::optional<double> update_bar(const BarContext& ctx) {
    const auto* record = ctx.*Feed;
    if (record == nullptr) return std::nullopt;
    return core_.update_value(Reading(*record));
  }
  std::uint64_t warmup() const { return core_.warmup(); }

 private:
  explicit RecordSeries(Core core) : core_(std::move(core)) {}
  Core core_;
};

}  // namespace vsci
