"""Statements of docs/format.md that its examples show on a few members only,
checked here on every member they speak of: where null is accepted, the array
form of every object, and the longest period of the kinds; the order rules
of format.md and the memory note of the README, each against a reference
computed from the rule as the page states it; and the README's account of
its example suite."""
import copy
import decimal
import json
import math
import pathlib
import random
import re
import sys

import pytest

from vornak_strategy_ci import Session

DOCS = pathlib.Path(__file__).resolve().parents[2] / "docs"
FORMAT = (DOCS / "format.md").read_text()

CANDLES = [[1_700_000_000_000 + i * 3_600_000, 100.0 + i % 9, 103.0 + i % 9, 98.0 + i % 9, 101.0 + i % 7,
            10.0 + i % 5] for i in range(120)]

# One value for every member of the page's tables, chosen so that the run trades.
STRATEGY = {
    "spec_version": 1, "symbol": "B", "ref_symbol": "E", "timeframe": "1h",
    "indicators": {"s": {"type": "Sma", "params": [5], "feed": "kline"}},
    "entry": {"gt": [{"price": "close"}, "s"]}, "exit": {"lt": [{"price": "close"}, "s"]},
    "short_entry": {"lt": [{"price": "close"}, "s"]}, "short_exit": {"gt": [{"price": "close"}, "s"]},
    "sizing": {"type": "fixed_fraction", "fraction": 0.5},
    "costs": {"maker_bps": 1, "taker_bps": 2, "slippage": {"type": "fixed_bps", "bps": 1}, "funding": False},
    "risk": {"stop_loss_pct": 3, "take_profit_pct": 4, "trailing_stop_pct": 2, "max_leverage": 2,
             "max_position_pct": 80, "liquidation": True},
    "execution": {"order_type": "market", "fill_timing": "next_open", "limit_offset_pct": 1,
                  "stop_offset_pct": 0.1, "latency_bars": 1, "partial_fills": False, "max_participation": 0.5},
    "warmup": 7,
}
TEST = {"id": "t", "strategy": STRATEGY, "dataset_ref": "d", "expected": None,
        "tolerances": {"*": {"kind": "abs", "value": 0}}, "property_checks": [{"kind": "min_trades_ge", "value": 1}],
        "fuzz": {"seed": 1, "runs": 2, "perturbation": {"kind": "dropout", "p": 0.1}}}

session = Session()


def command(cmd):
    return json.loads(session.command(json.dumps(cmd)))


def bless(test, candles=CANDLES):
    return command({"cmd": "bless", "test": test, "data": {"d": candles}})


def table_members(heading):
    """The member names of the first table under `heading`, in table order."""
    section = FORMAT[FORMAT.index(heading + "\n"):]
    table = re.search(r"^\| member \|.*?\n((?:\|.*\n)+)", section, re.M).group(1)
    return re.findall(r"^\| `(\w+)` \|", table, re.M)


# (container path, heading of its table) for every object with a member table.
TABLES = [((), "## The strategy test"), (("strategy",), "## The strategy"),
          (("strategy", "costs"), "### Costs"), (("strategy", "risk"), "### Risk"),
          (("strategy", "execution"), "### Execution")]


def at(document, path):
    for key in path:
        document = document[key]
    return document


def test_the_tables_list_every_member_the_examples_here_give():
    for path, heading in TABLES:
        assert table_members(heading) == list(at(TEST, path)), heading


NULL_MEANS_ABSENT = {("expected",), ("fuzz",), ("strategy", "ref_symbol"), ("strategy", "short_entry"),
                     ("strategy", "short_exit"), ("strategy", "warmup"), ("strategy", "indicators", "s", "feed"),
                     ("strategy", "execution", "limit_offset_pct"), ("strategy", "execution", "stop_offset_pct"),
                     ("strategy", "execution", "max_participation")} | {
    ("strategy", "risk", m) for m in ("stop_loss_pct", "take_profit_pct", "trailing_stop_pct", "max_leverage",
                                      "max_position_pct")}


