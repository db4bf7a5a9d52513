#!/usr/bin/env bash
# Installs what is missing, builds Tavrin, makes the demo league if it is
# missing and starts Tavrin, its file dialog opening in the demo folder until
# a league has been chosen. With everything installed and built, it goes
# straight to the window: no network, no root.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run
cmake --preset default >/dev/null
cmake --build --preset default

# The demo league: demo/Demo.lge with its player file demo/Demo.pyr.
if [ ! -f demo/Demo.lge ] || [ ! -f demo/Demo.pyr ]; then
  mkdir -p demo
  build/default/tools/tavrin-make-league demo
fi
echo "Demo league: $(pwd)/demo/Demo.lge"

# Where the file dialog opens the first time (later: beside the last league).
export TAVRIN_LEAGUE_FOLDER="$(pwd)/demo"
exec build/default/app/tavrin "$@"
