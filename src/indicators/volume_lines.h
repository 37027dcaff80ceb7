// Cumulative volume lines and volume-weighted prices: parameterless candle
// kinds that run one line from their first valid bar on, never reset, and two
// per-bar ratios. Fed only validated candles; single-threaded use.
#pragma once

#include <cstdint>
#include <optional>

#include "indicators/cores/sma.h"
#include "indicators/indicator.h"

namespace vsci {

// On-balance volume: the volume added on an up close, taken away on a down
// close; 0.0 on the first bar.
class Obv {
 public:
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 1; }

 private:
  std::optional<double> prev_close_;
  double total_ = 0.0;
};

// The negative (Nvi) and positive (Pvi) volume indexes: from 1000.0, the
// index follows the close's relative change on bars whose volume fell
// (Nvi) or rose (Pvi) against the bar before.
template <bool OnRisingVolume>
class VolumeIndex {
 public:
  std::optional<double> update_candle(const Candle& c) {
    if (prev_ && prev_->close != 0.0 &&
        (OnRisingVolume ? c.volume > prev_->volume : c.volume < prev_->volume)) {
      index_ = index_ + ((c.close - prev_->close) / prev_->close) * index_;
    }
    prev_ = Bar{c.close, c.volume};
    return index_;
  }
  std::uint64_t warmup() const { return 1; }

 private:
  struct Bar {
    double close = 0.0;
    double volume = 0.0;
  };
  std::optional<Bar> prev_;
  double index_ = 1000.0;
};
using Nvi = VolumeIndex<false>;
using Pvi = VolumeIndex<true>;

// Accumulation/distribution line: the running sum of money-flow volume.
class Adl {
 public:
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 1; }

 private:
  double total_ = 0.0;
};

// Williams accumulation/distribution: the running sum of each close's move
// from the true low (up closes) or true high (down closes). Volume plays no
// part.
class Wad {
 public:
  // The line after this bar; none on the first bar.
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 2; }

 private:
  std::optional<double> prev_close_;
  double total_ = 0.0;
};

// The Williams line less its simple average over the last 13 values.
class AdOscillator {
 public:
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 14; }

 private:
  Wad line_;
  Sma average_ = Sma::create(13).value();
};

// Volume-weighted typical price since the first valid bar; no value while
// no volume has traded. AnchoredVwap is the same kind under its own name:
// its anchor is the first bar it is fed.
class Vwap {
 public:
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 1; }

 private:
  double price_volume_ = 0.0;
  double volume_ = 0.0;
};

// The running sum of volume times the close's relative change.
class VolumePriceTrend {
 public:
  std::optional<double> update_candle(const Candle& c);
  std::uint64_t warmup() const { return 1; }

 private:
  std::optional<double> prev_close_;
  double total_ = 0.0;
};

// volume * (2 close - high - low) / range; 0 on a bar without range.
struct IntradayIntensity {
  std::optional<double> update_candle(const Candle& c) const;
  std::uint64_t warmup() const { return 1; }
};

// range / volume; no value on a bar without volume.
struct MarketFacilitationIndex {
  std::optional<double> update_candle(const Candle& c) const;
  std::uint64_t warmup() const { return 1; }
};

}  // namespace vsci