def every_member_path(document, path=()):
    """Paths of every object member below `document` (lists are not entered)."""
    for key, value in document.items():
        yield path + (key,)
        if isinstance(value, dict) and key not in ("entry", "exit", "short_entry", "short_exit"):
            yield from every_member_path(value, path + (key,))


def test_null_is_the_same_as_absent_for_the_listed_members_and_refused_for_every_other():
    paths = set(every_member_path(TEST))
    assert NULL_MEANS_ABSENT < paths and len(paths) > 40
    for path in sorted(paths):
        with_null, without = copy.deepcopy(TEST), copy.deepcopy(TEST)
        at(with_null, path[:-1])[path[-1]] = None
        del at(without, path[:-1])[path[-1]]
        answer = bless(with_null)
        if path in NULL_MEANS_ABSENT:
            # The strategy comes back as written, null included; all else is the same.
            strip = lambda a: {k: v for k, v in a.items() if k != "strategy"}
            assert strip(answer) == strip(bless(without)) and "expected" in answer, path
            run = {"cmd": "run_test", "data": {"d": CANDLES}}
            assert command(dict(run, test=with_null)) == command(dict(run, test=without)), path
        else:
            assert answer["ok"] is False and answer["error"].split(": ")[0] in ("json error", "backtest error"), path
    fields = ["time", "open", "high", "low", "close", "volume"]
    for field in fields:
        candles = [dict(zip(fields, c)) for c in CANDLES]
        candles[3][field] = None
        assert bless(TEST, candles)["error"].startswith("json error: invalid type: null, expected "), field


def test_the_array_form_may_stop_after_any_member_once_the_required_ones_are_in():
    as_objects = bless(TEST)
    assert as_objects["expected"]["trades"]
    for path, heading in TABLES:
        members = table_members(heading)
        section = FORMAT[FORMAT.index(heading + "\n"):]
        required = [m for m in members if re.search(rf"^\| `{m}` \|[^|]*\| required \|", section, re.M)]
        last_required = max((members.index(m) for m in required), default=-1)
        for n in range(len(members) + 1):
            shortened, cut = copy.deepcopy(TEST), copy.deepcopy(TEST)
            container = at(shortened, path[:-1]) if path else None
            values = [at(TEST, path)[m] for m in members[:n]]
            for m in members[n:]:
                del at(cut, path)[m]
            if path:
                container[path[-1]] = values
                answer = bless(shortened)
            else:
                answer = bless(values)
            if n > last_required:
                expected = bless(cut)
                assert "expected" in answer, (heading, n, answer)
                assert answer["expected"] == expected["expected"], (heading, n)
            else:
                assert answer["ok"] is False and "invalid length" in answer["error"], (heading, n)


def test_tagged_objects_and_candles_have_array_forms_with_the_tag_first():
    tagged = copy.deepcopy(TEST)
    tagged["strategy"]["sizing"] = ["fixed_fraction", 0.5]
    tagged["strategy"]["costs"]["slippage"] = ["fixed_bps", 1]
    tagged["strategy"]["indicators"]["s"] = ["Sma", [5], "kline"]
    tagged["tolerances"] = {"*": ["abs", 0]}
    tagged["property_checks"] = [["min_trades_ge", 1]]
    tagged["fuzz"] = [1, 2, ["dropout", 0.1]]
    assert bless(tagged)["expected"] == bless(TEST)["expected"]
    assert command({"cmd": "run_test", "test": tagged, "data": {"d": CANDLES}}) == \
        command({"cmd": "run_test", "test": TEST, "data": {"d": CANDLES}})
    fields = ["time", "open", "high", "low", "close", "volume"]
    assert bless(TEST, [dict(zip(fields, c)) for c in CANDLES]) == bless(TEST)
    no_volume = [c[:5] for c in CANDLES]
    assert bless(TEST, no_volume) == bless(TEST, [c[:5] + [0.0] for c in CANDLES])


