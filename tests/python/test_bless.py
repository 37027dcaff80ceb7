""""bless" end to end through the module: a strategy whose rules read the
named outputs of a candle kind, with the fills stated by hand and booked by a
small account in the test, and the test blessed back with that document as
its `expected`. The engine's scenarios live in the C++ engine tests."""
import json

from vornak_strategy_ci import Session

EPS = 2.220446049250313e-16


# ---------------------------------------------------------------- the account

class Account:
    """Cash, one position and the trades, booked in the order the engine's
    rules state the arithmetic."""

    def __init__(self, capital, maker_bps=0.0, taker_bps=0.0):
        self.capital = float(capital)
        self.cash = float(capital)
        self.qty = 0.0
        self.entry_price = 0.0
        self.entry_time = 0
        self.entry_fee = 0.0
        self.fees = 0.0
        self.maker = maker_bps / 10000.0
        self.taker = taker_bps / 10000.0
        self.trades = []
        self.equity = []

    def enter(self, time, price, qty, maker=False):
        """qty is signed: negative for a short."""
        fee = price * abs(qty) * (self.maker if maker else self.taker)
        self.qty = qty
        self.cash -= price * qty + fee
        self.entry_price, self.entry_time, self.entry_fee = price, time, fee
        self.fees += fee

    def _close(self, time, price, fee, reason):
        self.cash += price * self.qty - fee
        self.fees += fee
        pnl = self.qty * (price - self.entry_price) - self.entry_fee - fee
        notional = abs(self.qty) * self.entry_price
        ret = 0.0 if abs(notional) < EPS else pnl / notional * 100.0
        self.trades.append({
            "entry_time": self.entry_time, "exit_time": time, "entry_price": self.entry_price,
            "exit_price": price, "qty": self.qty, "pnl": pnl, "return_pct": ret, "reason": reason,
        })
        self.qty = 0.0
        self.entry_fee = 0.0

    def exit_market(self, time, price, reason="signal"):
        self._close(time, price, self.taker * abs(self.qty) * price, reason)

    def exit_at(self, time, price, reason):
        """A protective exit or the close-out: no slippage, fee on the price."""
        self._close(time, price, abs(self.qty) * price * self.taker, reason)

    def mark(self, time, close):
        self.equity.append((time, self.cash + self.qty * close))

    def document(self, symbol="BTCUSDT", timeframe="1h"):
        """The output without its metrics, which the C++ engine tests compute."""
        return {
            "schema_version": 1, "symbol": symbol, "timeframe": timeframe, "trades": self.trades,
            "equity": [{"time": t, "equity": e} for t, e in self.equity],
            "fees_paid": self.fees, "initial_capital": self.capital,
        }


def without_metrics(document):
    assert document["metrics"]["num_trades"] == len(document["trades"])
    return {k: v for k, v in document.items() if k != "metrics"}


# ------------------------------------------------------------------- commands

def command(obj):
    return json.loads(Session().command(json.dumps(obj)))


def candles(rows):
    """Rows [open, high, low, close(, volume)] at times 1000, 2000, ..."""
    out = []
    for i, r in enumerate(rows):
        out.append({"time": 1000 * (i + 1), "open": r[0], "high": r[1], "low": r[2], "close": r[3],
                    "volume": r[4] if len(r) > 4 else 0.0})
    return out


def flat(closes, volume=0.0):
    return candles([[c, c, c, c, volume] for c in closes])


def strategy(entry, exit, sizing, indicators=None, **members):
    s = {"symbol": "BTCUSDT", "timeframe": "1h", "indicators": indicators or {}, "entry": entry,
         "exit": exit, "sizing": sizing}
    s.update(members)
    return s


def bless(strat, data, **fields):
    test = {"id": "t1", "strategy": strat, "dataset_ref": "d"}
    test.update(fields)
    return command({"cmd": "bless", "test": test, "data": {"d": data}})


def blessed_expected(strat, data):
    answer = bless(strat, data)
    assert "error" not in answer, answer
    return answer["expected"]


NEVER = {"any": []}


def qty(n):
    return {"type": "fixed_qty", "qty": n}


# ------------------------------------------------------------------ scenario

ROWS = [[10, 11, 9, 10], [10, 12, 10, 11.5], [11.5, 13, 11, 12.5], [12.5, 12.8, 10, 10.5],
        [10.5, 11, 9, 9.5], [9.5, 10, 9, 9.8], [9.8, 12, 9.7, 11.9], [11.9, 12, 11, 11.2],
        [11.2, 11.5, 10, 10.1], [10.1, 10.2, 9, 9.1]]


