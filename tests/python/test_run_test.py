"""run_test and run_suite through the Python module: comparison under
tolerances, property checks, and seeded fuzz runs whose failures are predicted
here from an independent transcription of the generator and the perturbations."""
import json
import math
import os
import struct
import subprocess
import sys

import pytest

from vornak_strategy_ci import Session

# ---------------------------------------------------------------- helpers


def command(cmd):
    return Session().command(json.dumps(cmd, separators=(",", ":")))


def answer(cmd):
    return json.loads(command(cmd))


def candles_from_closes(closes, start=0, step=60000):
    out = []
    prev = closes[0]
    for i, c in enumerate(closes):
        out.append([start + i * step, prev, max(prev, c) + 0.5, min(prev, c) - 0.5, c, 1000.0 + i])
        prev = c
    return out


# Buys one unit at the first bar's close and holds it to the end, so the run's
# pnl is last close - first close and its equity follows the closes.
HOLD = {
    "symbol": "TEST",
    "timeframe": "1m",
    "indicators": {},
    "entry": {"all": []},
    "exit": {"any": []},
    "sizing": {"type": "fixed_qty", "qty": 1},
    "execution": {"fill_timing": "close"},
}

CROSS = {
    "symbol": "TEST",
    "timeframe": "1m",
    "indicators": {"fast": {"type": "Sma", "params": [5]}, "slow": {"type": "Sma", "params": [20]}},
    "entry": {"cross_above": ["fast", "slow"]},
    "exit": {"cross_below": ["fast", "slow"]},
    "sizing": {"type": "fixed_fraction", "fraction": 0.5},
}

WAVE = [round(100 + 5 * math.sin(i / 9.0) + 0.02 * i, 4) for i in range(240)]
RISING = [100.0 + i for i in range(30)]
# Ends where it starts, so a shock to either end decides the sign of the pnl.
LOOP = [round(100 + 3 * math.sin(i * 2 * math.pi / 40), 6) for i in range(40)] + [100.0]


def data(**series):
    return {name: candles_from_closes(closes) for name, closes in series.items()}


def run_test(test, datasets):
    return answer({"cmd": "run_test", "test": test, "data": datasets})


def hold_pnl(first_close, last_close):
    return ((10000.0 - first_close) + last_close) - 10000.0


def unflatten(entries):
    """Rebuilds a document from (path, value) pairs of flattened field paths."""
    root = {}
    for path, value in entries:
        node, key = root, None
        tokens = []
        for part in path.split("."):
            name, _, rest = part.partition("[")
            tokens.append(name)
            while rest:
                idx, _, rest = rest.partition("]")
                tokens.append(int(idx))
                rest = rest[1:] if rest.startswith("[") else rest
        for tok, nxt in zip(tokens, tokens[1:] + [None]):
            empty = [] if isinstance(nxt, int) else {}
            if key is not None:
                node = node[key]
            if isinstance(tok, int):
                while len(node) <= tok:
                    node.append(None)
                if node[tok] is None:
                    node[tok] = empty
            else:
                node.setdefault(tok, empty)
            key = tok
        node[key] = value
    return root


def output_numbers(strategy, datasets, ref="d"):
    """The main run's numbers, read off the extras of an empty expectation."""
    res = run_test({"id": "probe", "strategy": strategy, "dataset_ref": ref, "expected": {}}, datasets)
    assert all(e["kind"] == "extra" for e in res["diff"])
    return {e["field"]: e["actual"] for e in res["diff"]}


# ---------------------------------------------------------------- generator transcription

MASK64 = (1 << 64) - 1
MASK128 = (1 << 128) - 1
MULT = 0x2360ED051FC65DA44385DF649FCCF645


