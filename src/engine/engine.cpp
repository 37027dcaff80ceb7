// Engine setup, the per-bar step and the close-out. The trading model (orders,
// fills, exits, funding) is in orders.cpp.
#include "engine/engine.h"

#include <algorithm>
#include <cmath>

#include "engine/feed_checks.h"
#include "engine/metrics.h"
#include "factory/build_indicator.h"

namespace vsci {

namespace {

// Whether some key of the table starts with "name.", i.e. some rule can read
// an output of the indicator called `name`.
bool has_output_keys(const SlotTable& table, std::string_view name) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    std::string_view key = table.key(static_cast<Slot>(i));
    if (key.size() > name.size() && key[name.size()] == '.' && key.substr(0, name.size()) == name) return true;
  }
  return false;
}

}  // namespace

Expected<Engine, BacktestError> Engine::create(StrategySpec spec, double capital, std::size_t candle_count) {
  if (auto valid = spec.validate(); !valid.ok()) return unexpected(std::move(valid).error());

  Engine engine;
  engine.spec_ = std::move(spec);
  StrategySpec& s = engine.spec_;

  std::uint64_t largest_warmup = 0;
  engine.slots_.reserve(s.indicators.size());
  for (const auto& [name, declared] : s.indicators) {
    auto built = build_indicator(declared.type, declared.params);
    if (!built.ok()) return unexpected(std::move(built).error());
    IndicatorSlot slot;
    slot.name = name;
    slot.indicator = std::move(built).value();
    largest_warmup = std::max(largest_warmup, slot.indicator->warmup());
    engine.slots_.push_back(std::move(slot));
  }
  engine.warmup_ = s.warmup ? *s.warmup : largest_warmup;

  // Values nobody reads get no slot: storing them could not change a decision.
  const SlotTable table = bind_slots(s);
  for (IndicatorSlot& slot : engine.slots_) {
    slot.value_slot = table.find(slot.name);
    slot.outputs_read = has_output_keys(table, slot.name);
  }
  engine.table_ = table;

  // The window never needs more records than there are bars.
  const std::uint64_t lookback = s.lookback();
  std::uint64_t capacity = lookback == UINT64_MAX ? lookback : lookback + 1;
  capacity = std::min<std::uint64_t>(capacity, std::max<std::size_t>(candle_count, 1));
  engine.history_ = HistoryWindow(static_cast<std::size_t>(capacity), table.size());

  engine.maker_rate_ = s.costs.maker_bps / 10000.0;
  engine.taker_rate_ = s.costs.taker_bps / 10000.0;
  engine.cash_ = capital;
  engine.initial_capital_ = capital;
  engine.equity_.reserve(candle_count);
  return engine;
}

bool Engine::in_position() const { return std::fabs(qty_) > EPS; }

PositionContext Engine::position_context() const {
  PositionContext ctx;
  // Counted from the bar being stepped, whose index is bar_index_ - 1 by now.
  if (entry_bar_) ctx.bars_since_entry = static_cast<std::uint32_t>(bar_index_ - 1 - *entry_bar_);
  ctx.in_position = in_position();
  return ctx;
}

void Engine::store_outputs(IndicatorSlot& slot, BarRecord& record) {
  const std::span<const NamedOutput> outputs = slot.indicator->outputs();
  auto& keys = slot.output_keys;
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const NamedOutput& out = outputs[i];
    // Kinds give their outputs in a fixed order, so the cached entry at the
    // same position nearly always matches at once.
    const IndicatorSlot::OutputKey* key = nullptr;
    if (i < keys.size() && keys[i].name == out.name) {
      key = &keys[i];
    } else {
      for (const auto& k : keys) {
        if (k.name == out.name) {
          key = &k;
          break;
        }
      }
    }
    if (key == nullptr) {
      keys.push_back({std::string(out.name), table_.find_output(slot.name, out.name)});
      key = &keys.back();
    }
    if (key->slot != NO_SLOT) record.set(key->slot, out.value);
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
  for (IndicatorSlot& slot : slots_) {
    const std::optional<double> value = slot.indicator->update(ctx);
    if (!value) continue;
    if (slot.value_slot != NO_SLOT) record.set(slot.value_slot, *value);
    if (slot.outputs_read) store_outputs(slot, record);
  }

  ++bar_index_;

  if (in_position()) apply_protective_exits(bar);
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
