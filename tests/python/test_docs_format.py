"""Every runnable example of docs/format.md runs as written, in page order."""
import pathlib
import re

DOCS = pathlib.Path(__file__).resolve().parents[2] / "docs"


def runnable_examples(text):
    """(line number, code) of each block fenced as ```python runnable."""
    return [(text[:m.start()].count("\n") + 2, m.group(1))
            for m in re.finditer(r"^```python runnable\n(.*?)^```$", text, re.S | re.M)]


def test_format_examples_run_in_page_order():
    examples = runnable_examples((DOCS / "format.md").read_text())
    assert len(examples) >= 10
    namespace = {}
    for line, code in examples:
        exec(compile(code, f"docs/format.md example at line {line}", "exec"), namespace)


def test_pages_link_only_to_pages_that_exist():
    for page in DOCS.glob("*.md"):
        for target in re.findall(r"\]\(([\w.-]+\.md)\)", page.read_text()):
            assert (DOCS / target).is_file(), f"{page.name} links to {target}"


def test_every_kind_of_the_reference_builds_as_listed():
    """Each row's kind, declared with its feed and example parameters, runs."""
    import json

    from vornak_strategy_ci import Session

    rows = re.findall(r"^\| `(\w+)` \| [^|]+ \| `(\w+)` \| [^|]+ \| [^|]+ \| [^|]* \| (\[[^\]]*\]) \|$",
                      (DOCS / "kinds.md").read_text(), re.M)
    aliases = re.findall(r"^\| `(\w+)` \| `(\w+)` \|$", (DOCS / "kinds.md").read_text(), re.M)
    assert len(rows) == 495 and len(aliases) == 2
    example = {name: params for name, _, params in rows}
    declarations = [(name, feed, example[name]) for name, feed, _ in rows]
    declarations += [(alias, None, example[target]) for alias, target in aliases]

    candles = [[i * 3_600_000, 100.0 + i % 9, 103.0 + i % 9, 98.0 + i % 9, 101.0 + i % 7, 10.0 + i % 5]
               for i in range(120)]
    tests = []
    for name, feed, params in declarations:
        indicator = {"type": name, "params": json.loads(params)}
        if feed:
            indicator["feed"] = feed
        tests.append({"id": name, "dataset_ref": "d", "strategy": {
            "symbol": "X", "timeframe": "1h", "indicators": {"k": indicator},
            "entry": {"gt": ["k", 0]}, "exit": {"lt": ["k", 0]}, "sizing": {"type": "fixed_qty", "qty": 1}}})
    answer = json.loads(Session().command(json.dumps({"cmd": "run_suite", "tests": tests, "data": {"d": candles}})))
    assert [r for r in answer["results"] if "error" in r] == []
    assert answer["passed"] == len(declarations)
