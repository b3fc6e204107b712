#!/usr/bin/env bash
# Builds the libraries levelnet's Windows build needs besides Qt, with
# MinGW-w64, into a cache folder outside the checkout (reused when present):
# GoogleTest from Debian's /usr/src/googletest (libgtest-dev), and a folder
# of headers that Debian's header-only libraries (Boost.Math, Eigen) are
# taken from. Prints the prefix on standard output.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
say() { printf 'build-deps: %s\n' "$*" >&2; }
cache="${LEVELNET_QT_CACHE:-$HOME/.cache/levelnet}"
gtest_version="$(dpkg-query -W -f='${Version}' googletest 2>/dev/null || dpkg-query -W -f='${Version}' libgtest-dev)"
prefix="$cache/deps-gtest-${gtest_version%%-*}-mingw64"
[ -f "$prefix/.complete" ] && { printf '%s\n' "$prefix"; exit 0; }

mkdir -p "$prefix.build"
exec 8>>"$prefix.build/.lock"
flock 8
[ -f "$prefix/.complete" ] && { printf '%s\n' "$prefix"; exit 0; }

say "building GoogleTest for Windows (log: $prefix.build/build.log)"
cmake -S /usr/src/googletest -B "$prefix.build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/toolchain-mingw64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF -DBUILD_SHARED_LIBS=OFF \
  -Dgtest_disable_pthreads=OFF >"$prefix.build/build.log" 2>&1 &&
  cmake --build "$prefix.build" >>"$prefix.build/build.log" 2>&1 &&
  cmake --install "$prefix.build" >>"$prefix.build/build.log" 2>&1 ||
  { tail -n 40 "$prefix.build/build.log" >&2; say "building GoogleTest failed"; exit 1; }

# Header-only libraries: a folder of their own, so that /usr/include with
# the build machine's C library never reaches the Windows compiler.
mkdir -p "$prefix/include"
ln -sfn /usr/include/boost "$prefix/include/boost"
ln -sfn /usr/include/eigen3/Eigen "$prefix/include/Eigen"
touch "$prefix/.complete"
printf '%s\n' "$prefix"
