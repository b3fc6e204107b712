#!/usr/bin/env bash
# Builds the part of Graphviz that levelnet's 网图 layout needs (cdt,
# cgraph, gvc and the neato layout plugin: neato and sfdp) for Windows with
# MinGW-w64, as static libraries, from Debian's source package of the
# version the Linux build links against (libgraphviz-dev), into a cache
# folder outside the checkout (reused when present). Prints the prefix on
# standard output.
#
# The Linux build lays out with Debian's Graphviz on glibc; the Windows one
# must give the same coordinates, so the sources are compiled as Debian
# compiles them (-O2 -ffast-math: Graphviz's configure adds it for GCC; the
# same GCC 12 as Debian's) and with glibc's
# rand(), drand48() and qsort() (graphviz/glibc_compat.h) instead of
# Microsoft's C runtime's. The compile list is graphviz/CMakeLists.txt;
# Graphviz's own CMake build of this version wants the Windows libraries of
# its Visual Studio build (RxSpencer, plugin loading) and builds shared
# plugins.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
say() { printf 'build-graphviz: %s\n' "$*" >&2; }
cache="${LEVELNET_QT_CACHE:-$HOME/.cache/levelnet}"
version="$(dpkg-query -W -f='${Version}' libgraphviz-dev)"
upstream="${version%%-*}"
upstream="${upstream#*:}"
# The recipe is part of the key: a changed compile list or flag builds anew.
recipe="$(cat "$here/build-graphviz.sh" "$here/graphviz/CMakeLists.txt" "$here/graphviz/glibc_compat.h" \
  "$here/graphviz/glibc_compat.c" "$here/toolchain-mingw64.cmake" | cksum | cut -d' ' -f1)"
prefix="$cache/graphviz-$upstream-$recipe-mingw64"
[ -f "$prefix/.complete" ] && { printf '%s\n' "$prefix"; exit 0; }

mkdir -p "$prefix.build"
exec 8>>"$prefix.build/.lock"
flock 8
[ -f "$prefix/.complete" ] && { printf '%s\n' "$prefix"; exit 0; }
for tool in bison flex perl awk; do
  command -v "$tool" >/dev/null || { say "$tool is needed (Debian package ${tool/awk/mawk})"; exit 1; }
done

work="$prefix.build"
log="$work/build.log"
start=$(date +%s)
cpu_start="$(awk '{print $14 + $15 + $16 + $17}' /proc/$$/stat)"
say "building Graphviz $upstream for Windows (log: $log)"
: >"$log"
# The unpacked source (Debian's patches applied) is kept for the next
# recipe of the same version.
gv="$cache/graphviz-$version-source"
if [ ! -f "$gv/.unpacked" ]; then
  rm -rf "$gv" "$gv.get" && mkdir -p "$gv.get"
  (cd "$gv.get" && apt-get source "graphviz=$version") >>"$log" 2>&1 ||
    { tail -n 20 "$log" >&2; say "apt-get source graphviz=$version failed (are deb-src entries enabled?)"; exit 1; }
  mv "$(find "$gv.get" -mindepth 1 -maxdepth 1 -type d -name 'graphviz-*' | head -n1)" "$gv"
  rm -rf "$gv.get"
  touch "$gv/.unpacked"
fi
# The headers declare every function __declspec(dllimport) on Windows (for
# Graphviz's DLLs); linked statically they are plain declarations.
{ grep -rlZ '__declspec(dll\(im\|ex\)port)' "$gv/lib" "$gv/plugin/neato_layout" || true; } |
  xargs -0 -r sed -i 's/__declspec(dll\(im\|ex\)port)/extern/g'

