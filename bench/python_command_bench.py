"""The command path as a Python user meets it: Session().command on the text a
Python program makes, each run in a fresh child process (the worker count is
read once per process) with RAYON_NUM_THREADS set, best of --repeat.

  bless      the SMA-crossover test of command_bench over N hourly candles, the
             whole command written by json.dumps with its default separators (a
             blank after every "," and ":") and with separators=(",", ":")
  run_test   the blessed test with its candles, the expected document as bless
             wrote it, and the same test re-serialized the way a user keeps
             one (json.loads of bless's answer, then json.dumps with default
             separators, and with indent=2); the rest of the command compact;
             and the blessed test after a change to its strategy (the slow
             average's period), whose answer lists about a million differences
  suite      64 tests of 100,000 candles over eight datasets, each with the
             expected document bless wrote, at one worker and --suite-threads
             (--no-suite leaves it out)

Each child reads its text from a file into a str, starts the peak resident
count afresh (Linux: /proc/self/clear_refs), and times the one call; the
peak growth is the peak resident size after the call (VmHWM) minus the
resident size before, over the text's size. (Not ru_maxrss: a child keeps
the peak its parent had when it was started, which clear_refs leaves.)
Time is the best of the runs, memory the smallest growth. Every text of one
command must get the same answer, and every test must pass.

    python bench/python_command_bench.py     # --bars=N --threads=N --repeat=N --dir=/tmp --no-suite
                                             # --python=another/venv/bin/python
"""

import argparse
import json
import os
import subprocess
import sys

from caller_side_bench import columns, test_without_expected

# Runs in the child: argv is the text's path; prints the seconds, the peak
# growth in bytes, the text's size, whether every test passed, and the
# answer's digest.
CHILD = r"""
import hashlib, json, sys, time
from vornak_strategy_ci import Session

def status_kb(field):
    with open("/proc/self/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith(field))

with open(sys.argv[1], "rb") as f:
    raw = f.read()
text = raw.decode("ascii")
del raw
session = Session()
with open("/proc/self/clear_refs", "w") as f:
    f.write("5")
before = status_kb("VmRSS:")
start = time.perf_counter()
answer = session.command(text)
seconds = time.perf_counter() - start
grown = (status_kb("VmHWM:") - before) * 1024
doc = json.loads(answer)
if "results" in doc:
    passed = all(r["passed"] for r in doc["results"])
elif sys.argv[2] == "changed":
    passed = doc.get("passed") is False and len(doc["diff"]) > 0
else:
    passed = "expected" in doc or doc.get("passed") is True
print(json.dumps([seconds, grown, len(text), passed, hashlib.sha256(answer.encode()).hexdigest()]))
"""


def compact(value):
    return json.dumps(value, separators=(",", ":"))


def write(directory, name, text):
    path = os.path.join(directory, f"vsci_pybench_{name}.json")
    with open(path, "w", encoding="ascii") as f:
        f.write(text)
    return path


