// The kind reference, docs/kinds.md: every registry row described for a user
// who writes strategies (family, what it is fed, parameters with names, types
// and the values they take, warm-up, named outputs, a parameter list that
// builds). Written only from the registry and from the kinds themselves, built
// through the factory; a test compares the committed file with what is
// written today.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "factory/registry.h"
#include "util/expected.h"

namespace vsci {

// The warm-up of a kind as its parameters move: constant + sum of coeff * #pos
// over the count parameters, when every probe agreed with such a line;
// otherwise only the value at the example parameters is known.
struct WarmupLine {
  std::int64_t constant = 0;
  std::vector<std::pair<std::size_t, std::int64_t>> terms;  // (position, coefficient), non-zero only

  std::int64_t at(std::span<const double> params) const;
};

// One end of the values a parameter takes, found by building the kind with
// the other parameters at the example and again with them moved (counts
// doubled, numbers halved): Fixed where both searches found the same end,
// Other where the end is another parameter's value both times, Varies where
// it moved otherwise. None where the type's own limit is the end. An end that
// varies may still lie inside one that holds whatever the others are (a
// bandwidth below period / 8 and below 1): `fixed_beyond` then gives that one.
struct ParamBound {
  enum class Kind : unsigned char { None, Fixed, Other, Varies };
  Kind kind = Kind::None;
  double value = 0.0;        // Fixed, and Varies with fixed_beyond
  std::size_t other = 0;     // Other: the position whose value is the end
  bool inclusive = true;     // Fixed, Other, Varies with fixed_beyond: whether the end itself is taken
  bool fixed_beyond = false;
};

struct ParamRange {
  ParamBound low, high;
  // 2 for a whole-number parameter that takes only values of its example's
  // parity (the ends are then found in steps of 2).
  std::int64_t step = 1;
};

struct KindDoc {
  const KindEntry* entry = nullptr;
  std::string_view family;
  std::uint64_t warmup_at_example = 0;
  std::optional<WarmupLine> warmup;
  std::vector<ParamRange> ranges;  // one per parameter
};

// Every kind, by family in the reference's order, then by name; or the text
// of what stops the reference from being written (an example that does not
// build).
Expected<std::vector<KindDoc>, std::string> describe_kinds();

// The whole of docs/kinds.md, or what stops it from being written.
Expected<std::string, std::string> kinds_markdown();

}  // namespace vsci
