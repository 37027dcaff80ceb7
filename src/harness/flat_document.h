// FlatDocument: the numbers of one JSON document by field path, what the
// plain comparison merges and the property checks look up. Read straight from
// JSON text with the pull reader; only a document whose keys could make two
// paths meet (an empty key, a key holding "." or "[", a key given twice in
// one object) is parsed into a tree and flattened from there. Plain value;
// readers are thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/result.h"
#include "harness/compare.h"
#include "json/error.h"
#include "json/value.h"
#include "util/expected.h"

namespace vsci {

class FlatDocument {
 public:
  struct Field {
    std::size_t path_offset;
    std::uint32_t path_size;
    double value;
  };
  struct Point {
    std::uint64_t index;
    double value;
  };

  // Every number, sorted by path. A text that does not parse gives
  // json::parse's error for it.
  static Expected<FlatDocument, json::Error> from_text(std::string_view text);
  // A later leaf on a path replaces an earlier one, as in flatten_json.
  static FlatDocument from_value(const json::Value& v);
  static FlatDocument from_map(const FlatMap& flat);
  // The numbers the result's text (write_result) holds at the paths `only`
  // (sorted), looked up in the records, so that the property checks of a long
  // run never write its text; with `curve`, its equity curve too.
  static FlatDocument from_result(const BacktestResult& result, const std::vector<std::string>& only, bool curve);

  std::size_t size() const { return fields_.size(); }
  std::string_view path(std::size_t i) const { return {paths_.data() + fields_[i].path_offset, fields_[i].path_size}; }
  double value(std::size_t i) const { return fields_[i].value; }
  // The number at exactly `path`.
  std::optional<double> find(std::string_view path) const;

  // from_result with `curve`: the numbers at equity[i].equity, in index
  // order. Empty otherwise.
  const std::vector<Point>& equity_points() const { return equity_; }

 private:
  class Flattener;  // the pass over the text, in flat_document.cpp

  std::string paths_;
  std::vector<Field> fields_;
  std::vector<Point> equity_;
};

}  // namespace vsci
