// FlatDocument: the numbers of one JSON document by field path, flattened once
// and shared by the comparison and the property checks. Read straight from
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

  // Every number, sorted by path (the comparison needs that); or, with
  // `only` (sorted paths), just the numbers at those paths and any that is
  // not finite, in reading order: what the property checks look at, for much
  // less. A text that does not parse gives json::parse's error for it.
  static Expected<FlatDocument, json::Error> from_text(std::string_view text,
                                                      const std::vector<std::string>* only = nullptr);
  // Always sorted; a later leaf on a path replaces an earlier one, as in
  // flatten_json.
  static FlatDocument from_value(const json::Value& v);
  static FlatDocument from_map(const FlatMap& flat);
  // What from_text gives for the result's compact text (write_result), taken
  // from the records: with `only`, each wanted path looked up in them, so that
  // the property checks of a long run never read its text, and the equity
  // curve only when `curve` asks for it (empty otherwise).
  static FlatDocument from_result(const BacktestResult& result, const std::vector<std::string>* only = nullptr,
                                  bool curve = true);

  std::size_t size() const { return fields_.size(); }
  bool sorted() const { return sorted_; }
  std::string_view path(std::size_t i) const { return {paths_.data() + fields_[i].path_offset, fields_[i].path_size}; }
  double value(std::size_t i) const { return fields_[i].value; }
  // The number at exactly `path`.
  std::optional<double> find(std::string_view path) const;

  // Read from the structure while flattening: the numbers at equity[i].equity
  // and at equity_curve[i], in index order. Null when the document was
  // flattened from a map, whose curve must be read from its paths.
  const std::vector<Point>* equity_points() const { return structured_ ? &equity_ : nullptr; }
  const std::vector<Point>* equity_curve_points() const { return structured_ ? &equity_curve_ : nullptr; }

 private:
  class Flattener;  // the pass over the text, in flat_document.cpp

  std::string paths_;
  std::vector<Field> fields_;
  bool sorted_ = false;
  bool structured_ = false;
  std::vector<Point> equity_;
  std::vector<Point> equity_curve_;
};

}  // namespace vsci