class Generator:
    def __init__(self, seed):
        s = seed
        words = []
        for _ in range(8):
            s = (s * 6364136223846793005 + 11634580027462260723) & MASK64
            t = (((s >> 18) ^ s) >> 27) & 0xFFFFFFFF
            r = s >> 59
            words.append(((t >> r) | (t << (32 - r))) & 0xFFFFFFFF)
        w = [words[2 * i] | (words[2 * i + 1] << 32) for i in range(4)]
        self.inc = ((w[3] << 64) | w[2]) | 1
        self.state = (((w[1] << 64) | w[0]) + self.inc) & MASK128
        self.state = (self.state * MULT + self.inc) & MASK128

    def next(self):
        self.state = (self.state * MULT + self.inc) & MASK128
        hi, lo = self.state >> 64, self.state & MASK64
        x, r = hi ^ lo, hi >> 58
        return ((x >> r) | (x << (64 - r))) & MASK64

    def symmetric(self, a):
        u = struct.unpack("<d", struct.pack("<Q", (self.next() >> 12) | 0x3FF0000000000000))[0]
        return (a + a) * (u - 1.0) - a

    def unit(self):
        return (self.next() >> 11) * 2.0**-53


def nan_max(*xs):
    xs = [x for x in xs if not math.isnan(x)]
    return max(xs) if xs else float("nan")


def nan_min(*xs):
    xs = [x for x in xs if not math.isnan(x)]
    return min(xs) if xs else float("nan")


def perturb(kind, amount, candles, rng):
    out = []
    if kind == "jitter":
        for t, o, h, l, c, v in candles:
            s = [rng.symmetric(amount) for _ in range(5)]
            o2, h2, l2, c2, v2 = o * (s[0] + 1), h * (s[1] + 1), l * (s[2] + 1), c * (s[3] + 1), v * (s[4] + 1)
            out.append([t, o2, nan_max(h2, l2, o2, c2), nan_min(l2, h2, o2, c2), c2, nan_max(v2, 0.0)])
    elif kind == "gap_shock":
        for t, o, h, l, c, v in candles:
            c2 = c + c * rng.symmetric(amount)
            out.append([t, o, nan_max(h, l, o, c2), nan_min(l, h, o, c2), c2, nan_max(v, 0.0)])
    else:
        out = [cd for cd in candles if rng.unit() >= amount]
        if len(out) < 2:
            out = candles[:2]
    return out


def perturbed_runs(kind, amount, candles, seed, runs):
    rng = Generator(seed)
    return [perturb(kind, amount, candles, rng) for _ in range(runs)]


def fuzz_test(strategy, perturbation, seed, runs, properties, ref="d"):
    return {
        "id": "fuzz",
        "strategy": strategy,
        "dataset_ref": ref,
        "property_checks": properties,
        "fuzz": {"seed": seed, "runs": runs, "perturbation": perturbation},
    }


def failures(res):
    return [(f["run"], f["property"]["kind"], f.get("detail")) for f in res["fuzz_failures"]]


# ---------------------------------------------------------------- bless, then run


def bless(test, datasets):
    return command({"cmd": "bless", "test": test, "data": datasets})


class TestBlessedRuns:
    def test_blessed_test_passes_and_bless_is_stable(self):
        datasets = data(d=WAVE)
        test = {"id": "cross", "strategy": CROSS, "dataset_ref": "d"}
        first = bless(test, datasets)
        assert bless(test, datasets) == first
        assert bless(json.loads(first), datasets) == first
        res = run_test(json.loads(first), datasets)
        assert res == {"id": "cross", "passed": True, "diff": [], "property_results": [], "fuzz_failures": []}

    def test_rebuilt_expectation_passes(self):
        datasets = data(d=WAVE)
        numbers = output_numbers(CROSS, datasets)
        assert numbers["metrics.num_trades"] >= 2
        res = run_test({"id": "c", "strategy": CROSS, "dataset_ref": "d", "expected": unflatten(numbers.items())}, datasets)
        assert res["passed"] and res["diff"] == []


# ---------------------------------------------------------------- tolerances


