#!/usr/bin/env bash
# The manual page writer on stand-in programs: a help in QCommandLineParser's
# layout becomes the page's sections, and a program that gives no help (fails,
# prints nothing or no usage, hangs, is missing) gets the built-in text, never
# a failed build.
#
#   check_manpage.sh CMAKE GENERATE_MAN_PAGE_SCRIPT SCRATCH_DIR
set -euo pipefail

cmake=$1 script=$2 scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

stand_in() { printf '#!/bin/sh\n%s\n' "$2" >"$scratch/$1" && chmod +x "$scratch/$1"; }

# page NAME: writes NAME.1 for the stand-in NAME, and NAME.txt, the page as
# groff shows it with one line per heading and per paragraph, so a check does
# not depend on where groff breaks lines.
page() {
    "$cmake" -DTAVRIN="$scratch/$1" -DOUT="$scratch/$1.1" -DVERSION=9.8.7 -DTIMEOUT=2 -P "$script" \
        >"$scratch/$1.log" 2>&1 || { fail "$1: the writer failed: $(cat "$scratch/$1.log")"; return 1; }
    local out
    out=$(groff -man -Tutf8 -ww -z "$scratch/$1.1" 2>&1) && [ -z "$out" ] || fail "$1: groff: $out"
    groff -man -Tascii -P-cbou "$scratch/$1.1" | awk '
        function flush() { if (p != "") print p; p = "" }
        /^$/ { flush(); next }
        /^[^ ]/ { flush(); print; next }
        { sub(/^ +/, ""); gsub(/ +/, " "); p = (p == "" ? $0 : p " " $0) }
        END { flush() }' >"$scratch/$1.txt"
}

# expect NAME PARAGRAPH...
expect() {
    local name=$1 want
    shift
    for want in "$@"; do
        grep -qxF -- "$want" "$scratch/$name.txt" || fail "$name: no paragraph '$want' in:"$'\n'"$(cat "$scratch/$name.txt")"
    done
}

# A help as Qt prints it, with what roff would misread (a line starting with
# a dot, a backslash), what CMake lists would (a semicolon, brackets), and a
# description starting on the line after its term.
stand_in qt-help "cat <<'HELP'
Usage: /opt/build/app/tavrin [options] command LEAGUE.lge
       /opt/build/app/tavrin [options] [LEAGUE.lge]
Changes the ratings; keeps a copy [first].
.pot files stay beside the league, C:\\leagues\\X.lge too.

Commands:
  hide --years Y LEAGUE.lge
      Hides the potentials.
  show [--csv] LEAGUE.lge  Lists the players.

Options:
  -h, --help       Displays help on commandline options.
  --seed <N>       Seeds the draws: the same league and seed always give the
                   same player file.

Examples:
  tavrin hide --years 3 Demo.lge
  tavrin show --csv Demo.lge

Exit status:
  0  Done.
HELP"
page qt-help
expect qt-help "SYNOPSIS" "tavrin [options] command LEAGUE.lge tavrin [options] [LEAGUE.lge]" \
    "DESCRIPTION" "Changes the ratings; keeps a copy [first]. .pot files stay beside the league, C:\\leagues\\X.lge too." \
    "COMMANDS" "hide --years Y LEAGUE.lge Hides the potentials." "show [--csv] LEAGUE.lge Lists the players." \
    "OPTIONS" "-h, --help Displays help on commandline options." \
    "--seed N Seeds the draws: the same league and seed always give the same player file." \
    "EXAMPLES" "tavrin hide --years 3 Demo.lge tavrin show --csv Demo.lge" "EXIT STATUS" "0 Done." "FILES"
[ "$(grep -c '^\.SH EXIT STATUS' "$scratch/qt-help.1")" = 1 ] || fail "qt-help: EXIT STATUS twice"
grep -q '^\.TH TAVRIN 1 .*"Tavrin 9\.8\.7"' "$scratch/qt-help.1" || fail "qt-help: the title lacks the version"

# Programs that give no help get the built-in page, in a few seconds.
stand_in fails 'echo "Usage: tavrin [options]"; exit 3'
stand_in silent 'exit 0'
stand_in no-usage 'echo "QStandardPaths: XDG_RUNTIME_DIR not set"'
stand_in hangs 'exec sleep 60'
for name in fails silent no-usage hangs missing; do
    start=$SECONDS
    page $name || continue
    [ $((SECONDS - start)) -lt 20 ] || fail "$name: the writer waited $((SECONDS - start)) s"
    grep -q "built-in help text" "$scratch/$name.log" || fail "$name: the writer does not say it used the built-in text"
    expect $name "tavrin - hide, randomize and restore the potential ratings of a league's players" \
        "COMMANDS" "OPTIONS" "EXIT STATUS" "FILES"
    for command in "hide --years Y" "randomize [--seed N]" "restore [--from FILE]" "show [--csv]"; do
        grep -qF -- "$command LEAGUE.lge" "$scratch/$name.txt" || fail "$name: no command '$command'"
    done
done

[ $failures -eq 0 ] || { echo "$failures check(s) failed; the pages are in $scratch" >&2; exit 1; }
echo "manual page writer: every check passed"
