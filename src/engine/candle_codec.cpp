// Candles make up nearly all of a long command or request; the compact forms
// are matched byte for byte, and anything else is read again from the same
// place by the general reader, which alone forms messages and positions. The
// values are the general reader's, from the same number scanner.
#include "engine/candle_codec.h"

#include <algorithm>

#include "engine/typed_read.h"
#include "json/scanner.h"
#include "json/writer.h"
#include "util/parallel.h"

namespace vsci {

namespace {

using json::PieceEnd;
using json::Reader;

// The member names of the declared-order object form, each after its comma.
constexpr std::string_view kDeclaredGlue[] = {",\"open\":", ",\"high\":", ",\"low\":", ",\"close\":", ",\"volume\":"};

bool read_declared_object(Reader& r, Candle& c) {
  if (!r.try_i64(c.time)) return false;
  for (std::size_t i = 1; i <= 4; ++i) {
    if (!r.try_literal(kDeclaredGlue[i - 1]) || !r.try_f64(candle_price(c, i))) return false;
  }
  if (r.try_literal(kDeclaredGlue[4]) && !r.try_f64(c.volume)) return false;
  return r.try_literal("}");
}

bool read_key_ordered_object(Reader& r, Candle& c) {
  return r.try_f64(c.close) && r.try_literal(",\"high\":") && r.try_f64(c.high) && r.try_literal(",\"low\":") &&
         r.try_f64(c.low) && r.try_literal(",\"open\":") && r.try_f64(c.open) && r.try_literal(",\"time\":") &&
         r.try_i64(c.time) && r.try_literal(",\"volume\":") && r.try_f64(c.volume) && r.try_literal("}");
}

bool read_array(Reader& r, Candle& c) {
  if (!r.try_i64(c.time)) return false;
  for (std::size_t i = 1; i <= 4; ++i) {
    if (!r.try_literal(",") || !r.try_f64(candle_price(c, i))) return false;
  }
  if (r.try_literal(",") && !r.try_f64(c.volume)) return false;
  return r.try_literal("]");
}

// Compact candles from `r` on, one comma between each two, until `r`'s text
// ends (Full) or a closing bracket follows one (Closed, the bracket
// consumed); Unusual at anything else.
PieceEnd read_compact_run(Reader& r, std::vector<Candle>& out) {
  for (;;) {
    if (!read_compact_candle(r, out.emplace_back())) {
      out.pop_back();
      return PieceEnd::Unusual;
    }
    if (r.remaining() == 0) return PieceEnd::Full;
    if (r.try_literal(",")) continue;
    return r.try_literal("]") ? PieceEnd::Closed : PieceEnd::Unusual;
  }
}

}  // namespace

Expected<void, json::Error> read_candle_field(Reader& r, std::size_t i, Candle& c) {
  if (i == 0) return typed::read_i64(r, c.time);
  return typed::read_f64(r, candle_price(c, i));
}

bool read_compact_candle(Reader& r, Candle& c) {
  if (r.depth() >= json::kMaxDepth) return false;
  const std::size_t at = r.offset();
  Candle read;
  bool ok = false;
  if (r.try_literal("{\"time\":")) ok = read_declared_object(r, read);
  else if (r.try_literal("{\"close\":")) ok = read_key_ordered_object(r, read);
  else if (r.try_literal("[")) ok = read_array(r, read);
  if (!ok) {
    r.rewind(at);
    return false;
  }
  c = read;
  return true;
}

Expected<void, json::Error> read_candle(Reader& r, Candle& out) {
  if (read_compact_candle(r, out)) return {};
  return typed::read_struct(r, kCandleRecord, [&](std::size_t i, Reader& rr) { return read_candle_field(rr, i, out); });
}

ListTaken read_candles_in_pieces(Reader& r, std::vector<Candle>& out) {
  if (r.peek() != '[' || r.depth() + 1 >= json::kMaxDepth || !json::worth_cutting(r.text(), r.offset())) {
    return ListTaken::None;
  }
  std::vector<std::vector<Candle>> read;
  const json::ListPieces pieces = json::read_in_pieces(
      r.text(), r.offset(), [&](std::size_t n) { read.resize(n); },
      [&](std::size_t k, std::string_view text) {
        Reader piece(text);
        read[k].reserve(json::kPieceBytes / 32);
        const PieceEnd how = read_compact_run(piece, read[k]);
        return std::pair(how, piece.offset());
      });
  // The pieces taken: up to the one that closes the list, else those that
  // read to their end before the first that did not.
  const std::size_t closing = pieces.closing();
  const std::size_t taken = closing != json::kNoPiece ? closing + 1 : pieces.full();
  if (taken == 0) return ListTaken::None;
  std::vector<std::size_t> at(taken + 1, out.size());
  for (std::size_t k = 0; k < taken; ++k) at[k + 1] = at[k] + read[k].size();
  out.reserve(at[taken]);
  touch_pages(out.data() + at[0], (at[taken] - at[0]) * sizeof(Candle));
  out.resize(at[taken]);
  for_each_piece(taken, [&](std::size_t k) {
    std::copy(read[k].begin(), read[k].end(), out.begin() + static_cast<std::ptrdiff_t>(at[k]));
  });
  if (closing != json::kNoPiece) {
    r.rewind(pieces.stops[closing]);
    return ListTaken::Whole;
  }
  // The list opened here, as a serial read would have, and left after the
  // last candle taken (the end of the last piece taken).
  if (!r.begin_array().ok()) return ListTaken::None;  // cannot fail: the depth was checked
  r.resume_after_element(pieces.stops[taken - 1], r.depth());
  return ListTaken::Partly;
}

char* put_candle(char* p, const Candle& c) {
  using json::Writer;
  // The prices come first in key order.
  const std::pair<std::string_view, double> prices[] = {
      {"{\"close\":", c.close}, {",\"high\":", c.high}, {",\"low\":", c.low}, {",\"open\":", c.open}};
  for (const auto& [name, value] : prices) p = json::write_f64(Writer::put_text(p, name), value);
  p = json::write_i64(Writer::put_text(p, ",\"time\":"), c.time);
  p = json::write_f64(Writer::put_text(p, ",\"volume\":"), c.volume);
  *p++ = '}';
  return p;
}

}  // namespace vsci
