#!/usr/bin/env bash
# Installs what Tavrin needs to build, run and test on Debian 12 (clang with
# its sanitizer and libFuzzer runtimes, and llvm's symbolizer for readable
# reports, for the checks of scripts/test.sh).
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y \
  cmake ninja-build g++ \
  qt6-base-dev \
  libsqlite3-dev \
  libgtest-dev \
  fonts-dejavu-core \
  desktop-file-utils appstream dpkg-dev groff-base \
  clang libclang-rt-14-dev llvm
