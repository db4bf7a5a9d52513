#!/usr/bin/env bash
# Installs what is needed, builds Tavrin, makes the demo league if it is
# missing and starts Tavrin.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default

# The demo league: demo/Demo.lge with its player file demo/Demo.pyr.
if [ ! -f demo/Demo.lge ] || [ ! -f demo/Demo.pyr ]; then
  mkdir -p demo
  build/default/scripts/tavrin-make-league demo
fi
echo "Demo league: $(pwd)/demo/Demo.lge"

exec build/default/app/tavrin
