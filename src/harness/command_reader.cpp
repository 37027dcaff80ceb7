// The tree reading of an envelope visits members in key order, keeps the last
// of a repeated key and reports the first failure in that order; reading in
// text order gives the same envelope exactly when nothing fails and no key
// that matters repeats, which is all this reader accepts.
#include "harness/command_reader.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#include "util/parallel.h"
#include "json/reader.h"

namespace vsci {

namespace {

using json::Reader;

// Walks one value, reading every number to its double, so that an
// out-of-range number fails here as it would in json::parse.
bool validate_value(Reader& r) {
  const int c = r.peek();
  if (c == '{') {
    if (!r.begin_object().ok()) return false;
    std::string_view key;
    for (;;) {
      auto more = r.next_member(key);
      if (!more) return false;
      if (!*more) return true;
      if (!validate_value(r)) return false;
    }
  }
  if (c == '[') {
    if (!r.begin_array().ok()) return false;
    for (;;) {
      auto more = r.next_element();
      if (!more) return false;
      if (!*more) return true;
      if (!validate_value(r)) return false;
    }
  }
  if (c == '-' || (c >= '0' && c <= '9')) return r.read_f64().ok();
  return r.skip_value().ok();
}

constexpr std::size_t kNoEnd = std::string_view::npos;

std::uint64_t load8(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
  return w;
}

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;

// The high bit of the lowest byte of `w` equal to `c` (bits above it may be
// set wrongly by the borrow, so only the lowest one is used).
std::uint64_t lowest_equal(std::uint64_t w, unsigned char c) {
  const std::uint64_t x = w ^ (kOnes * c);
  return (x - kOnes) & ~x & (kOnes * 0x80);
}

// A byte that may open or close a value outside strings: a quote, or c with
// c | 0x26 == 0x7F, which holds for [ ] { } and, besides, only for Y _ y and
// DEL, none of which stands outside a string in JSON.
std::uint64_t structural(std::uint64_t w) {
  return lowest_equal(w, '"') | lowest_equal(w | (kOnes * 0x26), 0x7F);
}

// The offset after the closing quote of the string opening at `i`.
std::size_t string_end(std::string_view t, std::size_t i) {
  for (++i; i + 8 <= t.size(); i += 8) {
    const std::uint64_t w = load8(t.data() + i);
    const std::uint64_t m = lowest_equal(w, '"') | lowest_equal(w, '\\');
    if (m == 0) continue;
    i += static_cast<std::size_t>(std::countr_zero(m) / 8);
    break;
  }
  for (; i < t.size(); ++i) {
    if (t[i] == '\\') ++i;
    else if (t[i] == '"') return i + 1;
  }
  return kNoEnd;
}

#if defined(__SSE2__)
// Bit k of each mask stands for byte k of the 64 at `p`.
struct BlockMasks {
  std::uint64_t quote = 0;
  std::uint64_t backslash = 0;
  std::uint64_t open = 0;   // [ or {
  std::uint64_t close = 0;  // ] or }
};

BlockMasks block_masks(const char* p) {
  const auto bits = [](__m128i eq, int k) {
    return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(eq))) << (16 * k);
  };
  BlockMasks m;
  for (int k = 0; k < 4; ++k) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    // [ and ] differ from { and } by the 0x20 bit alone.
    const __m128i folded = _mm_or_si128(v, _mm_set1_epi8(0x20));
    m.quote |= bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), k);
    m.backslash |= bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('\\')), k);
    m.open |= bits(_mm_cmpeq_epi8(folded, _mm_set1_epi8('{')), k);
    m.close |= bits(_mm_cmpeq_epi8(folded, _mm_set1_epi8('}')), k);
  }
  return m;
}

int ones(std::uint64_t x) {
  x = x - ((x >> 1) & 0x5555555555555555ULL);
  x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<int>((x * 0x0101010101010101ULL) >> 56);
}
#endif

