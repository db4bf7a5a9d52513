#!/usr/bin/env bash
# Installs the Debian 12 packages Tavrin needs, and only those missing:
#
#   bash scripts/install-deps.sh run      # to build and run Tavrin (scripts/run.sh)
#   bash scripts/install-deps.sh package  # that, and what its Debian package needs
#   bash scripts/install-deps.sh test     # all that, and what scripts/test.sh needs
#
# When everything is installed it asks nothing of the network and needs no
# root. Otherwise it runs apt-get update and apt-get install: as root, or
# through sudo where there is one; without either it prints the line to run
# as root and fails.
set -euo pipefail

# The compiler, CMake and the libraries (Qt for the window; SQLite, xxHash,
# and the header-only JSON library for the core); a font for
# the window's text.
run=(cmake ninja-build g++ qt6-base-dev libsqlite3-dev libxxhash-dev nlohmann-json3-dev fonts-dejavu-core)
# dpkg-buildflags and dpkg-shlibdeps; the manual page from --help.
package=(dpkg-dev help2man)
# GoogleTest; the validators of the package's files and lintian; clang with
# its sanitizer and libFuzzer runtimes, and llvm's symbolizer for readable
# reports.
test=(libgtest-dev desktop-file-utils appstream groff-base lintian clang libclang-rt-14-dev llvm)

case "${1:-}" in
  run) wanted=("${run[@]}") ;;
  package) wanted=("${run[@]}" "${package[@]}") ;;
  test) wanted=("${run[@]}" "${package[@]}" "${test[@]}") ;;
  *) echo "usage: bash scripts/install-deps.sh run|package|test" >&2; exit 2 ;;
esac

if ! command -v dpkg-query >/dev/null; then
  echo "install-deps.sh: this is not a Debian system; Tavrin needs the equivalents of: ${wanted[*]}" >&2
  exit 1
fi
missing=()
for name in "${wanted[@]}"; do
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$name" 2>/dev/null)" = installed ] || missing+=("$name")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null; then
  as_root=(sudo)
else
  echo "install-deps.sh: these packages are missing: ${missing[*]}. As root, run:" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "install-deps.sh: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update
"${as_root[@]}" apt-get install -y "${missing[@]}"