def make_texts(args):
    """(group, label, path, threads) for every measurement, texts on disk."""
    from vornak_strategy_ci import Session

    session = Session()
    runs = []
    cols = columns(args.bars)
    rows = [list(r) for r in zip(*cols)]
    del cols
    bless = {"cmd": "bless", "test": test_without_expected(), "data": {"btc-1h": rows}}
    runs.append(("bless", "bless, json.dumps compact", write(args.dir, "bless_compact", compact(bless)), args.threads))
    runs.append(("bless", "bless, json.dumps default", write(args.dir, "bless_default", json.dumps(bless)),
                 args.threads))
    blessed = session.command(compact(bless))
    assert '"expected"' in blessed, blessed[:300]
    data = compact({"btc-1h": rows})
    del bless, rows
    for name, label, test in [("as_blessed", "as bless wrote it", blessed),
                              ("default", "json.loads + json.dumps", json.dumps(json.loads(blessed))),
                              ("indent", "json.loads + json.dumps indent=2", json.dumps(json.loads(blessed), indent=2))]:
        runs.append(("run_test", f"run_test, expected {label}",
                     write(args.dir, "run_test_" + name, '{"cmd":"run_test","test":' + test + ',"data":' + data + "}"),
                     args.threads))
    changed = json.loads(blessed)
    changed["strategy"]["indicators"]["slow"]["params"] = [40]
    runs.append(("changed", "run_test, strategy changed after bless",
                 write(args.dir, "run_test_changed", '{"cmd":"run_test","test":' + compact(changed) + ',"data":' + data +
                       "}"), args.threads))
    del data, changed
    if args.suite:
        sets = []
        for d in range(8):
            cols = columns(100_000, seed=100 + d)
            sets.append(compact([list(r) for r in zip(*cols)]))
        tests = []
        for i in range(64):
            d, fast = i % 8, 5 + (i // 8) * 3
            test = test_without_expected()
            test.update(id=f"t{i:02d}", dataset_ref=f"set-{d}")
            test["strategy"]["indicators"] = {"fast": {"type": "Sma", "params": [fast]},
                                              "slow": {"type": "Sma", "params": [fast * 3]}}
            tests.append(session.command('{"cmd":"bless","test":' + compact(test) + ',"data":{"set-' + str(d) +
                                         '":' + sets[d] + "}}"))
        suite = ('{"cmd":"run_suite","tests":[' + ",".join(tests) + '],"data":{' +
                 ",".join(f'"set-{d}":{text}' for d, text in enumerate(sets)) + "}}")
        path = write(args.dir, "suite", suite)
        runs.append(("suite", "suite 64 x 100,000, 1 worker", path, 1))
        runs.append(("suite", f"suite 64 x 100,000, {args.suite_threads} workers", path, args.suite_threads))
    return runs


def measure(python, path, threads):
    env = dict(os.environ, RAYON_NUM_THREADS=str(threads))
    out = subprocess.run([python, "-c", CHILD, path, "changed" if "changed" in path else "same"], env=env, capture_output=True, text=True, check=True,
                         timeout=600)
    return json.loads(out.stdout)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bars", type=int, default=1_000_000)
    parser.add_argument("--threads", type=int, default=4)
    parser.add_argument("--suite-threads", type=int, default=8)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--dir", default="/tmp")
    parser.add_argument("--no-suite", dest="suite", action="store_false")
    # Another build's interpreter (its own venv) runs the commands: the texts
    # are the same whichever module answers them.
    parser.add_argument("--python", default=sys.executable)
    args = parser.parse_args()

    runs = make_texts(args)
    best = {}
    # Round by round, so that a noisy spell costs each text one run at most.
    for _ in range(args.repeat):
        for group, label, path, threads in runs:
            seconds, grown, size, passed, digest = measure(args.python, path, threads)
            old = best.get(label)
            best[label] = (min(seconds, old[0]) if old else seconds, min(grown, old[1]) if old else grown, size,
                           passed and (old is None or old[3]), digest, group)
    for path in {path for _, _, path, _ in runs}:
        os.remove(path)

    print(f"{args.bars:,} candles through Python, {args.threads} workers (the suite as named), best of {args.repeat}")
    print("| command, text | time | against the first of its group | peak growth over the text |")
    print("|---|---|---|---|")
    first, digests, failed = {}, {}, []
    for label, (seconds, grown, size, passed, digest, group) in best.items():
        base = first.setdefault(group, seconds)
        digests.setdefault(group, set()).add(digest)
        if not passed:
            failed.append(label)
        print(f"| {label} ({size / 1e6:.0f} MB) | {seconds:.3f} s | {seconds / base:.2f}x | {grown / size:.2f}x |")
    if args.suite:
        one, many = (best[label][0] for _, label, _, _ in runs[-2:])
        print(f"suite: {args.suite_threads} workers {one / many:.2f}x faster than 1")
    assert not failed, f"failed: {failed}"
    assert all(len(d) == 1 for d in digests.values()), "the texts of one command got different answers"


if __name__ == "__main__":
    main()
