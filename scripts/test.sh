#!/usr/bin/env bash
# Builds once (core library, C++ tests) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/dev -G Ninja -DVSCI_BUILD_TESTS=ON >/dev/null
cmake --build build/dev
./build/dev/vsci_tests --gtest_brief=1
