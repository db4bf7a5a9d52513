#!/usr/bin/env bash
# Installs what is needed, builds everything with warnings as errors and runs
# every test through CTest (windows offscreen, tests in parallel).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset ci
cmake --build --preset ci
export QT_QPA_PLATFORM=offscreen
ctest --preset ci
