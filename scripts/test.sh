#!/usr/bin/env bash
# Runs every test: installs what is missing and builds once (scripts/install.sh);
# runs the C++ tests from that same build; runs them again, with a seeded
# mutation fuzz of the command path, under the address and undefined-behaviour
# sanitizers (a build of its own, build/asan); links the command path once
# more with link-time type merging (build/odr), which fails on two different
# classes of one name; then the Python tests against the installed package.
# Fails when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
PY=${PYTHON:-python3}

bash scripts/install.sh
./build/py/vsci_tests --gtest_brief=1

cmake -S . -B build/asan -G Ninja -DVSCI_BUILD_TESTS=ON -DVSCI_SANITIZE=ON >/dev/null
cmake --build build/asan --target vsci_tests vsci_command_fuzz
./build/asan/vsci_tests --gtest_brief=1
./build/asan/vsci_command_fuzz --seed=1 --count="${VSCI_FUZZ_COUNT:-20000}" examples/suite.json

cmake -S . -B build/odr -G Ninja -DVSCI_BUILD_TESTS=ON -DVSCI_ODR_CHECK=ON >/dev/null
cmake --build build/odr --target vsci_command_fuzz

# tests/python always holds tests, so pytest cannot end with "no tests" (5).
"$PY" -m pytest tests/python -q -p no:cacheprovider
