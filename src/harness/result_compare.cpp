// An expected document is mostly a result written earlier: the result's own
// members, its lists as long as the run's, its numbers perhaps in another form
// (another language's writer) and blanks wherever JSON allows them. Such a
// text is walked once beside the run's records, its long lists in pieces on
// the worker pool, and only the fields that fail become entries, put into
// field order at the end. A text of any other shape (a member the result does
// not have, a key given twice, a container where the result holds a scalar),
// or one that does not read, is left to the plain path: both documents
// flattened and merged, which also forms every error.
#include "harness/result_compare.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "harness/flat_document.h"
#include "harness/result_fields.h"
#include "json/reader.h"
#include "json/scanner.h"
#include "util/interrupt.h"
#include "util/parallel.h"

namespace vsci {

namespace {

// A walk over records or paths looks for a stop this often, as a read does
// every kStopCheckBytes of text: on one thread, 0.4 ms of marking a changed
// strategy's equity points, 2 ms of forming their entries.
constexpr std::size_t kStopCheckItems = std::size_t{1} << 14;

// Looks for a stop at every kStopCheckItems-th item of a walk counted from 0.
void look_for_stop_at(std::uint64_t item) {
  if (item % kStopCheckItems == kStopCheckItems - 1) check_interrupt_seldom();
}

// The failing fields of `a` against `e`, in field order, values rounded to 8
// decimals. Both documents sorted.
std::vector<DiffEntry> compare_flat(const FlatDocument& e, const FlatDocument& a, const Tolerances& tolerances) {
  const ToleranceIndex index(tolerances);
  std::vector<DiffEntry> diff;
  std::size_t ei = 0;
  std::size_t ai = 0;
  // A merge walk over the two sorted documents visits the union of their paths once each, in order.
  for (std::size_t step = 0; ei != e.size() || ai != a.size(); ++step) {
    look_for_stop_at(step);
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

// A bit per member of a list's item, `1U << k` for member k in key order.
using MemberMask = std::uint16_t;

// The items of a stretch of a list: per item, the numbers of its members
// (by member), which members hold a number.
struct Items {
  std::vector<double> values;
  std::vector<MemberMask> numbers;
  std::size_t count() const { return numbers.size(); }
};

// One item, an object of the list's members each given once.
bool read_item(json::Reader& r, Names names, Items& out) {
  // A member past the mask's bits would go unseen: given twice, or holding a
  // number, without a word.
  static_assert(std::max(std::size(kPointNames), std::size(kTradeNames)) <= std::numeric_limits<MemberMask>::digits,
                "a list's item has more members than its mask has bits");
  if (r.peek() != '{' || !r.begin_object().ok()) return false;
  const std::size_t base = out.values.size();
  out.values.resize(base + names.size());
  MemberMask seen = 0;
  MemberMask numbers = 0;
  int hint = 0;
  std::string_view key;
  for (;;) {
    auto more = r.next_member(key);
    if (!more) return false;
    if (!*more) break;
    const int k = find_name(names, key, hint);
    if (k < 0 || ((seen >> k) & 1U) != 0) return false;
    seen = static_cast<MemberMask>(seen | (1U << k));
    hint = k + 1;
    std::optional<double> v;
    if (!read_scalar(r, v)) return false;
    if (v) {
      numbers = static_cast<MemberMask>(numbers | (1U << k));
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

// One list of the expected text beside the run's records: which members of
// each item fail, found stretch by stretch on the worker pool (the given
// items beside the records, then the records past them, all extra, in
// stretches of their own), and the entries of the failing fields in the order
// of their paths. The items are found in index order, each item's members
// together, so placing the items by the text of their index places every
// entry, without a comparison sort.
template <const auto& kMembers, class Record>
class ListWalk {
 public:
  ListWalk(Top top, const std::vector<Items>& parts, const std::vector<Record>& records, const Tolerances& tolerances,
           const ToleranceIndex& index)
      : list_(kTopNames[top]), parts_(parts), records_(records), index_(index), bases_(parts.size() + 1, 0) {
    // A tolerance key naming one item ("equity[3]...") makes the tolerance
    // depend on the index; otherwise every item's member has its first's.
    by_index_ = std::any_of(tolerances.begin(), tolerances.end(), [&](const auto& t) {
      return t.first.starts_with(list_ + "[") && !t.first.starts_with(list_ + "[*]");
    });
    for (std::size_t k = 0; k < kNames.size(); ++k) first_[k] = index.find(list_ + "[0]." + std::string(kNames[k]));
    for (std::size_t k = 0; k < parts.size(); ++k) bases_[k + 1] = bases_[k] + parts[k].count();
    failing_.assign(std::max<std::uint64_t>(bases_.back(), records.size()), 0);
    const std::uint64_t past = failing_.size() - bases_.back();
    const std::uint64_t past_stretch = pieces_pay_off() ? kPastStretch : std::max<std::uint64_t>(past, 1);
    const auto past_pieces = static_cast<std::size_t>((past + past_stretch - 1) / past_stretch);
    for_each_piece(parts.size() + past_pieces, [&](std::size_t k) {
      if (k < parts.size()) return mark(bases_[k], bases_[k + 1], &parts[k]);
      const std::uint64_t from = bases_.back() + (k - parts.size()) * past_stretch;
      mark(from, std::min<std::uint64_t>(from + past_stretch, failing_.size()), nullptr);
    });
    std::uint64_t n = failing_.size();
    while (n > 0 && failing_[n - 1] == 0) --n;
    index_text_order(n, order_);
    // The entries are formed in stretches of that order, on the worker pool
    // when pieces pay off, each into its place.
    stretch_ = pieces_pay_off() ? std::size_t{1} << 14 : std::max<std::size_t>(order_.size(), 1);
    at_.assign((order_.size() + stretch_ - 1) / stretch_ + 1, 0);
    for (std::size_t p = 0; p < order_.size(); ++p) {
      at_[p / stretch_ + 1] += static_cast<std::size_t>(std::popcount(failing_[order_[p]]));
    }
    for (std::size_t s = 1; s < at_.size(); ++s) at_[s] += at_[s - 1];
  }

  std::size_t fields() const { return at_.back(); }

  // Appends the entries; `diff` has room for them.
  void append(std::vector<DiffEntry>& diff) const {
    const std::size_t base = diff.size();
    touch_pages(diff.data() + base, fields() * sizeof(DiffEntry));
    diff.resize(base + fields());
    for_each_piece(at_.size() - 1, [&](std::size_t s) {
      DiffEntry* entry = diff.data() + base + at_[s];
      for (std::size_t p = s * stretch_; p < std::min(order_.size(), (s + 1) * stretch_); ++p) {
        look_for_stop_at(p);
        const std::uint64_t i = order_[p];
        if (failing_[i] == 0) continue;
        const auto part = static_cast<std::size_t>(std::upper_bound(bases_.begin(), bases_.end(), i) - bases_.begin());
        const Items* items = part < bases_.size() ? &parts_[part - 1] : nullptr;
        for (std::size_t k = 0; k < kNames.size(); ++k) {
          if (((failing_[i] >> k) & 1U) == 0) continue;
          const Field f = field(i, items, static_cast<std::size_t>(i - bases_[part - 1]), k);
          entry->expected = f.expected;
          entry->actual = f.actual;
          entry->kind = f.kind;
          // Made aside and copied once, the path takes its length: grown in
          // place it would take at least twice the short string's 15 bytes,
          // and a million paths of a changed strategy's equity 16 MB more.
          char text[kPathRoom];
          char* end = std::copy(list_.begin(), list_.end(), text);
          *end++ = '[';
          end = std::to_chars(end, end + kIndexRoom, i).ptr;
          *end++ = ']';
          *end++ = '.';
          entry->field = std::string(text, std::copy(kNames[k].begin(), kNames[k].end(), end));
          ++entry;
        }
      }
    });
  }

 private:
  static constexpr const auto& kNames = kKeyNames<kMembers>;
  // The failing members of an item are bits of a mask: a member past them
  // would fail without an entry.
  static_assert(kNames.size() <= std::numeric_limits<MemberMask>::digits,
                "a record has more members than its mask has bits");
  // The records past the given items are marked in stretches of this many on the pool.
  static constexpr std::uint64_t kPastStretch = std::uint64_t{1} << 14;
  // A path: the list's name, an index of up to 20 digits in brackets, a dot
  // and a member's name.
  static constexpr std::size_t kIndexRoom = 20;
  static constexpr std::size_t kPathRoom = [] {
    std::size_t room = 0;
    for (std::string_view list : kTopNames) {
      for (std::string_view member : kNames) room = std::max(room, list.size() + kIndexRoom + 3 + member.size());
    }
    return room;
  }();

  struct Field {
    std::optional<double> expected;
    std::optional<double> actual;
    const char* kind = nullptr;  // the rule the field fails by, null when it holds
  };

  // Member k of item i, its values as the entry shows them; the item's given
  // numbers are item j of `items`, null past the given items.
  Field field(std::uint64_t i, const Items* items, std::size_t j, std::size_t k) const {
    Field f;
    if (items != nullptr && ((items->numbers[j] >> k) & 1U) != 0) f.expected = items->values[j * kNames.size() + k];
    if (i < records_.size()) f.actual = number<kMembers>(records_[i], k);
    f.kind = field_failure(f.expected, f.actual, [&] {
      if (!by_index_) return first_[k];
      return index_.find(list_ + "[" + std::to_string(i) + "]." + std::string(kNames[k]));
    });
    return f;
  }

  void mark(std::uint64_t from, std::uint64_t to, const Items* items) {
    for (std::uint64_t i = from; i < to; ++i) {
      look_for_stop_at(i - from);
      for (std::size_t k = 0; k < kNames.size(); ++k) {
        if (field(i, items, static_cast<std::size_t>(i - from), k).kind != nullptr) failing_[i] |= 1U << k;
      }
    }
  }

  const std::string list_;
  const std::vector<Items>& parts_;
  const std::vector<Record>& records_;
  const ToleranceIndex& index_;
  bool by_index_ = false;
  std::array<Tolerance, std::size(kMembers)> first_{};
  std::vector<std::uint64_t> bases_;    // where each stretch of given items begins
  std::vector<MemberMask> failing_;     // per item, a bit per failing member
  std::vector<std::uint64_t> order_;    // the indices up to the last failing one, in path order
  std::size_t stretch_ = 1;
  std::vector<std::size_t> at_;  // where each stretch of that order's entries begins
};

class ResultWalk {
 public:
  ResultWalk(const BacktestResult& result, const Tolerances& tolerances)
      : result_(result), tolerances_(tolerances), index_(tolerances) {}

  std::optional<std::vector<DiffEntry>> run(std::string_view text) {
    json::Reader r(text);
    if (r.peek() != '{' || !r.begin_object().ok()) return std::nullopt;
    // A bit per top-level member: one past them could be given twice unseen.
    static_assert(std::size(kTopNames) <= std::numeric_limits<unsigned>::digits, "more top-level members than bits");
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
      compare_scalar(kMetrics, k, metrics[k], number<kMetricMembers>(result_.metrics, k), path);
    }
    // The equity list's paths come first and the trades' last; the few
    // scalars between them are placed by a sort, each failing once.
    static_assert(kEquity == 0 && kTrades + 1 == std::size(kTopNames));
    std::sort(scalars_.begin(), scalars_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const ListWalk<kPointMembers, EquityPoint> equity(kEquity, lists[0], result_.equity, tolerances_, index_);
    const ListWalk<kTradeMembers, Trade> trades(kTrades, lists[1], result_.trades, tolerances_, index_);
    std::vector<DiffEntry> diff;
    diff.reserve(equity.fields() + scalars_.size() + trades.fields());
    equity.append(diff);
    for (auto& [place, entry] : scalars_) diff.push_back(std::move(entry));
    trades.append(diff);
    return diff;
  }

 private:
  bool read_metrics(json::Reader& r, std::optional<double> (&out)[std::size(kMetricNames)]) {
    if (r.peek() != '{' || !r.begin_object().ok()) return false;
    static_assert(std::size(kMetricNames) <= std::numeric_limits<unsigned>::digits, "more metrics than bits");
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
    compare_scalar(top, 0, e, top_number(result_, top), kTopNames[top]);
  }

  void compare_scalar(int top, std::size_t member, std::optional<double> e, std::optional<double> a,
                      std::string_view path) {
    if (const char* kind = field_failure(e, a, [&] { return index_.find(path); })) {
      // The place orders by top-level member, then by metric: a metric's
      // index past the room would take the place of the next member's.
      constexpr std::size_t kRoom = 256;
      static_assert(std::size(kMetricNames) < kRoom && std::size(kTopNames) < kRoom, "a scalar's place is out of room");
      const std::size_t place = static_cast<std::size_t>(top) * kRoom + member;
      scalars_.emplace_back(place, DiffEntry{std::string(path), e, a, false, kind});
    }
  }

  const BacktestResult& result_;
  const Tolerances& tolerances_;
  const ToleranceIndex index_;
  // The failing scalars (the document's numbers, the metrics), each with its
  // place in path order.
  std::vector<std::pair<std::size_t, DiffEntry>> scalars_;
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
