#!/usr/bin/env bash
# Installs what is needed, builds everything with warnings as errors and runs
# every test through CTest (windows offscreen, tests in parallel); then the
# same tests built by clang under AddressSanitizer and UndefinedBehaviorSanitizer,
# where any report fails the run; then the core, the command line and their
# tests cross-built for Windows and run under Wine, with a Hide and a Restore
# by tavrin.exe that must give the Linux build's bytes (scripts/windows.sh
# test); then each fuzz target for a minute on its seed corpus (fuzz/corpus/).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test
export QT_QPA_PLATFORM=offscreen

cmake --preset ci
cmake --build --preset ci
ctest --preset ci

cmake --preset asan
cmake --build --preset asan
ctest --preset asan

bash scripts/windows.sh test

cmake --preset fuzz
cmake --build --preset fuzz
bash fuzz/run.sh 60
