""""list" and "run_suite" through Python: envelope and dataset errors in their
read order, id sorting, and suite answers that do not depend on the pool size."""
import json
import os
import subprocess
import sys

import pytest

from vornak_strategy_ci import Session


def run(cmd):
    text = cmd if isinstance(cmd, str) else json.dumps(cmd, separators=(",", ":"))
    return Session().command(text)


def error(text):
    return json.dumps({"error": text, "ok": False}, separators=(",", ":"))


def make_test(id_, dataset="d", strategy=None):
    return {"id": id_, "strategy": strategy if strategy is not None else {}, "dataset_ref": dataset}


class TestList:
    def test_ids_sorted_bytewise_with_duplicates(self):
        tests = [make_test(i) for i in ["b", "a", "b", "B"]]
        assert run({"cmd": "list", "tests": tests}) == '{"ids":["B","a","b","b"]}'
        tests = [make_test(i) for i in ["b", "ab", "a"]]
        assert run({"cmd": "list", "tests": tests}) == '{"ids":["a","ab","b"]}'
        assert run({"cmd": "list", "tests": []}) == '{"ids":[]}'

    def test_every_test_is_read_and_data_is_not(self):
        bad = {"cmd": "list", "tests": [make_test("a"), {"id": "b", "strategy": {}}]}
        assert run(bad) == error("json error: missing field `dataset_ref`")
        assert run({"cmd": "list", "data": "not a map", "tests": [make_test("z")]}) == '{"ids":["z"]}'
        assert run({"cmd": "list"}) == error("json error: missing field `tests`")


class TestEnvelopes:
    def test_data_is_read_before_test(self):
        assert run({"cmd": "run_suite", "data": 5, "tests": 7}) == error(
            "json error: invalid type: integer `5`, expected a map")
        assert run({"cmd": "run_suite", "data": {}}) == error("json error: missing field `tests`")

    @pytest.mark.parametrize("candle,message", [
        ([1, 10, 11, 9], "invalid length 4, expected struct Candle with 6 elements"),
        ([1, 10, 11, 9, 10, 5, 7], "invalid length 7, expected fewer elements in array"),
        ({"time": 1.5, "open": 1, "high": 1, "low": 1, "close": 1}, "invalid type: floating point `1.5`, expected i64"),
        ({"open": 1}, "missing field `time`"),
    ])
    def test_bad_candles(self, candle, message):
        cmd = {"cmd": "run_suite", "tests": [], "data": {"d": [[1, 10, 11, 9, 10], candle]}}
        assert run(cmd) == error("json error: " + message)

    def test_good_candle_forms_and_unnamed_datasets_are_read(self):
        data = {"d": [[1, 10, 11, 9, 10], [2, 10, 11, 9, 10, 5], {"time": -5, "open": 1, "high": 2, "low": 0, "close": 1}]}
        assert run({"cmd": "run_suite", "tests": [], "data": data}) == '{"results":[],"passed":0,"failed":0}'
        data["other"] = [[1, 2]]
        assert run({"cmd": "run_suite", "tests": [], "data": data}).startswith('{"error":"json error: invalid length 2')


class TestSuites:
    def test_missing_datasets_fold_into_results(self):
        answer = json.loads(run({"cmd": "run_suite", "tests": [make_test("b", "x"), make_test("a", "y")]}))
        assert [r["id"] for r in answer["results"]] == ["a", "b"]
        assert answer["results"][0] == {"id": "a", "passed": False, "error": "data error: missing dataset: y",
                                         "diff": [], "property_results": [], "fuzz_failures": []}
        assert (answer["passed"], answer["failed"]) == (0, 2)

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