// The container opening at `i` walked 64 bytes at a time, strings masked out
// by the running parity of their quotes, while no backslash shows up (an
// escaped quote would break the parity). Returns the end when the container
// closes within the blocks (`closed` set), kNoEnd when it nests deeper than
// `room`, else the offset where the byte walk takes over (outside any string,
// `depth` open containers; the bracket itself when no block was walked).
std::size_t skip_blocks(std::string_view t, std::size_t i, int room, int& depth, bool& closed) {
#if defined(__SSE2__)
  bool in_string = false;
  std::size_t boundary = i;  // the last block start outside a string
  int boundary_depth = 0;
  for (; i + 64 <= t.size(); i += 64) {
    const BlockMasks m = block_masks(t.data() + i);
    if (m.backslash != 0) break;
    std::uint64_t inside = m.quote;
    for (int s = 1; s < 64; s *= 2) inside ^= inside << s;
    if (in_string) inside = ~inside;
    in_string = (inside >> 63) != 0;
    const std::uint64_t opens = m.open & ~inside;
    const std::uint64_t closes = m.close & ~inside;
    const int opened = ones(opens);
    const int shut = ones(closes);
    if (depth + opened <= room && depth > shut) {
      depth += opened - shut;
    } else {
      for (std::uint64_t all = opens | closes; all != 0; all &= all - 1) {
        const int b = std::countr_zero(all);
        if ((opens >> b) & 1) {
          if (++depth > room) return kNoEnd;
        } else if (--depth == 0) {
          closed = true;
          return i + static_cast<std::size_t>(b) + 1;
        }
      }
    }
    if (!in_string) {
      boundary = i + 64;
      boundary_depth = depth;
    }
  }
  depth = boundary_depth;
  return boundary;
#else
  (void)t;
  (void)room;
  (void)depth;
  (void)closed;
  return i;
#endif
}

// The end of the value starting at `i` by its brackets and quotes alone,
// nothing else being checked: the value must still be read in full later.
// kNoEnd when it does not close or nests deeper than `room` levels.
std::size_t skip_structure(std::string_view t, std::size_t i, int room) {
  const std::size_t n = t.size();
  if (i >= n) return kNoEnd;
  if (t[i] == '"') return string_end(t, i);
  if (t[i] != '[' && t[i] != '{') {
    while (i < n && std::string_view(" \t\n\r,:]}").find(t[i]) == std::string_view::npos) ++i;
    return i;
  }
  int depth = 0;
  bool closed = false;
  i = skip_blocks(t, i, room, depth, closed);
  if (i == kNoEnd || closed) return i;
  while (i < n) {
    if (i + 8 <= n) {
      const std::uint64_t m = structural(load8(t.data() + i));
      if (m == 0) {
        i += 8;
        continue;
      }
      i += static_cast<std::size_t>(std::countr_zero(m) / 8);
    }
    const char c = t[i];
    if (c == '"') {
      i = string_end(t, i);
      if (i == kNoEnd) return kNoEnd;
      continue;
    }
    if (c == '[' || c == '{') {
      if (++depth > room) return kNoEnd;
    } else if (c == ']' || c == '}') {
      if (--depth == 0) return i + 1;
    }
    ++i;
  }
  return kNoEnd;
}

// The text of the value at the reader's position, skipped by its structure
// alone; empty when it does not close within `room` levels.
std::string_view skip_unread(Reader& r, std::string_view text, int room) {
  r.peek();
  const std::size_t start = r.offset();
  const std::size_t end = skip_structure(text, start, room);
  if (end == kNoEnd) return {};
  r.rewind(end);
  return text.substr(start, end - start);
}

// 0 time, 1 open, 2 high, 3 low, 4 close, 5 volume; -1 for any other key.
int candle_field(std::string_view key) {
  static constexpr std::string_view kNames[] = {"time", "open", "high", "low", "close", "volume"};
  for (int i = 0; i < 6; ++i) {
    if (key == kNames[i]) return i;
  }
  return -1;
}

bool read_candle_field(Reader& r, int i, Candle& c) {
  if (i == 0) {
    auto t = r.read_i64();
    if (!t) return false;
    c.time = *t;
    return true;
  }
  auto x = r.read_f64();
  if (!x) return false;
  double* slots[] = {nullptr, &c.open, &c.high, &c.low, &c.close, &c.volume};
  *slots[i] = *x;
  return true;
}

