// An expected document is mostly a result written earlier: the result's own
// members, its lists as long as the run's, its numbers perhaps in another form
// (another language's writer) and blanks wherever JSON allows them. Such a
// text is walked once beside the run's records, its long lists in pieces on
// the worker pool, and only the fields that fail become entries, sorted into
// field order at the end. A text of any other shape (a member the result does
// not have, a key given twice, a container where the result holds a scalar),
// or one that does not read, is left to the plain path: both documents
// flattened and merged, which also forms every error.
#include "harness/result_compare.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "harness/flat_document.h"
#include "harness/result_fields.h"
#include "json/reader.h"
#include "json/scanner.h"
#include "util/parallel.h"

namespace vsci {

namespace {

// The failing fields of `a` against `e`, in field order, values rounded to 8
// decimals. Both documents sorted.
std::vector<DiffEntry> compare_flat(const FlatDocument& e, const FlatDocument& a, const Tolerances& tolerances) {
  const ToleranceIndex index(tolerances);
  std::vector<DiffEntry> diff;
  std::size_t ei = 0;
  std::size_t ai = 0;
  // A merge walk over the two sorted documents visits the union of their paths once each, in order.
  while (ei != e.size() || ai != a.size()) {
    const int order = ai == a.size() ? -1 : ei == e.size() ? 1 : e.path(ei).compare(a.path(ai));
    const std::string_view path = order <= 0 ? e.path(ei) : a.path(ai);
    std::optional<double> ev;
    std::optional<double> av;
    if (order <= 0) ev = e.value(ei++);
    if (order >= 0) av = a.value(ai++);
    if (const char* kind = field_failure(ev, av, [&] { return index.find(path); })) {
      diff.push_back(DiffEntry{std::string(path), ev, av, false, kind});
    }
  }
  return diff;
}

using namespace result_fields;

// The scalar at the reader as the flattening reads it: its number, or none
// for a string or a literal. False for a container or what does not read.
bool read_scalar(json::Reader& r, std::optional<double>& out) {
  out.reset();
  const int c = r.peek();
  if (c == '{' || c == '[') return false;
  if (c == '-' || (c >= '0' && c <= '9')) {
    auto x = r.read_f64();
    if (!x) return false;
    out = *x;
    return true;
  }
  if (c == '"') return r.read_str().ok();
  return r.skip_value().ok();
}

// The items of a stretch of a list: per item, the numbers of its members
// (by member), which members hold a number.
struct Items {
  std::vector<double> values;
  std::vector<std::uint16_t> numbers;
  std::size_t count() const { return numbers.size(); }
};

// One item, an object of the list's members each given once.
bool read_item(json::Reader& r, Names names, Items& out) {
  if (r.peek() != '{' || !r.begin_object().ok()) return false;
  const std::size_t base = out.values.size();
  out.values.resize(base + names.size());
  std::uint16_t seen = 0;
  std::uint16_t numbers = 0;
  int hint = 0;
  std::string_view key;
  for (;;) {
    auto more = r.next_member(key);
    if (!more) return false;
    if (!*more) break;
    const int k = find_name(names, key, hint);
    if (k < 0 || ((seen >> k) & 1U) != 0) return false;
    seen = static_cast<std::uint16_t>(seen | (1U << k));
    hint = k + 1;
    std::optional<double> v;
    if (!read_scalar(r, v)) return false;
    if (v) {
      numbers = static_cast<std::uint16_t>(numbers | (1U << k));
      out.values[base + static_cast<std::size_t>(k)] = *v;
    }
  }
  out.numbers.push_back(numbers);
  return true;
}

// The list whose "[" is next, its items in order as the stretches `parts`
// (json::read_list: a stretch per piece read on the pool, then the rest); the
// reader is left after the "]".
bool read_list(json::Reader& r, Names names, std::vector<Items>& parts) {
  return json::read_list(r, parts, [&](json::Reader& rr, Items& items) { return read_item(rr, names, items); });
}

// A failing field before its path is written.
struct Failure {
  std::uint64_t index_order = 0;  // lists: the index's place in text order
  std::uint64_t index = 0;
  std::uint8_t top = 0;
  std::uint8_t member = 0;
  const char* kind = nullptr;
  std::optional<double> expected;
  std::optional<double> actual;
};

Failure failure_at(int top, std::size_t member, std::uint64_t index) {
  Failure f;
  f.top = static_cast<std::uint8_t>(top);
  f.member = static_cast<std::uint8_t>(member);
  f.index = index;
  return f;
}

// The entry for a field given on either side or both, when it fails.
template <class Tol>
void compare_field(std::optional<double> e, std::optional<double> a, const Tol& tolerance, Failure f,
                   std::vector<Failure>& out) {
  f.kind = field_failure(e, a, tolerance);
  if (f.kind == nullptr) return;
  f.expected = e;
  f.actual = a;
  out.push_back(f);
}

// Places the failing list items in the order of their paths, ranked among the
// indices up to the highest failing one.
void order_indices(std::vector<Failure>& failures) {
  std::uint64_t n = 0;
  for (const Failure& f : failures) {
    if (f.top == kEquity || f.top == kTrades) n = std::max(n, f.index + 1);
  }
  if (n == 0) return;
  std::vector<std::uint64_t> order;
  index_text_order(n, order);
  std::vector<std::uint64_t> rank(n);
  for (std::uint64_t k = 0; k < n; ++k) rank[order[k]] = k;
  for (Failure& f : failures) {
    if (f.top == kEquity || f.top == kTrades) f.index_order = rank[f.index];
  }
}

std::string field_path(const Failure& f) {
  std::string path(kTopNames[f.top]);
  if (f.top == kMetrics) {
    path += '.';
    path += kMetricNames[f.member];
  } else if (f.top == kEquity || f.top == kTrades) {
    path += '[';
    path += std::to_string(f.index);
    path += "].";
    path += (f.top == kEquity ? Names(kPointNames) : Names(kTradeNames))[f.member];
  }
  return path;
}

class ResultWalk {
 public:
  ResultWalk(const BacktestResult& result, const Tolerances& tolerances)
      : result_(result), tolerances_(tolerances), index_(tolerances) {}

