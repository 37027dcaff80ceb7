"""What the caller's own side of a command costs, beside the command itself.

The same SMA-crossover test as command_bench (two Sma, cross rules, costs,
five property checks) over N hourly candles held as columns, blessed once; then
the run_test command text is made three ways and each is timed:

  rows + json.dumps   build one [time, open, high, low, close, volume] list per
                      candle, then the standard library's json.dumps of the
                      whole command (the blessed test parsed into a dict)
  rows + orjson       the same rows, encoded with orjson (from PyPI)
  text directly       the candle list written as text from the columns, and the
                      blessed answer spliced in as the text it came back as

and the command itself is timed on the text. The three texts must get the
same answer. Each figure is the best of --repeat runs.

    python bench/caller_side_bench.py            # --bars=N --repeat=N
"""

import argparse
import json
import random
import time

from vornak_strategy_ci import Session

try:
    import orjson
except ImportError:  # the comparison is optional: pip install orjson
    orjson = None


def columns(bars):
    random.seed(7)
    t0, step = 1_600_000_000_000, 3_600_000
    times, opens, highs, lows, closes, volumes = [], [], [], [], [], []
    price = 30000.0
    for i in range(bars):
        close = price * (1 + random.gauss(0, 0.004))
        times.append(t0 + i * step)
        opens.append(price)
        highs.append(max(price, close) * 1.001)
        lows.append(min(price, close) * 0.999)
        closes.append(close)
        volumes.append(100.0 + (i % 50))
        price = close
    return times, opens, highs, lows, closes, volumes


def test_without_expected():
    return {
        "id": "sma-cross",
        "dataset_ref": "btc-1h",
        "strategy": {
            "symbol": "BTCUSD", "timeframe": "1h",
            "indicators": {"fast": {"type": "Sma", "params": [10]}, "slow": {"type": "Sma", "params": [30]}},
            "entry": {"cross_above": ["fast", "slow"]}, "exit": {"cross_below": ["fast", "slow"]},
            "sizing": {"type": "fixed_fraction", "fraction": 0.5}, "costs": {"taker_bps": 5},
        },
        "tolerances": {"*": {"kind": "rel", "value": 1e-9}},
        "property_checks": [{"kind": "no_nan"}, {"kind": "max_drawdown_le", "value": 100},
                            {"kind": "min_trades_ge", "value": 1}, {"kind": "sharpe_ge", "value": -10},
                            {"kind": "pnl_ge", "value": -1e9}],
    }


def best(repeat, fn):
    times, result = [], None
    for _ in range(repeat):
        start = time.perf_counter()
        result = fn()
        times.append(time.perf_counter() - start)
    return min(times), result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bars", type=int, default=1_000_000)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()

    cols = columns(args.bars)
    session = Session()
    rows0 = [list(r) for r in zip(*cols)]
    blessed_text = session.command(json.dumps({"cmd": "bless", "test": test_without_expected(),
                                               "data": {"btc-1h": rows0}}))
    blessed = json.loads(blessed_text)
    assert "expected" in blessed, blessed_text[:200]
    del rows0

    build_s, rows = best(args.repeat, lambda: [[t, o, h, l, c, v] for t, o, h, l, c, v in zip(*cols)])
    command = {"cmd": "run_test", "test": blessed, "data": {"btc-1h": rows}}
    dumps_s, dumps_text = best(args.repeat, lambda: json.dumps(command))

    def direct():
        candles = ",".join([f"[{t},{o!r},{h!r},{l!r},{c!r},{v!r}]" for t, o, h, l, c, v in zip(*cols)])
        return '{"cmd":"run_test","test":' + blessed_text + ',"data":{"btc-1h":[' + candles + "]}}"

    direct_s, direct_text = best(args.repeat, direct)
    command_s, answer = best(args.repeat, lambda: session.command(dumps_text))
    assert json.loads(answer)["diff"] == [], answer[:300]
    assert session.command(direct_text) == answer

    print(f"{args.bars:,} candles, command text {len(dumps_text) / 1e6:.0f} MB, best of {args.repeat}")
    print(f"{'stage':<34}{'time':>9}{'x command':>11}")
    lines = [("the run_test command itself", command_s),
             ("rows + json.dumps", build_s + dumps_s),
             ("  building the rows", build_s),
             ("  json.dumps", dumps_s)]
    if orjson is not None:
        orjson_s, orjson_text = best(args.repeat, lambda: orjson.dumps(command))
        assert session.command(orjson_text.decode()) == answer
        lines += [("rows + orjson.dumps", build_s + orjson_s), ("  orjson.dumps", orjson_s)]
    lines.append(("candle text written directly", direct_s))
    for name, seconds in lines:
        print(f"{name:<34}{seconds:>8.2f}s{seconds / command_s:>10.1f}x")


if __name__ == "__main__":
    main()
