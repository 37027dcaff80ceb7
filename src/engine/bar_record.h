// The per-bar records the engine keeps and lends: BarFeeds (one bar's side
// records, borrowed from the request), the slot table that turns value keys
// into fixed positions, BarRecord and the history window the rules read, and
// the position context handed to rule evaluation. Plain values; one engine
// (one thread) uses them at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "market/bar_context.h"
#include "market/price_checks.h"

namespace vsci {

// What the bar loop hands to the per-bar step besides the candle. Borrows from
// the request for one step; owns nothing. A null pointer is an absent record.
struct BarFeeds {
  std::optional<double> reference;  // close of the reference candle; none without a reference feed
  const DerivativesTick* derivatives = nullptr;
  const OrderBook* book = nullptr;
  std::optional<std::span<const TradePrint>> trades;  // none without a trades feed (treat as empty)
  const CrossSection* cross_section = nullptr;
};

// A slot is the fixed position of one value key ("bb", "bb.upper") in every
// BarRecord of a run. Built once at setup from the declared indicator names
// and every reference the rules make; a key nobody can read gets no slot, so
// storing it would change nothing observable.
using Slot = std::uint32_t;
inline constexpr Slot NO_SLOT = 0xFFFFFFFFu;

class SlotTable {
 public:
  SlotTable() = default;
  // Keys in any order, repeats allowed; slots are assigned in bytewise key
  // order, so slot order is the order of a map keyed by text.
  explicit SlotTable(std::vector<std::string> keys);

  // The slot of exactly this key, or NO_SLOT.
  Slot find(std::string_view key) const;
  // The slot an output of indicator `name` is stored under ("name.output").
  Slot find_output(std::string_view name, std::string_view output) const;

  std::size_t size() const { return keys_.size(); }
  const std::string& key(Slot slot) const { return keys_[slot]; }

 private:
  std::vector<std::string> keys_;  // sorted bytewise, unique
};

// One element of the history window: the bar's candle and the values the
// indicators gave on it, one optional number per slot (absent = no value).
struct BarRecord {
  Candle candle;
  std::vector<std::optional<double>> values;

  std::optional<double> value(Slot slot) const {
    return slot < values.size() ? values[slot] : std::nullopt;
  }
  // A later store under a slot replaces the earlier value, as a map would.
  void set(Slot slot, double v) {
    if (slot < values.size()) values[slot] = v;
  }
};

// The newest `capacity` BarRecords, oldest first. Record storage is reused
// once the window is full, so a steady-state push allocates nothing.
class HistoryWindow {
 public:
  HistoryWindow() = default;
  // capacity is at least 1; slot_count is the size of the run's SlotTable.
  HistoryWindow(std::size_t capacity, std::size_t slot_count);

  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }

  // Index 0 is the oldest record, size() - 1 the newest.
  const BarRecord& operator[](std::size_t i) const { return records_[physical(i)]; }

  // Appends a record for `candle` with every value absent, dropping the oldest
  // when full, and returns it for the caller to fill with the bar's values.
  BarRecord& push(const Candle& candle);

 private:
  std::size_t physical(std::size_t i) const {
    std::size_t p = head_ + i;
    return p >= capacity_ ? p - capacity_ : p;
  }

  std::vector<BarRecord> records_;
  std::size_t capacity_ = 1;
  std::size_t slot_count_ = 0;
  std::size_t head_ = 0;  // physical index of the oldest record
  std::size_t size_ = 0;
};

// What rule evaluation knows of the engine's position.
struct PositionContext {
  // This bar's index minus the entry bar's; none while no entry is recorded.
  std::optional<std::uint32_t> bars_since_entry;
  // |qty| > EPS.
  bool in_position = false;
};

}  // namespace vsci
