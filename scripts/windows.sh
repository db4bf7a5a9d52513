#!/usr/bin/env bash
# Tavrin for Windows, cross-built here with MinGW-w64 and checked under Wine.
#
#   bash scripts/windows.sh test      # the core, the command line and their tests
#                                     # for Windows; the tests run under Wine, and a
#                                     # Hide and a Restore of a league by tavrin.exe
#                                     # must give the Linux build's bytes (CI runs this)
#   bash scripts/windows.sh [package] # the desktop program: Qt for Windows (built
#                                     # once), tavrin.exe with its DLLs, the portable
#                                     # folder and the NSIS installer, checked under
#                                     # Wine on a virtual display
#   bash scripts/windows.sh qt        # only Qt for Windows, into the cache
#
# What is built from Debian's source packages (SQLite, GoogleTest, Qt) and the
# Wine prefix live in a cache outside the repository, keyed on the source's
# version: $TAVRIN_WINDOWS_CACHE, by default ~/.cache/tavrin-windows. The
# build folders are build/windows (the command line) and build/windows-app.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

what=${1:-package}
cache=${TAVRIN_WINDOWS_CACHE:-$HOME/.cache/tavrin-windows}
jobs=${TAVRIN_JOBS:-2}
toolchain=$here/cmake/mingw-w64.cmake
triplet=x86_64-w64-mingw32
mkdir -p "$cache/src"

log() { echo "windows.sh: $*" >&2; }
seconds() { date +%s; }

# The version Debian's archive has of a source package.
source_version() { apt-cache showsrc "$1" | sed -n 's/^Version: //p' | sort -V | tail -n 1; }

