#!/usr/bin/env bash
# Makes the Debian package from a build, has lintian check it, unpacks it
# into a scratch root and checks what a user's system would get: the
# package's fields and dependencies, every file, and the desktop entry, MIME
# type, metainfo, icons, manual page, copyright file and changelog as their
# own validators and readers see them.
#
#   check_package.sh CPACK BUILD_DIR SCRATCH_DIR VERSION
set -euo pipefail

cpack=$1 build=$2 scratch=$3 version=$4
id=org.tavrin.Tavrin
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

rm -rf "$scratch"
mkdir -p "$scratch"
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; echo "FAIL: cpack -G DEB" >&2; exit 1; }
deb=$scratch/out/tavrin_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { echo "FAIL: no $deb; cpack wrote: $(ls "$scratch/out")" >&2; exit 1; }
root=$scratch/root
dpkg -x "$deb" "$root"

# lintian, Debian's own checks, with its notes (I:) too: the hardening flags
# and the stripped sections are among them. Every tag is ours to fix but
# one: lintian looks for misspelt words in the program's bytes, where the
# compiler has cut our texts into pieces it writes as instructions ("is lon"
# from "is longer"); those reports are shown and not held against us.
if command -v lintian >/dev/null; then
    lintian --display-info "$deb" >"$scratch/lintian.log" 2>&1 || true
    grep -v -e '^I: tavrin: spelling-error-in-binary ' -e '^running with root privileges' "$scratch/lintian.log" \
        >"$scratch/lintian.ours" || true
    [ ! -s "$scratch/lintian.ours" ] || fail "lintian:"$'\n'"$(cat "$scratch/lintian.ours")"
    grep '^I: tavrin: spelling-error-in-binary ' "$scratch/lintian.log" || true
else
    fail "lintian is not installed (bash scripts/install-deps.sh test installs it)"
fi

for pair in "Package=tavrin" "Version=$version" "Section=utils" \
            "Maintainer=Tavrin developers <tavrin@example.org>"; do
    got=$(dpkg-deb -f "$deb" "${pair%%=*}")
    [ "$got" = "${pair#*=}" ] || fail "${pair%%=*} is '$got', not '${pair#*=}'"
done

