#!/usr/bin/env bash
# Writes the fuzz targets' seed corpus, fuzz/corpus/, with our own league
# generator: small player files of both record lengths under several headers'
# start values and steps, one with bytes after its last record, one with no
# player. The round trip's inputs begin with a byte that picks the length.
#
#   bash fuzz/make_corpus.sh build/ci/tools/tavrin-make-league
set -euo pipefail
make=$(realpath "$1")
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
rm -rf corpus
mkdir -p corpus/import_save corpus/record_roundtrip

seed() {  # name, then tavrin-make-league's options
  local name=$1 length='\000'
  shift
  "$make" "$tmp" --base "$name" "$@" > /dev/null
  [[ " $* " == *" --l03 "* ]] && length='\001'
  cp "$tmp/$name.pyr" "corpus/import_save/$name"
  { printf "$length"; cat "$tmp/$name.pyr"; } > "corpus/record_roundtrip/$name"
}
seed l02-players --players 24
seed l02-start-0-step-1 --players 30 --start 0 --step 1
seed l02-start-255-step-128 --players 20 --start 255 --step 128
seed l02-one-player --players 1 --start 7 --step 0
seed l02-no-player --players 0 --start 12 --step 34
seed l03-players --players 20 --start 201 --step 14 --l03
printf '\356\356\356' | tee -a corpus/import_save/l02-start-0-step-1 >> corpus/record_roundtrip/l02-start-0-step-1
