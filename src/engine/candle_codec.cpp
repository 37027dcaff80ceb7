// Candles make up nearly all of a long command or request; the compact forms
// are matched byte for byte, and anything else is read again from the same
// place by the general reader, which alone forms messages and positions. The
// values are the general reader's, from the same number scanner.
#include "engine/candle_codec.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "engine/typed_read.h"
#include "json/scanner.h"
#include "json/writer.h"
#include "util/parallel.h"

namespace vsci {

namespace {

using json::ListEnd;
using json::Reader;

// A member after its comma (or a bare comma, without a key), or the opening
// of an object up to its first key's colon (`opens`), in each layout: compact,
// as json.dumps writes it by default (a blank after each comma and colon), and
// its key alone.
struct Glue {
  std::string_view compact;
  std::string_view spaced;
  std::string_view key;
  char opens = ',';
};

constexpr Glue kOpen{",\"open\":", ", \"open\": ", "\"open\""}, kHigh{",\"high\":", ", \"high\": ", "\"high\""},
    kLow{",\"low\":", ", \"low\": ", "\"low\""}, kClose{",\"close\":", ", \"close\": ", "\"close\""},
    kTime{",\"time\":", ", \"time\": ", "\"time\""}, kVolume{",\"volume\":", ", \"volume\": ", "\"volume\""},
    kComma{",", ", ", ""}, kTimeFirst{"{\"time\":", "{\"time\": ", "\"time\"", '{'},
    kCloseFirst{"{\"close\":", "{\"close\": ", "\"close\"", '{'};

// The three layouts a compact candle is matched in. Tight (no blank
// anywhere) and Spaced (json.dumps's default separators) match each member
// with its comma (or opening brace) and colon as one literal; Loose takes
// blanks (as JSON counts them) before every token, as json.dumps writes them
// with an indent. Each step takes all of its tokens or nothing.
struct Tight {
  static bool glue(Reader& r, const Glue& g) { return r.try_literal(g.compact); }
  static bool punct(Reader& r, char c) { return r.try_literal(std::string_view(&c, 1)); }
  static bool f64(Reader& r, double& out) { return r.try_f64(out); }
  static bool i64(Reader& r, std::int64_t& out) { return r.try_i64(out); }
};

struct Spaced : Tight {
  static bool glue(Reader& r, const Glue& g) { return r.try_literal(g.spaced); }
};

struct Loose {
  static bool glue(Reader& r, const Glue& g) {
    const std::size_t at = r.offset();
    if (punct(r, g.opens) && (g.key.empty() || (blanks(r) == '"' && r.try_literal(g.key) && punct(r, ':')))) return true;
    r.rewind(at);
    return false;
  }
  static bool punct(Reader& r, char c) {
    if (blanks(r) != c) return false;
    r.advance();
    return true;
  }
  static bool f64(Reader& r, double& out) {
    blanks(r);
    return r.try_f64(out);
  }
  static bool i64(Reader& r, std::int64_t& out) {
    blanks(r);
    return r.try_i64(out);
  }
  // Skips blanks and gives the byte after them ('\0' at the end). An indent
  // is a line break and a run of spaces, taken eight at a time.
  static char blanks(Reader& r) {
    const std::string_view t = r.text();
    std::size_t i = r.offset();
    while (i < t.size()) {
      const char c = t[i];
      if (c == ' ' && i + 8 <= t.size()) {
        const std::uint64_t other = json::load8(t.data() + i) ^ json::bytes_of(' ');
        i += other == 0 ? 8 : static_cast<std::size_t>(std::countr_zero(other) / 8);
      } else if (json::is_blank(c)) {
        ++i;
      } else {
        r.rewind(i);
        return c;
      }
    }
    r.rewind(i);
    return '\0';
  }
};

// The members of the declared-order object form after `time`, each after its comma.
constexpr const Glue* kDeclaredGlue[] = {&kOpen, &kHigh, &kLow, &kClose, &kVolume};

template <class Blanks>
bool read_declared_object(Reader& r, Candle& c) {
  if (!Blanks::i64(r, c.time)) return false;
  for (std::size_t i = 1; i <= 4; ++i) {
    if (!Blanks::glue(r, *kDeclaredGlue[i - 1]) || !Blanks::f64(r, candle_price(c, i))) return false;
  }
  if (Blanks::glue(r, kVolume) && !Blanks::f64(r, c.volume)) return false;
  return Blanks::punct(r, '}');
}

template <class Blanks>
bool read_key_ordered_object(Reader& r, Candle& c) {
  return Blanks::f64(r, c.close) && Blanks::glue(r, kHigh) && Blanks::f64(r, c.high) && Blanks::glue(r, kLow) &&
         Blanks::f64(r, c.low) && Blanks::glue(r, kOpen) && Blanks::f64(r, c.open) && Blanks::glue(r, kTime) &&
         Blanks::i64(r, c.time) && Blanks::glue(r, kVolume) && Blanks::f64(r, c.volume) && Blanks::punct(r, '}');
}

template <class Blanks>
bool read_array(Reader& r, Candle& c) {
  if (!Blanks::i64(r, c.time)) return false;
  for (std::size_t i = 1; i <= 4; ++i) {
    if (!Blanks::glue(r, kComma) || !Blanks::f64(r, candle_price(c, i))) return false;
  }
  if (Blanks::glue(r, kComma) && !Blanks::f64(r, c.volume)) return false;
  return Blanks::punct(r, ']');
}

// The opening of a compact candle and the rest of it, in one layout: the
// object forms told apart by their first key.
template <class Blanks>
[[gnu::always_inline]] inline bool read_compact_as(Reader& r, Candle& c) {
  if (Blanks::glue(r, kTimeFirst)) return read_declared_object<Blanks>(r, c);
  if (Blanks::glue(r, kCloseFirst)) return read_key_ordered_object<Blanks>(r, c);
  return Blanks::punct(r, '[') && read_array<Blanks>(r, c);
}

template <class Blanks>
[[gnu::always_inline]] inline bool read_compact_in(Reader& r, Candle& c) {
  const std::size_t at = r.offset();
  Candle read;
  if (read_compact_as<Blanks>(r, read)) {
    c = read;
    return true;
  }
  r.rewind(at);
  return false;
}

// A candle laid out with blanks, kept apart from the tight form's code.
[[gnu::noinline]] bool read_blank_candle(Reader& r, Candle& c) {
  return read_compact_in<Spaced>(r, c) || read_compact_in<Loose>(r, c);
}

// Compact candles in one layout from `r` on, one comma between each two,
// until `r`'s text ends (Full) or a closing bracket follows one (Closed, the
// bracket consumed); Open at anything else, the reader then right after
// the last candle taken (or where it began). `after_candle`: the reader
// stands right after a candle, so a comma comes first.
template <class Blanks>
ListEnd read_compact_run(Reader& r, std::vector<Candle>& out, bool after_candle) {
  for (;;) {
    const std::size_t at = r.offset();
    if (after_candle) {
      if (r.remaining() == 0) return ListEnd::Full;
      if (!Blanks::glue(r, kComma)) {
        if (Blanks::punct(r, ']')) return ListEnd::Closed;
        r.rewind(at);
        return ListEnd::Open;
      }
    }
    if (!read_compact_in<Blanks>(r, out.emplace_back())) {
      out.pop_back();
      r.rewind(at);
      return ListEnd::Open;
    }
    after_candle = true;
  }
}

// Compact candles tight, then spaced, then loose, each from where the one
// before stopped: a list laid out with blanks pays a try or two per piece.
ListEnd read_compact_run(Reader& r, std::vector<Candle>& out, bool after_candle) {
  const std::size_t before = out.size();
  ListEnd how = read_compact_run<Tight>(r, out, after_candle);
  if (how == ListEnd::Open) how = read_compact_run<Spaced>(r, out, after_candle || out.size() > before);
  if (how == ListEnd::Open) how = read_compact_run<Loose>(r, out, after_candle || out.size() > before);
  return how;
}

// What a piece read: its candles, and the lists of a map that open in it,
// each at a candle of the piece (the first list's candles come before).
struct PieceRead {
  std::vector<Candle> candles;
  std::vector<std::pair<std::size_t, std::string>> opens;
};

// After a list of a map closed: true once the next list opened (its name
// noted), false with `how` set otherwise: Closed at the map's end (the cursor
// right after the list, the brace left), Open at anything else.
bool open_next_list(Reader& r, PieceRead& out, ListEnd& how) {
  for (;;) {
    const std::size_t closed = r.offset();
    const int c = r.peek();
    if (c == '}') {
      r.rewind(closed);
      how = ListEnd::Closed;
      return false;
    }
    how = ListEnd::Open;
    if (c != ',') return false;
    r.advance();
    if (r.peek() != '"') return false;
    auto name = r.read_str();
    if (!name.ok()) return false;
    std::string key(*name);
    if (r.peek() != ':') return false;
    r.advance();
    if (r.peek() != '[') return false;
    r.advance();
    out.opens.emplace_back(out.candles.size(), std::move(key));
    if (r.peek() != ']') return true;
    r.advance();  // an empty list
  }
}

// A piece of a list of compact candles, or of a map of such lists (`map`),
// which goes on after a list's closing bracket with the next list's name.
ListEnd read_piece(Reader& r, PieceRead& out, bool map) {
  for (;;) {
    ListEnd how = read_compact_run(r, out.candles, false);
    if (how != ListEnd::Closed || !map || !open_next_list(r, out, how)) return how;
  }
}

// The list (or map of lists) that opens next (json::open_list), in pieces as
// far as they read: the candles of the list open there appended to
// lists.back(), each later list of a map appended to `lists`.
ListEnd read_lists_in_pieces(Reader& r, Datasets& lists, bool map) {
  std::vector<PieceRead> read;
  const json::ListStart start = json::open_list(
      r, [&](std::size_t n) { read.resize(n); },
      [&](std::size_t k, Reader& piece) {
        read[k].candles.reserve(json::kPieceBytes / 32);
        return read_piece(piece, read[k], map);
      });
  const std::size_t taken = start.pieces;
  if (taken == 0) return start.end;
  // Where each run of a piece's candles goes: piece, its candles [from, to),
  // the list and the place there.
  struct Run {
    std::size_t piece, from, to, list, at;
  };
  std::vector<Run> runs;
  const std::size_t first_list = lists.size() - 1;
  std::vector<std::size_t> sizes{lists.back().second.size()};
  for (std::size_t k = 0; k < taken; ++k) {
    std::size_t from = 0;
    const auto add_run = [&](std::size_t to) {
      if (to > from) runs.push_back({k, from, to, lists.size() - 1, sizes.back()});
      sizes.back() += to - from;
      from = to;
    };
    for (auto& [at, name] : read[k].opens) {
      add_run(at);
      lists.emplace_back(std::move(name), std::vector<Candle>{});
      sizes.push_back(0);
    }
    add_run(read[k].candles.size());
  }
  // The lists of a map are sized side by side.
  for_each_piece(sizes.size(), [&](std::size_t i) {
    std::vector<Candle>& out = lists[first_list + i].second;
    out.reserve(sizes[i]);
    touch_pages(out.data() + out.size(), (sizes[i] - out.size()) * sizeof(Candle));
    out.resize(sizes[i]);
  });
  for_each_piece(runs.size(), [&](std::size_t i) {
    const Run& run = runs[i];
    const std::vector<Candle>& from = read[run.piece].candles;
    std::copy(from.begin() + static_cast<std::ptrdiff_t>(run.from), from.begin() + static_cast<std::ptrdiff_t>(run.to),
              lists[run.list].second.begin() + static_cast<std::ptrdiff_t>(run.at));
  });
  return start.end;
}

}  // namespace

Expected<void, json::Error> read_candle_field(Reader& r, std::size_t i, Candle& c) {
  if (i == 0) return typed::read_i64(r, c.time);
  return typed::read_f64(r, candle_price(c, i));
}

bool read_compact_candle(Reader& r, Candle& c) {
  if (r.depth() >= json::kMaxDepth) return false;
  return read_compact_in<Tight>(r, c) || read_blank_candle(r, c);
}

Expected<void, json::Error> read_candle(Reader& r, Candle& out) {
  if (read_compact_candle(r, out)) return {};
  return typed::read_struct(r, kCandleRecord, [&](std::size_t i, Reader& rr) { return read_candle_field(rr, i, out); });
}

bool read_candle_as_tree_would(Reader& r, Candle& c) {
  c = Candle{};
  return read_compact_candle(r, c) ||
         json::read_record_as_tree_would(r, kCandleRecord, [&](std::size_t i, Reader& rr) { return read_candle_field(rr, i, c); });
}

Expected<Candle, json::Error> read_candle_value(const json::Value& v) {
  Candle c;
  auto r = json::read_record(v, kCandleRecord, [&](std::size_t i, const json::Value& x) -> Expected<void, json::Error> {
    if (i == 0) {
      auto t = json::get_i64(x);
      if (!t) return unexpected(std::move(t.error()));
      c.time = *t;
      return {};
    }
    auto f = json::get_f64(x);
    if (!f) return unexpected(std::move(f.error()));
    candle_price(c, i) = *f;
    return {};
  });
  if (!r) return unexpected(std::move(r.error()));
  return c;
}

ListEnd read_candles_in_pieces(Reader& r, std::vector<Candle>& out) {
  Datasets one(1);
  one.back().second = std::move(out);
  const ListEnd end = read_lists_in_pieces(r, one, false);
  out = std::move(one.back().second);
  return end;
}

ListEnd read_candle_map_in_pieces(Reader& r, Datasets& lists) {
  return read_lists_in_pieces(r, lists, true);
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
