"""Ctrl-C sent from another process to a Python caller in the middle of a long
command: wherever it lands, the caller gets either the command's answer or
KeyboardInterrupt (never a SystemError, never an answer lost to a stray
exception), and the session answers correctly afterwards; any other exception
a signal handler raises comes out as itself; and a stop asked for during the
read of a long command text is raised within the poll's promise.

Each child is watched by a timer that kills it, so a hang fails the test
instead of hanging the run."""
import json
import os
import signal
import subprocess
import sys
import textwrap
import threading
import time

import pytest

# The latency the README promises for a stop is about 0.05 s of polling; a read
# that never looks for one stops only when the text is read, which for the
# command below is well past this bound on any machine the tests run on.
STOP_BOUND_S = 0.2

PRELUDE = textwrap.dedent("""
    import json, random, signal, sys, time
    from vornak_strategy_ci import Session

    # A job started in the background inherits SIGINT ignored, and Python then
    # leaves it ignored: the child takes Ctrl-C as a terminal would give it.
    signal.signal(signal.SIGINT, signal.default_int_handler)

    def candle_list(n, sep):
        # A thousand candles of a random walk, their times counted on: the text
        # is made in a fraction of the time json.dumps of the rows would take.
        random.seed(7)
        price, rest = 30000.0, []
        for i in range(1000):
            close = price * (1 + random.gauss(0, 0.004))
            rest.append(sep.join(map(repr, [price, max(price, close) * 1.001, min(price, close) * 0.999, close,
                                            100.0 + i % 50])) + "]")
            price = close
        return "[" + sep.join([f"[{1_600_000_000_000 + i * 3_600_000}{sep}{rest[i % 1000]}" for i in range(n)]) + "]"

    STRATEGY = {"symbol": "BTCUSD", "timeframe": "1h",
                "indicators": {"fast": {"type": "Sma", "params": [10]}, "slow": {"type": "Sma", "params": [30]}},
                "entry": {"cross_above": ["fast", "slow"]}, "exit": {"cross_below": ["fast", "slow"]},
                "sizing": {"type": "fixed_fraction", "fraction": 0.5}, "costs": {"taker_bps": 5}}
    TEST = {"id": "t", "dataset_ref": "d", "strategy": STRATEGY,
            "property_checks": [{"kind": "no_nan"}, {"kind": "min_trades_ge", "value": 1},
                                {"kind": "field_in_range", "field": "win_rate", "min": 0, "max": 100}]}

    def compact(value):
        return json.dumps(value, separators=(",", ":"))

    def run_test_text(candles_text):
        # A run_test whose expected document is bless's answer as it came.
        data = '{"d":' + candles_text + "}"
        blessed = s.command('{"cmd":"bless","test":' + compact(TEST) + ',"data":' + data + "}")
        assert '"expected"' in blessed, blessed[:300]
        return '{"cmd":"run_test","test":' + blessed + ',"data":' + data + "}"

    def timed(text):
        start = time.monotonic()
        answer = s.command(text)
        return time.monotonic() - start, answer

    s = Session()
    SMALL = run_test_text(candle_list(300, ","))
    SMALL_ANSWER = s.command(SMALL)
    assert json.loads(SMALL_ANSWER)["passed"], SMALL_ANSWER
""")


class Child:
    """A Python child that prints one line per step and reads none; killed by
    a timer after `timeout` seconds whatever it is doing."""

    def __init__(self, body, timeout, env=None):
        self.proc = subprocess.Popen([sys.executable, "-c", PRELUDE + textwrap.dedent(body)],
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                     env=dict(os.environ, **(env or {})))
        self.watchdog = threading.Timer(timeout, self.proc.kill)
        self.watchdog.start()

    def line(self):
        got = self.proc.stdout.readline()
        if not got:
            self.proc.wait()
            raise AssertionError(f"the child ended ({self.proc.returncode}): {self.proc.stderr.read()}")
        return json.loads(got)

    def interrupt(self):
        sent = time.monotonic()
        self.proc.send_signal(signal.SIGINT)
        return sent

    def trial(self, delay):
        """Lets the child start its next trial and sends SIGINT `delay`
        seconds into it: when it was sent, and the trial's outcome."""
        assert self.line() == "go"
        time.sleep(delay)
        sent = self.interrupt()
        return sent, self.line()

    def close(self):
        self.watchdog.cancel()
        self.proc.kill()
        self.proc.communicate()


# One trial: the child says "go" and starts the command; the parent sends
# SIGINT after its delay. The signal lands in the command or after it, and
# the child waits for it in the same `try`, so that it is raised in the one
# place whatever its timing. Any other exception is an outcome of its own.
TRIAL = """
    def trial(text, answer):
        state, same, raised_at = "running", None, None
        print(json.dumps("go"), flush=True)
        try:
            got = s.command(text)
            same = got == answer
            state = "answered"
            # The signal is on its way. It may be taken by a worker thread,
            # which does not wake a sleep of this one: short sleeps see it soon.
            for _ in range(600):
                time.sleep(0.1)
            state = "no signal"
        except KeyboardInterrupt:
            raised_at = time.monotonic()
        except BaseException as e:
            state = f"{type(e).__name__}: {e}"
        usable = s.command(SMALL) == SMALL_ANSWER
        print(json.dumps({"state": state, "same": same, "raised_at": raised_at, "usable": usable}), flush=True)
"""

