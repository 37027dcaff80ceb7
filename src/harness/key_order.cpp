// One pass over the text; an object is written as it is read and its members'
// extents remembered, so that only an object whose keys are out of order is
// rewritten, from a copy of its own body. Compact text of plain keys, strings
// and numbers (what the engine writes) is walked byte by byte with its grammar
// checked on the way; anything else (a blank, an escape, a byte beyond ASCII,
// any fault) sends the whole text through the pull reader instead.
#include "harness/key_order.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "json/reader.h"
#include "json/scanner.h"
#include "json/writer.h"
#include "util/parallel.h"

namespace vsci {

namespace {

// Byte order of keys, as the tree orders its members.
bool key_less(std::string_view a, std::string_view b) { return a < b; }

// A number with an exponent or of more than 18 characters, -0, and a string
// with escapes are read and written afresh; other scalars are copied.
class KeyOrderRewriter {
 public:
  explicit KeyOrderRewriter(std::string_view text) : text_(text), reader_(text), members_(json::kMaxDepth + 2) {}

  Expected<std::string, json::Error> run() {
    out_.reserve(text_.size() + 16);
    const char* p = text_.data();
    if (compact_value(p, 0) && p == text_.data() + text_.size()) return std::move(out_);
    out_.clear();
    if (auto v = value(0); !v) return unexpected(std::move(v.error()));
    if (auto f = reader_.finish(); !f) return unexpected(std::move(f.error()));
    return std::move(out_);
  }

 private:
  static constexpr std::size_t kSmallMember = 256;

  struct Member {
    std::string_view text_key;  // the key as it stands in the text, when it has no escapes
    std::string decoded;        // else the decoded key
    bool escaped = false;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string_view key() const { return escaped ? std::string_view(decoded) : text_key; }
  };

  // Whether `s`, as the reader returned it, lies in the text (so it had no
  // escapes and stands there as it is).
  bool in_text(std::string_view s) const {
    return s.data() >= text_.data() && s.data() + s.size() <= text_.data() + text_.size();
  }

  // ---- compact text: false (nothing promised about out_) at anything else

  bool compact_value(const char*& p, int depth) {
    const char* const end = text_.data() + text_.size();
    if (p == end) return false;
    switch (*p) {
      case '{': return compact_object(p, depth + 1);
      case '[': return compact_array(p, depth + 1);
      case '"': {
        const char* q = p;
        if (!compact_string(q)) return false;
        out_.append(p, static_cast<std::size_t>(q - p));
        p = q;
        return true;
      }
      case 't': return compact_literal(p, "true");
      case 'f': return compact_literal(p, "false");
      case 'n': return compact_literal(p, "null");
      default: return compact_number(p);
    }
  }

  bool compact_literal(const char*& p, std::string_view word) {
    if (static_cast<std::size_t>(text_.data() + text_.size() - p) < word.size() || std::string_view(p, word.size()) != word) {
      return false;
    }
    out_ += word;
    p += word.size();
    return true;
  }

  // At the opening quote; printable ASCII up to the closing quote.
  bool compact_string(const char*& p) const {
    const char* const end = text_.data() + text_.size();
    for (const char* q = p + 1; q != end; ++q) {
      const unsigned char c = static_cast<unsigned char>(*q);
      if (c == '"') {
        p = q + 1;
        return true;
      }
      if (c < 0x20 || c >= 0x7F || c == '\\') return false;
    }
    return false;
  }