class TestTolerances:
    datasets = data(d=RISING)

    def expected_with(self, **changes):
        numbers = output_numbers(HOLD, self.datasets)
        for path, delta in changes.items():
            numbers[path.replace("__", ".")] += delta
        return unflatten(numbers.items())

    def diff(self, expected, tolerances=None):
        test = {"id": "t", "strategy": HOLD, "dataset_ref": "d", "expected": expected}
        if tolerances is not None:
            test["tolerances"] = tolerances
        return run_test(test, self.datasets)["diff"]

    def test_hold_output_is_what_the_closes_say(self):
        numbers = output_numbers(HOLD, self.datasets)
        assert numbers["metrics.pnl"] == hold_pnl(RISING[0], RISING[-1]) == 29.0
        assert numbers["metrics.num_trades"] == 1
        assert numbers["equity[29].time"] == 29 * 60000
        assert numbers["fees_paid"] == 0.0

    def test_default_is_equality_after_rounding(self):
        assert self.diff(self.expected_with(fees_paid=4e-9)) == []
        assert self.diff(self.expected_with(fees_paid=-4e-9)) == []
        assert self.diff(self.expected_with(fees_paid=6e-9)) == [
            {"field": "fees_paid", "expected": 1e-8, "actual": 0.0, "within_tolerance": False, "kind": "mismatch"}
        ]
        assert self.diff(self.expected_with(initial_capital=4e-9)) == []

    def test_abs_and_rel(self):
        half = self.expected_with(initial_capital=0.5)
        assert self.diff(half, {"initial_capital": {"kind": "abs", "value": 0.5}}) == []
        assert len(self.diff(half, {"initial_capital": {"kind": "abs", "value": 0.4}})) == 1
        # rel: 0.0001 x 10001 = 1.0001 allowed.
        assert self.diff(self.expected_with(initial_capital=1.0), {"initial_capital": {"kind": "rel", "value": 0.0001}}) == []
        assert len(self.diff(self.expected_with(initial_capital=1.1), {"initial_capital": {"kind": "rel", "value": 0.0001}})) == 1

    def test_rel_floor_of_one(self):
        tol = {"fees_paid": {"kind": "rel", "value": 0.01}}
        assert self.diff(self.expected_with(fees_paid=0.009), tol) == []
        assert self.diff(self.expected_with(fees_paid=-0.009), tol) == []
        assert len(self.diff(self.expected_with(fees_paid=0.011), tol)) == 1

    def test_pattern_priority(self):
        moved = self.expected_with(**{"equity[3]__equity": 500.0, "equity[3]__time": 3.0})
        # Same prefix "equity": the key sorting first covers both fields.
        assert self.diff(moved, {"equity[*].equity": {"kind": "abs", "value": 0}, "equity[*]": {"kind": "abs", "value": 1000}}) == []
        # Alone, a pattern covers every field below its prefix, time included.
        assert self.diff(moved, {"equity[*].equity": {"kind": "abs", "value": 1000}}) == []
        # An exact key beats the pattern; a pattern beats "*".
        d = self.diff(moved, {"equity[*]": {"kind": "abs", "value": 1000}, "equity[3].equity": {"kind": "abs", "value": 1}})
        assert [e["field"] for e in d] == ["equity[3].equity"]
        d = self.diff(moved, {"*": {"kind": "abs", "value": 1000}, "equity[*]": {"kind": "abs", "value": 0}})
        assert [e["field"] for e in d] == ["equity[3].equity", "equity[3].time"]
        # The longest matching prefix wins; "equit" is no prefix of "equity[".
        d = self.diff(moved, {"equity[*]": {"kind": "abs", "value": 0}, "equity[3].equity[*]": {"kind": "abs", "value": 1000},
                              "equit[*]": {"kind": "abs", "value": 1000}})
        assert [e["field"] for e in d] == ["equity[3].time"]
        # Equal prefixes: the first key in byte order wins.
        wide, tight = {"kind": "abs", "value": 1000}, {"kind": "abs", "value": 0}
        assert self.diff(moved, {"equity[*]a": wide, "equity[*]b": tight}) == []
        assert len(self.diff(moved, {"equity[*]a": tight, "equity[*]b": wide})) == 2

    def test_negative_tolerance_fails_every_field(self):
        numbers = output_numbers(HOLD, self.datasets)
        d = self.diff(unflatten(numbers.items()), {"*": {"kind": "abs", "value": -1}})
        assert [e["field"] for e in d] == sorted(numbers)
        assert all(e["kind"] == "mismatch" and e["expected"] == e["actual"] for e in d)

    def test_partial_expectation_and_strings(self):
        d = self.diff({"metrics": {"pnl": 29.0}, "symbol": "OTHER", "trades": [{"reason": "x"}]})
        assert d and all(e["kind"] == "extra" and "expected" not in e for e in d)
        assert "metrics.pnl" not in [e["field"] for e in d]
        d = self.diff({"metrics": {"pnl": 29.0, "ghost": 1.5}})
        assert {"field": "metrics.ghost", "expected": 1.5, "within_tolerance": False, "kind": "missing"} in d

    def test_huge_values_compare_unrounded(self):
        base = {"a": 1e301}
        test = {"id": "t", "strategy": HOLD, "dataset_ref": "d", "expected": base}
        d = run_test(test, self.datasets)["diff"]
        assert {"field": "a", "expected": 1e301, "within_tolerance": False, "kind": "missing"} in d


