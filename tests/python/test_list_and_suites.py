""""list" and "run_suite" end to end through the module: ids sorted bytewise,
and a suite's answer that does not depend on the pool size. Envelope and
dataset errors are checked in the C++ harness tests."""
import json
import os
import subprocess
import sys

from vornak_strategy_ci import Session


def run(cmd):
    text = cmd if isinstance(cmd, str) else json.dumps(cmd, separators=(",", ":"))
    return Session().command(text)


def make_test(id_, dataset="d", strategy=None):
    return {"id": id_, "strategy": strategy if strategy is not None else {}, "dataset_ref": dataset}


class TestList:
    def test_ids_sorted_bytewise_with_duplicates(self):
        tests = [make_test(i) for i in ["b", "a", "b", "B"]]
        assert run({"cmd": "list", "tests": tests}) == '{"ids":["B","a","b","b"]}'
        tests = [make_test(i) for i in ["b", "ab", "a"]]
        assert run({"cmd": "list", "tests": tests}) == '{"ids":["a","ab","b"]}'
        assert run({"cmd": "list", "tests": []}) == '{"ids":[]}'


class TestSuites:
    def test_answer_is_independent_of_the_pool_size(self):
        tests = [make_test("t%03d" % ((i * 37) % 60), "d%d" % (i % 3)) for i in range(60)]
        cmd = json.dumps({"cmd": "run_suite", "tests": tests, "data": {"d1": [[1, 10, 11, 9, 10]]}})
        script = "import sys; from vornak_strategy_ci import Session; sys.stdout.write(Session().command(sys.stdin.read()))"
        answers = set()
        for threads in ["1", "4", None, "abc"]:
            env = dict(os.environ)
            env.pop("RAYON_NUM_THREADS", None)
            if threads is not None:
                env["RAYON_NUM_THREADS"] = threads
            out = subprocess.run([sys.executable, "-c", script], input=cmd, capture_output=True, text=True,
                                 env=env, check=True).stdout
            answers.add(out)
        assert len(answers) == 1
        parsed = json.loads(answers.pop())
        assert len(parsed["results"]) == 60
        assert parsed["passed"] + parsed["failed"] == 60

    def test_a_long_command_read_in_pieces_answers_alike_at_any_pool_size(self):
        # Over 3 MB of compact candles: a pool of more than one thread reads
        # the list in pieces, and one thread reads it whole.
        data = {"d": [[i * 60000, 100.0 + i % 7, 101.0 + i % 7, 99.0 + i % 7, 100.5 + i % 7, 10.0 + i % 3]
                      for i in range(80000)]}
        strategy = {"symbol": "T", "timeframe": "1m", "indicators": {"f": {"type": "Sma", "params": [5]},
                                                                      "s": {"type": "Sma", "params": [20]}},
                    "entry": {"cross_above": ["f", "s"]}, "exit": {"cross_below": ["f", "s"]},
                    "sizing": {"type": "fixed_qty", "qty": 1}}
        test = {"id": "t", "strategy": strategy, "dataset_ref": "d", "property_checks": [{"kind": "no_nan"}],
                "fuzz": {"runs": 2, "seed": 3, "perturbation": {"kind": "jitter", "amount": 0.001}}}
        script = "\n".join([
            "import json, sys",
            "from vornak_strategy_ci import Session",
            "s, cmd = Session(), json.loads(sys.stdin.read())",
            "blessed = s.command(json.dumps(cmd, separators=(',', ':')))",
            "cmd.update(cmd='run_test', test=json.loads(blessed))",
            "print(blessed)",
            "print(s.command(json.dumps(cmd, separators=(',', ':'))))",
        ])
        cmd = json.dumps({"cmd": "bless", "test": test, "data": data}, separators=(",", ":"))
        assert len(cmd) > 3_000_000
        answers = set()
        for threads in ["1", "8"]:
            env = dict(os.environ, RAYON_NUM_THREADS=threads)
            answers.add(subprocess.run([sys.executable, "-c", script], input=cmd, capture_output=True, text=True,
                                       env=env, check=True).stdout)
        assert len(answers) == 1
        blessed, report = answers.pop().splitlines()
        assert len(json.loads(blessed)["expected"]["equity"]) == 80000
        assert json.loads(report)["passed"] is True
