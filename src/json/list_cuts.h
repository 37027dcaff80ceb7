// Where a long array may be cut so that its pieces can be read apart, and
// which of the pieces so read make up the array. The cuts come from the bytes
// alone, so a reader must check every piece in full and fall back to reading
// the array whole when one does not read as values and commas. Pure;
// thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vsci::json {

// The offsets where the pieces of the array whose '[' is at `open` start: its
// first element, then, about `piece_bytes` on each time, the next place where
// one element's closing bracket and a comma meet an opening like the first
// element's (an object's up to its first key). Only the first when the
// elements are neither objects nor arrays.
std::vector<std::size_t> list_cuts(std::string_view text, std::size_t open, std::size_t piece_bytes);

// How the reading of a piece ended: at something else, at the piece's end,
// or at a closing bracket after a value.
enum class PieceEnd : std::uint8_t { Unusual, Full, Closed };

// The piece that closes the array when every piece before it read to its
// end; none when there is no such piece. The pieces after it lie beyond the
// array.
std::size_t closing_piece(const std::vector<PieceEnd>& ends);

inline constexpr std::size_t kNoPiece = static_cast<std::size_t>(-1);

}  // namespace vsci::json
