// Flattening from text keeps the tree's answer without building the tree: when
// every key is plain (not empty, without "." or "[") and unique in its object,
// no two leaves share a path, and the bytewise order of the paths is the
// order of a walk that visits each container's children in the order of their
// own paths. So sorting only permutes each container's children (members by
// their first path, items by the text of their index), never a global sort.
#include "harness/flat_document.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "harness/compare.h"
#include "harness/result_fields.h"
#include "json/reader.h"

namespace vsci {

// One pass of the pull reader over the text. Stops (returns false) at the
// first reading error or irregular key; the caller then takes the tree way.
class FlatDocument::Flattener {
 public:
  Flattener(std::string_view text, FlatDocument& out) : reader_(text), out_(out), frames_(json::kMaxDepth + 2) {
    // Room for a number every 24 bytes or so; untouched room costs nothing.
    out_.fields_.reserve(text.size() / 16 + 16);
    out_.paths_.reserve(text.size() + 64);
  }

  bool run() { return value(0) && reader_.finish().ok(); }

 private:
  struct Frame {
    std::size_t path_base = 0;
    std::size_t first_field = 0;
    std::vector<std::size_t> starts;  // first field of each child
    std::string keys;                 // the object's keys, end to end
    std::vector<std::uint32_t> key_ends;
  };

  bool value(std::size_t depth) {
    const int c = reader_.peek();
    if (c == '{') return object(depth);
    if (c == '[') return array(depth);
    if (c == '"') return reader_.read_str().ok();
    if (c == '-' || (c >= '0' && c <= '9')) {
      auto x = reader_.read_f64();
      if (!x) return false;
      out_.fields_.push_back({out_.paths_.size(), static_cast<std::uint32_t>(path_.size()), *x});
      out_.paths_ += path_;
      return true;
    }
    return reader_.skip_value().ok();
  }

  static bool plain_key(std::string_view key) {
    for (const char c : key) {
      if (c == '.' || c == '[') return false;
    }
    return !key.empty();
  }

  static std::string_view key_at(const Frame& f, std::size_t k) {
    const std::uint32_t begin = k == 0 ? 0 : f.key_ends[k - 1];
    return std::string_view(f.keys.data() + begin, f.key_ends[k] - begin);
  }

  // Whether a key of the closed object repeats. A few keys are compared pair
  // by pair; more are sorted, so that an object of k members costs k log k
  // comparisons, never k * k.
  bool keys_repeat(const Frame& f) {
    const std::size_t n = f.key_ends.size();
    if (n <= kFewKeys) {
      for (std::size_t a = 1; a < n; ++a) {
        for (std::size_t b = 0; b < a; ++b) {
          if (key_at(f, a) == key_at(f, b)) return true;
        }
      }
      return false;
    }
    // Keys in strictly rising order (a written tree's) are unique as they stand.
    std::size_t k = 1;
    while (k < n && key_at(f, k - 1) < key_at(f, k)) ++k;
    if (k == n) return false;
    key_order_.resize(n);
    for (k = 0; k < n; ++k) key_order_[k] = static_cast<std::uint32_t>(k);
    const auto by_key = [&](std::uint32_t a, std::uint32_t b) { return key_at(f, a) < key_at(f, b); };
    std::sort(key_order_.begin(), key_order_.end(), by_key);
    return std::adjacent_find(key_order_.begin(), key_order_.end(), [&](std::uint32_t a, std::uint32_t b) {
             return key_at(f, a) == key_at(f, b);
           }) != key_order_.end();
  }

  bool object(std::size_t depth) {
    if (!reader_.begin_object().ok()) return false;
    Frame& f = frames_[depth];
    f.path_base = path_.size();
    f.first_field = out_.fields_.size();
    f.starts.clear();
    f.keys.clear();
    f.key_ends.clear();
    std::string_view key;
    for (;;) {
      auto more = reader_.next_member(key);
      if (!more) return false;
      if (!*more) break;
      if (!plain_key(key)) return false;
      f.keys += key;
      f.key_ends.push_back(static_cast<std::uint32_t>(f.keys.size()));
      path_.resize(f.path_base);
      if (f.path_base != 0) path_ += '.';
      path_ += key;
      f.starts.push_back(out_.fields_.size());
      if (!value(depth + 1)) return false;
    }
    path_.resize(f.path_base);
    if (keys_repeat(f)) return false;
    order_members(f);
    return true;
  }