# A 1,000,000-candle run_test: after the engine's last bar it still compares,
# checks properties and writes its answer, with no stop check of its own.
END_OF_COMMAND = TRIAL + """
    LONG = run_test_text(candle_list(1_000_000, ","))
    runs = [timed(LONG) for _ in range(2)]
    ANSWER = runs[0][1]
    assert all(answer == ANSWER for _, answer in runs) and json.loads(ANSWER)["passed"], ANSWER[:300]
    print(json.dumps(min(seconds for seconds, _ in runs)), flush=True)
    while True:
        trial(LONG, ANSWER)
"""


def test_ctrl_c_across_the_end_of_a_long_command_raises_or_answers():
    child = Child(END_OF_COMMAND, timeout=150)
    try:
        duration = child.line()
        # From the engine's last bars to well past the answer.
        delays = [duration * (0.55 + 0.04 * k) for k in range(18)]
        outcomes = []
        for delay in delays:
            _, outcome = child.trial(delay)
            outcomes.append((round(delay, 3), outcome["state"][:40]))
            assert outcome["usable"], outcomes
            if outcome["state"] == "answered":
                assert outcome["same"], outcomes
        assert all(state in ("running", "answered") for _, state in outcomes), (duration, outcomes)
    finally:
        child.close()


class Stop(Exception):
    pass


def test_any_exception_a_signal_handler_raises_near_the_end_is_raised_as_itself():
    # In this process: SIGALRM's handler raises Stop at delays across the end
    # of a 300,000-candle run_test.
    ns = {}
    exec(PRELUDE, ns)
    s, text = ns["s"], ns["run_test_text"](ns["candle_list"](300_000, ","))
    answer = s.command(text)
    duration = min(ns["timed"](text)[0] for _ in range(2))

    def stop(signum, frame):
        raise Stop()

    previous = signal.signal(signal.SIGALRM, stop)
    outcomes = []
    try:
        for k in range(16):
            state = "running"
            signal.setitimer(signal.ITIMER_REAL, duration * (0.5 + 0.05 * k))
            try:
                same = s.command(text) == answer
                state = "answered" if same else "wrong answer"
                time.sleep(30)  # the signal is on its way
                state = "no signal"
            except Stop:
                pass
            except BaseException as e:  # noqa: BLE001 - any other outcome is the fault looked for
                state = f"{type(e).__name__}: {e}"[:40]
            outcomes.append(state)
            assert s.command(ns["SMALL"]) == ns["SMALL_ANSWER"]
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)
    assert all(state in ("running", "answered") for state in outcomes), (duration, outcomes)


# A 203 MB bless command as json.dumps writes it (a blank after every "," and
# ":"), whose dataset_ref names no dataset: the command is its read and then
# an error answer. At one thread the candle list is read serially, at more in
# pieces on the worker pool.
LONG_READ = TRIAL + """
    TEXT = ('{"cmd": "bless", "test": ' + json.dumps(dict(TEST, dataset_ref="none")) +
            ', "data": {"d": ' + candle_list(2_000_000, ", ") + "}}")
    assert len(TEXT) > 200_000_000
    runs = [timed(TEXT) for _ in range(2)]
    ANSWER = runs[0][1]
    assert ANSWER == '{"error":"data error: missing dataset: none","ok":false}', ANSWER
    print(json.dumps(min(seconds for seconds, _ in runs)), flush=True)
    while True:
        trial(TEXT, ANSWER)
"""


def test_ctrl_c_during_the_serial_read_of_a_long_command_is_raised_promptly():
    child = Child(LONG_READ, timeout=120, env={"RAYON_NUM_THREADS": "1"})
    try:
        duration = child.line()
        for fraction in (0.1, 0.3):
            sent, outcome = child.trial(duration * fraction)
            assert outcome["state"] == "running" and outcome["usable"], (duration, fraction, outcome)
            latency = outcome["raised_at"] - sent
            assert latency < STOP_BOUND_S, (duration, fraction, latency)
    finally:
        child.close()


@pytest.mark.parametrize("workers", ["2", "4"])
def test_ctrl_c_during_the_parallel_read_of_a_long_command_raises_and_the_session_stays_usable(workers):
    # The read stops inside a wave of pieces on the pool, which must leave
    # nothing behind; how soon it stops is the C++ tests' to show.
    child = Child(LONG_READ, timeout=120, env={"RAYON_NUM_THREADS": workers})
    try:
        duration = child.line()
        for fraction in (0.1, 0.3, 0.6):
            _, outcome = child.trial(duration * fraction)
            assert outcome["state"] == "running" and outcome["usable"], (workers, duration, fraction, outcome)
    finally:
        child.close()