# ---------------------------------------------------------------- properties


class TestProperties:
    def props(self, closes, properties):
        test = {"id": "p", "strategy": HOLD, "dataset_ref": "d", "property_checks": properties}
        res = run_test(test, data(d=closes))
        assert res["passed"] == all(r["passed"] for r in res["property_results"])
        return [(r["passed"], r.get("detail")) for r in res["property_results"]]

    def test_thresholds(self):
        pnl = hold_pnl(RISING[0], RISING[-1])
        got = self.props(RISING, [
            {"kind": "pnl_ge", "value": pnl}, {"kind": "pnl_ge", "value": pnl + 0.01},
            {"kind": "min_trades_ge", "value": 1}, {"kind": "min_trades_ge", "value": 2},
            {"kind": "field_in_range", "field": "metrics.pnl", "min": pnl, "max": pnl},
            {"kind": "field_in_range", "field": "pnl", "min": 0, "max": pnl - 0.5},
            {"kind": "field_in_range", "field": "nowhere", "min": 0, "max": 1},
            {"kind": "field_in_range", "field": "calmar", "min": 0, "max": 1},
            {"kind": "no_nan"},
        ])
        assert got == [(True, None), (False, None), (True, None), (False, None), (True, None), (False, None),
                       (False, "missing: nowhere"), (False, "missing: calmar"), (True, None)]

    def test_sharpe(self):
        e = [hold_pnl(RISING[0], c) + 10000.0 for c in RISING]
        r = [e[i + 1] / e[i] - 1 for i in range(len(e) - 1)]
        mean = sum(r) / len(r)
        sharpe = mean / math.sqrt(sum((x - mean) ** 2 for x in r) / len(r))
        got = self.props(RISING, [{"kind": "sharpe_ge", "value": sharpe - 1e-6}, {"kind": "sharpe_ge", "value": sharpe + 1e-6}])
        assert got == [(True, None), (False, None)]

    def test_max_drawdown_bound(self):
        closes = [100.0, 104.0, 101.0, 102.0, 103.0]
        # Peak equity 10004 falls to 10001: a drawdown of 3/10004 x 100 percent.
        dd = 3.0 / 10004.0 * 100.0
        got = self.props(closes, [{"kind": "max_drawdown_le", "value": dd + 1e-9}, {"kind": "max_drawdown_le", "value": -(dd + 1e-9)},
                                  {"kind": "max_drawdown_le", "value": dd - 1e-9}, {"kind": "max_drawdown_le", "value": 0}])
        assert got == [(True, None), (True, None), (False, None), (False, None)]
        assert self.props(RISING, [{"kind": "max_drawdown_le", "value": 0}]) == [(True, None)]

    def test_monotone_equity(self):
        assert self.props(RISING, [{"kind": "monotone_equity"}]) == [(True, None)]
        falling = RISING[:12] + [RISING[11] - 0.5] + RISING[12:]
        assert self.props(falling, [{"kind": "monotone_equity"}]) == [(False, "equity_curve[12] < [11]")]
        # A tiny dip stays within the allowance.
        tiny = RISING[:5] + [RISING[4] - 1e-10] + RISING[5:]
        assert self.props(tiny, [{"kind": "monotone_equity"}]) == [(True, None)]


# ---------------------------------------------------------------- fuzz runs


