#!/usr/bin/env bash
# Builds the libraries levelnet's Windows build needs besides Qt, with
# MinGW-w64, into a cache folder outside the checkout (reused when present):
# GoogleTest from Debian's /usr/src/googletest (libgtest-dev), libxlsxwriter
# from Debian's source package (with zlib from libz-mingw-w64-dev linked in
# statically), and a folder of headers that Debian's header-only libraries
# (Boost.Math, Eigen) are taken from. Prints the prefix on standard output.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
say() { printf 'build-deps: %s\n' "$*" >&2; }
cache="${LEVELNET_QT_CACHE:-$HOME/.cache/levelnet}"
gtest_version="$(dpkg-query -W -f='${Version}' googletest 2>/dev/null || dpkg-query -W -f='${Version}' libgtest-dev)"
xlsx_version="$(dpkg-query -W -f='${Version}' libxlsxwriter-dev | sed 's/-.*//')"
prefix="$cache/deps-gtest-${gtest_version%%-*}-xlsxwriter-$xlsx_version-mingw64"
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

# libxlsxwriter from Debian's source package, as a static library. Its
# sources treat MinGW as a POSIX system and open files with fopen(), which
# on Windows reads a UTF-8 name in the ANSI code page: a workbook in a folder
# with a Chinese name would not open. Built here with its Windows file
# functions instead (_wfopen of the UTF-8 name, minizip's iowin32), as for
# Microsoft's compiler.
xlsx_work="$prefix.build/xlsxwriter"
if [ ! -f "$prefix/lib/libxlsxwriter.a" ]; then
  rm -rf "$xlsx_work" && mkdir -p "$xlsx_work"
  say "building libxlsxwriter $xlsx_version for Windows (log: $xlsx_work/build.log)"
  (cd "$xlsx_work" && apt-get source "libxlsxwriter=$(dpkg-query -W -f='${Version}' libxlsxwriter-dev | sed 's/+b[0-9]*$//')") \
    >"$xlsx_work/build.log" 2>&1 ||
    { tail -n 20 "$xlsx_work/build.log" >&2; say "apt-get source libxlsxwriter failed (are deb-src entries enabled?)"; exit 1; }
  xsrc="$(find "$xlsx_work" -maxdepth 1 -type d -name 'libxlsxwriter-*' | head -n1)"
  sed -i '/^#ifdef __MINGW32__$/{N;N;/#undef _WIN32\n#endif/d}' "$xsrc/src/packager.c" "$xsrc/src/utility.c"
  sed -i 's|^    if(MSVC)$|    if(WIN32)|' "$xsrc/CMakeLists.txt"
  if grep -q '^#undef _WIN32' "$xsrc/src/packager.c" "$xsrc/src/utility.c"; then
    say "libxlsxwriter's sources changed: its Windows file functions could not be turned on"; exit 1
  fi
  cmake -S "$xsrc" -B "$xlsx_work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include \
    >>"$xlsx_work/build.log" 2>&1 &&
    cmake --build "$xlsx_work/build" >>"$xlsx_work/build.log" 2>&1 &&
    cmake --install "$xlsx_work/build" >>"$xlsx_work/build.log" 2>&1 ||
    { tail -n 40 "$xlsx_work/build.log" >&2; say "building libxlsxwriter failed"; exit 1; }
fi

# Header-only libraries: a folder of their own, so that /usr/include with
# the build machine's C library never reaches the Windows compiler.
mkdir -p "$prefix/include"
ln -sfn /usr/include/boost "$prefix/include/boost"
ln -sfn /usr/include/eigen3/Eigen "$prefix/include/Eigen"
touch "$prefix/.complete"
printf '%s\n' "$prefix"
