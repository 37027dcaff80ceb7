// The JSON layer's byte-level scanning, shared by every reader of long texts:
// words of eight bytes and the flags of the bytes in them, where a string
// ends, where a value ends by its brackets and quotes alone, where a long
// list may be cut into pieces that are read apart on the worker pool, and the
// one list reader that takes what the pieces read and goes on serially. Pure
// functions over the text (but for the command's stop, which a long walk
// heeds); thread-safe.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "json/reader.h"

namespace vsci::json {

// ---- bytes

// Eight bytes of text as a word, the first byte lowest.
[[gnu::always_inline]] inline std::uint64_t load8(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
  return w;
}

// The byte b in every lane of a word.
constexpr std::uint64_t bytes_of(unsigned char b) { return 0x0101010101010101ULL * b; }

// Flags (high bit of each byte) the bytes of `w` equal to `c`, or below it
// for bytes_below. Only the lowest flag is exact: a borrow may set flags above
// it, so callers use the lowest alone.
[[gnu::always_inline]] inline std::uint64_t bytes_equal(std::uint64_t w, unsigned char c) {
  const std::uint64_t x = w ^ bytes_of(c);
  return (x - bytes_of(0x01)) & ~x & bytes_of(0x80);
}
[[gnu::always_inline]] inline std::uint64_t bytes_below(std::uint64_t w, unsigned char c) {
  return (w - bytes_of(c)) & ~w & bytes_of(0x80);
}

// ---- extents

inline constexpr std::size_t kNoEnd = std::string_view::npos;

// The offset after the closing quote of the string whose opening quote is at
// `quote`; kNoEnd when it does not close. Escapes are skipped, not checked.
std::size_t string_end(std::string_view text, std::size_t quote);

// The end of the value starting at `i` by its brackets and quotes alone,
// nothing else being checked: the value must still be read in full later.
// kNoEnd when it does not close or nests deeper than `room` levels. A long
// walk looks for a stop of the command every few MB (util/interrupt.h) and
// throws Interrupted once it was asked for.
std::size_t skip_structure(std::string_view text, std::size_t i, int room);

// ---- pieces of a long list

// The size of a piece, and the shortest rest of text worth cutting: below two
// pieces a list is read whole.
inline constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

// Whether the list whose '[' is at `open` is worth reading in pieces: the
// text from there is at least two pieces long and pieces pay off (see
// util/parallel.h).
bool worth_cutting(std::string_view text, std::size_t open);

// How the reading of a list, or of a piece of one, ended: at something its
// reader does not take (Open), at the end of the piece's text (Full), or
// after the list's closing bracket (Closed).
enum class ListEnd : std::uint8_t { Open, Full, Closed };

// The pieces of a list as read_in_pieces leaves them: where each starts, how
// far its reading got (an offset in the whole text) and how it ended.
struct ListPieces {
  std::vector<std::size_t> starts;
  std::vector<std::size_t> stops;
  std::vector<ListEnd> ends;

  // The piece that closes the list when every piece before it read to its
  // end; kNoPiece when there is none. The pieces after it lie beyond the list.
  std::size_t closing() const;
  // How many pieces from the first read to their ends.
  std::size_t full() const;
};

inline constexpr std::size_t kNoPiece = static_cast<std::size_t>(-1);

// Reads the list whose '[' is at `open` in pieces on the worker pool: its
// first element starts the first piece, and the list is cut at the first
// joint in each span of kPieceBytes after that: where one element's closing
// bracket, a comma and the blanks the list puts after its commas (as between
// its first two elements; json.dumps writes the same blanks after every
// comma) meet an opening like the first element's (an object's up to its
// first key). A piece before the last ends at the closing bracket of its
// joint; the last runs to the end of the text, so it can only close the list.
// `read(k, piece)` reads piece k (on any thread) and gives how it ended and
// how many of its bytes it took; `grow(n)` is called on this thread before
// pieces up to n are read. The pieces are read as the cuts are found, in
// waves (a piece per thread, then more), and the reading stops after the
// first wave holding a piece that did not read to its end: a list followed by
// more text costs no more than a wave beyond its end. The spans are searched
// side by side, so a list of long elements is not walked on one thread. The
// cuts come from a few bytes each, so a cut may fall inside a string; the
// piece before it then cannot close its string, which is why every piece is
// read in full.
ListPieces read_in_pieces(std::string_view text, std::size_t open, const std::function<void(std::size_t)>& grow,
                          const std::function<std::pair<ListEnd, std::size_t>(std::size_t, std::string_view)>& read);

// Whether a list opens next at `r`: its '[' there, below the depth limit.
inline bool list_opens(Reader& r) { return r.peek() == '[' && r.depth() < kMaxDepth; }

// How far the pieces of a list took it: Closed or Open, and how many pieces
// were taken (what the others read is dropped).
struct ListStart {
  ListEnd end;
  std::size_t pieces;
};

// Opens the list that opens next at `r` (list_opens) and, when it is worth
// cutting, reads it in pieces (read_in_pieces), `read(k, own)` reading piece
// k with a reader of its own that stands at the piece's first element inside
// the list. The pieces taken are those up to the one that closes the list,
// else those that read to their end before the first that did not, and `r`
// is left as a serial read of their elements leaves it: after the list's
// closing bracket (Closed), or inside the list after the last element taken,
// at its start when none was (Open), for the serial read to go on with
// next_element.
ListStart open_list(Reader& r, const std::function<void(std::size_t)>& grow,
                    const std::function<ListEnd(std::size_t, Reader&)>& read);

// Reads the list that opens next at `r` with `element(reader, part)`, which
// reads one element into a part and says whether it did: the elements the
// pieces take (open_list) into a part per piece, each filled apart and then
// moved into `parts` (parts side by side would share the cache lines every
// element writes), the rest here into one more part. False when the list, or
// one of its elements, does not read.
template <class Part, class Element>
bool read_list(Reader& r, std::vector<Part>& parts, Element&& element) {
  if (!list_opens(r)) return false;
  parts.clear();
  const ListStart start = open_list(
      r, [&](std::size_t n) { parts.resize(n); },
      [&](std::size_t k, Reader& own) {
        Part part;
        ListEnd end = ListEnd::Full;
        for (;;) {
          if (!element(own, part)) return ListEnd::Open;
          if (own.remaining() == 0) break;
          auto more = own.next_element();
          if (!more) return ListEnd::Open;
          if (!*more) {
            end = ListEnd::Closed;
            break;
          }
        }
        parts[k] = std::move(part);
        return end;
      });
  parts.resize(start.pieces);
  if (start.end == ListEnd::Closed) return true;
  Part& rest = parts.emplace_back();
  for (;;) {
    auto more = r.next_element();
    if (!more) return false;
    if (!*more) return true;
    if (!element(r, rest)) return false;
  }
}

}  // namespace vsci::json