def test_transcription_reproduces_published_outputs():
    g0, g42 = Generator(0), Generator(42)
    assert [g0.next() for _ in range(3)] == [2354861276966075475, 6411218084291373563, 13092586260176364081]
    assert [g42.next() for _ in range(3)] == [4178418447715145737, 4410739922618931473, 14034899209665866285]


class TestFuzz:
    props = [{"kind": "pnl_ge", "value": 0}, {"kind": "min_trades_ge", "value": 2}]

    def predicted(self, runs_candles):
        out = []
        for run, cs in enumerate(runs_candles):
            pnl = hold_pnl(cs[0][4], cs[-1][4])
            assert abs(cs[-1][4] - cs[0][4]) > 1e-6  # no near-tie decides a run
            if pnl < 0:
                out.append((run, "pnl_ge", None))
            out.append((run, "min_trades_ge", None))
        return out

    @pytest.mark.parametrize("seed", [0, 42])
    @pytest.mark.parametrize("kind", ["gap_shock", "jitter"])
    def test_failing_runs_follow_the_perturbed_candles(self, seed, kind):
        candles = data(d=LOOP)["d"]
        runs = perturbed_runs(kind, 0.02, candles, seed, 12)
        want = self.predicted(runs)
        losing = {r for r, k, _ in want if k == "pnl_ge"}
        assert 0 < len(losing) < 12
        res = run_test(fuzz_test(HOLD, {"kind": kind, "amount": 0.02}, seed, 12, self.props), {"d": candles})
        assert failures(res) == want
        assert res["passed"] is False
        # Each predicted run, replayed as a plain test on the candles derived here, fails alike.
        for run in (min(losing), max(set(range(12)) - losing)):
            plain = run_test({"id": "r", "strategy": HOLD, "dataset_ref": "d", "property_checks": self.props},
                             {"d": runs[run]})
            assert [r["passed"] for r in plain["property_results"]] == [run not in losing, False]

    @pytest.mark.parametrize("seed", [0, 42])
    def test_dropout(self, seed):
        candles = data(d=RISING[:20])["d"]
        props = [
            {"kind": "field_in_range", "field": "equity[9].time", "min": 0, "max": 1e18},
            {"kind": "field_in_range", "field": "equity[0].time", "min": 0, "max": 0},
        ]
        runs = perturbed_runs("dropout", 0.5, candles, seed, 10)
        want = []
        for run, cs in enumerate(runs):
            if len(cs) < 10:
                want.append((run, "field_in_range", "missing: equity[9].time"))
            if cs[0][0] != 0:
                want.append((run, "field_in_range", None))
        assert want and len(want) < 20
        res = run_test(fuzz_test(HOLD, {"kind": "dropout", "p": 0.5}, seed, 10, props), {"d": candles})
        assert failures(res) == want

    def test_dropout_everything_falls_back_to_two_candles(self):
        candles = data(d=RISING)["d"]
        props = [
            {"kind": "field_in_range", "field": "equity[1].time", "min": 60000, "max": 60000},
            {"kind": "field_in_range", "field": "equity[2].time", "min": 0, "max": 1e18},
        ]
        res = run_test(fuzz_test(HOLD, {"kind": "dropout", "p": 1}, 5, 3, props), {"d": candles})
        assert failures(res) == [(r, "field_in_range", "missing: equity[2].time") for r in range(3)]
        one = run_test(fuzz_test(HOLD, {"kind": "dropout", "p": 1}, 5, 2, props), {"d": candles[:1]})
        assert failures(one) == [(r, "field_in_range", f"missing: equity[{k}].time") for r in range(2) for k in (1, 2)]

    def test_zero_runs_and_repeatability(self):
        candles = data(d=LOOP)
        test = fuzz_test(HOLD, {"kind": "gap_shock", "amount": 0.02}, 0, 0, self.props)
        res = run_test(test, candles)
        assert res["fuzz_failures"] == []
        assert [r["passed"] for r in res["property_results"]] == [True, False]
        test["fuzz"]["runs"] = 5
        text = command({"cmd": "run_test", "test": test, "data": candles})
        assert command({"cmd": "run_test", "test": test, "data": candles}) == text

    def test_bad_amounts(self):
        candles = data(d=LOOP)
        for kind, amount, shown in [("jitter", -0.1, "-0.1"), ("gap_shock", 1e308, "1e+308")]:
            res = answer({"cmd": "run_test", "data": candles,
                          "test": fuzz_test(HOLD, {"kind": kind, "amount": amount}, 0, 1, [])})
            assert res == {"ok": False, "error": f"bad spec: {kind} amount must be a non-negative number whose double is finite, got {shown}"}
        # Nothing is drawn with zero runs, so nothing is wrong.
        ok = answer({"cmd": "run_test", "data": candles, "test": fuzz_test(HOLD, {"kind": "jitter", "amount": -1}, 0, 0, [])})
        assert ok["passed"] is True