def period_parameters():
    """(kind, feed, position, example parameters) of each `...period` count of kinds.md."""
    rows = re.findall(r"^\| `(\w+)` \| [^|]+ \| `(\w+)` \| ([^|]+) \| [^|]+ \| [^|]* \| (\[[^\]]*\]) \|$",
                      (DOCS / "kinds.md").read_text(), re.M)
    for kind, feed, parameters, example in rows:
        for position, parameter in enumerate(p.strip() for p in parameters.split(",")):
            if re.fullmatch(r"`\w*period` count", parameter):
                yield kind, feed, position, json.loads(example)


def with_parameter(kind, feed, position, example, value):
    params = list(example)
    params[position] = value
    strategy = dict(STRATEGY, indicators={"s": {"type": kind, "params": params, "feed": feed}})
    return {"id": f"{kind}#{position}", "strategy": strategy, "dataset_ref": "d"}


MAX_PERIOD_MESSAGE = "invalid period: period exceeds the maximum supported window length (see MAX_PERIOD)"


def test_a_period_above_two_to_the_24_is_refused_by_most_kinds_and_always_with_one_message():
    cases = list(period_parameters())
    tests = [with_parameter(*case, 2**24 + 1) for case in cases]
    results = command({"cmd": "run_suite", "tests": tests, "data": {"d": CANDLES}})["results"]
    refused = [r for r in results if r.get("error", "").endswith(MAX_PERIOD_MESSAGE)]
    assert len(refused) > 0.9 * len(cases)
    for r in results:
        assert "error" not in r or r["error"].endswith(MAX_PERIOD_MESSAGE) or "invalid period" in r["error"]
    for kind in ("Sma", "Ema", "Rsi", "Atr", "BollingerBands"):
        [case] = [c for c in cases if c[0] == kind and c[2] == 0]
        assert "error" not in command({"cmd": "run_test", "test": with_parameter(*case, 2**24), "data": {"d": CANDLES}})
        answer = command({"cmd": "run_test", "test": with_parameter(*case, 2**24 + 1), "data": {"d": CANDLES}})
        assert answer["error"] == f"backtest error: invalid parameters for indicator {kind}: {MAX_PERIOD_MESSAGE}"


@pytest.mark.parametrize("rule", [{}, {"gt": [1, 0], "lt": [0, 1]}, {"in_position": False, "why": "flat"},
                                  {"bars_since_entry": {"ge": 2, "why": "two bars"}}])
def test_a_rule_without_exactly_one_member_is_refused_with_expected_value(rule):
    answer = bless(dict(TEST, strategy=dict(STRATEGY, entry=rule)))
    assert re.fullmatch(r"backtest error: invalid strategy spec: expected value at line 1 column \d+", answer["error"])


@pytest.mark.parametrize("operand", [{"price": "Close"}, {"Price": "close"}, {"price": "close", "n": 1},
                                     {"prev": ["s"]}, True])
def test_an_operand_in_no_form_of_the_table_is_refused_with_the_operand_message(operand):
    answer = bless(dict(TEST, strategy=dict(STRATEGY, entry={"gt": [operand, "s"]})))
    assert re.fullmatch(r"backtest error: invalid strategy spec: data did not match any variant of untagged enum "
                        r"Operand at line 1 column \d+", answer["error"])


