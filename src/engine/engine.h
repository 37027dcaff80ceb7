// Engine: the whole state of one backtest run. create() builds the declared
// indicators and fixes the warm-up, the history window and the fee rates;
// step() advances the run by one bar (side-record checks, the pending order,
// indicator updates, protective exits, funding, the equity point, the rules);
// finish() closes out and yields the result. One engine serves one run on one
// thread; engines share nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/bar_record.h"
#include "engine/result.h"
#include "engine/strategy_spec.h"
#include "factory/backtest_error.h"
#include "factory/build_indicator.h"
#include "indicators/indicator.h"
#include "util/expected.h"

namespace vsci {

enum class Side : std::int8_t { Long = 1, Short = -1 };

struct PendingOrder {
  enum class Kind : std::uint8_t { MarketEntry, LimitEntry, StopEntry, StopLimitEntry, MarketExit };
  Kind kind = Kind::MarketEntry;
  double first_price = 0.0;   // limit L of a limit entry; stop S of a stop or stop-limit entry
  double second_price = 0.0;  // limit L of a stop-limit entry
  Side side = Side::Long;
  ExitReason reason = ExitReason::Signal;  // market exit
  std::uint32_t countdown = 0;
};

class Engine {
 public:
  // Builds one declared indicator from its kind name and parameters.
  using IndicatorBuilder = Expected<IndicatorPtr, BacktestError> (*)(std::string_view type,
                                                                     std::span<const double> params);

  // `candle_count` only bounds the history window: it never needs more records
  // than there are bars. `build` is the indicator factory unless a caller
  // (a test) stands in its own kinds.
  static Expected<Engine, BacktestError> create(StrategySpec spec, double capital, std::size_t candle_count,
                                                IndicatorBuilder build = build_indicator);

  Expected<void, BacktestError> step(const Candle& candle, const BarFeeds& feeds);

  // Closes an open position at the last close (reason "end") and computes the
  // metrics. The engine is spent afterwards.
  BacktestResult finish();

  std::size_t history_capacity() const { return history_.capacity(); }
  // For tests only: the strategy with each rule reference bound to its key's
  // storage slot (an output key's from the first value of that output on).
  const StrategySpec& TEST_bound_spec() const { return spec_; }

 private:
  // One declared indicator, with the slots its value and outputs go to.
  struct DeclaredIndicator {
    struct OutputKey {
      std::string name;         // the kind's output name
      Slot reference = NO_SLOT;  // the key "indicator.output" among the referenced keys
      Slot slot = NO_SLOT;       // its storage slot, given at the first value
    };
    std::string name;
    IndicatorPtr indicator;
    Slot value_slot = NO_SLOT;
    // Whether any rule can read an output of this indicator at all; when not,
    // outputs are never asked for.
    bool outputs_read = false;
    std::vector<OutputKey> output_keys;  // bound at setup from the kind's fixed names
  };

  // The storage slot of a referenced key (an index into references_), given
  // and bound into the rules the first time an output of that key arrives.
  // NO_SLOT for a key no rule reads.
  Slot storage_slot(Slot reference);

  // What the bar being stepped offers to fills and exits.
  struct BarView {
    const Candle* candle = nullptr;
    const OrderBook* book = nullptr;  // checked; null when absent or left out
    std::uint64_t index = 0;
  };

  Engine() = default;

  void store_outputs(DeclaredIndicator& declared, BarRecord& record);
  bool in_position() const;
  PositionContext position_context() const;

  // Orders and fills.
  Expected<void, BacktestError> work_pending_order(const BarView& bar);
  void on_exit_signal(const BarView& bar);
  Expected<void, BacktestError> on_entry_signal(const BarView& bar, Side side);
  // `limit`: the limit price of a limit or stop-limit entry, which its fill
  // never passes.
  Expected<void, BacktestError> enter_position(const BarView& bar, Side side, double price, bool maker,
                                               std::optional<double> limit = std::nullopt);
  void exit_at_market(const BarView& bar, ExitReason reason, double price);
  void close_position(std::int64_t time, ExitReason reason, double price, double fee);
  Expected<std::optional<double>, BacktestError> position_size(double price, std::optional<double> volatility) const;
  std::optional<double> window_volatility() const;
  double slippage_fraction(const BarView& bar, double size) const;
  void apply_protective_exits(const BarView& bar);
  // Where cash + qty x price is zero, with `liquidation`; at or below 0 when
  // there is no such level.
  double liquidation_price() const { return spec_.risk.liquidation ? -cash_ / qty_ : 0.0; }
  // Whether the open position's bar opened at or beyond its liquidation price
  // `lq`, which its low (a short: high) also reaches. Both are inline: the
  // protective exits ask them on every bar a position is tested on.
  bool opened_past_liquidation(const Candle& c, double lq) const {
    return lq > 0.0 && (qty_ > 0.0 ? c.open <= lq && c.low <= lq : c.open >= lq && c.high >= lq);
  }
  void charge_funding(const DerivativesTick* tick);

  StrategySpec spec_;  // its rule references bound to storage slots
  // Every key the rules reference, and the storage slot each has been given
  // (NO_SLOT until a value can arrive for it). Bars keep one place per
  // storage slot only, so references to outputs that never come cost no
  // memory per bar.
  SlotTable references_;
  std::vector<Slot> storage_;
  std::size_t storage_count_ = 0;
  std::vector<DeclaredIndicator> declared_;
  std::uint64_t warmup_ = 0;
  HistoryWindow history_;
  std::uint64_t bar_index_ = 0;
  std::optional<Candle> last_bar_;

  double cash_ = 0.0;
  double qty_ = 0.0;
  double entry_price_ = 0.0;
  std::int64_t entry_time_ = 0;
  double entry_fee_ = 0.0;
  // The trailing stop's best price: set at each entry's fill and never reset
  // while the position is open.
  double extreme_ = 0.0;
  std::optional<std::uint64_t> entry_bar_;
  // Protective exits pass over the bars before this one: it is set past the
  // entry bar of an order filled inside that bar (a fill at the close comes
  // after its bar's exits anyway).
  std::uint64_t exits_from_bar_ = 0;
  std::optional<PendingOrder> pending_;

  std::vector<Trade> trades_;
  double fees_paid_ = 0.0;
  // One point a bar; finish() marks the last again after a fill at the last
  // bar's close.
  std::vector<EquityPoint> equity_;
  double initial_capital_ = 0.0;
  double maker_rate_ = 0.0;
  double taker_rate_ = 0.0;

  // Trade prints that passed their check, when some of a bar's did not.
  std::vector<TradePrint> kept_trades_;
};

}  // namespace vsci
