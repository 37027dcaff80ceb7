// The Indicator interface every kind implements, and the adapter that turns a
// close-series kind (a plain struct with update_value(double) and warmup()) into
// an Indicator. An object is used by one thread at a time; nothing is shared.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "engine/bar_context.h"
#include "indicators/indicator_error.h"
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
  // single-value kinds. Never allocates.
  virtual std::span<const NamedOutput> outputs() const { return {}; }
  virtual std::uint64_t warmup() const = 0;
};

using IndicatorPtr = std::unique_ptr<Indicator>;
using IndicatorResult = Expected<IndicatorPtr, IndicatorError>;

// A kind fed the close series: a non-finite close gives no value and leaves
// the state exactly as it was, so kinds only ever see finite closes.
template <class Kind>
class CloseIndicator final : public Indicator {
 public:
  explicit CloseIndicator(Kind kind) : kind_(std::move(kind)) {}

  std::optional<double> update(const BarContext& ctx) override {
    const double x = ctx.candle->close;
    if (!std::isfinite(x)) return std::nullopt;
    return kind_.update_value(x);
  }
  std::uint64_t warmup() const override { return kind_.warmup(); }

  const Kind& kind() const { return kind_; }

 private:
  Kind kind_;
};

// Wraps a constructor's result into an owned close-series Indicator.
template <class Kind>
IndicatorResult make_close_indicator(Expected<Kind, IndicatorError> built) {
  if (!built.ok()) return unexpected(built.error());
  return IndicatorPtr(new CloseIndicator<Kind>(std::move(built).value()));
}

}  // namespace vsci
