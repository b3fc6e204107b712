#!/usr/bin/env bash
# The Windows build, behind `./levelnet windows` (and the last stage of
# `./levelnet test`): Qt and the libraries for Windows from Debian's sources
# (built once into the cache folder, tools/windows/build-qt.sh and
# build-deps.sh), levelnet cross-built with MinGW-w64, its tests run under
# Wine, the installer made by CPack's NSIS generator and then installed,
# used and uninstalled under Wine (tests/windows/installer_test.sh).
#   tools/windows/build.sh BUILD_DIR [--no-tests]
# The installer is BUILD_DIR/levelnet-VERSION-win64.exe.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:?usage: build.sh BUILD_DIR [--no-tests]}"
run_tests=1
[ "${2:-}" = "--no-tests" ] && run_tests=0
say() { printf 'levelnet windows: %s\n' "$*" >&2; }

start=$(date +%s)
qt="$("$here/build-qt.sh")"
deps="$("$here/build-deps.sh")"
graphviz="$("$here/build-graphviz.sh")"
say "Qt for Windows in $qt ($(cat "$qt/.build-time" 2>/dev/null || echo 'time not recorded'))"
say "Graphviz for Windows in $graphviz ($(cat "$graphviz/.build-time" 2>/dev/null || echo 'time not recorded'))"
prefixes="$qt;$deps;$graphviz"

mkdir -p "$build"
build="$(cd "$build" && pwd)"
# Through ccache where it is installed, as the native builds of the tests.
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
# Configured again when the prefixes changed (a new recipe of a library is
# built into a new folder).
if [ ! -f "$build/build.ninja" ] || [ "$here/toolchain-mingw64.cmake" -nt "$build/build.ninja" ] ||
   [ "$(cat "$build/.windows-prefixes" 2>/dev/null)" != "$prefixes" ]; then
  rm -f "$build/CMakeCache.txt"
  say "configuring the Windows build in $build"
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DLEVELNET_WINDOWS_PREFIXES="$prefixes" \
    -DQT_HOST_PATH=/usr \
    -DEigen3_DIR=/usr/share/eigen3/cmake \
    -DBoost_INCLUDE_DIR="$deps/include" -DBoost_NO_BOOST_CMAKE=ON \
    -DLEVELNET_BUILD_BENCH=OFF "${launcher[@]}" >"$build/configure.log" 2>&1 ||
    { cat "$build/configure.log" >&2; say "configuring failed"; exit 1; }
  printf '%s\n' "$prefixes" >"$build/.windows-prefixes"
fi
say "building"
cmake --build "$build" >"$build/build.log" 2>&1 || { tail -n 80 "$build/build.log" >&2; say "building failed"; exit 1; }
for program in levelnet.exe levelnet-pdf.exe src/ui/levelnet-gui.exe; do
  [ -f "$build/$program" ] || { say "$program was not built (see $build/configure.log)"; exit 1; }
done

status=0
if [ "$run_tests" -eq 1 ]; then
  say "running the tests under Wine"
  # One Wine server for the whole run instead of one per program.
  WINEPREFIX="${WINEPREFIX:-${LEVELNET_QT_CACHE:-$HOME/.cache/levelnet}/wine-prefix}" "$here/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true
  (cd "$build" && ctest --output-on-failure -j"$(nproc)") || status=$?
fi

# The installer's files carry SOURCE_DATE_EPOCH (by default the date of the
# latest changelog entry, as the Debian package's), so it is made again byte
# for byte.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH="$(dpkg-parsechangelog -l "$root/packaging/debian/changelog" -S Timestamp)"
fi
export SOURCE_DATE_EPOCH
say "making the installer"
rm -f "$build"/levelnet-*-win64.exe
(cd "$build" && cpack -G NSIS >"$build/cpack.log" 2>&1) || { cat "$build/cpack.log" >&2; say "making the installer failed"; exit 1; }
installer="$(ls "$build"/levelnet-*-win64.exe)"
say "installer: $installer ($(du -h "$installer" | cut -f1))"

if [ "$run_tests" -eq 1 ]; then
  say "installing, using and uninstalling it under Wine"
  bash "$root/tests/windows/installer_test.sh" "$installer" "$root" "$build" || status=1
fi
say "done in $(( $(date +%s) - start )) s"
exit $status
