"""The README's example of a suite split over CI runners runs as written, and
the runners' shares together give the whole suite's answer."""
import contextlib
import io
import json
import pathlib
import re

ROOT = pathlib.Path(__file__).resolve().parents[2]


def runner_example():
    text = (ROOT / "README.md").read_text()
    section = text[text.index("## Suites and CI runners"):]
    return re.search(r"```python\n(.*?)```", section, re.S).group(1)


def test_runners_share_the_suite_and_their_results_make_the_whole_answer(monkeypatch):
    from vornak_strategy_ci import Session

    monkeypatch.chdir(ROOT)
    code = compile(runner_example(), "README runners example", "exec")
    suite_text = (ROOT / "examples" / "suite.json").read_text()
    whole = json.loads(Session().command(suite_text))
    all_ids = sorted(t["id"] for t in json.loads(suite_text)["tests"])
    assert len(set(all_ids)) == len(all_ids) == len(whole["results"])

    for runners in (1, 2, 3, 7):
        monkeypatch.setenv("RUNNERS", str(runners))
        shares, results, passed, failed = [], [], 0, 0
        for k in range(runners):
            monkeypatch.setenv("RUNNER", str(k))
            namespace, out = {}, io.StringIO()
            with contextlib.redirect_stdout(out):
                exec(code, namespace)
            report = namespace["report"]
            assert out.getvalue() == (f"runner {k} of {runners}: {len(namespace['mine'])} tests, "
                                      f"{report['passed']} passed, {report['failed']} failed\n")
            shares.append(namespace["mine"])
            results += report["results"]
            passed += report["passed"]
            failed += report["failed"]
        # Each test on exactly one runner, the shares as even as they can be.
        assert sorted(i for share in shares for i in share) == all_ids
        assert max(map(len, shares)) - min(map(len, shares)) <= 1
        assert sorted(results, key=lambda r: r["id"]) == whole["results"]
        assert (passed, failed) == (whole["passed"], whole["failed"])
