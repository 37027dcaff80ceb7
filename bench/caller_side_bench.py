"""What the caller's own side of a command costs, beside the command itself.

The SMA-crossover test of command_bench (the same strategy and property
checks) over N hourly candles held as columns, blessed once; then
the run_test command text is made four ways and each is timed:

  rows + json.dumps   build one [time, open, high, low, close, volume] list per
                      candle, then the standard library's json.dumps of the
                      whole command (the blessed test parsed into a dict), with
                      its default separators and with separators=(",", ":")
  rows + orjson       the same rows, encoded with orjson (from PyPI) and decoded
                      to the str the command takes
  text directly       the candle list written as text from the columns, and the
                      blessed answer spliced in as the text it came back as

and the command is timed on each text: json.dumps writes the expected
document otherwise than bless did (a blank after every "," and ":" by default,
and small numbers as 6.5e-05 where bless writes 0.000065), so the command
flattens it instead of recognising it. The texts must all get the same
answer. Each figure is the best of --repeat runs.

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


def columns(bars, seed=7):
    random.seed(seed)
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
        "property_checks": [{"kind": "no_nan"}, {"kind": "max_drawdown_le", "value": 100},
                            {"kind": "min_trades_ge", "value": 1}, {"kind": "sharpe_ge", "value": -100},
                            {"kind": "field_in_range", "field": "win_rate", "min": 0, "max": 100}],
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

    def direct():
        candles = ",".join([f"[{t},{o!r},{h!r},{l!r},{c!r},{v!r}]" for t, o, h, l, c, v in zip(*cols)])
        return '{"cmd":"run_test","test":' + blessed_text + ',"data":{"btc-1h":[' + candles + "]}}"

    # (name, seconds to make the text, the text); each text is then run.
    made = [("rows + json.dumps", *best(args.repeat, lambda: json.dumps(command))),
            ("rows + json.dumps, compact", *best(args.repeat, lambda: json.dumps(command, separators=(",", ":"))))]
    if orjson is not None:
        made.append(("rows + orjson.dumps", *best(args.repeat, lambda: orjson.dumps(command).decode())))
    made.append(("candle text written directly", *best(args.repeat, direct)))

    print(f"{args.bars:,} candles, command text {len(made[-1][2]) / 1e6:.0f} MB, best of {args.repeat}; "
          f"building the rows {build_s:.2f}s")
    print(f"{'making the text':<30}{'make':>8}{'command':>9}{'make / command':>16}")
    answers = set()
    for name, make_s, text in made:
        if name != "candle text written directly":
            make_s += build_s
        command_s, answer = best(args.repeat, lambda: session.command(text))
        answers.add(answer)
        print(f"{name:<30}{make_s:>7.2f}s{command_s:>8.2f}s{make_s / command_s:>15.1f}x")
    assert len(answers) == 1 and json.loads(answers.pop())["passed"]

if __name__ == "__main__":
    main()
