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
