"""A blessed test kept the way a Python user keeps it (json.loads of bless's
answer, json.dumps later, compact, with the default separators or indented)
gets the very answer the test gets as bless wrote it. Each test of the corpus
is also sent with one member added to its expected document that holds no
number: that document reads the same but is compared by flattening both
documents and merging them, the plain path, whose answer must be the same byte
for byte. The corpus moves values, drops and adds fields and items, and sets
tolerances on every kind of path and properties."""
import copy
import json
import math

from vornak_strategy_ci import Session

FORMS = [
    {"separators": (",", ":")},
    {},
    {"indent": 2},
]


def compact(value):
    return json.dumps(value, separators=(",", ":"))


def run_test(test_text, data):
    return Session().command('{"cmd":"run_test","test":' + test_text + ',"data":' + compact(data) + "}")


def candles(n, seed):
    out = []
    price = 100.0
    for i in range(n):
        prev = price
        price = round(price * (1 + 0.01 * math.sin(i / (7.0 + seed)) + 0.003 * math.cos(i / 3.0)), 4)
        out.append([1_700_000_000_000 + i * 3_600_000, prev, max(prev, price) + 0.25, min(prev, price) - 0.25, price,
                    1000.0 + i % 17])
    return out


def strategy(fast, slow):
    return {
        "symbol": "TEST",
        "timeframe": "1h",
        "indicators": {"fast": {"type": "Sma", "params": [fast]}, "slow": {"type": "Ema", "params": [slow]}},
        "entry": {"cross_above": ["fast", "slow"]},
        "exit": {"cross_below": ["fast", "slow"]},
        "sizing": {"type": "fixed_fraction", "fraction": 0.5},
        "costs": {"taker_bps": 5},
    }


PROPERTIES = [
    {"kind": "no_nan"},
    {"kind": "monotone_equity"},
    {"kind": "max_drawdown_le", "value": 50},
    {"kind": "min_trades_ge", "value": 1},
    {"kind": "field_in_range", "field": "equity[3].equity", "min": 0, "max": 1e9},
]

TOLERANCES = [
    {},
    {"*": {"kind": "abs", "value": 1e-6}},
    {
        "equity[*]": {"kind": "abs", "value": 0.5},
        "metrics.sharpe": {"kind": "rel", "value": 0.1},
        "trades[*].qty": {"kind": "rel", "value": 0.01},
    },
    {
        "equity[3].equity": {"kind": "abs", "value": 1e9},
        "trades[0]": {"kind": "abs", "value": 1},
        "fees_paid": {"kind": "abs", "value": -1},
    },
    {"*": {"kind": "abs", "value": -1}},
]


def moves(expected):
    """The expected document as it came, then moved in ways a test meets."""
    yield "as blessed", expected
    e = copy.deepcopy(expected)
    e["metrics"]["pnl"] += 1.0
    e["equity"][5]["equity"] *= 1.000001
    e["trades"][0]["qty"] += 1e-9
    yield "values moved", e
    e = copy.deepcopy(expected)
    del e["equity"][len(e["equity"]) // 2:]
    del e["trades"][-1]
    yield "lists shortened", e
    e = copy.deepcopy(expected)
    e["equity"].append({"equity": 1.5, "time": 7})
    e["trades"].append(dict(e["trades"][0]))
    yield "lists lengthened", e
    e = copy.deepcopy(expected)
    del e["metrics"]["sharpe"]
    del e["fees_paid"]
    del e["equity"][2]["time"]
    del e["trades"][1]["pnl"]
    yield "fields dropped", e
    e = copy.deepcopy(expected)
    e["metrics"]["extra"] = 3.5
    e["equity"][1]["extra"] = 2
    e["bonus"] = {"x": [1, 2.5]}
    yield "fields added", e
    e = copy.deepcopy(expected)
    e["symbol"] = 12.5
    e["trades"][0]["reason"] = 1
    e["schema_version"] = None
    yield "other scalars", e


def raw_expected(answer):
    """The expected document's own text within bless's answer."""
    start = answer.index('"expected":') + len('"expected":')
    _, end = json.JSONDecoder().raw_decode(answer, start)
    return answer[start:end]


def check_corpus(bars, fast, slow, tolerances):
    data = {"d": candles(bars, fast)}
    test = {"id": "t", "strategy": strategy(fast, slow), "dataset_ref": "d", "property_checks": PROPERTIES}
    answer = Session().command('{"cmd":"bless","test":' + compact(test) + ',"data":' + compact(data) + "}")
    blessed = json.loads(answer)
    assert len(blessed["expected"]["trades"]) >= 2 and len(blessed["expected"]["equity"]) == bars
    kinds = set()
    for tol in tolerances:
        for name, expected in moves(blessed["expected"]):
            t = dict(blessed, expected=expected, tolerances=tol)
            plain = copy.deepcopy(t)
            plain["expected"]["zz_no_number"] = "x"
            want = run_test(compact(plain), data)
            result = json.loads(want)
            assert "error" not in result, want[:300]
            kinds.update(d["kind"] for d in result["diff"])
            for form in FORMS:
                assert run_test(json.dumps(t, **form), data) == want, (name, tol, form)
            if name == "as blessed":
                came = compact(dict(t, expected=None)).replace('"expected":null', '"expected":' + raw_expected(answer))
                assert run_test(came, data) == want, (name, tol)
    assert kinds == {"missing", "extra", "mismatch"}


def test_short_runs_in_every_form_answer_as_the_plain_path():
    check_corpus(300, 5, 20, TOLERANCES)


def test_long_runs_read_in_pieces_answer_as_the_plain_path():
    # Long enough that the expected lists are read in pieces.
    check_corpus(40_000, 9, 40, [TOLERANCES[0], TOLERANCES[2]])
