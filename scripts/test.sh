#!/usr/bin/env bash
# Runs every test: installs what is missing and builds once (scripts/install.sh);
# runs the C++ tests from that same build; runs them again, with a seeded
# mutation fuzz of the command path, under the address and undefined-behaviour
# sanitizers (a build of its own, build/asan); links the command path once
# more with link-time type merging (build/odr), which fails on two different
# classes of one name; then the Python tests against the installed package.
# Fails when any test fails. The test files, and in the two checking builds the
# core too, are compiled in batches (CMakeLists.txt), so that the whole run fits
# a two-core machine.
set -euo pipefail
cd "$(dirname "$0")/.."
PY=${PYTHON:-python3}

bash scripts/install.sh
./build/py/vsci_tests --gtest_brief=1

cmake -S . -B build/asan -G Ninja -DVSCI_BUILD_TESTS=ON -DVSCI_SANITIZE=ON >/dev/null
cmake --build build/asan --target vsci_tests vsci_command_fuzz
# Instrumented, the tests take several times as long and run one at a time, so
# they run in shards, one per core up to four (a shard may hold 2 GB). Only the
# whole run above also checks that every kind is built by a test of its family.
shards=$(nproc)
[ "$shards" -le 4 ] || shards=4
logs=$(mktemp -d)
pids=()
for ((i = 0; i < shards; i++)); do
  GTEST_TOTAL_SHARDS=$shards GTEST_SHARD_INDEX=$i ./build/asan/vsci_tests --gtest_brief=1 >"$logs/$i" 2>&1 &
  pids+=($!)
done
failed=0
for ((i = 0; i < shards; i++)); do
  wait "${pids[$i]}" || failed=1
  cat "$logs/$i"
done
rm -rf "$logs"
[ "$failed" -eq 0 ]
./build/asan/vsci_command_fuzz --seed=1 --count="${VSCI_FUZZ_COUNT:-20000}" examples/suite.json

cmake -S . -B build/odr -G Ninja -DVSCI_BUILD_TESTS=ON -DVSCI_ODR_CHECK=ON >/dev/null
cmake --build build/odr --target vsci_command_fuzz

# tests/python always holds tests, so pytest cannot end with "no tests" (5).
"$PY" -m pytest tests/python -q -p no:cacheprovider
