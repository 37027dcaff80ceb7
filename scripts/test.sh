#!/usr/bin/env bash
# Runs every test: installs what is missing and builds once (scripts/install.sh),
# then the C++ tests from that same build, then the Python tests against the
# installed package. Fails when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
PY=${PYTHON:-python3}

bash scripts/install.sh
./build/py/vsci_tests --gtest_brief=1
# tests/python always holds tests, so pytest cannot end with "no tests" (5).
"$PY" -m pytest tests/python -q -p no:cacheprovider