// The compact forms users' tools write, members in declared order:
// {"time":..,"open":..,"high":..,"low":..,"close":..,"volume":..} and
// [time,open,high,low,close,volume], volume optional in both. Takes nothing
// unless the whole candle is in one of them.
bool read_compact_candle(Reader& r, Candle& c) {
  const std::size_t start = r.offset();
  const bool object = r.try_literal("{\"time\":");
  if (!object && !r.try_literal("[")) return false;
  static constexpr std::string_view kObjectGlue[] = {",\"open\":", ",\"high\":", ",\"low\":", ",\"close\":", ",\"volume\":"};
  double* prices[] = {&c.open, &c.high, &c.low, &c.close, &c.volume};
  bool ok = r.try_i64(c.time);
  for (int i = 0; ok && i < 5; ++i) {
    const std::string_view glue = object ? kObjectGlue[i] : std::string_view(",");
    if (i == 4 && !r.try_literal(glue)) break;  // no volume
    ok = (i == 4 || r.try_literal(glue)) && r.try_f64(*prices[i]);
  }
  if (ok && r.try_literal(object ? "}" : "]")) return true;
  r.rewind(start);
  c = Candle{};
  return false;
}

bool read_candle(Reader& r, Candle& c) {
  c = Candle{};
  r.peek();
  if (read_compact_candle(r, c)) return true;
  const int first = r.peek();
  if (first == '{') {
    if (!r.begin_object().ok()) return false;
    unsigned seen = 0;
    std::string_view key;
    for (;;) {
      auto more = r.next_member(key);
      if (!more) return false;
      if (!*more) break;
      const int i = candle_field(key);
      if (i < 0) {
        if (!validate_value(r)) return false;
        continue;
      }
      if (seen & (1U << i)) return false;
      seen |= 1U << i;
      if (!read_candle_field(r, i, c)) return false;
    }
    return (seen & 0x1F) == 0x1F;
  }
  if (first != '[' || !r.begin_array().ok()) return false;
  for (int i = 0; i < 6; ++i) {
    auto more = r.next_element();
    if (!more) return false;
    if (!*more) return i == 5;
    if (!read_candle_field(r, i, c)) return false;
  }
  return r.end_array().ok();
}

// A dataset's candle list, read by a reader of its own.
bool read_candles_serial(std::string_view text, std::vector<Candle>& out) {
  Reader r(text);
  if (r.peek() != '[' || !r.begin_array().ok()) return false;
  out.reserve(text.size() / 64);
  for (;;) {
    auto item = r.next_element();
    if (!item) return false;
    if (!*item) break;
    if (!read_candle(r, out.emplace_back())) return false;
  }
  return r.finish().ok();
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A long candle list is read in pieces of about this many bytes in parallel.
constexpr std::size_t kPieceBytes = std::size_t{4} << 20;

// `text` is one list, bracket to bracket. The candles are found by their
// brackets alone and cut into pieces; each piece is then read in full, the
// commas between its candles included, by a reader of its own.
bool read_candles(std::string_view text, std::vector<Candle>& out) {
  if (text.size() < 2 * kPieceBytes) return read_candles_serial(text, out);
  struct Piece {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t count = 0;
  };
  std::vector<Piece> pieces;
  Piece piece;
  std::size_t i = 1;
  for (;;) {
    while (i < text.size() && is_space(text[i])) ++i;
    if (i >= text.size()) return false;
    if (text[i] == ']' && pieces.empty() && piece.count == 0) break;
    const std::size_t end = skip_structure(text, i, json::kMaxDepth);
    if (end == kNoEnd) return false;
    if (piece.count++ == 0) piece.begin = i;
    piece.end = end;
    for (i = end; i < text.size() && is_space(text[i]);) ++i;
    if (i >= text.size()) return false;
    if (text[i] == ']') {
      pieces.push_back(piece);
      break;
    }
    if (text[i++] != ',') return false;
    if (piece.end - piece.begin >= kPieceBytes) pieces.push_back(std::exchange(piece, Piece{}));
  }
  if (i + 1 != text.size()) return false;
  std::vector<std::size_t> first(pieces.size() + 1, 0);
  for (std::size_t k = 0; k < pieces.size(); ++k) first[k + 1] = first[k] + pieces[k].count;
  out.resize(first.back());
  std::atomic<bool> unreadable{false};
  for_each_piece(pieces.size(), [&](std::size_t k) {
    const Piece& p = pieces[k];
    Reader r(text.substr(p.begin, p.end - p.begin));
    for (std::size_t j = 0; j < p.count; ++j) {
      const bool separated = j == 0 || (r.peek() == ',' && (r.advance(), true));
      if (!separated || !read_candle(r, out[first[k] + j])) {
        unreadable = true;
        return;
      }
    }
    if (!r.finish().ok()) unreadable = true;
  });
  return !unreadable;
}

// The datasets' extents are found here; their candles are read on the
// worker pool, a dataset per task.
std::optional<Datasets> read_data(Reader& r, std::string_view text, int room) {
  if (r.peek() != '{' || !r.begin_object().ok()) return std::nullopt;
  Datasets data;
  std::vector<std::string_view> lists;
  std::string_view key;
  for (;;) {
    auto more = r.next_member(key);
    if (!more) return std::nullopt;
    if (!*more) break;
    data.emplace_back(std::string(key), std::vector<Candle>{});
    if (r.peek() != '[') return std::nullopt;
    lists.push_back(skip_unread(r, text, room - 1));
    if (lists.back().empty()) return std::nullopt;
  }
  std::atomic<bool> unreadable{false};
  for_each_piece(data.size(), [&](std::size_t i) {
    if (!read_candles(lists[i], data[i].second)) unreadable = true;
  });
  if (unreadable) return std::nullopt;
  std::sort(data.begin(), data.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < data.size(); ++i) {
    if (data[i - 1].first == data[i].first) return std::nullopt;
  }
  return data;
}

// A test object's members as a tree, all but `expected`, which is only
// skipped over (its numbers are read when it is flattened).
std::optional<StrategyTest> read_test(Reader& r, std::string_view text, int room) {
  if (r.peek() != '{') {
    auto v = r.read_value();
    if (!v) return std::nullopt;
    auto t = read_strategy_test(*v);
    if (!t) return std::nullopt;
    return std::move(*t);
  }
  if (!r.begin_object().ok()) return std::nullopt;
  json::Value::Object members;
  std::optional<std::string_view> expected;
  std::string_view key;
  for (;;) {
    auto more = r.next_member(key);
    if (!more) return std::nullopt;
    if (!*more) break;
    if (key == "expected") {
      if (expected) return std::nullopt;
      expected = skip_unread(r, text, room - 1);
      if (expected->empty()) return std::nullopt;
      continue;
    }
    json::Value::Member& m = members.emplace_back();
    m.key.assign(key);
    auto v = r.read_value();
    if (!v) return std::nullopt;
    m.value = std::move(*v);
  }
  auto t = read_strategy_test(json::Value::object(std::move(members)));
  if (!t) return std::nullopt;
  // Anything but null stays text, to be read (and so checked) later.
  if (expected) t->expected = ExpectedDocument::of_text(*expected);
  return std::move(*t);
}

}  // namespace