# The generated files, as Graphviz's makefiles make them.
gen="$work/generated"
rm -rf "$gen" && mkdir -p "$gen/common" "$gen/cgraph"
{
  (cd "$gen/cgraph" && bison -y -dv "$gv/lib/cgraph/grammar.y" &&
    sed 's/yy/aag/g; s/unsigned long int/uint64_t/g; s/unsigned long/uint64_t/g' y.tab.c >grammar.c &&
    sed 's/yy/aag/g; s/unsigned long int/uint64_t/g; s/unsigned long/uint64_t/g' y.tab.h >grammar.h &&
    flex -i -olex.yy.c "$gv/lib/cgraph/scan.l" && sed 's/yy/aag/g; /extern.*isatty/d' lex.yy.c >scan.c) &&
  (cd "$gen/common" && bison -y -dv "$gv/lib/common/htmlparse.y" &&
    sed 's/yy/html/g; s/unsigned long int/uint64_t/g; s/unsigned long/uint64_t/g' y.tab.c >htmlparse.c &&
    sed 's/yy/html/g; s/unsigned long int/uint64_t/g; s/unsigned long/uint64_t/g' y.tab.h >htmlparse.h &&
    awk -f "$gv/awk/brewer.awk" "$gv/lib/common/brewer_colors" >brewer_lib &&
    awk -f "$gv/awk/svgcolor.awk" "$gv/lib/common/svgcolor_names" >svgcolor_lib &&
    cat brewer_lib svgcolor_lib "$gv/lib/common/color_names" | LC_ALL=C sort >color_lib &&
    awk -f "$gv/awk/colortbl.awk" color_lib >colortbl.h &&
    cp "$gv/lib/common/ps_fontmap.txt" ps_font_equiv.h &&
    (cd "$gv/lib/common" && perl ./mksvgfonts.pl fontmap.cfg ps_font_equiv.txt) | LC_ALL=C sort >>ps_font_equiv.h)
} >>"$log" 2>&1 || { tail -n 20 "$log" >&2; say "generating Graphviz's parsers and tables failed"; exit 1; }
printf '#define PACKAGE_VERSION "%s"\n' "$upstream" >"$gen/graphviz_version.h"
printf '#define BUILDDATE ""\n' >"$gen/builddate.h"
# MinGW has no <regex.h>. Graphviz matches regular expressions only to scan
# plugin folders (not built here) and to read the size of an SVG image used
# as a node's shape (never, for the 网图's points): every expression fails
# to compile.
cat >"$gen/regex.h" <<'REGEX'
typedef struct { int unused; } regex_t;
typedef struct { int rm_so, rm_eo; } regmatch_t;
#define REG_EXTENDED 1
#define REG_NOSUB 4
#define REG_NOMATCH 1
static inline int regcomp(regex_t* re, const char* pattern, int flags) { (void)re; (void)pattern; (void)flags; return 1; }
static inline int regexec(const regex_t* re, const char* s, size_t n, regmatch_t* m, int flags) {
  (void)re; (void)s; (void)n; (void)m; (void)flags; return REG_NOMATCH; }
static inline void regfree(regex_t* re) { (void)re; }
REGEX
# What Debian's configure finds on glibc, less what is left out here
# (Expat, zlib, GTS, plugin loading); DEFAULT_DPI and the font name as
# configure's defaults.
cat >"$gen/config.h" <<'CONFIG'
#define HAVE_STDINT_H 1
#define HAVE_INTTYPES_H 1
#define HAVE_STDLIB_H 1
#define HAVE_STRING_H 1
#define HAVE_SYS_TYPES_H 1
#define HAVE_SYS_STAT_H 1
#define HAVE_FCNTL_H 1
#define HAVE_MALLOC_H 1
#define HAVE_LIMITS_H 1
#define HAVE_ERRNO_H 1
#define HAVE_UNISTD_H 1
#define HAVE_STRCASECMP 1
#define HAVE_STRNCASECMP 1
#define HAVE_VSNPRINTF 1
#define HAVE_CBRT 1
#define HAVE_INTPTR_T 1
#define HAVE_SSIZE_T 1
#define HAVE_SETMODE 1
#define HAVE_GETENV 1
#define DEFAULT_DPI 96
#define DEFAULT_FONTNAME "Times-Roman"
#define DEFAULT_FONTPATH ""
#define GVPLUGIN_CONFIG_FILE "config6"
#define GVPLUGIN_VERSION 6
#define PACKAGE_VERSION "@UPSTREAM@"
#define VERSION PACKAGE_VERSION
#define BROWSER "start"
CONFIG
sed -i "s/@UPSTREAM@/$upstream/" "$gen/config.h"

rm -rf "$work/build"
cmake -S "$here/graphviz" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/toolchain-mingw64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="" -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DGRAPHVIZ_SOURCE="$gv" -DGRAPHVIZ_GENERATED="$gen" >>"$log" 2>&1 &&
  nice cmake --build "$work/build" -j2 >>"$log" 2>&1 &&
  cmake --install "$work/build" >>"$log" 2>&1 ||
  { grep -m 20 -B2 -A8 'error' "$log" >&2 || tail -n 40 "$log" >&2; say "building Graphviz failed"; exit 1; }
cpu_end="$(awk '{print $14 + $15 + $16 + $17}' /proc/$$/stat)"
ticks="$(getconf CLK_TCK)"
printf '%s s wall, %s s CPU\n' "$(( $(date +%s) - start ))" "$(( (cpu_end - cpu_start) / ticks ))" >"$prefix/.build-time"
say "Graphviz for Windows in $prefix ($(cat "$prefix/.build-time"))"
touch "$prefix/.complete"
printf '%s\n' "$prefix"
