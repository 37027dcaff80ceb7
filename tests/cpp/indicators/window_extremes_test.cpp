// The kinds that take a window's extremes or their positions, against scans
// of the window written here from their formulas, bit for bit on every bar
// and every named output, at windows 1 (where allowed), 2, 14, 200 and 2000,
// over tapes of whole-number prices crossing zero (ties, flat stretches,
// +0.0 and -0.0) and of a walk with rounded prices. Where a kind smooths or
// averages too, the reference takes that part from the kind that computes it.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <random>

#include "support/output_reference.h"

namespace vsci {
namespace {

using namespace vsci::testing;

using WindowReference = std::function<LineSeries(const Candles&, std::size_t)>;

Candles zero_crossing_tape(unsigned seed, bool around_zero) {
  std::mt19937_64 rng(seed);
  std::uniform_int_distribution<int> step(-2, 2), pick(0, 9);
  Candles out;
  double p = 0;
  for (std::size_t i = 0; i < 4200; ++i) {
    p = std::clamp(p + step(rng), -6.0, 6.0);
    const double base = around_zero ? p : 100 + p, close = base + step(rng) * 0.5;
    const auto signed_zero = [&](double v) { return v == 0 && pick(rng) < 5 ? -0.0 : v; };
    Candle c{0, signed_zero(base), signed_zero(std::max(base, close) + pick(rng) % 2),
             signed_zero(std::min(base, close) - pick(rng) % 2), signed_zero(close), double(pick(rng) % 3 * 400)};
    if (around_zero && (i / 300) % 4 == 1) c.open = c.high = c.low = c.close = i % 2 ? -0.0 : 0.0;
    if ((i / 300) % 4 == 3 && i % 300 < 100) c.open = c.high = c.low = c.close = 3.0;
    out.push_back(c);
  }
  return out;
}

// Over v[i + 1 - n .. i]: where the largest (smallest) value is, the first of
// equal ones, or the last with `newest`.
std::size_t extreme_at(const Values& v, std::size_t i, std::size_t n, bool largest, bool newest = false) {
  std::size_t at = i + 1 - n;
  for (std::size_t j = at + 1; j <= i; ++j)
    if ((largest ? v[j] > v[at] : v[j] < v[at]) || (newest && v[j] == v[at])) at = j;
  return at;
}

// Values of a kind over the tape, for references built on another kind.
Values kind_values(const std::string& kind, const Params& p, const Candles& c) {
  Values out;
  for (const auto& v : run_candles(kind, p, c)) out.push_back(v ? *v : std::nan(""));
  return out;
}

// Per bar from n - 1 on: f(i, highest high, lowest low) over the last n bars.
LineSeries with_range(const Candles& c, std::size_t n, const std::function<Values(std::size_t, double, double)>& f) {
  const Values hs = field(c, &Candle::high), ls = field(c, &Candle::low);
  LineSeries out(c.size());
  for (std::size_t i = n - 1; i < c.size(); ++i)
    out[i] = f(i, hs[extreme_at(hs, i, n, true)], ls[extreme_at(ls, i, n, false)]);
  return out;
}

// Each value's place in the range of the last k values of a kind's output,
// as StochRsi and StochasticCci scale it (extremes from the first of equal
// values; 50 for a flat range).
LineSeries stochastic(const Values& v, std::size_t k) {
  const std::size_t first = std::size_t(std::find_if(v.begin(), v.end(), [](double x) { return !std::isnan(x); }) - v.begin());
  LineSeries out(v.size());
  for (std::size_t i = first + k - 1; i < v.size(); ++i) {
    const double hi = v[extreme_at(v, i, k, true)], lo = v[extreme_at(v, i, k, false)];
    out[i] = Values{hi - lo == 0 ? 50.0 : (v[i] - lo) * 100.0 / (hi - lo)};
  }
  return out;
}

// Whether the bar k bars before i stands strictly above (below) the k bars on
// each side of it, by its high (low).
std::pair<bool, bool> standing(const Candles& c, std::size_t i, std::size_t k) {
  const Candle& m = c[i - k];
  bool above = true, below = true;
  for (std::size_t j = i - 2 * k; j <= i; ++j)
    if (j != i - k) above = above && m.high > c[j].high, below = below && m.low < c[j].low;
  return {above, below};
}

// DumplingTop (side 1) and FryPanBottom (side -1): the first extreme of the
// turned closes in the middle half of the window, the close back beyond it
// and beyond the window's first close.
WindowReference rounded_turn(double side) {
  return [side](const Candles& c, std::size_t n) {
    Values x = field(c, &Candle::close);
    for (double& v : x) v *= side;
    LineSeries out(c.size());
    for (std::size_t i = n - 1; i < c.size(); ++i) {
      const std::size_t at = extreme_at(x, i, n, true) + n - 1 - i, q = n / 4;
      out[i] = Values{x[i] < x[i + 1 - n + at] && x[i] < x[i + 1 - n] && q <= at && at < n - q ? -side : 0.0};
    }
    return out;
  };
}

struct Row {
  std::string kind;
  std::function<Params(double)> params;
  WindowReference reference;
  double least = 1;  // the shortest window the kind takes
};

std::vector<Row> rows() {
  const auto one = [](double w) { return Params{w}; };
  return {
      {"WilliamsR", one, [](const Candles& c, std::size_t n) {
         return with_range(c, n, [&](std::size_t i, double h, double l) {
           return Values{h == l ? -50.0 : (-100.0 * (h - c[i].close)) / (h - l)};
         });
       }},
      {"MidPrice", one, [](const Candles& c, std::size_t n) {
         return with_range(c, n, [](std::size_t, double h, double l) { return Values{safe_midpoint(h, l)}; });
       }},
      {"Donchian", one, [](const Candles& c, std::size_t n) {
         return with_range(c, n, [](std::size_t, double h, double l) { return Values{h, h, safe_midpoint(h, l), l}; });
       }},
      {"DonchianStop", one, [](const Candles& c, std::size_t n) {
         return with_range(c, n, [](std::size_t, double h, double l) { return Values{l, l, h}; });
       }},
      {"TpoProfile", [](double w) { return Params{w, 12}; }, [](const Candles& c, std::size_t n) {
         return with_range(c, n, [](std::size_t, double h, double l) { return Values{l, l, h}; });
       }},
      {"VolumeProfile", [](double w) { return Params{w, 12}; }, [](const Candles& c, std::size_t n) {
         return with_range(c, n, [](std::size_t, double h, double l) { return Values{l, l, h}; });
       }},
      {"MurreyMathLines", one, [](const Candles& c, std::size_t n) {
         return with_range(c, n, [](std::size_t, double h, double l) {
           Values v{l + 8 * ((h - l) * 0.125)};
           for (int j = 8; j >= 0; --j) v.push_back(l + j * ((h - l) * 0.125));
           return v;
         });
       }},
      {"HurstChannel", [](double w) { return Params{w, 0.5}; }, [](const Candles& c, std::size_t n) {
         const Values m = kind_values("Sma", {double(n)}, c);
         return with_range(c, n, [&](std::size_t i, double h, double l) {
           const double band = 0.5 * (h - l);
           return Values{m[i] + band, m[i] + band, m[i], m[i] - band};
         });
       }},
      {"ChandelierExit", [](double w) { return Params{w, 3}; }, [](const Candles& c, std::size_t n) {
         const Series a = wilder_atr(c, double(n), true);
         return with_range(c, n, [&](std::size_t i, double h, double l) {
           return Values{h - *a[i] * 3, h - *a[i] * 3, l + *a[i] * 3};
         });
       }},
      // The loosest of the last q stops: of equal highest the newest; a zero
      // lowest is the newest zero before the stops' ring wraps, else the oldest after.
      {"ChandeKrollStop", [](double w) { return Params{10, 1.5, w}; }, [](const Candles& c, std::size_t q) {
         const Series a = wilder_atr(c, 10, true);
         const LineSeries first = with_range(c, 10, [&](std::size_t i, double h, double l) {
           return Values{h - *a[i] * 1.5, l + *a[i] * 1.5};
         });
         Values hs, ls;
         LineSeries out(c.size());
         for (std::size_t i = 9; i < c.size(); ++i) {
           hs.push_back((*first[i])[0]), ls.push_back((*first[i])[1]);
           const std::size_t k = hs.size() - 1;
           if (hs.size() < q) continue;
           double low = ls[extreme_at(ls, k, q, false)];
           if (low == 0) {
             const std::size_t wrap = q - (hs.size() - q) % q;
             std::size_t pick = q;
             for (std::size_t j = 0; j < wrap; ++j)
               if (ls[k + 1 - q + j] == 0) pick = j;
             for (std::size_t j = wrap; j < q && pick == q; ++j)
               if (ls[k + 1 - q + j] == 0) pick = j;
             low = ls[k + 1 - q + pick];
           }
           out[i] = Values{low, low, hs[extreme_at(hs, k, q, true, true)]};
         }
         return out;
       }},
      {"Aroon", one, [](const Candles& c, std::size_t n) {
         const Values hs = field(c, &Candle::high), ls = field(c, &Candle::low);
         LineSeries out(c.size());
         for (std::size_t i = n; i < c.size(); ++i) {
           const double up = double(extreme_at(hs, i, n + 1, true, true) + n - i) * 100.0 / double(n);
           const double down = double(extreme_at(ls, i, n + 1, false, true) + n - i) * 100.0 / double(n);
           out[i] = Values{up, up, down};
         }
         return out;
       }},
      {"AroonOscillator", one, [](const Candles& c, std::size_t n) {
         const Values hs = field(c, &Candle::high), ls = field(c, &Candle::low);
         LineSeries out(c.size());
         for (std::size_t i = n; i < c.size(); ++i)
           out[i] = Values{double(extreme_at(hs, i, n + 1, true, true) + n - i) * 100.0 / double(n) -
                           double(extreme_at(ls, i, n + 1, false, true) + n - i) * 100.0 / double(n)};
         return out;
       }},
      // The newest of equal highest closes, the oldest of equal lowest ones,
      // a lowest equal to the latest close being that close.
      {"MidPoint", one, [](const Candles& c, std::size_t n) {
         const Values x = field(c, &Candle::close);
         LineSeries out(c.size());
         for (std::size_t i = n - 1; i < c.size(); ++i) {
           const double lo = x[extreme_at(x, i, n, false)];
           out[i] = Values{safe_midpoint(lo < x[i] ? lo : x[i], x[extreme_at(x, i, n, true, true)])};
         }
         return out;
       }},
      {"RollingMinMaxScaler", one, [](const Candles& c, std::size_t n) {
         const Values x = field(c, &Candle::close);
         LineSeries out(c.size());
         for (std::size_t i = n - 1; i < c.size(); ++i) {
           const double lo = x[extreme_at(x, i, n, false)], span = x[extreme_at(x, i, n, true)] - lo;
           out[i] = Values{span > 0 ? (x[i] - lo) / span : 0.5};
         }
         return out;
       }, 2},
      {"StochRsi", [](double w) { return Params{5, w}; },
       [](const Candles& c, std::size_t k) { return stochastic(kind_values("Rsi", {5}, c), k); }},
      {"StochasticCci", one,
       [](const Candles& c, std::size_t n) { return stochastic(kind_values("Cci", {double(n)}, c), n); }},
      {"DumplingTop", one, rounded_turn(1), 5},
      {"FryPanBottom", one, rounded_turn(-1), 5},
      {"FractalChaosBands", one, [](const Candles& c, std::size_t k) {
         LineSeries out(c.size());
         std::optional<double> upper, lower;
         for (std::size_t i = 2 * k; i < c.size(); ++i) {
           const auto [above, below] = standing(c, i, k);
           if (above) upper = c[i - k].high;
           if (below) lower = c[i - k].low;
           if (upper && lower) out[i] = Values{*upper, *upper, *lower};
         }
         return out;
       }},
      // The wave number, 1 to 8, moves on at each pivot of the other kind.
      {"TdDWave", one, [](const Candles& c, std::size_t k) {
         LineSeries out(c.size());
         int last = 0, wave = 0;
         for (std::size_t i = 0; i < c.size(); ++i) {
           const auto [above, below] = i >= 2 * k ? standing(c, i, k) : std::pair{false, false};
           if (above != below && (above ? 1 : -1) != last) last = above ? 1 : -1, wave = wave % 8 + 1;
           if (wave > 0) out[i] = Values{double(wave)};
         }
         return out;
       }},
      // Range times volume beyond every earlier one of the window's, volume
      // per range beyond every earlier ranged bar's, volume below every one.
      {"BetterVolume", one, [](const Candles& c, std::size_t n) {
         LineSeries out(c.size());
         for (std::size_t i = n - 1; i < c.size(); ++i) {
           const auto rv = [&](std::size_t j) { return (c[j].high - c[j].low) * c[j].volume; };
           bool most = true, least = true, churn = c[i].high > c[i].low;
           for (std::size_t j = i + 1 - n; j < i; ++j) {
             most = most && rv(i) > rv(j), least = least && c[i].volume < c[j].volume;
             if (c[j].high > c[j].low)
               churn = churn && c[i].volume / (c[i].high - c[i].low) > c[j].volume / (c[j].high - c[j].low);
           }
           out[i] = Values{most ? (churn ? 4.0 : c[i].close < c[i].open ? -3.0 : 3.0) : churn ? 2.0 : least ? 1.0 : 0.0};
         }
         return out;
       }},
  };
}

TEST(WindowExtremes, KindsMatchScansOfTheirWindowsBitForBit) {
  const std::vector<Candles> tapes{zero_crossing_tape(1, true), zero_crossing_tape(2, false)};
  for (const Row& row : rows())
    for (double w : {1.0, 2.0, 14.0, 200.0, 2000.0}) {
      if (w < row.least) continue;
      for (std::size_t t = 0; t < tapes.size(); ++t) {
        SCOPED_TRACE(row.kind + " window " + std::to_string(w) + " tape " + std::to_string(t));
        const CandleRun run = run_candle_kind(row.kind, row.params(w), tapes[t]);
        const LineSeries want = row.reference(tapes[t], std::size_t(w));
        for (std::size_t i = 0; i < want.size(); ++i) {
          ASSERT_EQ(run.values[i].has_value(), want[i].has_value()) << "bar " << i;
          if (!want[i]) continue;
          Values got{*run.values[i]};
          for (const NamedOutput& o : run.outputs[i]) got.push_back(o.value);
          ASSERT_EQ(got.size(), want[i]->size()) << "bar " << i;
          for (std::size_t k = 0; k < got.size(); ++k)
            ASSERT_EQ(std::bit_cast<std::uint64_t>(got[k]), std::bit_cast<std::uint64_t>((*want[i])[k]))
                << "bar " << i << " #" << k << ": " << got[k] << ", want " << (*want[i])[k];
        }
      }
    }
}

}  // namespace
}  // namespace vsci
