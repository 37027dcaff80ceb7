#!/usr/bin/env bash
# Installs whatever is missing (Debian packages, then Python packages and
# CMake/Ninja from PyPI), then
# builds and installs the Python package. Each check is cheap, so a machine
# that has everything pays only for an incremental build.
#
# The build directory build/py is kept between runs and, besides the
# extension, holds the C++ test binary build/py/vsci_tests: the core library
# is compiled once for both.
set -euo pipefail
cd "$(dirname "$0")/.."
PY=${PYTHON:-python3}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
command -v g++ >/dev/null 2>&1 || missing+=(g++)
for pkg in libtbb-dev libgtest-dev libbenchmark-dev; do
  dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
done
if ! command -v "$PY" >/dev/null 2>&1; then
  missing+=(python3 python3-dev python3-pip)
else
  "$PY" - <<'PYEOF' || missing+=(python3-dev)
import os, sys, sysconfig
sys.exit(0 if os.path.exists(os.path.join(sysconfig.get_paths()["include"], "Python.h")) else 1)
PYEOF
  "$PY" -m pip --version >/dev/null 2>&1 || missing+=(python3-pip)
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing system packages: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

# Debian's own interpreter refuses pip installs without this; root is expected.
export PIP_BREAK_SYSTEM_PACKAGES=1 PIP_ROOT_USER_ACTION=ignore PIP_DISABLE_PIP_VERSION_CHECK=1
wanted=()
"$PY" -c 'import scikit_build_core, pytest' >/dev/null 2>&1 || wanted+=('scikit-build-core>=0.10' pytest)
# The abi3 build needs CMake 3.26 or later (Debian 12 ships 3.25): take it
# from PyPI when the one on PATH is missing or older.
cmake_ok() {
  command -v cmake >/dev/null 2>&1 || return 1
  local v
  v=$(cmake --version | head -n1 | sed 's/[^0-9.]*\([0-9][0-9.]*\).*/\1/')
  [ "$(printf '%s\n' 3.26 "$v" | sort -V | head -n1)" = 3.26 ]
}
cmake_ok || wanted+=('cmake>=3.26')
command -v ninja >/dev/null 2>&1 || wanted+=(ninja)
if [ ${#wanted[@]} -gt 0 ]; then
  echo "installing Python packages: ${wanted[*]}"
  "$PY" -m pip install "${wanted[@]}"
  hash -r
fi

"$PY" -m pip install --no-build-isolation . \
  -Cbuild-dir=build/py -Ccmake.define.VSCI_BUILD_TESTS=ON
