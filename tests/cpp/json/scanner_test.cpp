// A long list is cut into pieces only between its elements, compact or laid
// out as json.dumps lays it out, whether its elements are short or longer
// than a piece; a cut that falls inside a string leaves its piece unread, and
// the pieces before it stand. The elements' places are known from building
// the text.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "json/reader.h"
#include "json/scanner.h"
#include "support/json_spacing.h"
#include "util/parallel.h"

namespace vsci::json {
namespace {

using testing::respaced;
using testing::Spacing;

// Reads a piece as whole elements with commas between them.
std::pair<ListEnd, std::size_t> read_elements(std::string_view piece) {
  Reader r(piece, 1);
  for (;;) {
    if (!r.skip_value().ok()) return {ListEnd::Open, 0};
    if (r.remaining() == 0) return {ListEnd::Full, piece.size()};
    auto more = r.next_element();
    if (!more) return {ListEnd::Open, 0};
    if (!*more) return {ListEnd::Closed, r.offset()};
  }
}

struct Cut {
  ListPieces pieces;
  std::vector<std::string_view> texts;
};

Cut cut(const std::string& text) {
  Cut out;
  out.pieces = read_in_pieces(
      text, 0, [&](std::size_t n) { out.texts.resize(n); },
      [&](std::size_t k, std::string_view piece) {
        out.texts[k] = piece;
        return read_elements(piece);
      });
  return out;
}

// The offsets where the elements of a list start and end, found by reading
// it from the start.
std::vector<std::pair<std::size_t, std::size_t>> elements_of(const std::string& text) {
  std::vector<std::pair<std::size_t, std::size_t>> out;
  Reader r(text);
  EXPECT_TRUE(r.begin_array().ok());
  for (;;) {
    auto more = r.next_element();
    if (!more || !*more) break;
    r.peek();
    const std::size_t start = r.offset();
    EXPECT_TRUE(r.skip_value().ok());
    out.emplace_back(start, r.offset());
  }
  return out;
}

TEST(JsonScanner, ListsAreCutBetweenTheirElementsOnly) {
  std::mt19937 rng(8);
  std::string list = "[";
  for (int k = 0; k < 400; ++k) {
    // Mostly short elements, some longer than a piece.
    const std::size_t pad = rng() % 10 == 0 ? kPieceBytes + rng() % kPieceBytes : rng() % 20000;
    list += (k ? "," : "") + std::string(R"({"id":)") + std::to_string(k) + R"(,"pad":")" + std::string(pad, 'x') + R"("})";
  }
  list += "]";
  for (const std::string& text : {list, respaced(list, Spacing::Separators), respaced(list, Spacing::Indent)}) {
    const auto elements = elements_of(text);
    ASSERT_EQ(elements.size(), 400U);
    const Cut c = cut(text);
    ASSERT_EQ(c.pieces.closing() + 1, c.pieces.ends.size());
    if (pieces_pay_off()) {
      EXPECT_GT(c.pieces.ends.size(), 20U);
    }
    // Each piece is a run of whole elements, the runs one after another.
    std::size_t next = 0;
    for (std::size_t k = 0; k < c.pieces.ends.size(); ++k) {
      const std::size_t start = static_cast<std::size_t>(c.texts[k].data() - text.data());
      ASSERT_EQ(start, elements[next].first) << k;
      const std::size_t end = start + c.texts[k].size();
      while (next < elements.size() && elements[next].second <= end) ++next;
      if (k + 1 < c.pieces.ends.size()) {
        EXPECT_EQ(end, elements[next - 1].second) << k;
      }
    }
    EXPECT_EQ(next, elements.size());
    EXPECT_EQ(c.pieces.stops.back(), text.size());  // the list closed
  }
}

TEST(JsonScanner, ACutInsideAStringLeavesItsPieceUnread) {
  if (!pieces_pay_off()) GTEST_SKIP() << "one worker thread: lists are read whole";
  // Arrays join as "],[", which a string may hold too: the second half of the
  // list holds such strings, where nearly every cut then falls.
  std::string list = "[";
  for (int k = 0; k < 300000; ++k) {
    list += (k ? "," : "") + std::string("[") + std::to_string(k) + (k > 150000 ? R"(,"],[","],["])" : R"(,"abc","de"])");
  }
  list += "]";
  const auto elements = elements_of(list);
  const Cut c = cut(list);
  const std::size_t full = c.pieces.full();
  ASSERT_GT(full, 1U);
  EXPECT_EQ(c.pieces.closing(), kNoPiece);
  // The pieces that stand end where an element ends, the first odd one at
  // the latest.
  const std::size_t end = c.pieces.stops[full - 1];
  EXPECT_LE(end, elements[150001].second);
  EXPECT_TRUE(std::any_of(elements.begin(), elements.end(), [&](const auto& e) { return e.second == end; }));
}

// A long list of one-number lists read by read_list gives the numbers of a
// serial read, in order, and leaves the reader after the list, inside what holds
// it; an element its reader refuses fails the read, wherever it lies.
TEST(JsonScanner, ReadListGivesTheSerialReadAndResumesAfterTheList) {
  const int count = 600000;
  std::string list = "[";
  for (int k = 0; k < count; ++k) list += (k ? ",[" : "[") + std::to_string(k) + "]";
  list += "]";
  const auto read_ints = [](Reader& r, std::vector<std::int64_t>& part) {
    if (r.peek() != '[' || !r.begin_array().ok() || !*r.next_element()) return false;
    auto x = r.read_i64();
    if (x) part.push_back(*x);
    return x.ok() && r.end_array().ok();
  };
  for (const std::string& spaced : {list, respaced(list, Spacing::Indent)}) {
    const std::string text = "{\"list\": " + spaced + ", \"after\": 1}";
    Reader r(text);
    std::string_view key;
    ASSERT_TRUE(r.begin_object().ok());
    ASSERT_TRUE(*r.next_member(key));
    std::vector<std::vector<std::int64_t>> parts;
    ASSERT_TRUE(read_list(r, parts, read_ints));
    EXPECT_EQ(parts.size() > 1, pieces_pay_off());
    EXPECT_EQ(r.depth(), 1);
    std::int64_t next = 0;
    for (const auto& part : parts) {
      for (const std::int64_t x : part) ASSERT_EQ(x, next++);
    }
    EXPECT_EQ(next, count);
    ASSERT_TRUE(*r.next_member(key));
    EXPECT_EQ(key, "after");
    for (const std::size_t at : {list.size() / 10, list.size() - 100}) {
      std::string odd = text;
      odd.insert(odd.find('[', at), "[\"x\"],");
      Reader o(odd);
      ASSERT_TRUE(o.begin_object().ok());
      ASSERT_TRUE(*o.next_member(key));
      EXPECT_FALSE(read_list(o, parts, read_ints)) << at;
    }
  }
}

}  // namespace
}  // namespace vsci::json