# Every library the program loads comes from a package it depends on, and so
# do the Qt platform plugins, which it loads by name at run time.
depends=" $(dpkg-deb -f "$deb" Depends | sed -E 's/\([^)]*\)//g; s/[|,]/ /g' | tr -s ' ') "
[[ $depends == *" qt6-qpa-plugins "* ]] || fail "Depends lacks qt6-qpa-plugins:$depends"
for soname in $(readelf -d "$root/usr/bin/tavrin" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    owners=$(dpkg -S "*/$soname" 2>/dev/null | awk -v tail="/$soname" \
        'substr($NF, length($NF) - length(tail) + 1) == tail { sub(/:.*/, "", $1); print $1 }' | sort -u)
    found=no
    for owner in $owners; do [[ $depends == *" $owner "* ]] && found=yes; done
    [ $found = yes ] || fail "$soname comes from '$(echo $owners)', which Depends lacks:$depends"
done

# Exactly these files.
man=usr/share/man/man1/tavrin.1.gz
doc=usr/share/doc/tavrin
sizes="16 32 48 64 128 256"
expected=$(printf './%s\n' usr/bin/tavrin "usr/share/applications/$id.desktop" \
    "usr/share/icons/hicolor/scalable/apps/$id.svg" "usr/share/metainfo/$id.metainfo.xml" \
    "usr/share/mime/packages/$id.xml" "$man" $doc/copyright $doc/changelog.gz \
    $(for s in $sizes; do echo "usr/share/icons/hicolor/${s}x$s/apps/$id.png"; done) | sort)
actual=$(cd "$root" && find . ! -type d | sort)
[ "$actual" = "$expected" ] || fail "the package's files differ (< missing, > not expected):"$'\n'"$(diff <(echo "$expected") <(echo "$actual") | grep '^[<>]')"
[ -x "$root/usr/bin/tavrin" ] || fail "usr/bin/tavrin is not executable"

# Each PNG is the size its folder says: width and height from its header.
for s in $sizes; do
    png=$root/usr/share/icons/hicolor/${s}x$s/apps/$id.png
    [ -f "$png" ] || continue
    read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$png")
    got="$((w1 << 24 | w2 << 16 | w3 << 8 | w4))x$((h1 << 24 | h2 << 16 | h3 << 8 | h4))"
    [ "$got" = "${s}x$s" ] || fail "the ${s}x$s icon is $got"
done

# The desktop entry starts the installed program with the league, under the
# installed icon, for a MIME type the package declares; the MIME database
# then maps *.lge, in any case, to that type.
desktop=$root/usr/share/applications/$id.desktop
mime=$root/usr/share/mime/packages/$id.xml
out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(entry Exec)" = "tavrin %f" ] || fail "Exec=$(entry Exec), not 'tavrin %f'"
[ "$(entry Icon)" = "$id" ] || fail "Icon=$(entry Icon), not $id"
# The class Qt gives the window (the application's name), so a desktop
# matches the window to the entry.
[ "$(entry StartupWMClass)" = "Tavrin" ] || fail "StartupWMClass=$(entry StartupWMClass), not Tavrin"
type=$(entry MimeType)
[ "$type" = "application/x-tavrin-league;" ] || fail "MimeType=$type"
mkdir -p "$scratch/mime/packages"
cp "$mime" "$scratch/mime/packages/"
out=$(XDG_DATA_DIRS=$scratch update-mime-database "$scratch/mime" 2>&1) && [ -z "$out" ] ||
    fail "update-mime-database: $out"
grep -qx "[0-9]*:${type%;}:\*\.lge" "$scratch/mime/globs2" && ! grep -q ":cs$" "$scratch/mime/globs2" ||
    fail "the MIME database does not map *.lge to ${type%;} (case-insensitively):"$'\n'"$(cat "$scratch/mime/globs2")"

# The metainfo validates offline, with its desktop entry and icons, and names
# the program, the MIME type and this version as its newest release.
metainfo=$root/usr/share/metainfo/$id.metainfo.xml
if command -v appstreamcli >/dev/null; then
    out=$(appstreamcli validate-tree --no-net "$root" 2>&1) || fail "appstreamcli validate-tree: $out"
else
    echo "skipped: appstreamcli validate-tree (the appstream package is not installed)"
fi
grep -q "<binary>tavrin</binary>" "$metainfo" || fail "the metainfo does not provide the program tavrin"
grep -q "<mediatype>${type%;}</mediatype>" "$metainfo" || fail "the metainfo does not provide ${type%;}"
newest=$(grep -m1 -o '<release [^>]*version="[^"]*"' "$metainfo" | sed 's/.*version="//; s/"$//')
[ "$newest" = "$version" ] || fail "the metainfo's newest release is '$newest', not $version"

# The manual page: groff reads it without a warning; it has its sections,
# a synopsis line for each command, and the version.
out=$(zcat -f "$root/$man" | groff -man -Tutf8 -ww -z 2>&1) && [ -z "$out" ] || fail "groff: $out"
text=$(zcat -f "$root/$man" | groff -man -Tascii -P-cbou 2>/dev/null)
for section in NAME SYNOPSIS DESCRIPTION OPTIONS FILES EXAMPLES "EXIT STATUS"; do
    grep -qx "$section" <<<"$text" || fail "the manual page has no $section section"
done
for command in "hide --years Y" "randomize [--seed N]" "restore [--from FILE]" "show [--csv]"; do
    grep -qxF -- "       tavrin [options] $command LEAGUE.lge" <<<"$text" || fail "the synopsis lacks $command"
done
grep -q "^tavrin $version " <<<"$text" || fail "the manual page does not give the version $version"

# The changelog's newest entry is this version; the copyright file names
# the license the metainfo names (Debian's name for MIT is Expat) and holds
# its text.
top=$(zcat "$root/$doc/changelog.gz" | head -n1)
[[ $top == "tavrin ($version) "* ]] || fail "the changelog's newest entry is '$top', not $version"
grep -q "<project_license>MIT</project_license>" "$metainfo" || fail "the metainfo's license is not MIT"
grep -qx "License: Expat" "$root/$doc/copyright" && grep -q "^ Permission is hereby granted" "$root/$doc/copyright" ||
    fail "the copyright file lacks the Expat license:"$'\n'"$(cat "$root/$doc/copyright")"

[ $failures -eq 0 ] || { echo "$failures check(s) failed; the package is in $scratch" >&2; exit 1; }
echo "$(basename "$deb"): every check passed"
