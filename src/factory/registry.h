// The registry: one row per accepted kind name. A row is written once, from
// the kind's `create`: the getter letter of each parameter position follows
// from create's parameter types, the input class and the output names from the
// kind struct, so nothing is kept twice by hand; a kind fed side records names
// its feed in its row, every other kind reads candles. The row names each parameter
// (as many names as `create` has parameters, checked when it compiles), says
// where the first value comes when that is not the warm-up bar, and carries
// one example parameter list that builds (the conformance test and the
// all-kinds bench run every row with it). Each indicator family contributes
// its rows from its own kinds_<family>.cpp and is listed once in
// kind_families(); the factory merges the rows once into one table sorted by
// name bytes. Read-only after first use; safe from any
// thread.
#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <utility>

#include "factory/feed.h"
#include "indicators/indicator.h"

namespace vsci {

// One parameter as its getter delivered it; the getter fixes which member is set.
struct ParamValue {
  double real = 0.0;           // 'f': param_finite
  std::uint64_t count = 0;     // 'p': param_positive_integer
  std::int32_t i32 = 0;        // 'i': param_i32
  std::uint32_t u32 = 0;       // 'u': param_u32
};

using KindConstructor = IndicatorResult (*)(const ParamValue* values);

// The widest parameter list an entry may declare.
inline constexpr std::size_t kMaxKindParams = 16;

// A parameter list a row is known to build with.
struct ExampleParams {
  std::array<double, kMaxKindParams> values{};
  std::size_t size = 0;

  constexpr ExampleParams() = default;
  constexpr ExampleParams(std::initializer_list<double> list) {
    for (double v : list) {
      if (size < kMaxKindParams) values[size++] = v;
    }
  }
  constexpr std::span<const double> view() const { return {values.data(), size}; }
};

// Where a kind's first value comes. warmup() counts the bars up to and
// including the one that gives the first value, so for most kinds it is that
// bar exactly, counted from 1.
enum class FirstValue : unsigned char {
  AtWarmup,
  // One bar later: the kind holds warmup() bars before it compares the next.
  BarAfterWarmup,
  // When the data allows (completed days, confirmed swings, trade prints):
  // before or after warmup(), or never on some series.
  WhenDataAllows,
};

struct KindEntry {
  std::string_view name;
  // One letter per position from #0: 'f' finite, 'p' positive integer,
  // 'i' i32, 'u' u32. Empty for kinds without parameters.
  std::string_view params;
  // The name of each position, as the kind reference shows it; as many as
  // `params` has letters.
  std::array<std::string_view, kMaxKindParams> param_names{};
  KindConstructor make;
  InputClass input = InputClass::Close;
  // Fixed names of the named outputs, in order; empty for single-value kinds.
  std::span<const std::string_view> outputs;
  ExampleParams example;
  FirstValue first_value = FirstValue::AtWarmup;
  // Unknown until the row of a kind fed side records names it.
  Feed feed = Feed::Kline;

  constexpr KindEntry with_first_value(FirstValue f) const {
    KindEntry e = *this;
    e.first_value = f;
    return e;
  }

  constexpr KindEntry fed_by(Feed f) const {
    KindEntry e = *this;
    e.feed = f;
    return e;
  }
};

// The parameter names of a row whose `create` takes N parameters: exactly N
// names, each lower case letters, digits and '_' from a letter. A row with the
// wrong count does not compile; a malformed name stops the compilation at the
// throw below.
template <std::size_t N>
struct ParamNames {
  std::array<std::string_view, N> names;