# ---------------------------------------------------------------- suites

SUITE_SCRIPT = """
import sys
from vornak_strategy_ci import Session
sys.stdout.write(Session().command(sys.stdin.read()))
"""


def suite_command():
    datasets = data(wave=WAVE, loop=LOOP, rising=RISING)
    tests = [
        fuzz_test(HOLD, {"kind": "gap_shock", "amount": 0.02}, 42, 8, TestFuzz.props, "loop") | {"id": "z-fuzz"},
        {"id": "cross", "strategy": CROSS, "dataset_ref": "wave", "property_checks": [{"kind": "max_drawdown_le", "value": 50}]},
        {"id": "a-missing", "strategy": HOLD, "dataset_ref": "absent"},
        fuzz_test(CROSS, {"kind": "jitter", "amount": 0.01}, 0, 6, [{"kind": "pnl_ge", "value": 0}], "wave") | {"id": "m-jitter"},
        {"id": "hold", "strategy": HOLD, "dataset_ref": "rising", "expected": {"metrics": {"pnl": 29.0}}},
        {"id": "cross", "strategy": HOLD, "dataset_ref": "rising"},
    ]
    return json.dumps({"cmd": "run_suite", "tests": tests, "data": datasets})


class TestSuites:
    def test_answers_match_single_runs_in_id_order(self):
        cmd = json.loads(suite_command())
        suite = json.loads(Session().command(json.dumps(cmd)))
        ids = [r["id"] for r in suite["results"]]
        assert ids == ["a-missing", "cross", "cross", "hold", "m-jitter", "z-fuzz"]
        assert suite["results"][0] == {"id": "a-missing", "passed": False, "error": "data error: missing dataset: absent",
                                       "diff": [], "property_results": [], "fuzz_failures": []}
        # Equal ids keep their input order: the suite's CROSS test came first.
        assert suite["results"][1]["property_results"] and not suite["results"][2]["property_results"]
        by_input = sorted(cmd["tests"], key=lambda t: t["id"])
        for test, result in zip(by_input[1:], suite["results"][1:]):
            assert run_test(test, cmd["data"]) == result
        assert suite["passed"] == sum(r["passed"] for r in suite["results"])
        assert suite["passed"] + suite["failed"] == 6

    def test_same_bytes_for_any_pool_size(self):
        text = suite_command()
        outputs = set()
        for threads in ["1", "2", "8", None, "1"]:
            env = dict(os.environ)
            env.pop("RAYON_NUM_THREADS", None)
            env.pop("RAYON_RS_NUM_CPUS", None)
            if threads is not None:
                env["RAYON_NUM_THREADS"] = threads
            done = subprocess.run([sys.executable, "-c", SUITE_SCRIPT], input=text, capture_output=True, text=True,
                                  env=env, check=True)
            outputs.add(done.stdout)
        assert len(outputs) == 1
        assert outputs.pop() == Session().command(text)


def test_example_suite_runs():
    path = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "suite.json")
    with open(path) as f:
        text = f.read()
    report = json.loads(Session().command(text))
    by_id = {r["id"]: r for r in report["results"]}
    assert [r["id"] for r in report["results"]] == sorted(by_id)
    assert len(by_id) == 5 and report["passed"] + report["failed"] == 5
    # The expected document of ema-cross still matches what the engine produces.
    assert by_id["ema-cross"]["passed"] and by_id["ema-cross"]["diff"] == []
    assert all("error" not in r for r in report["results"])
