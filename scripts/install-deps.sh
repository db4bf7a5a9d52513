#!/usr/bin/env bash
# Installs the Debian 12 packages Tavrin needs, and only those missing:
#
#   bash scripts/install-deps.sh run      # to build and run Tavrin (scripts/run.sh)
#   bash scripts/install-deps.sh package  # that, and what its Debian package needs
#   bash scripts/install-deps.sh test     # all that, and what scripts/test.sh needs
#   bash scripts/install-deps.sh windows  # what scripts/windows.sh needs for the
#                                         # desktop program and its installer
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
# The Windows stage of the tests (scripts/windows.sh test): MinGW-w64's
# compilers (the POSIX-threads variant), Wine to run what they make, GoogleTest's
# source, Tcl for SQLite's amalgamation; SQLite's source comes from Debian's
# source packages (a deb-src entry is added where there is none).
cross=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine64 googletest tcl dpkg-dev)
# The desktop program for Windows (scripts/windows.sh): Qt's host tools for
# its cross-build, NSIS for the installer, and a virtual display with the
# tools to look at the window under Wine.
windows=(qt6-base-dev-tools nsis xvfb xdotool imagemagick x11-utils)

case "${1:-}" in
  run) wanted=("${run[@]}") ;;
  package) wanted=("${run[@]}" "${package[@]}") ;;
  test) wanted=("${run[@]}" "${package[@]}" "${test[@]}" "${cross[@]}") ;;
  windows) wanted=("${run[@]}" "${cross[@]}" "${windows[@]}") ;;
  *) echo "usage: bash scripts/install-deps.sh run|package|test|windows" >&2; exit 2 ;;
esac
# Debian's source packages, for SQLite's and Qt's sources.
sources=()
case $1 in test|windows) apt-cache showsrc sqlite3 2>/dev/null | grep -q '^Version:' || sources=(deb-src) ;; esac

if ! command -v dpkg-query >/dev/null; then
  echo "install-deps.sh: this is not a Debian system; Tavrin needs the equivalents of: ${wanted[*]}" >&2
  exit 1
fi
missing=()
for name in "${wanted[@]}"; do
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$name" 2>/dev/null)" = installed ] || missing+=("$name")
done
[ ${#missing[@]} -eq 0 ] && [ ${#sources[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null; then
  as_root=(sudo)
else
  echo "install-deps.sh: these packages are missing: ${missing[*]} ${sources[*]:+(and a deb-src entry for the source packages)}. As root, run:" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if [ ${#sources[@]} -gt 0 ]; then
  # The binary entries of Debian's archive, as deb-src entries.
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    echo "install-deps.sh: adding /etc/apt/sources.list.d/debian-src.sources"
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      "${as_root[@]}" tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
  elif [ -f /etc/apt/sources.list ]; then
    echo "install-deps.sh: adding /etc/apt/sources.list.d/debian-src.list"
    sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list |
      "${as_root[@]}" tee /etc/apt/sources.list.d/debian-src.list >/dev/null
  fi
fi
echo "install-deps.sh: installing ${missing[*]:-nothing new}"
"${as_root[@]}" apt-get update
[ ${#missing[@]} -eq 0 ] || "${as_root[@]}" apt-get install -y "${missing[@]}"