def test_bless_keeps_only_the_members_of_each_table_and_writes_their_numbers_as_decimals():
    extra = copy.deepcopy(TEST)
    extra["note"] = "dropped"
    extra["tolerances"] = {"*": {"kind": "abs", "value": 1, "why": "dropped"}}
    extra["fuzz"] = {"seed": 1, "runs": 2, "why": "dropped", "perturbation": {"kind": "jitter", "amount": 0, "p": 1}}
    answer = bless(extra)
    assert list(answer) == ["id", "strategy", "dataset_ref", "expected", "tolerances", "property_checks", "fuzz"]
    assert answer["tolerances"] == {"*": {"kind": "abs", "value": 1.0}}
    assert answer["fuzz"] == {"seed": 1, "runs": 2, "perturbation": {"kind": "jitter", "amount": 0.0}}
    text = session.command(json.dumps({"cmd": "bless", "test": extra, "data": {"d": CANDLES}}))
    assert '"value":1.0' in text and '"amount":0.0' in text and '"seed":1,' in text


@pytest.mark.parametrize("where, value, message", [
    (("strategy", "entry"), ["gt", [{"price": "close"}, "s"]], "backtest error: invalid strategy spec: expected value"),
    (("strategy", "exit"), {"bars_since_entry": ["ge", 3]}, "backtest error: invalid strategy spec: expected value"),
    (("strategy", "entry"), {"gt": [["close"], "s"]},
     "backtest error: invalid strategy spec: data did not match any variant of untagged enum Operand"),
    (("strategy", "entry"), {"gt": [{"prev": [{"price": "close"}, 1]}, [["s", 1]]]},
     "backtest error: invalid strategy spec: data did not match any variant of untagged enum Operand"),
    (("strategy", "indicators"), [["s", {"type": "Sma", "params": [5]}]],
     "backtest error: invalid strategy spec: invalid type: sequence, expected a map"),
    (("tolerances",), [["*", {"kind": "abs", "value": 0}]], "json error: invalid type: sequence, expected a map"),
])
def test_rules_operands_and_the_name_maps_have_no_array_form(where, value, message):
    test = copy.deepcopy(TEST)
    at(test, where[:-1])[where[-1]] = value
    for answer in (bless(test), command({"cmd": "run_test", "test": test, "data": {"d": CANDLES}})):
        assert re.sub(r" at line 1 column \d+$", "", answer["error"]) == message


def little_said_messages():
    """The messages of the page's list of messages that say little about their cause, as written there."""
    section = FORMAT[FORMAT.index("say little about their cause:"):]
    table = re.search(r"^\| message \|.*?\n((?:\|.*\n)+)", section, re.M).group(1)
    return [m for _, m in re.findall(r"^\| (`+)(.+?)\1 \|", table, re.M)]


def as_pattern(message, values):
    """A message of the list with its placeholders, the capital letters standing alone, filled: the position
    (line L column C) by any numbers, the others by `values`."""
    parts = re.split(r"\b([A-Z])\b", message)
    return "".join(re.escape(p) if i % 2 == 0 else r"\d+" if p in "LC" else re.escape(values[p])
                   for i, p in enumerate(parts))


def with_strategy(**changes):
    return {"cmd": "run_test", "test": dict(TEST, strategy=dict(STRATEGY, **changes)), "data": {"d": CANDLES}}


def with_indicator(kind, params):
    return with_strategy(indicators={"s": {"type": kind, "params": params}})


def with_first_time(time):
    return {"cmd": "run_test", "test": TEST, "data": {"d": [[time] + CANDLES[0][1:]] + CANDLES[1:]}}


def as_double_text(number):
    """The number as a double, in the fewest digits that read back as it, written out without an exponent."""
    text = format(decimal.Decimal(repr(float(number))), "f")
    return text if "." in text else text + ".0"


