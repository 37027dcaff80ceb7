// Engine setup, the per-bar step and the close-out. The trading model (orders,
// fills, exits, funding) is in orders.cpp. Where the step departs from a plain
// reading of its rules, the README's "Deliberate choices a user may notice"
// says how and why.
#include "engine/engine.h"

#include <algorithm>
#include <cmath>

#include "engine/feed_checks.h"
#include "engine/metrics.h"

namespace vsci {

namespace {

// Whether some key of the table starts with "name.", i.e. some rule can read
// an output of the indicator called `name`. Keys are sorted bytewise, so the
// first key not below "name." decides.
bool has_output_keys(const SlotTable& table, const std::string& name) {
  const std::string prefix = name + '.';
  std::size_t lo = 0;
  std::size_t hi = table.size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (table.key(static_cast<Slot>(mid)) < prefix) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo < table.size() && table.key(static_cast<Slot>(lo)).starts_with(prefix);
}

}  // namespace

Expected<Engine, BacktestError> Engine::create(StrategySpec spec, double capital, std::size_t candle_count,
                                               IndicatorBuilder build) {
  if (auto valid = spec.validate(); !valid.ok()) return unexpected(std::move(valid).error());

  Engine engine;
  engine.spec_ = std::move(spec);
  StrategySpec& s = engine.spec_;

  std::uint64_t largest_warmup = 0;
  engine.declared_.reserve(s.indicators.size());
  for (const auto& [name, spec] : s.indicators) {
    auto built = build(spec.type, spec.params);
    if (!built.ok()) return unexpected(std::move(built).error());
    DeclaredIndicator declared;
    declared.name = name;
    declared.indicator = std::move(built).value();
    largest_warmup = std::max(largest_warmup, declared.indicator->warmup());
    engine.declared_.push_back(std::move(declared));
  }
  engine.warmup_ = s.warmup ? *s.warmup : largest_warmup;

  // Only referenced keys are kept, each in a storage slot given when a value
  // can first arrive for it: now for a declared name, at the first output of
  // that name for an output key. Values nobody reads are never stored.
  std::vector<std::string> keys;
  for_each_rule(s, [&](const Rule& rule) {
    for_each_reference(rule, [&](const Operand& op) { keys.push_back(op.reference); });
  });
  engine.references_ = SlotTable(std::move(keys));
  engine.storage_.assign(engine.references_.size(), NO_SLOT);
  for (DeclaredIndicator& declared : engine.declared_) {
    const Slot reference = engine.references_.find(declared.name);
    if (reference != NO_SLOT) {
      engine.storage_[reference] = static_cast<Slot>(engine.storage_count_++);
      declared.value_slot = engine.storage_[reference];
    }
    declared.outputs_read = has_output_keys(engine.references_, declared.name);
    if (!declared.outputs_read) continue;
    // Output names are fixed per kind: their keys are looked up once, here.
    for (std::string_view out : declared.indicator->output_names()) {
      declared.output_keys.push_back({std::string(out), engine.references_.find_output(declared.name, out), NO_SLOT});
    }
  }
  for_each_rule(s, [&](Rule& rule) {
    for_each_reference(rule, [&](Operand& op) { op.slot = engine.storage_[engine.references_.find(op.reference)]; });
  });

  // The window never needs more records than there are bars.
  const std::uint64_t lookback = s.lookback();
  std::uint64_t capacity = lookback == UINT64_MAX ? lookback : lookback + 1;
  capacity = std::min<std::uint64_t>(capacity, std::max<std::size_t>(candle_count, 1));
  engine.history_ = HistoryWindow(static_cast<std::size_t>(capacity), engine.storage_count_);

  engine.maker_rate_ = s.costs.maker_bps / 10000.0;
  engine.taker_rate_ = s.costs.taker_bps / 10000.0;
  engine.cash_ = capital;
  engine.initial_capital_ = capital;
  engine.equity_.reserve(candle_count);
  return engine;
}

Slot Engine::storage_slot(Slot reference) {
  if (reference == NO_SLOT) return NO_SLOT;
  Slot& stored = storage_[reference];
  if (stored != NO_SLOT) return stored;
  stored = static_cast<Slot>(storage_count_++);
  // Rare (once per key): point the rules' operands that name the key at it.
  const std::string& key = references_.key(reference);
  for_each_rule(spec_, [&](Rule& rule) {
    for_each_reference(rule, [&](Operand& op) {
      if (op.reference == key) op.slot = stored;
    });
  });
  return stored;
}

bool Engine::in_position() const { return std::fabs(qty_) > EPS; }

PositionContext Engine::position_context() const {
  PositionContext ctx;
  // Counted from the bar being stepped, whose index is bar_index_ - 1 by now.
  if (entry_bar_) ctx.bars_since_entry = static_cast<std::uint32_t>(bar_index_ - 1 - *entry_bar_);
  ctx.in_position = in_position();
  return ctx;
}

void Engine::store_outputs(DeclaredIndicator& declared, BarRecord& record) {
  const std::span<const NamedOutput> outputs = declared.indicator->outputs();
  auto& keys = declared.output_keys;
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const NamedOutput& out = outputs[i];
    // The keys were bound at setup in the kind's own order, so the entry at
    // the same position matches at once; the search serves a kind whose
    // outputs were not declared up front.
    DeclaredIndicator::OutputKey* key = nullptr;
    if (i < keys.size() && keys[i].name == out.name) {
      key = &keys[i];
    } else {
      for (auto& k : keys) {
        if (k.name == out.name) {
          key = &k;
          break;
        }
      }
    }
    if (key == nullptr) {
      keys.push_back({std::string(out.name), references_.find_output(declared.name, out.name), NO_SLOT});
      key = &keys.back();
    }
    if (key->reference == NO_SLOT) continue;
    if (key->slot == NO_SLOT) {
      key->slot = storage_slot(key->reference);
      // This bar's record was pushed before the key had a slot.
      if (record.values.size() < storage_count_) record.values.resize(storage_count_);
    }
    record.set(key->slot, out.value);
  }
}

