// Rule references become positions once, so a bar's values are read by index;
// the history window makes records only as bars arrive.
#include "engine/bar_record.h"

#include <algorithm>

namespace vsci {

SlotTable::SlotTable(std::vector<std::string> keys) : keys_(std::move(keys)) {
  std::sort(keys_.begin(), keys_.end());
  keys_.erase(std::unique(keys_.begin(), keys_.end()), keys_.end());
}

Slot SlotTable::find(std::string_view key) const {
  auto it = std::lower_bound(keys_.begin(), keys_.end(), key,
                             [](const std::string& k, std::string_view v) { return std::string_view(k) < v; });
  if (it == keys_.end() || *it != key) return NO_SLOT;
  return static_cast<Slot>(it - keys_.begin());
}

Slot SlotTable::find_output(std::string_view name, std::string_view output) const {
  std::string key;
  key.reserve(name.size() + 1 + output.size());
  key.append(name).push_back('.');
  key.append(output);
  return find(key);
}

HistoryWindow::HistoryWindow(std::size_t capacity, std::size_t slot_count)
    : capacity_(capacity == 0 ? 1 : capacity), slot_count_(slot_count) {}

BarRecord& HistoryWindow::push(const Candle& candle) {
  BarRecord* record;
  if (size_ < capacity_) {
    // Still filling: records are only created as bars arrive, so a window
    // sized for a huge look-back costs nothing until it is used.
    records_.emplace_back();
    record = &records_.back();
    record->values.assign(slot_count_, std::nullopt);
    ++size_;
  } else {
    record = &records_[head_];
    head_ = head_ + 1 == capacity_ ? 0 : head_ + 1;
    std::fill(record->values.begin(), record->values.end(), std::nullopt);
  }
  record->candle = candle;
  return *record;
}

}  // namespace vsci