  template <class... S>
    requires(sizeof...(S) == N && (std::convertible_to<const S&, std::string_view> && ...))
  consteval ParamNames(const S&... s) : names{std::string_view(s)...} {
    for (std::string_view n : names) {
      bool ok = !n.empty() && n[0] >= 'a' && n[0] <= 'z';
      for (char c : n) ok = ok && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_');
      if (!ok) throw "a parameter name is lower case letters, digits and '_', from a letter";
    }
  }
};

namespace registry_detail {

template <class T>
constexpr char letter_for() {
  if constexpr (std::same_as<T, double>) {
    return 'f';
  } else if constexpr (std::same_as<T, std::uint64_t>) {
    return 'p';
  } else if constexpr (std::same_as<T, std::int32_t>) {
    return 'i';
  } else {
    static_assert(std::same_as<T, std::uint32_t>, "a parameter is a double, uint64_t, int32_t or uint32_t");
    return 'u';
  }
}

template <class T>
T read(const ParamValue& v) {
  if constexpr (std::same_as<T, double>) {
    return v.real;
  } else if constexpr (std::same_as<T, std::uint64_t>) {
    return v.count;
  } else if constexpr (std::same_as<T, std::int32_t>) {
    return v.i32;
  } else {
    return v.u32;
  }
}

template <auto Create>
struct CreateTraits;

template <class Kind, class... Args, Expected<Kind, IndicatorError> (*Create)(Args...)>
struct CreateTraits<Create> {
  using KindType = Kind;
  static constexpr std::size_t kArity = sizeof...(Args);
  static constexpr std::array<char, sizeof...(Args) + 1> letters{letter_for<std::remove_cvref_t<Args>>()..., '\0'};

  static IndicatorResult make(const ParamValue* v) {
    return [v]<std::size_t... I>(std::index_sequence<I...>) {
      return make_indicator(Create(read<std::remove_cvref_t<Args>>(v[I])...));
    }(std::index_sequence_for<Args...>{});
  }
};

// The default example: counts rising from a small window (so a fast length
// comes out below a slow one), small fractions for the rest.
constexpr ExampleParams default_example(std::string_view letters) {
  ExampleParams p;
  double count = 5.0;
  double fraction = 0.1;
  for (char c : letters) {
    if (p.size >= kMaxKindParams) break;
    if (c == 'p') {
      p.values[p.size++] = count;
      count += 7.0;
    } else if (c == 'f') {
      p.values[p.size++] = fraction;
      fraction += 0.1;
    } else {
      p.values[p.size++] = c == 'u' ? 2.0 : 0.0;
    }
  }
  return p;
}

}  // namespace registry_detail

template <auto Create>
inline constexpr std::size_t kArityOf = registry_detail::CreateTraits<Create>::kArity;

// The row of kind `name` built by `Create` (a kind's static `create`), with
// the names of create's parameters and, where the default would not serve,
// the example.
template <auto Create>
constexpr KindEntry kind_row(std::string_view name, ParamNames<kArityOf<Create>> names) {
  using Traits = registry_detail::CreateTraits<Create>;
  using Kind = typename Traits::KindType;
  static_assert(kArityOf<Create> <= kMaxKindParams, "too many parameters for one row");
  const std::string_view letters(Traits::letters.data(), Traits::letters.size() - 1);
  KindEntry e{name, letters, {}, &Traits::make, input_class_of<Kind>(), output_names_of<Kind>(),
              registry_detail::default_example(letters)};
  if (e.input == InputClass::Feed) e.feed = Feed::Unknown;
  for (std::size_t i = 0; i < names.names.size(); ++i) e.param_names[i] = names.names[i];
  return e;
}

template <auto Create>
constexpr KindEntry kind_row(std::string_view name, ParamNames<kArityOf<Create>> names, ExampleParams example) {
  KindEntry e = kind_row<Create>(name, names);
  e.example = example;
  return e;
}

// The row of a kind whose `create` takes no parameters.
template <auto Create>
  requires(kArityOf<Create> == 0)
constexpr KindEntry kind_row(std::string_view name) {
  return kind_row<Create>(name, ParamNames<0>{});
}

// `create` for kinds that take no parameters and have nothing to check.
template <class Kind>
Expected<Kind, IndicatorError> create_plain() {
  return Kind{};
}

// The rows of one family (defined in src/factory/kinds_<family>.cpp) under
// the title of its section in the kind reference.
struct KindFamily {
  std::string_view title;
  std::span<const KindEntry> (*rows)();
};

// Every family, in the kind reference's order; the factory and the reference
// both read this table.
std::span<const KindFamily> kind_families();

// Every entry of every family, sorted by name bytes (built once, on first use).
std::span<const KindEntry* const> registry();

// The entry named exactly `name` (no aliases), or null.
const KindEntry* find_kind(std::string_view name);

// A second name build_indicator accepts for a registry kind.
struct KindAlias {
  std::string_view alias;
  std::string_view target;
};

// Every alias, sorted by alias; the factory and the kind reference both read
// this table.
std::span<const KindAlias> kind_aliases();

}  // namespace vsci
