#!/usr/bin/env bash
# Runs each fuzz target for a bounded time on its seed corpus (fuzz/corpus/),
# after `cmake --preset fuzz && cmake --build --preset fuzz`. New inputs go
# to a scratch folder in the build tree, never into the repository. A crash,
# a sanitizer report, a timeout or a leak fails the run and leaves the input
# that caused it in build/fuzz/findings/.
#
#   bash fuzz/run.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
for target in record_roundtrip import_save; do
  scratch="build/fuzz/corpus/$target"
  findings="build/fuzz/findings/$target"
  mkdir -p "$scratch" "$findings"
  echo "== fuzz_$target for ${seconds} s"
  "build/fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$scratch" "fuzz/corpus/$target"
done