# (words found in one message of the list, a command that makes one of the causes its row names, placeholders)
LITTLE_SAID = [
    ("Candle with 6", {"cmd": "run_test", "test": TEST, "data": {"d": [c[:4] for c in CANDLES]}}, {}),
    *[("floating point", with_first_time(t), {"F": as_double_text(t)}) for t in (2**64, 10**30, -2**63 - 1, 1000.0)],
    ("enum Operand", with_strategy(entry={"gt": [{"price": "Close"}, "s"]}), {}),
    ("enum Operand", with_strategy(entry={"gt": [{"prev": ["s", -1]}, "s"]}), {}),
    ("expected value", with_strategy(entry={"gt": [1, 0], "lt": [0, 1]}), {}),
    ("expected value", with_strategy(exit={"bars_since_entry": 10}), {}),
    *[("expected value", with_strategy(**change), {}) for change in (
        {"entry": None}, {"exit": None}, {"execution": {"order_type": None}}, {"execution": {"fill_timing": 1}},
        {"execution": {"order_type": ["limit"]}})],
    ("trailing characters", with_strategy(entry={"cross_above": [{"price": "close"}, "s", 0]}), {}),
    ("trailing characters", with_strategy(entry={"between": [{"price": "close"}, 0, 1, 2]}), {}),
    ("unit variant", with_strategy(entry="cross_above"), {}),
    ("unit variant", with_strategy(exit={"not": "in_position"}), {}),
    ("MAX_PERIOD", with_indicator("Sma", [2**24 + 1]), {"K": "Sma"}),
    ("MAX_PERIOD", with_indicator("Cointegration", [2 * 4096 + 4, 4096]), {"K": "Cointegration"}),
    ("MAX_PERIOD", with_indicator("GrangerCausality", [3 * 2048 + 2, 2048]), {"K": "GrangerCausality"}),
    ("map, expected a sequence at", with_strategy(indicators={"s": {"type": "Sma", "params": {"period": 5}}}), {}),
    ("json error: invalid type: map, expected a sequence",
     {"cmd": "run_test", "test": dict(TEST, property_checks={"kind": "no_nan"}), "data": {"d": CANDLES}}, {}),
    ("json error: invalid type: map, expected a sequence",
     {"cmd": "run_test", "test": TEST, "data": {"d": {"candles": CANDLES}}}, {}),
    ("json error: invalid type: map, expected a sequence", {"cmd": "run_suite", "tests": TEST, "data": {}}, {}),
    ("sequence, expected a map", {"cmd": "run_test", "test": TEST, "data": [["d", CANDLES]]}, {}),
    ("sequence, expected a map", {"cmd": "run_test", "data": {"d": CANDLES},
                                  "test": dict(TEST, tolerances=[["*", {"kind": "abs", "value": 0}]])}, {}),
    ("expected a string", {"cmd": "run_test", "test": [TEST, dict(TEST, id="u")], "data": {"d": CANDLES}}, {}),
    ("expected a string", {"cmd": "bless", "test": [TEST], "data": {"d": CANDLES}}, {}),
    ("missing dataset", {"cmd": "run_test", "test": TEST, "datasets": {"d": CANDLES}}, {}),
    ("missing dataset", {"cmd": "bless", "test": TEST, "datasets": {"d": CANDLES}}, {}),
    *[("null, expected f64", with_strategy(**change), {}) for change in (
        {"costs": {"slippage": {"type": "fixed_bps", "bps": None}}},
        {"costs": {"slippage": {"type": "volume_impact", "coef": None}}},
        {"sizing": {"type": "fixed_qty", "qty": None}}, {"costs": {"taker_bps": None}})],
]


def test_each_message_that_says_little_is_given_as_the_page_states_it():
    messages = little_said_messages()
    rows = set()
    for words, cmd, values in LITTLE_SAID:
        [row] = [i for i, m in enumerate(messages) if words in m]
        rows.add(row)
        assert re.fullmatch(as_pattern(messages[row], values), command(cmd)["error"]), (words, cmd)
    assert sorted(rows) == list(range(len(messages)))
    suite = command({"cmd": "run_suite", "tests": [TEST, dict(TEST, id="u")], "datasets": {"d": CANDLES}})
    [missing] = [as_pattern(m, {}) for m in messages if "missing dataset" in m]
    assert [re.fullmatch(missing, r["error"]) is not None for r in suite["results"]] == [True, True]


