// Strings are masked out of whole 64-byte blocks by the running parity of
// their quotes while no backslash shows up (an escaped quote would break the
// parity); the byte walk takes over from the last block boundary outside a
// string. A cut that matches the first element's opening rarely strays beyond
// the list into a neighbour of another shape, where its pieces would be read
// for nothing.
#include "json/scanner.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <string>

#include "json/reader.h"
#include "util/interrupt.h"
#include "util/parallel.h"

namespace vsci::json {

namespace {

// A byte that may open or close a value outside strings: a quote, or c with
// c | 0x26 == 0x7F, which holds for [ ] { } and, besides, only for Y _ y and
// DEL, none of which stands outside a string in JSON.
std::uint64_t structural(std::uint64_t w) {
  return bytes_equal(w, '"') | bytes_equal(w | bytes_of(0x26), 0x7F);
}

#if defined(__SSE2__)
// The set bits of `x`, added up in place (the build targets no particular
// processor, so std::popcount would be a library call).
int bit_count(std::uint64_t x) {
  x -= (x >> 1) & 0x5555555555555555ULL;
  x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<int>((x * 0x0101010101010101ULL) >> 56);
}

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
#endif

// The container opening at `i` walked 64 bytes at a time. Returns the end
// when the container closes within the blocks (`closed` set), kNoEnd when it
// nests deeper than `room`, else the offset where the byte walk takes over
// (outside any string, `depth` open containers; the bracket itself when no
// block was walked).
std::size_t skip_blocks(std::string_view t, std::size_t i, int room, int& depth, bool& closed) {
#if defined(__SSE2__)
  bool in_string = false;
  std::size_t boundary = i;  // the last block start outside a string
  int boundary_depth = 0;
  std::size_t next_stop_check = i + kStopCheckBytes;
  for (; i + 64 <= t.size(); i += 64) {
    if (i >= next_stop_check) [[unlikely]] {
      check_interrupt_seldom();
      next_stop_check = i + kStopCheckBytes;
    }
    const BlockMasks m = block_masks(t.data() + i);
    if (m.backslash != 0) break;
    std::uint64_t inside = m.quote;
    for (int s = 1; s < 64; s *= 2) inside ^= inside << s;
    if (in_string) inside = ~inside;
    in_string = (inside >> 63) != 0;
    const std::uint64_t opens = m.open & ~inside;
    const std::uint64_t closes = m.close & ~inside;
    const int opened = bit_count(opens);
    const int shut = bit_count(closes);
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

}  // namespace

std::size_t string_end(std::string_view t, std::size_t i) {
  for (++i; i + 8 <= t.size(); i += 8) {
    const std::uint64_t w = load8(t.data() + i);
    const std::uint64_t m = bytes_equal(w, '"') | bytes_equal(w, '\\');
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
  std::size_t next_stop_check = i + kStopCheckBytes;
  while (i < n) {
    if (i >= next_stop_check) [[unlikely]] {
      check_interrupt_seldom();
      next_stop_check = i + kStopCheckBytes;
    }
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

bool worth_cutting(std::string_view text, std::size_t open) {
  return open < text.size() && text.size() - open >= 2 * kPieceBytes && pieces_pay_off();
}

namespace {

// An object's opening is compared up to its first key's colon, at most this
// long; the blanks after a comma, at most this long too.
constexpr std::size_t kMaxOpening = 128;
// The first element is walked to its end to see the blanks after its comma
// when it ends within this many bytes; past that they are guessed from the
// blanks around its opening.
constexpr std::size_t kMaxFirstElement = std::size_t{64} << 10;

std::size_t skip_blanks(std::string_view t, std::size_t i) {
  while (i < t.size() && is_blank(t[i])) ++i;
  return i;
}

// The first place in [from, to) where `needle` (two bytes or more) starts in
// `t`; kNoEnd for none. Sixteen places at a time are tried by the needle's
// first and last bytes together, which between long elements leaves few to
// compare in full.
std::size_t find_starting_in(std::string_view t, std::size_t from, std::size_t to, std::string_view needle) {
  const std::size_t n = needle.size();
  if (n > t.size()) return kNoEnd;
  to = std::min(to, t.size() - n + 1);
  std::size_t i = from;
#if defined(__SSE2__)
  const __m128i first = _mm_set1_epi8(needle[0]);
  const __m128i last = _mm_set1_epi8(needle[n - 1]);
  for (; i + 16 <= to; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.data() + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.data() + i + n - 1));
    auto both = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
    for (; both != 0; both &= both - 1) {
      const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(both));
      if (std::memcmp(t.data() + at + 1, needle.data() + 1, n - 2) == 0) return at;
    }
  }
#endif
  for (; i < to; ++i) {
    if (t[i] == needle[0] && std::memcmp(t.data() + i + 1, needle.data() + 1, n - 1) == 0) return i;
  }
  return kNoEnd;
}

// Where the pieces of one list are cut: the joint between two elements, as
// the text lays it out between its first two: a closing bracket, a comma, the
// blanks after it, and an opening like the first element's. The piece before
// a cut ends at the closing bracket; the next starts at the opening.
class Cutter {
 public:
  Cutter(std::string_view text, std::size_t open) : text_(text) {
    const std::size_t first = skip_blanks(text, open + 1);
    if (first >= text.size() || (text[first] != '{' && text[first] != '[')) return;
    const bool object = text[first] == '{';
    std::string_view opening = text.substr(first, 1);
    if (object) {
      const std::size_t colon = text.find(':', first);
      if (colon == std::string_view::npos || colon - first >= kMaxOpening) return;
      opening = text.substr(first, colon + 1 - first);
    }
    const std::string_view after = blanks_after_first(first);
    if (after.size() >= kMaxOpening) return;
    joint_.assign(1, object ? '}' : ']');
    joint_ += ',';
    joint_ += after;
    opening_at_ = joint_.size();
    joint_ += opening;
  }

  struct Cut {
    std::size_t end;    // of the piece before
    std::size_t start;  // of the next piece
  };

  // Whether the list shows a joint to cut at.
  bool cuts() const { return !joint_.empty(); }

  // The first cut whose joint starts in the span of kPieceBytes from `from`;
  // none (start kNoEnd) when there is none.
  Cut in_span(std::size_t from) const {
    if (joint_.empty() || from >= text_.size()) return {kNoEnd, kNoEnd};
    const std::size_t at = find_starting_in(text_, from, from + kPieceBytes, joint_);
    if (at == kNoEnd) return {kNoEnd, kNoEnd};
    return {at + 1, at + opening_at_};
  }

 private:
  // The blanks after the first element's comma. Python's json.dumps puts the
  // same blanks there as after the list's '[' when it indents, and else one
  // blank after every ',' and ':' or none.
  std::string_view blanks_after_first(std::size_t first) const {
    const std::string_view window = text_.substr(0, first + kMaxFirstElement);
    const std::size_t end = skip_structure(window, first, kMaxOpening);
    if (end != kNoEnd && end < text_.size() && text_[end] == ',') {
      return text_.substr(end + 1, skip_blanks(text_, end + 1) - end - 1);
    }
    if (first > 0 && is_blank(text_[first - 1])) return text_.substr(first - skip_back(first), skip_back(first));
    const std::size_t sep = text_.find_first_of(",:", first);
    return sep != std::string_view::npos && sep + 1 < text_.size() && text_[sep + 1] == ' ' ? " " : "";
  }

  std::size_t skip_back(std::size_t i) const {
    std::size_t n = 0;
    while (n < i && is_blank(text_[i - n - 1])) ++n;
    return n;
  }

  std::string_view text_;
  std::string joint_;
  std::size_t opening_at_ = 0;
};

}  // namespace

std::size_t ListPieces::closing() const {
  const std::size_t k = full();
  return k < ends.size() && ends[k] == ListEnd::Closed ? k : kNoPiece;
}

std::size_t ListPieces::full() const {
  std::size_t k = 0;
  while (k < ends.size() && ends[k] == ListEnd::Full) ++k;
  return k;
}

ListPieces read_in_pieces(std::string_view text, std::size_t open, const std::function<void(std::size_t)>& grow,
                          const std::function<std::pair<ListEnd, std::size_t>(std::size_t, std::string_view)>& read) {
  const Cutter cutter(text, open);
  const std::size_t threads = pool_threads();
  ListPieces out;
  std::vector<std::size_t> limits;  // where the text of each piece but the last known ends
  out.starts.push_back(skip_blanks(text, open + 1));
  // Cuts are looked for in spans of kPieceBytes from a piece on after the
  // first one's start, a batch of spans side by side, until `wanted` pieces
  // are known or no span is left: a list whose elements are long (a suite's
  // tests) is not walked on one thread to find them.
  std::size_t span = out.starts[0] + kPieceBytes;
  const auto find_cuts = [&](std::size_t wanted) {
    while (out.starts.size() < wanted && cutter.cuts() && span < text.size()) {
      const std::size_t count = std::min(4 * threads, (text.size() - span + kPieceBytes - 1) / kPieceBytes);
      std::vector<Cutter::Cut> found(count);
      for_each_piece(count, [&](std::size_t k) { found[k] = cutter.in_span(span + k * kPieceBytes); });
      span += count * kPieceBytes;
      for (const Cutter::Cut& cut : found) {
        if (cut.start == kNoEnd) continue;
        limits.push_back(cut.end);
        out.starts.push_back(cut.start);
      }
    }
  };
  // A piece per thread first, then twice as many each wave (a list that went
  // on is likely to go on), up to four per thread.
  std::size_t wave = threads;
  for (bool more = true; more;) {
    const std::size_t first = out.ends.size();
    find_cuts(first + wave + 1);  // the start after a wave's last piece ends it
    const std::size_t count = std::min(wave, out.starts.size() - first);
    grow(first + count);
    out.stops.resize(first + count);
    out.ends.resize(first + count, ListEnd::Open);
    for_each_piece(count, [&](std::size_t i) {
      const std::size_t k = first + i;
      const std::size_t end = k < limits.size() ? limits[k] : text.size();
      const auto [how, taken] = read(k, text.substr(out.starts[k], end - out.starts[k]));
      out.ends[k] = how;
      out.stops[k] = out.starts[k] + taken;
    });
    more = out.starts.size() > out.ends.size();
    for (std::size_t k = first; k < out.ends.size(); ++k) more = more && out.ends[k] == ListEnd::Full;
    wave = std::min(2 * wave, 4 * threads);
  }
  // The last piece read runs to the end of the text when no cut follows it;
  // having merely run out there, it closes nothing.
  if (out.ends.size() > limits.size() && out.ends.back() == ListEnd::Full) out.ends.back() = ListEnd::Open;
  out.starts.resize(out.ends.size());
  return out;
}

ListStart open_list(Reader& r, const std::function<void(std::size_t)>& grow,
                    const std::function<ListEnd(std::size_t, Reader&)>& read) {
  r.peek();
  const std::size_t open = r.offset();
  if (!r.begin_array().ok()) return {ListEnd::Open, 0};  // cannot fail: the list opens
  const int depth = r.depth();
  if (!worth_cutting(r.text(), open)) return {ListEnd::Open, 0};
  const ListPieces pieces = read_in_pieces(r.text(), open, grow, [&](std::size_t k, std::string_view piece) {
    Reader own(piece, depth);
    const ListEnd end = read(k, own);
    return std::pair(end, own.offset());
  });
  const std::size_t closing = pieces.closing();
  if (closing != kNoPiece) {
    r.resume_after_element(pieces.stops[closing], depth - 1);
    return {ListEnd::Closed, closing + 1};
  }
  const std::size_t taken = pieces.full();
  if (taken > 0) r.resume_after_element(pieces.stops[taken - 1], depth);
  return {ListEnd::Open, taken};
}

}  // namespace vsci::json
