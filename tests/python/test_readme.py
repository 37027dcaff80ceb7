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