  bool array(std::size_t depth) {
    if (!reader_.begin_array().ok()) return false;
    Frame& f = frames_[depth];
    f.path_base = path_.size();
    f.first_field = out_.fields_.size();
    f.starts.clear();
    char digits[24];
    for (std::uint64_t index = 0;; ++index) {
      auto more = reader_.next_element();
      if (!more) return false;
      if (!*more) break;
      path_.resize(f.path_base);
      path_ += '[';
      path_.append(digits, static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, index).ptr - digits));
      path_ += ']';
      f.starts.push_back(out_.fields_.size());
      if (!value(depth + 1)) return false;
    }
    path_.resize(f.path_base);
    if (f.starts.size() > 10) {
      index_text_order(f.starts.size(), order_);
      permute(f, order_);
    }
    return true;
  }

  std::size_t child_end(const Frame& f, std::size_t k) const {
    return k + 1 < f.starts.size() ? f.starts[k + 1] : out_.fields_.size();
  }

  // Members in the order of their paths; a member without numbers has no place.
  void order_members(Frame& f) {
    std::vector<FlatDocument::Field>& fields = out_.fields_;
    if (f.starts.size() == 2) {
      // The common small record: at most one swap of two blocks, in place.
      const std::size_t a = f.starts[0], b = f.starts[1];
      if (a != b && b != fields.size() && out_.path(b) < out_.path(a)) {
        std::rotate(fields.begin() + static_cast<std::ptrdiff_t>(a), fields.begin() + static_cast<std::ptrdiff_t>(b),
                    fields.end());
      }
      return;
    }
    order_.clear();
    for (std::size_t k = 0; k < f.starts.size(); ++k) {
      if (child_end(f, k) != f.starts[k]) order_.push_back(k);
    }
    const auto first_path = [&](std::uint64_t k) { return out_.path(f.starts[k]); };
    const auto before = [&](std::uint64_t a, std::uint64_t b) { return first_path(a) < first_path(b); };
    if (std::is_sorted(order_.begin(), order_.end(), before)) return;
    std::sort(order_.begin(), order_.end(), before);
    permute(f, order_);
  }

  // Rewrites the frame's fields (the tail of the list: the frame has just
  // closed) with its children in `order`. A frame holding every field has its
  // copy simply become the list.
  void permute(const Frame& f, const std::vector<std::uint64_t>& order) {
    std::vector<FlatDocument::Field>& fields = out_.fields_;
    scratch_.resize(fields.size() - f.first_field);
    std::size_t o = 0;
    for (const std::uint64_t k : order) {
      for (std::size_t j = f.starts[k], end = child_end(f, k); j < end; ++j) scratch_[o++] = fields[j];
    }
    if (f.first_field == 0) {
      fields.swap(scratch_);
      return;
    }
    std::copy(scratch_.begin(), scratch_.end(), fields.begin() + static_cast<std::ptrdiff_t>(f.first_field));
  }

  static constexpr std::size_t kFewKeys = 8;

  json::Reader reader_;
  FlatDocument& out_;
  std::string path_;
  std::vector<Frame> frames_;
  std::vector<std::uint64_t> order_;
  std::vector<std::uint32_t> key_order_;
  std::vector<FlatDocument::Field> scratch_;
};

Expected<FlatDocument, json::Error> FlatDocument::from_text(std::string_view text) {
  {
    FlatDocument doc;
    if (Flattener(text, doc).run()) return doc;
  }
  auto tree = json::parse(text);
  if (!tree) return unexpected(std::move(tree.error()));
  return from_value(*tree);
}

FlatDocument FlatDocument::from_value(const json::Value& v) { return from_map(flatten_json(v)); }

FlatDocument FlatDocument::from_map(const FlatMap& flat) {
  FlatDocument doc;
  doc.fields_.reserve(flat.size());
  for (const auto& [path, value] : flat) {
    doc.fields_.push_back({doc.paths_.size(), static_cast<std::uint32_t>(path.size()), value});
    doc.paths_ += path;
  }
  return doc;
}

std::optional<double> FlatDocument::find(std::string_view path) const {
  std::size_t lo = 0, hi = fields_.size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (this->path(mid) < path) lo = mid + 1;
    else hi = mid;
  }
  if (lo < fields_.size() && this->path(lo) == path) return fields_[lo].value;
  return std::nullopt;
}

FlatDocument FlatDocument::from_result(const BacktestResult& result, const std::vector<std::string>& only,
                                       bool curve) {
  // The text holds no number that is not finite (those are written null),
  // and its curve is the equity list's numbers in index order.
  FlatDocument doc;
  for (const std::string& path : only) {
    if (const auto v = result_fields::number_at(result, path)) {
      doc.fields_.push_back({doc.paths_.size(), static_cast<std::uint32_t>(path.size()), *v});
      doc.paths_ += path;
    }
  }
  if (!curve) return doc;
  doc.equity_.reserve(result.equity.size());
  for (std::size_t i = 0; i < result.equity.size(); ++i) {
    if (std::isfinite(result.equity[i].equity)) doc.equity_.push_back({i, result.equity[i].equity});
  }
  return doc;
}

}  // namespace vsci