def one_unit_account(rows, wants_exit, wants_entry):
    """The document of a strategy trading one unit whose rules are checked
    from bar 1 on (exit while long, entry while flat) and act at the next
    bar's open; an open position closes at the end."""
    a = Account(10000)
    pending = None
    for i, (o, h, lo, c) in enumerate(rows):
        t = 1000 * (i + 1)
        if pending == "enter":
            a.enter(t, float(o), 1.0)
        elif pending == "exit":
            a.exit_market(t, float(o))
        pending = None
        a.mark(t, c)
        if i >= 1:
            if a.qty and wants_exit(i):
                pending = "exit"
            elif not a.qty and wants_entry(i):
                pending = "enter"
    if a.qty:
        a.exit_at(1000 * len(rows), float(rows[-1][3]), "end")
    assert len(a.trades) == 2
    return a.document()


def test_rules_read_named_outputs_of_a_candle_kind():
    # Long while the Heikin-Ashi candle is white (ha.close > ha.open), out when
    # it turns black. Rules run from bar 1 (HeikinAshi's warm-up is 1).
    ha = []
    for i, (o, h, lo, c) in enumerate(ROWS):
        ha_open = (o + c) * 0.5 if i == 0 else (ha[-1][0] + ha[-1][1]) * 0.5
        ha.append((ha_open, (o + h + lo + c) * 0.25))
    got = blessed_expected(strategy({"gt": ["ha.close", "ha.open"]}, {"lt": ["ha.close", "ha.open"]}, qty(1),
                                    indicators={"ha": {"type": "HeikinAshi"}}), candles(ROWS))
    assert without_metrics(got) == one_unit_account(ROWS, lambda i: ha[i][1] < ha[i][0], lambda i: ha[i][1] > ha[i][0])


def test_rules_read_pivot_levels_of_the_bar_before():
    # Long when the close breaks above the previous bar's classic r1, out when
    # it falls below the previous bar's s1. Rules run from bar 1 (ClassicPivots'
    # warm-up is 1), where the previous bar's levels exist.
    r1, s1 = [], []
    for o, h, lo, c in ROWS:
        pp = (lo + h + c) / 3
        r1.append(2 * pp - lo)
        s1.append(2 * pp - h)
    close = {"price": "close"}
    got = blessed_expected(strategy({"gt": [close, {"prev": ["pv.r1", 1]}]}, {"lt": [close, {"prev": ["pv.s1", 1]}]},
                                    qty(1), indicators={"pv": {"type": "ClassicPivots"}}), candles(ROWS))
    assert without_metrics(got) == one_unit_account(ROWS, lambda i: ROWS[i][3] < s1[i - 1], lambda i: ROWS[i][3] > r1[i - 1])


# ------------------------------------------------------- the rewritten test

def test_bless_keeps_the_test_and_replaces_expected():
    strat = strategy(NEVER, NEVER, qty(1))
    fields = {"expected": {"metrics": {"pnl": 123}},
              "tolerances": {"metrics.sharpe": {"kind": "abs", "value": 0.5}},
              "property_checks": [{"kind": "no_nan"}],
              "fuzz": {"seed": 7, "runs": 3, "perturbation": {"kind": "jitter", "amount": 0.01}}}
    text = Session().command(json.dumps({"cmd": "bless", "data": {"d": flat([5]), "other": []},
                                         "test": dict({"id": "keep", "strategy": strat, "dataset_ref": "d"},
                                                      **fields)}))
    answer = json.loads(text)
    assert answer["id"] == "keep" and answer["strategy"] == strat and answer["dataset_ref"] == "d"
    assert answer["tolerances"] == fields["tolerances"]
    assert answer["property_checks"] == fields["property_checks"]
    assert answer["fuzz"]["seed"] == 7 and answer["fuzz"]["runs"] == 3
    a = Account(10000)
    a.mark(1000, 5)
    assert without_metrics(answer["expected"]) == a.document()
    # The output document is stored as a tree: its members sorted by key.
    expected_text = text[text.index('"expected":') + len('"expected":'):]
    assert expected_text.startswith('{"equity":[{"equity":10000.0,"time":1000}],"fees_paid":0.0,'
                                    '"initial_capital":10000.0,"metrics":{"calmar":0.0,')
    # Blessing the blessed test again gives the same bytes.
    again = Session().command(json.dumps({"cmd": "bless", "data": {"d": flat([5])}, "test": answer}))
    assert again == text
