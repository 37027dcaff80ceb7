#!/usr/bin/env bash
# Installs whatever is missing (Debian packages, then Python packages), then
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
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v ninja >/dev/null 2>&1 || missing+=(ninja-build)
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
if ! "$PY" -c 'import scikit_build_core, pytest' >/dev/null 2>&1; then
  echo "installing Python packages: scikit-build-core pytest"
  "$PY" -m pip install 'scikit-build-core>=0.9' pytest
fi

"$PY" -m pip install --no-build-isolation . \
  -Cbuild-dir=build/py -Ccmake.define.VSCI_BUILD_TESTS=ON