def test_the_ends_the_list_gives_for_times_and_lags_are_the_last_accepted_values():
    for time in (2**63 - 1, -2**63):
        assert "error" not in command(with_first_time(time))
    for time in (2**63, 2**64 - 1):                     # integers still, but not signed 64-bit ones
        assert command(with_first_time(time))["error"] == f"json error: invalid value: integer `{time}`, expected i64"
    exponent = json.dumps(with_first_time("TIME")).replace('"TIME"', "1e3")
    assert json.loads(session.command(exponent))["error"] == \
        f"json error: invalid type: floating point `{as_double_text(1e3)}`, expected i64"
    assert "error" not in command(with_indicator("Cointegration", [2 * 4095 + 4, 4095]))
    assert "error" not in command(with_indicator("GrangerCausality", [3 * 2047 + 2, 2047]))
    # Too short a period for the lag is named as such, before the lag's own bound.
    assert "needs period" in command(with_indicator("Cointegration", [30, 4096]))["error"]


def random_walk(n, seed):
    rng = random.Random(seed)
    price, candles = 100.0, []
    for i in range(n):
        close = price * (1 + rng.gauss(0, 0.004))
        candles.append([i * 3_600_000, price, max(price, close) * 1.001, min(price, close) * 0.999, close,
                        50.0 + rng.random() * 100])
        price = close
    return candles


WALK = random_walk(1500, seed=3)
BAR = {c[0]: i for i, c in enumerate(WALK)}
FALLS = {"lt": [{"price": "close"}, {"prev": [{"price": "close"}, 1]}]}


def trades_on_walk(**strategy):
    plain = {"symbol": "X", "timeframe": "1h", "indicators": {}, "sizing": {"type": "fixed_qty", "qty": 1}}
    return bless({"id": "w", "strategy": dict(plain, **strategy), "dataset_ref": "d"}, WALK)["expected"]


@pytest.mark.parametrize("latency", [0, 1, 2, 5])
def test_an_exit_fills_latency_bars_after_its_first_signal_however_often_the_rule_repeats(latency):
    rises = {"gt": [{"price": "close"}, {"prev": [{"price": "close"}, 1]}]}
    trades = trades_on_walk(entry=rises, exit=FALLS, execution={"latency_bars": latency})["trades"]
    falls = [i > 0 and WALK[i][4] < WALK[i - 1][4] for i in range(len(WALK))]
    repeated = 0
    for t in trades[:-1]:
        entry, exit_bar = BAR[t["entry_time"]], BAR[t["exit_time"]]
        # The rule is read from the entry bar's close; its first signal sends the order.
        signal = next(i for i in range(entry, len(WALK)) if falls[i])
        assert (t["reason"], exit_bar) == ("signal", signal + latency + 1)
        repeated += any(falls[signal + 1:exit_bar])
    assert len(trades) > 10 and (repeated > 0) == (latency > 0)


def test_a_waiting_exit_overtaken_by_a_stop_holds_off_the_entry_until_it_is_worked():
    for latency in (1, 3):
        trades = trades_on_walk(entry={"all": []}, exit={"all": []}, risk={"stop_loss_pct": 0.2},
                                execution={"latency_bars": latency})["trades"]
        kinds = set()
        for a, b in zip(trades, trades[1:]):
            entry, exit_bar = BAR[a["entry_time"]], BAR[a["exit_time"]]
            # The exit order sent at the entry bar's close is worked latency + 1 bars later: it fills
            # there, or finds the position stopped meanwhile and holds off the entry until then. A stop
            # on the entry bar comes before the rules, and no order is sent.
            worked = exit_bar if exit_bar == entry else entry + latency + 1
            assert exit_bar <= worked and (a["reason"] == "signal") == (exit_bar == entry + latency + 1)
            assert BAR[b["entry_time"]] == worked + latency + 1
            kinds.add((a["reason"], exit_bar == entry))
        assert kinds == {("stop_loss", True), ("stop_loss", False), ("signal", False)}


