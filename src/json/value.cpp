// Objects keep their members sorted by key bytes, so a tree is written in one
// canonical order and a lookup is a binary search.
#include "json/value.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace vsci::json {

namespace {

// Byte order of keys; most keys already differ in their first byte.
bool key_less(const std::string& a, const std::string& b) {
  if (!a.empty() && !b.empty() && a[0] != b[0]) {
    return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]);
  }
  return a < b;
}

bool member_less(const Value::Member& a, const Value::Member& b) { return key_less(a.key, b.key); }

constexpr std::size_t kInsertionSortMax = 16;

// Records of a few members (an equity point is two, a candle six, in declared
// order): their positions are sorted by insertion, which keeps equal keys in
// their order as the stable sort does, without the stable sort's buffer; then
// each member moves once, along the cycles of that permutation.
void sort_few(Value::Object& members) {
  const std::size_t n = members.size();
  std::uint8_t order[kInsertionSortMax];  // order[j]: where the j-th smallest stands now
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t j = i;
    for (; j > 0 && key_less(members[i].key, members[order[j - 1]].key); --j) order[j] = order[j - 1];
    order[j] = static_cast<std::uint8_t>(i);
  }
  bool placed[kInsertionSortMax] = {};
  for (std::size_t start = 0; start < n; ++start) {
    if (placed[start] || order[start] == start) continue;
    Value::Member held = std::move(members[start]);
    std::size_t k = start;
    while (order[k] != start) {
      members[k] = std::move(members[order[k]]);
      placed[k] = true;
      k = order[k];
    }
    members[k] = std::move(held);
    placed[k] = true;
  }
}

}  // namespace

void normalize_members(Value::Object& members) {
  // Text written by this system is already sorted and unique: check first.
  bool ordered = true;
  for (std::size_t i = 1; i < members.size(); ++i) {
    if (!key_less(members[i - 1].key, members[i].key)) {
      ordered = false;
      break;
    }
  }
  if (ordered) return;
  if (members.size() <= kInsertionSortMax) {
    sort_few(members);
  } else {
    std::stable_sort(members.begin(), members.end(), member_less);
  }
  // Within a run of equal keys the last one written wins.
  std::size_t out = 0;
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (i + 1 < members.size() && members[i + 1].key == members[i].key) continue;
    if (out != i) members[out] = std::move(members[i]);
    ++out;
  }
  members.resize(out);
}

Value Value::object(Object members) {
  normalize_members(members);
  return Value(Store(std::in_place_index<7>, std::move(members)));
}

double Value::to_f64() const {
  switch (kind()) {
    case Kind::U64: return static_cast<double>(as_u64());
    case Kind::I64: return static_cast<double>(as_i64());
    case Kind::F64: return as_f64();
    default: return 0.0;
  }
}

const Value* Value::find(std::string_view key) const {
  if (!is_object()) return nullptr;
  const Object& m = as_object();
  auto it = std::lower_bound(m.begin(), m.end(), key,
                             [](const Member& a, std::string_view k) { return std::string_view(a.key) < k; });
  if (it != m.end() && it->key == key) return &it->value;
  return nullptr;
}

Value& Value::set(std::string key, Value value) {
  Object& m = as_object();
  auto it = std::lower_bound(m.begin(), m.end(), key,
                             [](const Member& a, const std::string& k) { return a.key < k; });
  if (it != m.end() && it->key == key) {
    it->value = std::move(value);
    return it->value;
  }
  it = m.insert(it, Member{std::move(key), std::move(value)});
  return it->value;
}

}  // namespace vsci::json
