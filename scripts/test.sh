#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. With CI set, warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
preset=default
[ -n "${CI:-}" ] && preset=ci
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j "$(nproc)" "$@"
# The Windows build under Wine (Qt for Windows is built once into a cache, then reused);
# VARNET_WINDOWS=0 leaves it out.
if [ "${VARNET_WINDOWS:-1}" != 0 ]; then
  linux_build=build
  [ "$preset" = ci ] && linux_build=build-ci
  bash scripts/windows/test-wine.sh "$PWD/$linux_build"
fi
