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
