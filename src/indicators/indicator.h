// The Indicator interface every kind implements, the fixed-size list a
// multi-output kind publishes, and the one adapter that turns a plain kind
// struct into an Indicator. A kind struct has `create`, `warmup` and one update
// method whose name says what it is fed:
//   update_value(double)               the close (non-finite closes never reach it)
//   update_candle(const Candle&)       the whole candle, after candle_fault found nothing
//   update_pair(double c, double r)    the close and the reference close, both finite
//   update_bar(const BarContext&)      side feeds: the kind reads the records it needs
// and, when it has named outputs, `kOutputNames` and `outputs()`. So a kind
// never checks its own input, and a rejected input leaves its state untouched.
// An object is used by one thread at a time; nothing is shared.
#pragma once

#include <array>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "indicators/indicator_error.h"
#include "market/bar_context.h"
#include "market/price_checks.h"
#include "util/expected.h"

namespace vsci {

// One named secondary value of the last update that gave a value. The name is
// a static text of the kind.
struct NamedOutput {
  std::string_view name;
  double value = 0.0;
};

class Indicator {
 public:
  virtual ~Indicator() = default;
  // Once per bar, every bar. No value while the kind has none or when the
  // bar's input is rejected (then the state is unchanged).
  virtual std::optional<double> update(const BarContext& ctx) = 0;
  // A view of the kind's own storage, valid until the next update; empty for
  // single-value kinds and before the first value. Never allocates.
  virtual std::span<const NamedOutput> outputs() const { return {}; }
  virtual std::uint64_t warmup() const = 0;
  // The names `outputs` gives once it gives any, in its order: fixed for the
  // kind, so a caller can bind them before the first bar.
  virtual std::span<const std::string_view> output_names() const { return {}; }
};

using IndicatorPtr = std::unique_ptr<Indicator>;
using IndicatorResult = Expected<IndicatorPtr, IndicatorError>;

// The named outputs of a kind with N of them: the names fixed at construction,
// the values replaced whole by `set`. Empty until the first `set`, so a kind
// that has given no value yet publishes nothing. Lives inside the kind; no
// allocation ever.
template <std::size_t N>
class OutputList {
 public:
  explicit constexpr OutputList(const std::array<std::string_view, N>& names) {
    for (std::size_t i = 0; i < N; ++i) items_[i].name = names[i];
  }
  void set(const std::array<double, N>& values) {
    for (std::size_t i = 0; i < N; ++i) items_[i].value = values[i];
    filled_ = true;
  }
  std::span<const NamedOutput> view() const {
    return filled_ ? std::span<const NamedOutput>(items_) : std::span<const NamedOutput>();
  }

 private:
  std::array<NamedOutput, N> items_{};
  bool filled_ = false;
};

// What a kind is fed, by the update method it has.
enum class InputClass : unsigned char { Close, Candle, Reference, Feed };

template <class K>
concept FeedKind = requires(K k, const BarContext& b) { k.update_bar(b); };
template <class K>
concept CandleKind = requires(K k, const Candle& c) { k.update_candle(c); };
template <class K>
concept PairKind = requires(K k, double c, double r) { k.update_pair(c, r); };
template <class K>
concept CloseKind = requires(K k, double x) { k.update_value(x); };
template <class K>
concept MultiOutputKind = requires(const K k) {
  K::kOutputNames;
  { k.outputs() } -> std::convertible_to<std::span<const NamedOutput>>;
};

template <class Kind>
constexpr InputClass input_class_of() {
  if constexpr (FeedKind<Kind>) {
    return InputClass::Feed;
  } else if constexpr (CandleKind<Kind>) {
    return InputClass::Candle;
  } else if constexpr (PairKind<Kind>) {
    return InputClass::Reference;
  } else {
    static_assert(CloseKind<Kind>, "a kind needs update_value, update_candle, update_pair or update_bar");
    return InputClass::Close;
  }
}

template <class Kind>
constexpr std::span<const std::string_view> output_names_of() {
  if constexpr (MultiOutputKind<Kind>) {
    return Kind::kOutputNames;
  } else {
    return {};
  }
}

// The adapter: applies the input rule of the kind's class, then hands the
// kind only what passed.
template <class Kind>
class KindIndicator final : public Indicator {
 public:
  explicit KindIndicator(Kind kind) : kind_(std::move(kind)) {}

  std::optional<double> update(const BarContext& ctx) override {
    constexpr InputClass input = input_class_of<Kind>();
    if constexpr (input == InputClass::Feed) {
      return kind_.update_bar(ctx);
    } else if constexpr (input == InputClass::Candle) {
      // The fault's text would be formed and dropped at once: nobody reads it.
      if (!candle_fault(*ctx.candle).empty()) return std::nullopt;
      return kind_.update_candle(*ctx.candle);
    } else if constexpr (input == InputClass::Reference) {
      const double c = ctx.candle->close;
      if (!ctx.reference || !std::isfinite(*ctx.reference) || !std::isfinite(c)) return std::nullopt;
      return kind_.update_pair(c, *ctx.reference);
    } else {
      const double x = ctx.candle->close;
      if (!std::isfinite(x)) return std::nullopt;
      return kind_.update_value(x);
    }
  }
  std::span<const NamedOutput> outputs() const override {
    if constexpr (MultiOutputKind<Kind>) {
      return kind_.outputs();
    } else {
      return {};
    }
  }
  std::uint64_t warmup() const override { return kind_.warmup(); }
  std::span<const std::string_view> output_names() const override { return output_names_of<Kind>(); }

 private:
  Kind kind_;
};

// Wraps a constructor's result into an owned Indicator.
template <class Kind>
IndicatorResult make_indicator(Expected<Kind, IndicatorError> built) {
  if (!built.ok()) return unexpected(built.error());
  return IndicatorPtr(new KindIndicator<Kind>(std::move(built).value()));
}

}  // namespace vsci
