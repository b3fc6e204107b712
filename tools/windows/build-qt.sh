#!/usr/bin/env bash
# Builds Qt for 64-bit Windows from Debian's qt6-base source package with
# MinGW-w64, into a cache folder outside the checkout keyed by the Qt
# version; a finished prefix is reused as it is.
#   tools/windows/build-qt.sh            prints the prefix on standard output
# Environment: LEVELNET_QT_CACHE (default ~/.cache/levelnet), QT_HOST_PATH
# (default /usr, the host's Qt of the same version, for moc, rcc and uic).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
say() { printf 'build-qt: %s\n' "$*" >&2; }

# The host's Qt decides the version: the tools of QT_HOST_PATH must match.
qt_version="$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null | sed 's/+.*//; s/-.*//')"
[ -n "$qt_version" ] || { say "qt6-base-dev is not installed (the host Qt is needed)"; exit 1; }
cache="${LEVELNET_QT_CACHE:-$HOME/.cache/levelnet}"
prefix="$cache/qt-$qt_version-mingw64"
work="$cache/qt-$qt_version-mingw64.build"
host="${QT_HOST_PATH:-/usr}"

if [ -f "$prefix/.complete" ]; then
  printf '%s\n' "$prefix"
  exit 0
fi

mkdir -p "$work"
# One build at a time per cache (a second call waits for the first).
exec 8>>"$work/.lock"
flock 8
if [ -f "$prefix/.complete" ]; then printf '%s\n' "$prefix"; exit 0; fi

src="$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)"
if [ -z "$src" ]; then
  say "fetching the source of qt6-base $qt_version (apt-get source)"
  (cd "$work" && apt-get source "qt6-base=$(dpkg-query -W -f='${Version}' qt6-base-dev)" >"$work/source.log" 2>&1) ||
    { cat "$work/source.log" >&2; say "apt-get source failed (are deb-src entries enabled?)"; exit 1; }
  src="$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)"
fi

# An unfinished build from an earlier call starts again from nothing: its
# cache may name another toolchain file or other features.
rm -rf "$work/build"
say "configuring Qt $qt_version for Windows in $work/build (log: $work/configure.log)"
start=$(date +%s)
# Only what the window, the PDF helper and their tests use: Core, Gui,
# Widgets, PrintSupport, Test and the windows platform plugin. zlib, libpng,
# harfbuzz, freetype, pcre2 and double-conversion are Qt's bundled copies,
# linked in, so the program needs no DLL that Windows does not have. Tablet
# events are off: the source package lacks the wintab headers.
# OpenGL stays on: the windows platform plugin of Qt 6.4.2 does not build
# without it.
cmake -S "$src" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/toolchain-mingw64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH="$host" -DQT_HOST_PATH_CMAKE_DIR="${QT_HOST_PATH_CMAKE_DIR:-$host/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)/cmake}" \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DBUILD_WITH_PCH=OFF \
  -DFEATURE_tabletevent=OFF -DFEATURE_opengl=ON \
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF \
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_png=ON -DFEATURE_system_png=OFF \
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF \
  -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF \
  -DFEATURE_system_jpeg=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF \
  -DFEATURE_sql_sqlite=OFF -DFEATURE_vulkan=OFF \
  >"$work/configure.log" 2>&1 ||
  { tail -n 60 "$work/configure.log" >&2; say "configuring Qt failed"; exit 1; }
say "building Qt (log: $work/build.log)"
cmake --build "$work/build" --parallel "$(nproc)" >"$work/build.log" 2>&1 ||
  { tail -n 60 "$work/build.log" >&2; say "building Qt failed"; exit 1; }
cmake --install "$work/build" >"$work/install.log" 2>&1 ||
  { tail -n 30 "$work/install.log" >&2; say "installing Qt failed"; exit 1; }
end=$(date +%s)
printf 'Qt %s for Windows: configured and built in %d s on %s cores\n' "$qt_version" $((end - start)) "$(nproc)" >"$prefix/.build-time"
touch "$prefix/.complete"
say "Qt $qt_version for Windows in $prefix ($((end - start)) s)"
printf '%s\n' "$prefix"