  // The number grammar; a token with an exponent, longer than 18 characters,
  // or -0 is read and written as the tree would, the rest copied.
  bool compact_number(const char*& p) {
    const char* const end = text_.data() + text_.size();
    const char* q = p;
    const auto digit = [&] { return q != end && *q >= '0' && *q <= '9'; };
    if (q != end && *q == '-') ++q;
    if (!digit()) return false;
    if (*q++ != '0') {
      while (digit()) ++q;
    }
    bool plain = true;
    if (q != end && *q == '.') {
      ++q;
      if (!digit()) return false;
      while (digit()) ++q;
    }
    if (q != end && (*q == 'e' || *q == 'E')) {
      plain = false;
      ++q;
      if (q != end && (*q == '+' || *q == '-')) ++q;
      if (!digit()) return false;
      while (digit()) ++q;
    }
    const std::string_view raw(p, static_cast<std::size_t>(q - p));
    p = q;
    if (plain && raw.size() <= 18 && raw != "-0") {
      out_ += raw;
      return true;
    }
    auto tree = json::parse(raw);
    if (!tree) return false;
    out_ += json::write(*tree);
    return true;
  }

  bool compact_array(const char*& p, int depth) {
    const char* const end = text_.data() + text_.size();
    if (depth > json::kMaxDepth) return false;
    if (compact_array_in_pieces(p, depth)) return true;
    out_ += '[';
    ++p;
    if (p != end && *p == ']') {
      out_ += ']';
      ++p;
      return true;
    }
    for (;;) {
      if (!compact_value(p, depth)) return false;
      if (p == end) return false;
      const char c = *p++;
      if (c == ']') break;
      if (c != ',') return false;
      out_ += ',';
    }
    out_ += ']';
    return true;
  }

  // Compact values from `p` on, commas between them copied, until the text
  // ends (Full) or a closing bracket follows one (Closed, the bracket passed
  // but not written); Unusual at anything else.
  json::PieceEnd compact_run(const char*& p, int depth) {
    const char* const end = text_.data() + text_.size();
    for (;;) {
      if (!compact_value(p, depth)) return json::PieceEnd::Unusual;
      if (p == end) return json::PieceEnd::Full;
      const char c = *p++;
      if (c == ']') return json::PieceEnd::Closed;
      if (c != ',') return json::PieceEnd::Unusual;
      out_ += ',';
    }
  }

  // A long array of objects (or of arrays) is cut into pieces
  // (json::read_in_pieces) rewritten in parallel, each read in full as values and
  // commas. Should a cut fall inside a string, some piece cannot read that way
  // and the array is walked whole instead; if every piece reads, the array's
  // text has that one parse, so each element is rewritten as the whole walk
  // would. False, with `p` and out_ as they were, when the array is short or
  // not so.
  bool compact_array_in_pieces(const char*& p, int depth) {
    const std::size_t open = static_cast<std::size_t>(p - text_.data());
    if (!json::worth_cutting(text_, open)) return false;
    std::vector<std::string> texts;
    const json::ListPieces pieces = json::read_in_pieces(
        text_, open, [&](std::size_t n) { texts.resize(n); },
        [&](std::size_t k, std::string_view text) {
          KeyOrderRewriter piece(text);
          piece.out_.reserve(text.size() + 16);
          const char* q = piece.text_.data();
          const json::PieceEnd how = piece.compact_run(q, depth);
          texts[k] = std::move(piece.out_);
          return std::pair(how, static_cast<std::size_t>(q - text.data()));
        });
    const std::size_t used = pieces.closing();
    if (used == json::kNoPiece) return false;
    std::size_t bytes = used + 2;
    for (std::size_t k = 0; k <= used; ++k) bytes += texts[k].size();
    out_.reserve(out_.size() + bytes);
    touch_pages(out_.data() + out_.size(), bytes);
    out_ += '[';
    for (std::size_t k = 0; k <= used; ++k) {
      if (k > 0) out_ += ',';
      out_ += texts[k];
    }
    out_ += ']';
    p = text_.data() + pieces.stops[used];
    return true;
  }