@pytest.mark.parametrize("fill_timing", ["close", "next_open"])
def test_a_fill_at_the_close_shows_in_the_equity_from_the_next_bar_one_at_the_open_on_its_own(fill_timing):
    out = trades_on_walk(entry={"gt": [{"price": "close"}, {"prev": [{"price": "close"}, 3]}]}, exit=FALLS,
                         sizing={"type": "fixed_fraction", "fraction": 0.5},
                         costs={"taker_bps": 10, "slippage": {"type": "fixed_bps", "bps": 5}},
                         execution={"fill_timing": fill_timing})
    equity = [p["equity"] for p in out["equity"]]
    price = 4 if fill_timing == "close" else 1
    later = 1 if fill_timing == "close" else 0                         # the first point that shows a fill
    cash = 10_000.0
    for t in out["trades"][:-1]:
        entry, exit_bar = BAR[t["entry_time"]], BAR[t["exit_time"]]
        assert math.isclose(t["entry_price"], WALK[entry][price] * (1 + 5 / 10_000), rel_tol=1e-15)
        held = cash - t["qty"] * t["entry_price"] * (1 + 10 / 10_000)
        assert math.isclose(equity[entry + later - 1], cash, rel_tol=1e-12)
        assert all(math.isclose(equity[i], held + t["qty"] * WALK[i][4], rel_tol=1e-12)
                   for i in range(entry + later, exit_bar + later))
        cash += t["pnl"]
        assert math.isclose(equity[exit_bar + later], cash, rel_tol=1e-12)
    assert len(out["trades"]) > 20


@pytest.mark.parametrize("sizing, partial, risk", [({"type": "fixed_fraction", "fraction": 0.5}, False, {}),
                                                   ({"type": "fixed_cash", "cash": 4000}, False, {}),
                                                   ({"type": "fixed_qty", "qty": 30}, True, {}),
                                                   ({"type": "fixed_fraction", "fraction": 0.9}, False,
                                                    {"max_position_pct": 40}),
                                                   ({"type": "fixed_qty", "qty": 200}, True, {"max_leverage": 0.5})])
def test_volume_impact_prices_an_entry_at_the_unslipped_size_and_an_exit_at_the_position(sizing, partial, risk):
    coef = 0.5
    execution = {"partial_fills": True, "max_participation": 0.2} if partial else {}
    out = trades_on_walk(entry={"gt": [{"price": "close"}, {"prev": [{"price": "close"}, 3]}]}, exit=FALLS,
                         sizing=sizing, execution=execution, risk=risk,
                         costs={"slippage": {"type": "volume_impact", "coef": coef}})
    cash, checked, capped = 10_000.0, 0, 0
    for t in out["trades"]:
        entry_open, entry_volume = WALK[BAR[t["entry_time"]]][1], WALK[BAR[t["entry_time"]]][5]
        raw = {"fixed_fraction": lambda: sizing["fraction"] * cash / entry_open,
               "fixed_cash": lambda: sizing["cash"] / entry_open, "fixed_qty": lambda: sizing["qty"]}[sizing["type"]]()
        # The value caps of max_leverage (1 when absent) and max_position_pct, at the unslipped price.
        cap = min(cash * risk.get("max_leverage", 1), cash * risk.get("max_position_pct", math.inf) / 100)
        unslipped = min(raw, cap / entry_open)
        capped += unslipped < raw
        assert math.isclose(t["entry_price"], entry_open * (1 + coef * unslipped / entry_volume), rel_tol=1e-12)
        assert not math.isclose(t["entry_price"], entry_open * (1 + coef * t["qty"] / entry_volume), rel_tol=1e-9)
        if t["reason"] == "signal":
            exit_open, exit_volume = WALK[BAR[t["exit_time"]]][1], WALK[BAR[t["exit_time"]]][5]
            assert math.isclose(t["exit_price"], exit_open * (1 - coef * t["qty"] / exit_volume), rel_tol=1e-12)
            checked += 1
        cash += t["pnl"]
    assert checked > 20 and (not risk or capped == len(out["trades"]))          # the caps bind on every entry


