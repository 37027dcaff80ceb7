"""Runs the example suite (examples/suite.json: five strategies over two
generated hourly series) and prints one line per test, with what failed."""
import json
import pathlib

from vornak_strategy_ci import Session

suite_text = (pathlib.Path(__file__).parent / "suite.json").read_text()
report = json.loads(Session().command(suite_text))
if "error" in report:
    raise SystemExit(report["error"])


def describe(prop):
    return " ".join([prop["kind"]] + [f"{k}={v}" for k, v in prop.items() if k != "kind"])


for result in report["results"]:
    props = result["property_results"]
    held = sum(p["passed"] for p in props)
    print(f"{'PASS' if result['passed'] else 'FAIL'}  {result['id']:<16} "
          f"diff {len(result['diff'])}  properties {held}/{len(props)}  fuzz failures {len(result['fuzz_failures'])}")
    if "error" in result:
        print(f"      error: {result['error']}")
    for entry in result["diff"][:5]:
        print(f"      {entry['kind']} {entry['field']}: expected {entry.get('expected')} actual {entry.get('actual')}")
    for p in props:
        if not p["passed"]:
            print(f"      property {describe(p['property'])} failed" + (f": {p['detail']}" if "detail" in p else ""))
    for f in result["fuzz_failures"]:
        print(f"      fuzz run {f['run']}: {describe(f['property'])}" + (f": {f['detail']}" if "detail" in f else ""))
print(f"{report['passed']} passed, {report['failed']} failed")