  bool compact_object(const char*& p, int depth) {
    const char* const end = text_.data() + text_.size();
    if (depth > json::kMaxDepth) return false;
    out_ += '{';
    const std::size_t body = out_.size();
    ++p;
    std::size_t count = 0;
    if (p != end && *p == '}') {
      ++p;
      out_ += '}';
      return true;
    }
    for (;;) {
      if (p == end || *p != '"') return false;
      const char* key_end = p;
      if (!compact_string(key_end) || key_end == end || *key_end != ':') return false;
      std::vector<Member>& ms = members_[static_cast<std::size_t>(depth)];
      if (count == ms.size()) ms.emplace_back();
      Member& m = ms[count++];  // the deeper levels use other vectors
      m.escaped = false;
      m.text_key = std::string_view(p + 1, static_cast<std::size_t>(key_end - p - 2));
      if (count > 1) out_ += ',';
      m.begin = out_.size();
      out_.append(p, static_cast<std::size_t>(key_end - p + 1));
      p = key_end + 1;
      if (!compact_value(p, depth)) return false;
      m.end = out_.size();
      if (p == end) return false;
      const char c = *p++;
      if (c == '}') break;
      if (c != ',') return false;
    }
    finish_object(members_[static_cast<std::size_t>(depth)], count, body);
    return true;
  }

  // Members in key order, then the closing brace.
  void finish_object(std::vector<Member>& ms, std::size_t count, std::size_t body) {
    const std::size_t a_size = count == 2 ? ms[0].end - ms[0].begin : 0;
    if (count == 2 && a_size <= kSmallMember && key_less(ms[1].key(), ms[0].key())) {
      // The common small record out of order: "A,B" becomes "B,A" in place.
      char a[kSmallMember];
      char* const base = out_.data();
      std::memcpy(a, base + ms[0].begin, a_size);
      std::memmove(base + ms[0].begin, base + ms[1].begin, ms[1].end - ms[1].begin);
      char* p = base + ms[0].begin + (ms[1].end - ms[1].begin);
      *p++ = ',';
      std::memcpy(p, a, a_size);
    } else {
      bool ordered = true;
      for (std::size_t i = 1; i < count && ordered; ++i) ordered = key_less(ms[i - 1].key(), ms[i].key());
      if (!ordered) reorder(ms, count, body);
    }
    out_ += '}';
  }

  // ---- any text, through the pull reader

  Expected<void, json::Error> value(std::size_t depth) {
    const int c = reader_.peek();
    if (c == '{') return object(depth);
    if (c == '[') return array(depth);
    const std::size_t start = reader_.offset();
    if (c == '"') {
      auto s = reader_.read_str();
      if (!s) return unexpected(std::move(s.error()));
      if (in_text(*s)) out_ += text_.substr(start, reader_.offset() - start);
      else json::append_string(out_, *s);
      return {};
    }
    if (c == '-' || (c >= '0' && c <= '9')) return number(start);
    if (auto s = reader_.skip_value(); !s) return s;
    out_ += text_.substr(start, reader_.offset() - start);
    return {};
  }

  // A number without an exponent and of at most 18 characters cannot be out
  // of range, and is copied; any other is read and written as the tree would.
  Expected<void, json::Error> number(std::size_t start) {
    if (auto s = reader_.skip_value(); !s) return s;
    const std::string_view raw = text_.substr(start, reader_.offset() - start);
    bool plain = raw.size() <= 18 && raw != "-0";
    for (std::size_t i = 0; plain && i < raw.size(); ++i) plain = raw[i] != 'e' && raw[i] != 'E';
    if (plain) {
      out_ += raw;
      return {};
    }
    auto tree = json::parse(raw);
    if (!tree) return unexpected(reader_.locate(std::move(tree.error())));
    out_ += json::write(*tree);
    return {};
  }

  Expected<void, json::Error> array(std::size_t depth) {
    if (auto b = reader_.begin_array(); !b) return b;
    out_ += '[';
    for (bool first = true;; first = false) {
      auto more = reader_.next_element();
      if (!more) return unexpected(std::move(more.error()));
      if (!*more) break;
      if (!first) out_ += ',';
      if (auto v = value(depth + 1); !v) return v;
    }
    out_ += ']';
    return {};
  }