bool is_valid_json(std::string_view text) {
  Reader r(text);
  return validate_value(r) && r.finish().ok();
}

std::optional<TextEnvelope> read_envelope_from_text(std::string_view text) {
  Reader r(text);
  if (r.peek() != '{' || !r.begin_object().ok()) return std::nullopt;
  std::string_view key;
  auto first = r.next_member(key);
  if (!first || !*first || key != "cmd") return std::nullopt;
  auto cmd = r.read_str();
  if (!cmd) return std::nullopt;
  TextEnvelope env;
  env.cmd.assign(*cmd);
  const bool suite = env.cmd == "run_suite";
  if (!suite && env.cmd != "run_test" && env.cmd != "bless") return std::nullopt;
  const std::string_view tests_key = suite ? "tests" : "test";
  bool have_tests = false;
  bool have_data = false;
  for (;;) {
    auto more = r.next_member(key);
    if (!more) return std::nullopt;
    if (!*more) break;
    if (key == "cmd") return std::nullopt;
    if (key == tests_key) {
      if (have_tests) return std::nullopt;
      have_tests = true;
      if (!suite) {
        auto t = read_test(r, text, json::kMaxDepth - 1);
        if (!t) return std::nullopt;
        env.envelope.tests.push_back(std::move(*t));
        continue;
      }
      if (r.peek() != '[' || !r.begin_array().ok()) return std::nullopt;
      for (;;) {
        auto item = r.next_element();
        if (!item) return std::nullopt;
        if (!*item) break;
        auto t = read_test(r, text, json::kMaxDepth - 2);
        if (!t) return std::nullopt;
        env.envelope.tests.push_back(std::move(*t));
      }
    } else if (key == "data") {
      if (have_data) return std::nullopt;
      have_data = true;
      auto data = read_data(r, text, json::kMaxDepth - 1);
      if (!data) return std::nullopt;
      env.envelope.data = std::move(*data);
    } else if (!validate_value(r)) {
      return std::nullopt;
    }
  }
  if (!have_tests || !r.finish().ok()) return std::nullopt;
  return env;
}

}  // namespace vsci
