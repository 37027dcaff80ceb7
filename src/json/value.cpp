// Objects keep their members sorted by key bytes, so a tree is written in one
// canonical order and a lookup is a binary search.
#include "json/value.h"

#include <algorithm>
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
    // Records of a few members (an equity point is two, in declared order):
    // sorted in place by insertion, which keeps equal keys in their order as
    // the stable sort does, without the stable sort's buffer.
    for (std::size_t i = 1; i < members.size(); ++i) {
      for (std::size_t j = i; j > 0 && member_less(members[j], members[j - 1]); --j) {
        std::swap(members[j], members[j - 1]);
      }
    }
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