  Expected<void, json::Error> object(std::size_t depth) {
    if (auto b = reader_.begin_object(); !b) return b;
    out_ += '{';
    const std::size_t body = out_.size();
    std::size_t count = 0;
    std::string_view key;
    for (;;) {
      auto more = reader_.next_member(key);
      if (!more) return unexpected(std::move(more.error()));
      if (!*more) break;
      std::vector<Member>& ms = members_[depth];
      if (count == ms.size()) ms.emplace_back();
      Member& m = ms[count++];  // the deeper levels use other vectors
      m.escaped = !in_text(key);
      if (count > 1) out_ += ',';
      m.begin = out_.size();
      if (m.escaped) {
        m.decoded.assign(key);
        json::append_string(out_, key);
      } else {
        m.text_key = key;
        out_ += '"';
        out_ += key;
        out_ += '"';
      }
      out_ += ':';
      if (auto v = value(depth + 1); !v) return v;
      m.end = out_.size();
    }
    finish_object(members_[depth], count, body);
    return {};
  }

  // Members by key, stably, the last of a repeated key kept.
  void reorder(std::vector<Member>& ms, std::size_t count, std::size_t body) {
    order_.resize(count);
    for (std::size_t i = 0; i < count; ++i) order_[i] = i;
    const auto before = [&](std::size_t a, std::size_t b) { return key_less(ms[a].key(), ms[b].key()); };
    if (count <= 16) {
      // Small records (most objects): a stable insertion sort, no buffer.
      for (std::size_t i = 1; i < count; ++i) {
        for (std::size_t j = i; j > 0 && before(order_[j], order_[j - 1]); --j) std::swap(order_[j], order_[j - 1]);
      }
    } else {
      std::stable_sort(order_.begin(), order_.end(), before);
    }
    kept_.clear();
    for (std::size_t k = 0; k < count; ++k) {
      if (k + 1 < count && ms[order_[k + 1]].key() == ms[order_[k]].key()) continue;
      kept_.push_back(order_[k]);
    }
    // The largest member (the equity curve of a result) is moved within the
    // text once; only the others wait in a copy, so the document is never
    // copied whole.
    const auto size = [&](std::size_t i) { return ms[i].end - ms[i].begin; };
    std::size_t big = kept_.front();
    for (std::size_t i : kept_) big = size(i) > size(big) ? i : big;
    scratch_.clear();
    place_.resize(count);
    std::size_t at = body;
    std::size_t big_at = body;
    for (std::size_t i : kept_) {
      if (i == big) {
        big_at = at;
      } else {
        place_[i] = scratch_.size();
        scratch_.append(out_, ms[i].begin, size(i));
      }
      at += size(i) + 1;
    }
    // The members kept, with commas between, are never longer than all of
    // them were.
    char* const base = out_.data();
    std::memmove(base + big_at, base + ms[big].begin, size(big));
    at = body;
    for (std::size_t n = 0; n < kept_.size(); ++n) {
      const std::size_t i = kept_[n];
      if (n > 0) base[at++] = ',';
      if (i != big) std::memcpy(base + at, scratch_.data() + place_[i], size(i));
      at += size(i);
    }
    out_.resize(at);
    if (scratch_.capacity() > (std::size_t{1} << 20)) std::string().swap(scratch_);
  }

  std::string_view text_;
  json::Reader reader_;
  std::string out_;
  std::vector<std::vector<Member>> members_;
  std::vector<std::size_t> order_;
  std::vector<std::size_t> kept_;   // members in their new order, repeats dropped
  std::vector<std::size_t> place_;  // where each member waits in scratch_
  std::string scratch_;
};

}  // namespace

Expected<std::string, json::Error> engine_text_in_key_order(std::string_view text) {
  return KeyOrderRewriter(text).run();
}

}  // namespace vsci
