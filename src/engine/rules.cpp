// Rules are evaluated on every bar: const, allocation-free, and a missing or
// NaN value makes a comparison false instead of failing the run.
#include "engine/rules.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vsci {

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
  return a > max - b ? max : a + b;
}

namespace {

double price_of(const Candle& c, PriceField field) {
  switch (field) {
    case PriceField::Open:
      return c.open;
    case PriceField::High:
      return c.high;
    case PriceField::Low:
      return c.low;
    case PriceField::Close:
      return c.close;
    case PriceField::Volume:
      return c.volume;
    case PriceField::Hlc3:
      return (c.high + c.low + c.close) / 3.0;
    case PriceField::Ohlc4:
      return (c.open + c.high + c.low + c.close) * 0.25;
  }
  return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

std::optional<double> Operand::eval(const HistoryWindow& window, std::size_t t) const {
  if (t >= window.size()) return std::nullopt;
  switch (kind) {
    case Kind::Constant:
      return constant;
    case Kind::Reference:
      return window[t].value(slot);
    case Kind::Price:
      return price_of(window[t].candle, field);
    case Kind::Prev:
      if (t < lag) return std::nullopt;
      return args[0].eval(window, t - lag);
    case Kind::Add:
    case Kind::Sub:
    case Kind::Mul:
    case Kind::Div: {
      const std::optional<double> l = args[0].eval(window, t);
      if (!l) return std::nullopt;
      const std::optional<double> r = args[1].eval(window, t);
      if (!r) return std::nullopt;
      switch (kind) {
        case Kind::Add:
          return *l + *r;
        case Kind::Sub:
          return *l - *r;
        case Kind::Mul:
          return *l * *r;
        default:
          // A near-zero divisor is a value (NaN), which then fails every
          // comparison, rather than an infinity that could pass one.
          if (std::fabs(*r) < EPS) return std::numeric_limits<double>::quiet_NaN();
          return *l / *r;
      }
    }
  }
  return std::nullopt;
}

std::uint64_t Operand::lookback() const {
  switch (kind) {
    case Kind::Reference:
    case Kind::Constant:
    case Kind::Price:
      return 0;
    case Kind::Prev:
      return saturating_add(lag, args[0].lookback());
    default:
      return std::max(args[0].lookback(), args[1].lookback());
  }
}

namespace {

bool compare(Rule::Kind kind, double a, double b) {
  switch (kind) {
    case Rule::Kind::Gt:
      return a > b;
    case Rule::Kind::Lt:
      return a < b;
    case Rule::Kind::Ge:
      return a >= b;
    case Rule::Kind::Le:
      return a <= b;
    case Rule::Kind::Eq:
      return std::fabs(a - b) < EPS;
    case Rule::Kind::Ne:
      return std::fabs(a - b) >= EPS;
    default:
      return false;
  }
}

bool compare_count(Comparator c, std::uint32_t value, std::uint32_t n) {
  switch (c) {
    case Comparator::Gt:
      return value > n;
    case Comparator::Lt:
      return value < n;
    case Comparator::Ge:
      return value >= n;
    case Comparator::Le:
      return value <= n;
    case Comparator::Eq:
      return value == n;
  }
  return false;
}

}  // namespace

bool Rule::eval(const HistoryWindow& window, std::size_t t, const PositionContext& position) const {
  switch (kind) {
    case Kind::Gt:
    case Kind::Lt:
    case Kind::Ge:
    case Kind::Le:
    case Kind::Eq:
    case Kind::Ne: {
      const std::optional<double> a = operands[0].eval(window, t);
      if (!a) return false;
      const std::optional<double> b = operands[1].eval(window, t);
      return b && compare(kind, *a, *b);
    }
    case Kind::CrossAbove:
    case Kind::CrossBelow: {
      if (t == 0) return false;
      const std::optional<double> a0 = operands[0].eval(window, t - 1);
      const std::optional<double> b0 = operands[1].eval(window, t - 1);
      const std::optional<double> a1 = operands[0].eval(window, t);
      const std::optional<double> b1 = operands[1].eval(window, t);
      if (!a0 || !b0 || !a1 || !b1) return false;
      if (kind == Kind::CrossAbove) return *a0 <= *b0 && *a1 > *b1;
      return *a0 >= *b0 && *a1 < *b1;
    }
    case Kind::Between: {
      const std::optional<double> x = operands[0].eval(window, t);
      const std::optional<double> low = operands[1].eval(window, t);
      const std::optional<double> high = operands[2].eval(window, t);
      return x && low && high && *low <= *x && *x <= *high;
    }
    case Kind::Rising:
    case Kind::Falling: {
      if (t < count) return false;
      const std::optional<double> now = operands[0].eval(window, t);
      const std::optional<double> then = operands[0].eval(window, t - count);
      if (!now || !then) return false;
      return kind == Kind::Rising ? *now > *then : *now < *then;
    }
    case Kind::All:
      for (const Rule& child : children)
        if (!child.eval(window, t, position)) return false;
      return true;
    case Kind::Any:
      for (const Rule& child : children)
        if (child.eval(window, t, position)) return true;
      return false;
    case Kind::Not:
      return !children[0].eval(window, t, position);
    case Kind::InPosition:
      return position.in_position == flag;
    case Kind::BarsSinceEntry:
      return position.bars_since_entry && compare_count(comparator, *position.bars_since_entry, count);
  }
  return false;
}

std::uint64_t Rule::lookback() const {
  std::uint64_t deepest = 0;
  for (const Operand& op : operands) deepest = std::max(deepest, op.lookback());
  switch (kind) {
    case Kind::CrossAbove:
    case Kind::CrossBelow:
      return saturating_add(deepest, 1);
    case Kind::Rising:
    case Kind::Falling:
      return saturating_add(deepest, count);
    case Kind::All:
    case Kind::Any:
    case Kind::Not:
      for (const Rule& child : children) deepest = std::max(deepest, child.lookback());
      return deepest;
    default:
      return deepest;
  }
}

}  // namespace vsci