  std::optional<std::vector<DiffEntry>> run(std::string_view text) {
    json::Reader r(text);
    if (r.peek() != '{' || !r.begin_object().ok()) return std::nullopt;
    unsigned seen = 0;
    std::vector<Items> lists[2];
    std::optional<double> metrics[std::size(kMetricNames)];
    std::string_view key;
    for (;;) {
      auto more = r.next_member(key);
      if (!more) return std::nullopt;
      if (!*more) break;
      const int top = find_name(kTopNames, key, -1);
      if (top < 0 || ((seen >> top) & 1U) != 0) return std::nullopt;
      seen |= 1U << top;
      if (top == kMetrics) {
        if (!read_metrics(r, metrics)) return std::nullopt;
      } else if (top == kEquity || top == kTrades) {
        if (!read_list(r, top == kEquity ? Names(kPointNames) : Names(kTradeNames), lists[top == kTrades]))
          return std::nullopt;
      } else {
        std::optional<double> e;
        if (!read_scalar(r, e)) return std::nullopt;
        compare_top(top, e);
      }
    }
    if (!r.finish().ok()) return std::nullopt;
    // A member not given has no numbers: the result's are extra.
    for (int top = 0; top < static_cast<int>(std::size(kTopNames)); ++top) {
      if (((seen >> top) & 1U) == 0 && top != kMetrics && top != kEquity && top != kTrades) compare_top(top, {});
    }
    for (std::size_t k = 0; k < std::size(kMetricNames); ++k) {
      const std::string path = "metrics." + std::string(kMetricNames[k]);
      compare_field(metrics[k], number<kMetricMembers>(result_.metrics, k),
                    [&] { return index_.find(path); }, failure_at(kMetrics, k, 0),
                    failures_);
    }
    compare_list<kPointMembers>(kEquity, lists[0], result_.equity);
    compare_list<kTradeMembers>(kTrades, lists[1], result_.trades);

    order_indices(failures_);
    std::sort(failures_.begin(), failures_.end(), [](const Failure& a, const Failure& b) {
      if (a.top != b.top) return a.top < b.top;
      if (a.index_order != b.index_order) return a.index_order < b.index_order;
      return a.member < b.member;
    });
    std::vector<DiffEntry> diff;
    diff.reserve(failures_.size());
    for (const Failure& f : failures_) diff.push_back(DiffEntry{field_path(f), f.expected, f.actual, false, f.kind});
    return diff;
  }