def population_deviation_of_returns(closes):
    returns = [b / a - 1 for a, b in zip(closes, closes[1:])]
    mean = sum(returns) / len(returns)
    return math.sqrt(sum((r - mean) ** 2 for r in returns) / len(returns))


@pytest.mark.parametrize("execution", [{"latency_bars": 3}, {"order_type": "limit", "limit_offset_pct": -0.4},
                                       {"fill_timing": "close"}])
def test_vol_target_reads_the_closes_the_run_has_when_the_order_fills(execution):
    lookback, target = 12, 0.003
    out = trades_on_walk(entry=FALLS, exit={"bars_since_entry": {"eq": 4}}, execution=execution,
                         sizing={"type": "vol_target", "target_vol": target, "lookback": lookback})

    def size(last_close, cash, price):                 # the window's last close is WALK[last_close]
        if last_close + 1 < lookback:
            return None
        closes = [c[4] for c in WALK[last_close + 1 - lookback:last_close + 1]]
        return min(target * cash / population_deviation_of_returns(closes), cash) / price   # value capped at 1x cash

    at_close = execution.get("fill_timing") == "close"
    cash, moved = 10_000.0, 0
    for t in out["trades"]:
        fill = BAR[t["entry_time"]]
        assert math.isclose(t["qty"], size(fill if at_close else fill - 1, cash, t["entry_price"]), rel_tol=1e-12)
        if "latency_bars" in execution:                # read at the signal, the size would be another
            at_signal = size(fill - 1 - execution["latency_bars"], cash, t["entry_price"])
            moved += at_signal is None or not math.isclose(t["qty"], at_signal, rel_tol=1e-9)
        cash += t["pnl"]
    assert len(out["trades"]) > 40 and moved >= (len(out["trades"]) * 3 // 4 if "latency_bars" in execution else 0)


def test_a_command_str_that_is_not_ascii_keeps_its_utf8_copy_while_the_caller_holds_it():
    """CPython counts a str's cached UTF-8 in its size; an ASCII str is its own UTF-8 and has none."""
    test = dict(TEST, id="caf\u00e9")
    for ensure_ascii in (True, False):
        text = json.dumps({"cmd": "bless", "test": test, "data": {"d": CANDLES}}, ensure_ascii=ensure_ascii)
        copy_size = 0 if ensure_ascii else len(text.encode()) + 1      # the UTF-8 and its terminating NUL
        before = sys.getsizeof(text)
        assert json.loads(session.command(text))["id"] == "caf\u00e9"
        assert sys.getsizeof(text) - before == copy_size
        session.command(text)
        assert sys.getsizeof(text) - before == copy_size                # a second command reuses the copy


def test_the_example_suite_is_as_the_readme_describes_it():
    suite = json.loads((DOCS.parent / "examples" / "suite.json").read_text())
    tests = suite["tests"]
    assert suite["cmd"] == "run_suite" and len(tests) == 5 and len(suite["data"]) == 2
    assert all(t["property_checks"] for t in tests)
    assert sum("expected" in t for t in tests) == 1 and sum("fuzz" in t for t in tests) == 3
    failed = {r["id"]: r for r in command(suite)["results"] if not r["passed"]}
    assert set(failed) == {"buy-and-hold", "macd-long-short"}
    assert [p["property"]["kind"] for p in failed["buy-and-hold"]["property_results"] if not p["passed"]] == \
        ["monotone_equity"]
    assert {f["property"]["kind"] for f in failed["macd-long-short"]["fuzz_failures"]} == {"pnl_ge"}