Expected<void, BacktestError> Engine::step(const Candle& candle, const BarFeeds& feeds) {
  const Costs& costs = spec_.costs;
  if (costs.slippage.type == Slippage::Type::Spread && feeds.book == nullptr) {
    return unexpected(BacktestError::invalid_spec(std::string(SPREAD_NEEDS_BOOKS)));
  }
  if (costs.funding && feeds.derivatives == nullptr) {
    return unexpected(BacktestError::invalid_spec(std::string(FUNDING_NEEDS_DERIVS)));
  }

  // A record that fails its check is left out of the whole bar.
  const DerivativesTick* tick = feeds.derivatives;
  if (tick != nullptr && check_derivatives_tick(*tick)) tick = nullptr;
  const OrderBook* book = feeds.book;
  if (book != nullptr && check_order_book(*book)) book = nullptr;
  const CrossSection* section = feeds.cross_section;
  if (section != nullptr && check_cross_section(*section)) section = nullptr;
  const std::span<const TradePrint> prints =
      keep_valid_prints(feeds.trades ? *feeds.trades : std::span<const TradePrint>(), kept_trades_);

  last_bar_ = candle;
  const BarView bar{&candle, book, bar_index_};

  if (auto worked = work_pending_order(bar); !worked.ok()) return worked;

  BarContext ctx(candle);
  ctx.reference = feeds.reference;
  ctx.derivatives = tick;
  ctx.trades = prints;
  ctx.book = book;
  ctx.cross_section = section;

  BarRecord& record = history_.push(candle);
  // A reused record may predate slots given since it was first filled.
  if (record.values.size() < storage_count_) record.values.resize(storage_count_);
  for (DeclaredIndicator& declared : declared_) {
    const std::optional<double> value = declared.indicator->update(ctx);
    if (!value) continue;
    if (declared.value_slot != NO_SLOT) record.set(declared.value_slot, *value);
    if (declared.outputs_read) store_outputs(declared, record);
  }

  ++bar_index_;

  // An entry filled inside this bar skips its exits here, and so also keeps
  // the bar's high (a short: low) out of its trailing stop's best price: that
  // extreme may have come before the fill.
  if (in_position() && bar.index >= exits_from_bar_) apply_protective_exits(bar);
  charge_funding(tick);
  equity_.push_back({candle.time, cash_ + qty_ * candle.close});

  if (bar.index < warmup_) return {};

  const std::size_t t = history_.size() - 1;
  const PositionContext position = position_context();
  if (in_position()) {
    const Rule& exit_rule = qty_ > 0.0 ? spec_.exit : (spec_.short_exit ? *spec_.short_exit : spec_.exit);
    if (exit_rule.eval(history_, t, position)) on_exit_signal(bar);
    return {};
  }
  if (pending_) return {};
  if (spec_.entry.eval(history_, t, position)) return on_entry_signal(bar, Side::Long);
  if (spec_.short_entry && spec_.short_entry->eval(history_, t, position)) return on_entry_signal(bar, Side::Short);
  return {};
}

BacktestResult Engine::finish() {
  // A fill at the last bar's close came after that bar's point, and no later
  // point would show it: the last point is the value after it. Without such
  // a fill this is the point's own sum over unchanged cash and quantity, so
  // it stays bit for bit. The close-out's fee stays out of it.
  if (last_bar_ && !equity_.empty()) equity_.back().equity = cash_ + qty_ * last_bar_->close;
  if (in_position() && last_bar_) {
    const double close = last_bar_->close;
    close_position(last_bar_->time, ExitReason::End, close, std::fabs(qty_) * close * taker_rate_);
  }
  BacktestResult result;
  result.symbol = std::move(spec_.symbol);
  result.timeframe = std::move(spec_.timeframe);
  result.metrics = compute_metrics(equity_, trades_, initial_capital_);
  result.trades = std::move(trades_);
  result.equity = std::move(equity_);
  result.fees_paid = fees_paid_;
  result.initial_capital = initial_capital_;
  return result;
}

}  // namespace vsci