 private:
  bool read_metrics(json::Reader& r, std::optional<double> (&out)[std::size(kMetricNames)]) {
    if (r.peek() != '{' || !r.begin_object().ok()) return false;
    unsigned seen = 0;
    int hint = 0;
    std::string_view key;
    for (;;) {
      auto more = r.next_member(key);
      if (!more) return false;
      if (!*more) return true;
      const int k = find_name(kMetricNames, key, hint);
      if (k < 0 || ((seen >> k) & 1U) != 0) return false;
      seen |= 1U << k;
      hint = k + 1;
      if (!read_scalar(r, out[k])) return false;
    }
  }

  void compare_top(int top, std::optional<double> e) {
    const std::string_view path = kTopNames[top];
    compare_field(e, top_number(result_, top), [&] { return index_.find(path); },
                  failure_at(top, 0, 0), failures_);
  }

  // The given items beside the records, stretch by stretch on the worker
  // pool, then the records past the given ones, all extra.
  template <const auto& kMembers, class Record>
  void compare_list(Top top, const std::vector<Items>& parts, const std::vector<Record>& records) {
    const Names names = kKeyNames<kMembers>;
    // A tolerance key naming one item ("equity[3]...") makes the tolerance
    // depend on the index; otherwise every item's member has its first's.
    const std::string list(kTopNames[top]);
    const bool by_index = std::any_of(tolerances_.begin(), tolerances_.end(), [&](const auto& t) {
      return t.first.starts_with(list + "[") && !t.first.starts_with(list + "[*]");
    });
    std::vector<Tolerance> first(names.size());
    for (std::size_t k = 0; k < names.size(); ++k) first[k] = index_.find(list + "[0]." + std::string(names[k]));
    const auto tolerance = [&](std::uint64_t i, std::size_t k) {
      if (!by_index) return first[k];
      return index_.find(list + "[" + std::to_string(i) + "]." + std::string(names[k]));
    };
    const auto compare_item = [&](std::uint64_t i, const Items* items, std::size_t j, std::vector<Failure>& out) {
      for (std::size_t k = 0; k < names.size(); ++k) {
        std::optional<double> e;
        if (items != nullptr && ((items->numbers[j] >> k) & 1U) != 0) e = items->values[j * names.size() + k];
        std::optional<double> a;
        if (i < records.size()) a = number<kMembers>(records[i], k);
        compare_field(e, a, [&] { return tolerance(i, k); },
                      failure_at(top, k, i), out);
      }
    };
    std::vector<std::uint64_t> bases(parts.size() + 1, 0);
    for (std::size_t k = 0; k < parts.size(); ++k) bases[k + 1] = bases[k] + parts[k].count();
    std::vector<std::vector<Failure>> found(parts.size());
    for_each_piece(parts.size(), [&](std::size_t k) {
      for (std::size_t j = 0; j < parts[k].count(); ++j) compare_item(bases[k] + j, &parts[k], j, found[k]);
    });
    for (std::vector<Failure>& f : found) failures_.insert(failures_.end(), f.begin(), f.end());
    for (std::uint64_t i = bases.back(); i < records.size(); ++i) compare_item(i, nullptr, 0, failures_);
  }

  const BacktestResult& result_;
  const Tolerances& tolerances_;
  const ToleranceIndex index_;
  std::vector<Failure> failures_;
};

// The merge needs every path of the result in order: its text, written and
// flattened back.
FlatDocument flattened(const BacktestResult& result) {
  return FlatDocument::from_text(write_result(result, MemberOrder::Key)).value();
}

}  // namespace

Expected<std::vector<DiffEntry>, SessionError> compare_with_result(const ExpectedDocument& expected,
                                                                   const BacktestResult& result,
                                                                   const Tolerances& tolerances) {
  if (expected.tree() != nullptr) {
    return compare_flat(FlatDocument::from_value(*expected.tree()), flattened(result), tolerances);
  }
  if (auto diff = ResultWalk(result, tolerances).run(expected.text())) return std::move(*diff);
  auto flat = FlatDocument::from_text(expected.text());
  if (!flat) return unexpected(SessionError::json(flat.error()));
  return compare_flat(*flat, flattened(result), tolerances);
}

}  // namespace vsci
