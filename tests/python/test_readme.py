"""The README's quick start runs as written and reports what it describes."""
import contextlib
import io
import pathlib
import re

README = pathlib.Path(__file__).resolve().parents[2] / "README.md"


def test_quick_start_runs_and_reports_diff_properties_and_fuzz_failures():
    text = README.read_text()
    section = text[text.index("## Quick start"):]
    code = re.search(r"```python\n(.*?)```", section, re.S).group(1)
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        exec(compile(code, "README quick start", "exec"), {})
    lines = out.getvalue().splitlines()
    assert lines[0].startswith("passed: False differences: ")
    assert int(lines[0].split()[-1]) > 0
    assert lines[1].lstrip().startswith("mismatch equity[")
    assert any(line.strip().startswith("monotone_equity failed equity_curve[") for line in lines)
    assert any(line.strip().startswith("fuzz run 0 monotone_equity") for line in lines)


def test_other_python_threads_wait_for_the_whole_command():
    import json
    import threading
    import time

    from vornak_strategy_ci import Session

    candles = [[i * 60_000, 100.0, 101.0, 99.0, 100.0 + (i % 5), 1.0] for i in range(400_000)]
    strategy = {"symbol": "X", "timeframe": "1m", "indicators": {"s": {"type": "Sma", "params": [50]}},
                "entry": {"gt": [{"price": "close"}, "s"]}, "exit": {"lt": [{"price": "close"}, "s"]},
                "sizing": {"type": "fixed_qty", "qty": 1}}
    # Fuzz runs make the command long without making its text long.
    fuzz = {"seed": 1, "runs": 6, "perturbation": {"kind": "jitter", "amount": 0.001}}
    text = json.dumps({"cmd": "run_test", "test": {"id": "t", "strategy": strategy, "dataset_ref": "d", "fuzz": fuzz},
                       "data": {"d": candles}})
    stamps, stop = [], threading.Event()

    def ticker():
        while not stop.is_set():
            stamps.append(time.perf_counter())

    worker = threading.Thread(target=ticker)
    worker.start()
    try:
        time.sleep(0.05)
        start = time.perf_counter()
        Session().command(text)
        end = time.perf_counter()
        time.sleep(0.05)
    finally:
        stop.set()
        worker.join()
    # The ticker may hold the lock for one switch interval on either side of
    # the call, never inside it.
    margin = 0.02
    assert end - start > 5 * margin
    assert not [t for t in stamps if start + margin < t < end - margin]
    assert any(t < start for t in stamps) and any(t > end for t in stamps)