# Unpacks Debian's source of a package into the cache (once) and prints its
# folder. Needs a deb-src entry (scripts/install-deps.sh windows makes one).
source_of() {
  local package=$1 version upstream folder
  version=$(source_version "$package")
  [ -n "$version" ] || { log "no source package $package: is there a deb-src entry? (bash scripts/install-deps.sh windows)"; exit 1; }
  upstream=${version#*:}
  upstream=${upstream%-*}
  folder=$cache/src/$package-$upstream
  if [ ! -f "$folder/.unpacked-$version" ]; then
    log "fetching the source of $package $version"
    rm -rf "$folder"
    (cd "$cache/src" && apt-get source --download-only "$package=$version" >/dev/null 2>&1 &&
       dpkg-source --no-check -x "$(ls -t "${package}_"*.dsc | head -n 1)" "$folder" >/dev/null)
    touch "$folder/.unpacked-$version"
  fi
  echo "$folder"
}

# SQLite for Windows: a static library made from the amalgamation of Debian's
# source, compiled with Debian's own options (debian/rules), so that the
# database files both builds write are byte for byte the same.
build_sqlite() {
  local src version prefix build
  version=$(source_version sqlite3)
  prefix=$cache/sqlite/$version
  [ -f "$prefix/lib/libsqlite3.a" ] && { echo "$prefix"; return; }
  src=$(source_of sqlite3)
  build=$cache/build/sqlite-$version
  log "building SQLite $version for Windows"
  rm -rf "$build" && mkdir -p "$build"
  (cd "$build" && "$src/configure" --disable-tcl >/dev/null && make -s sqlite3.c sqlite3.h >/dev/null)
  local flags
  flags=$(sed -n '/^export CFLAGS += /,/^$/p' "$src/debian/rules" | grep -o -- '-DSQLITE_[A-Za-z0-9_]*\(=[0-9]*\)\?' | tr '\n' ' ')
  # shellcheck disable=SC2086
  $triplet-gcc-posix -O2 -fno-strict-aliasing $flags -c "$build/sqlite3.c" -o "$build/sqlite3.o"
  mkdir -p "$prefix/lib" "$prefix/include"
  $triplet-ar rcs "$prefix/lib/libsqlite3.a" "$build/sqlite3.o"
  cp "$build/sqlite3.h" "$src/src/sqlite3ext.h" "$prefix/include/" 2>/dev/null || cp "$build/sqlite3.h" "$prefix/include/"
  echo "$flags" >"$prefix/options"
  rm -rf "$build"
  echo "$prefix"
}

# GoogleTest for Windows from the source Debian ships in /usr/src/googletest.
build_gtest() {
  local version prefix build
  version=$(dpkg-query -W -f='${Version}' googletest)
  prefix=$cache/googletest/$version
  [ -f "$prefix/lib/libgtest.a" ] && { echo "$prefix"; return; }
  build=$cache/build/googletest-$version
  log "building GoogleTest $version for Windows"
  rm -rf "$build"
  cmake -S /usr/src/googletest -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$build" -j "$jobs" >/dev/null
  cmake --install "$build" >/dev/null
  rm -rf "$build"
  echo "$prefix"
}

# xxHash and nlohmann-json are headers alone, the same for every system:
# the host's, copied where the cross-build looks.
headers_prefix() {
  local prefix=$cache/headers
  mkdir -p "$prefix/include"
  cp -u /usr/include/xxhash.h "$prefix/include/"
  cp -ru /usr/include/nlohmann "$prefix/include/"
  echo "$prefix"
}

# Qt 6 (Core, Gui, Widgets and the Windows platform plugin) from Debian's
# qt6-base source, built once with the host's Qt tools. Everything the
# windows do not use is left out.
build_qt() {
  local src version prefix build started
  version=$(source_version qt6-base)
  prefix=$cache/qt/$version
  [ -f "$prefix/lib/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake" ] && { echo "$prefix"; return; }
  src=$(source_of qt6-base)
  # Debian's source lacks what two features of the Windows platform plugin
  # need when OpenGL and Direct2D are off: the software-OpenGL check and the
  # DirectWrite font database are kept behind those features.
  sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
    "$src/src/plugins/platforms/windows/qwindowswindow.cpp"
  sed -i '506s/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
    "$src/src/plugins/platforms/windows/qwindowsintegration.cpp"
  build=$cache/build/qt-$version
  log "building Qt $version for Windows (tens of minutes; log: $build.log)"
  started=$(seconds)
  mkdir -p "$build"
  local off=() feature
  for feature in dbus sql network opengl vulkan printsupport concurrent xml icu zstd freetype jpeg direct2d glib \
                 pkg_config tabletevent androiddeployqt testlib; do
    off+=("-DFEATURE_$feature=OFF")
  done
  for feature in zlib pcre2 harfbuzz png doubleconversion; do off+=("-DFEATURE_system_$feature=OFF"); done
  {
    cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
      -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF "${off[@]}"
    cmake --build "$build" -j "$jobs"
    cmake --install "$build"
  } >"$build.log" 2>&1 || { log "the Qt build failed: see $build.log"; exit 1; }
  log "Qt built in $(( ($(seconds) - started) / 60 )) minutes"
  rm -rf "$build"
  echo "$prefix"
}

# Wine, in a prefix of its own, quiet, without the Mono and Gecko dialogs;
# DLLs found in the MinGW runtime's folders and those given.
wine_setup() {
  wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
  [ -x "$wine" ] || { log "Wine is missing (bash scripts/install-deps.sh test)"; exit 1; }
  export WINEPREFIX=$cache/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  local folders=("/usr/lib/gcc/$triplet/$(basename "$(ls -d /usr/lib/gcc/$triplet/*-posix | sort -V | tail -n 1)")"
                 "/usr/$triplet/lib" "$@") path= folder
  for folder in "${folders[@]}"; do path+="Z:${folder//\//\\};"; done
  export WINEPATH=$path
  wineserver=$(command -v wineserver || echo "$(dirname "$wine")/wineserver")
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "making the Wine prefix (its first start takes a while)"
    "$wine" wineboot --init >/dev/null 2>&1 || true
    "$wineserver" -w
  fi
  # One server for every program run here, and the prefix's own services,
  # started apart: started by the first test, they would keep that test's
  # output open, and CTest waiting for it, until they end.
  "$wineserver" -p >/dev/null 2>&1 </dev/null || true  # (or it runs already)
  "$wine" wineboot >/dev/null 2>&1 </dev/null || true
  trap '"$wineserver" -k 2>/dev/null || true' EXIT
}

# The core, the command line and their tests for Windows; the tests under
# Wine; then the same Hide and Restore of one league by the Linux build and
# by tavrin.exe, whose files must be the same bytes.
windows_test() {
  local started sqlite gtest headers
  started=$(seconds)
  sqlite=$(build_sqlite)
  gtest=$(build_gtest)
  headers=$(headers_prefix)
  export TAVRIN_WINDOWS_PREFIX="$sqlite;$gtest;$headers"
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j "$jobs"
  wine_setup
  log "the tests under Wine"
  ctest --preset windows
  same_bytes_as_linux build/windows/app/tavrin.exe build/windows/tools/tavrin-make-league.exe
  log "the Windows stage took $(( $(seconds) - started )) s"
}

# A league in a folder with a name that is not ASCII, hidden and restored by
# the Linux build (build/ci, made first where missing) and by the Windows
# program under Wine: the player files and the .pot files must not differ
# by a byte.
same_bytes_as_linux() {
  local exe=$1 maker=$2 linux=build/ci/app/tavrin linuxmaker=build/ci/tools/tavrin-make-league
  if [ ! -x $linux ] || [ ! -x $linuxmaker ]; then
    cmake --preset ci >/dev/null && cmake --build --preset ci --target tavrin tavrin-make-league >/dev/null
  fi
  local work
  work=$(mktemp -d)
  local lin="$work/linux/Zoë/Ligen" win="$work/windows/Zoë/Ligen"
  mkdir -p "$lin" "$win"
  $linuxmaker "$lin" --players 300 --base Demo >/dev/null
  "$wine" "$maker" "$(winpath "$win")" --players 300 --base Demo >/dev/null
  cmp "$lin/Demo.pyr" "$win/Demo.pyr" && cmp "$lin/Demo.lge" "$win/Demo.lge" || {
    log "the league made under Wine differs from Linux's"; exit 1; }
  # Each side's working database and history where nobody else's are.
  local step
  for step in "hide --years rookies" "restore"; do
    # shellcheck disable=SC2086
    XDG_CACHE_HOME=$work/linux-cache $linux $step "$lin/Demo.lge" >/dev/null
    # shellcheck disable=SC2086
    "$wine" "$exe" $step "$(winpath "$win")\\Demo.lge" >/dev/null
    cmp "$lin/Demo.pyr" "$win/Demo.pyr" || { log "after ${step%% *}, Demo.pyr under Wine differs from Linux's"; exit 1; }
    # The .pot records when its run was made: that time aside, the same bytes.
    cmp <(untimed "$lin/Demo.pot") <(untimed "$win/Demo.pot") || {
      log "after ${step%% *}, Demo.pot under Wine differs from Linux's"; exit 1; }
    log "${step%% *}: Demo.pyr the same bytes under Wine as on Linux, Demo.pot too but for the time it records"
  done
  rm -rf "$work"
}

# The desktop program: tavrin.exe with the window, the DLLs it needs beside
# it (the portable folder), and the NSIS installer; then checked under Wine.
windows_package() {
  bash scripts/install-deps.sh windows
  local started sqlite headers qt build=build/windows-app version
  started=$(seconds)
  sqlite=$(build_sqlite)
  headers=$(headers_prefix)
  qt=$(build_qt)
  export TAVRIN_WINDOWS_PREFIX="$sqlite;$headers;$qt"
  cmake --preset windows-app -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >/dev/null
  cmake --build --preset windows-app -j "$jobs"
  version=$(sed -n 's/^project(Tavrin VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  portable=$here/$build/Tavrin-$version
  rm -rf "$portable"
  mkdir -p "$portable/platforms"
  cp "$build/app/tavrin.exe" "$portable/"
  cp "$qt/plugins/platforms/qwindows.dll" "$portable/platforms/"
  if [ -d "$qt/plugins/styles" ]; then cp -r "$qt/plugins/styles" "$portable/"; fi
  cp LICENSE "$portable/LICENSE.txt"
  copy_dlls "$portable" "$qt/bin" "$(mingw_runtime)" "/usr/$triplet/lib"
  find "$portable" -name '*.exe' -o -name '*.dll' | while read -r binary; do $triplet-strip --strip-unneeded "$binary"; done
  # The icon, from the sizes kept for the Linux desktop.
  convert app/desktop/icons/tavrin-{16,32,48,256}.png "$build/tavrin.ico"
  installer=$here/$build/Tavrin-$version-setup.exe
  makensis -V2 -DVERSION="$version" -DSOURCE="$portable" -DICON="$here/$build/tavrin.ico" -DLICENSE="$here/LICENSE" \
    -DOUTFILE="$installer" app/windows/installer.nsi
  log "made $installer ($(du -h "$installer" | cut -f1)) and the portable folder $portable ($(du -sh "$portable" | cut -f1))"
  check_installer "$installer" "$version"
  log "windows.sh took $(( ($(seconds) - started + 30) / 60 )) minutes"
}

# The MinGW runtime's DLLs (libstdc++, libgcc): the newest POSIX-threads GCC's.
mingw_runtime() { ls -d /usr/lib/gcc/$triplet/*-posix | sort -V | tail -n 1; }

# Copies into `folder` every DLL its programs and DLLs import that one of the
# given folders holds, and theirs in turn (the system's own are not there).
copy_dlls() {
  local folder=$1 added=1 binary name from
  shift
  while [ $added = 1 ]; do
    added=0
    while read -r name; do
      [ -e "$folder/$name" ] && continue
      for from in "$@"; do
        if [ -f "$from/$name" ]; then cp "$from/$name" "$folder/"; added=1; break; fi
      done
    done < <(find "$folder" -name '*.exe' -o -name '*.dll' | while read -r binary; do
               $triplet-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p'; done | sort -u)
  done
}

# Under Wine, on a virtual display: the installer installs silently, the
# window starts on a league in Zoë/Ligen (a screenshot kept beside the
# installer), a Hide of its rookies from the window gives the player file the
# Linux build gives, and the uninstaller leaves nothing of Tavrin's.
check_installer() {
  local installer=$1 version=$2 build=build/windows-app display=:93
  work=$(mktemp -d)
  Xvfb $display -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
  for _ in $(seq 50); do xdpyinfo -display $display >/dev/null 2>&1 && break; sleep 0.1; done
  export DISPLAY=$display
  # Wine started only now: its desktop takes the display it finds at its start.
  wine_setup
  trap '"$wineserver" -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
  local programs="$WINEPREFIX/drive_c/Program Files/Tavrin"

  "$wine" "$(winpath "$installer")" /S
  for file in tavrin.exe uninstall.exe tavrin.ico platforms/qwindows.dll; do
    [ -f "$programs/$file" ] || { log "the installer left no $file in Program Files\\Tavrin"; exit 1; }
  done
  [ -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tavrin.lnk" ] ||
    { log "the installer made no Start-menu entry"; exit 1; }
  "$wine" reg query 'HKLM\Software\Classes\.lge' 2>/dev/null | grep -q Tavrin.League ||
    { log "the installer did not associate .lge files"; exit 1; }
  log "installed silently under Wine: Program Files\\Tavrin, the Start-menu entry, the .lge association"

  # The same league on both sides, in a folder whose name is not ASCII.
  local lin="$work/linux/Zoë/Ligen" win="$work/windows/Zoë/Ligen"
  mkdir -p "$lin" "$win"
  if [ ! -x build/ci/tools/tavrin-make-league ] || [ ! -x build/ci/app/tavrin ]; then
    cmake --preset ci >/dev/null && cmake --build --preset ci --target tavrin tavrin-make-league >/dev/null
  fi
  build/ci/tools/tavrin-make-league "$lin" --players 300 --base Demo >/dev/null
  cp "$lin"/Demo.* "$win/"
  XDG_CACHE_HOME=$work/cache build/ci/app/tavrin hide --years rookies "$lin/Demo.lge" >/dev/null

  # The installed program's window, given the league as the file manager
  # gives it; Rookies chosen and OK pressed as a user does (Tab goes OK,
  # Cancel, the operations, the list).
  "$wine" "C:\\Program Files\\Tavrin\\tavrin.exe" "$(winpath "$win")\\Demo.lge" >"$work/window.log" 2>&1 &
  local main
  # (Wine's windows, with no window manager, are never "visible" to xdotool.)
  main=$(timeout 120 xdotool search --sync --name '^Tavrin v\.' | head -n 1) ||
    { log "the window did not start under Wine"; cat "$work/window.log" >&2; exit 1; }
  sleep 3
  import -window root "$build/window.png"
  log "the window started under Wine; screenshot: $build/window.png"
  xdotool windowfocus --sync "$main"
  sleep 0.5
  xdotool key Tab Tab Tab Down Down
  sleep 0.5
  xdotool key alt+o
  for _ in $(seq 60); do [ -d "$win/Demo.history" ] && [ -f "$win/Demo.pot" ] && break; sleep 1; done
  sleep 2
  import -window root "$build/window-after-hide.png"
  cmp "$lin/Demo.pyr" "$win/Demo.pyr" || { log "the Hide from the window under Wine differs from Linux's"; exit 1; }
  log "a Hide of the rookies from the window: Demo.pyr the same bytes as Linux's"
  xdotool key Escape
  sleep 2

  # The uninstaller copies itself away and goes on from there: waited for.
  "$wine" "C:\\Program Files\\Tavrin\\uninstall.exe" /S
  for _ in $(seq 60); do [ -e "$programs" ] || break; sleep 1; done
  [ ! -e "$programs" ] || { log "the uninstaller left Program Files\\Tavrin"; exit 1; }
  [ ! -e "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tavrin.lnk" ] ||
    { log "the uninstaller left the Start-menu entry"; exit 1; }
  if "$wine" reg query 'HKLM\Software\Classes\Tavrin.League' >/dev/null 2>&1; then
    log "the uninstaller left the .lge association"; exit 1
  fi
  [ ! -e "$WINEPREFIX/drive_c/users/$(whoami)/AppData/Local/Tavrin" ] ||
    { log "the uninstaller left Tavrin's folder in %LOCALAPPDATA%"; exit 1; }
  log "uninstalled silently: nothing of Tavrin's left"
}

# A file's bytes with every time written as Tavrin stores times
# (2026-12-06T05:00:00Z) made the same.
untimed() { LC_ALL=C sed -E 's/[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z/YYYY-MM-DDThh:mm:ssZ/g' "$1"; }

# A path of this system as Wine names it (Z: is the root).
winpath() { local p=$1; echo "Z:${p//\//\\}"; }

case $what in
  qt) build_qt >/dev/null ;;
  test) windows_test ;;
  package) windows_package ;;
  *) log "unknown argument $what"; exit 2 ;;
esac
