// A cut that matches the first element's opening rarely strays beyond the
// array into a neighbour of another shape, where its pieces would be read for
// nothing.
#include "json/list_cuts.h"

#include <string>

namespace vsci::json {

namespace {

// An object's opening is compared up to its first key's colon, at most this long.
constexpr std::size_t kMaxOpening = 64;

}  // namespace

std::vector<std::size_t> list_cuts(std::string_view text, std::size_t open, std::size_t piece_bytes) {
  std::vector<std::size_t> starts{open + 1};
  if (open + 1 >= text.size() || (text[open + 1] != '{' && text[open + 1] != '[')) return starts;
  std::string joint(text[open + 1] == '{' ? "}," : "],");
  const std::size_t colon = text.find(':', open + 1);
  if (text[open + 1] == '{' && colon != std::string_view::npos && colon - open <= kMaxOpening) {
    joint += text.substr(open + 1, colon - open);
  } else {
    joint += text[open + 1];
  }
  for (;;) {
    const std::size_t cut = text.find(joint, starts.back() + piece_bytes);
    if (cut == std::string_view::npos) break;
    starts.push_back(cut + 2);
  }
  return starts;
}

std::size_t closing_piece(const std::vector<PieceEnd>& ends) {
  for (std::size_t k = 0; k < ends.size(); ++k) {
    if (ends[k] != PieceEnd::Full) return ends[k] == PieceEnd::Closed ? k : kNoPiece;
  }
  return kNoPiece;
}

}  // namespace vsci::json
