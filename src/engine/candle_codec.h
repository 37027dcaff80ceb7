// The one place that knows a candle's text: its field list, the compact
// forms users' tools and the harness write (read by matching their bytes,
// with or without the blanks json.dumps puts between tokens), the general
// record reader with every message, the reading of a candle as the document
// tree reads it, the reading of a long list in pieces on the worker pool, and
// the writer of the backtest request's candle. The engine's request reader,
// the harness's command reader and the harness's request writer all go
// through here. Pure functions; one Reader per thread.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "json/error.h"
#include "json/number_format.h"
#include "json/reader.h"
#include "json/scanner.h"
#include "json/typed.h"
#include "market/bar_context.h"
#include "util/expected.h"

namespace vsci {

// time, open, high, low, close (required), volume (0 when absent), in
// declared order: the object's members and the array form's elements.
inline constexpr json::Field kCandleFields[] = {{"time", true}, {"open", true},  {"high", true},
                                                {"low", true},  {"close", true}, {"volume", false}};
inline constexpr json::Record kCandleRecord{"Candle", kCandleFields};

// The value of field i of kCandleFields in `c`: time as a number is not
// asked for (it is an integer), so i runs from 1 to 5 here.
inline double& candle_price(Candle& c, std::size_t i) {
  double* const slots[] = {&c.open, &c.high, &c.low, &c.close, &c.volume};
  return *slots[i - 1];
}

// Field i's value from the reader: `time` an integer of 64 bits, the others
// any number; the reader's messages.
Expected<void, json::Error> read_candle_field(json::Reader& r, std::size_t i, Candle& c);

// One candle in a compact form at the cursor: an object of all six members
// in declared order or in key order, or of the first five in declared order;
// an array of five or six numbers; either with no blanks anywhere or with
// blanks before any of its tokens (a text json.dumps wrote, indented or not).
// Takes nothing (reader and candle as they were) unless the whole candle
// stands in one of them, at a depth where the reader could open it.
bool read_compact_candle(json::Reader& r, Candle& c);

// One candle in any form the record reader accepts (object or array, members
// in any order, unknown ones skipped), with its messages and positions; the
// compact forms first, which give the same values.
Expected<void, json::Error> read_candle(json::Reader& r, Candle& out);

// One candle from the text when the tree would read it the same
// (json::read_record_as_tree_would); false for anything else.
bool read_candle_as_tree_would(json::Reader& r, Candle& c);

// One candle of a document tree, with the tree's messages.
Expected<Candle, json::Error> read_candle_value(const json::Value& v);

// Dataset name to candles.
using Datasets = std::vector<std::pair<std::string, std::vector<Candle>>>;

// Opens the list that opens next (json::list_opens) and, when it is worth
// cutting, reads its compact candles with single commas between them (blanks
// around the commas too) in pieces on the pool (json::open_list), appended to
// `out`. Up to the first piece that does not read so, the pieces give what a
// serial read gives (compact candles hold no strings, so a cut falls between
// two of them); from there (Open) the caller's serial read goes on, which
// alone forms errors, once.
json::ListEnd read_candles_in_pieces(json::Reader& r, std::vector<Candle>& out);

// The same for a map of named candle lists (a command's "data"), from the
// '[' of its first list on, whose name the caller read and put last in
// `lists`: the lists, and the names between them, are read in pieces as one
// long list, the first list's candles appended to lists.back() and each later
// list appended to `lists` under its name, in text order. Closed: every list
// to the last one, whose closing bracket is followed by the map's closing
// brace (left for the caller); Open: inside lists.back(), after its last
// candle taken.
json::ListEnd read_candle_map_in_pieces(json::Reader& r, Datasets& lists);

// The longest text of a candle whose numbers all take the plain form of at
// most 17 digits (every price and size a candle usually holds), and of any
// candle, as put_candle writes them.
inline constexpr std::size_t kUsualCandleChars = 52 + 20 + 5 * 19;
inline constexpr std::size_t kMaxCandleChars = 52 + json::kMaxIntChars + 5 * json::kMaxF64Chars;

// One candle object, members in key order
// ({"close":..,"high":..,"low":..,"open":..,"time":..,"volume":..}) exactly
// as the document writer lays out keys and values (a non-finite number is
// null); needs kMaxCandleChars of room at `p` and returns the end.
char* put_candle(char* p, const Candle& c);

}  // namespace vsci
