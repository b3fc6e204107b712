#!/usr/bin/env bash
# Builds the Debian package build/levelnet_VERSION_ARCH.deb from a built
# build directory (the command line, levelnet-pdf and the window), as
# Debian's own tools would leave it, so that lintian finds nothing to report:
# the programs stripped, the manual pages and the changelog compressed
# (gzip -n -9), the machine-readable copyright file, md5sums, Depends from
# dpkg-shlibdeps. The package is reproducible: every file carries the time
# SOURCE_DATE_EPOCH (by default the date of the latest changelog entry),
# owners are root, permissions are set, dpkg-deb sorts the members and
# stamps the archive with SOURCE_DATE_EPOCH, and xz runs on one thread.
# Usage: make_deb.sh BUILD_DIR OUT_DIR    (prints the path of the .deb)
set -euo pipefail
umask 022
export LC_ALL=C
say() { printf 'make_deb: %s\n' "$*" >&2; }
fail() {
  say "$*"
  exit 1
}
[ $# -eq 2 ] || fail "usage: make_deb.sh BUILD_DIR OUT_DIR"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
debian="$here/debian"
build="$(cd "$1" && pwd)" || fail "no build directory $1"
mkdir -p "$2"
out="$(cd "$2" && pwd)"

for tool in cmake dpkg dpkg-deb dpkg-shlibdeps dpkg-parsechangelog strip gzip md5sum; do
  command -v "$tool" >/dev/null || fail "$tool is needed (Debian packages cmake, dpkg-dev, binutils, gzip)"
done
for program in "$build/levelnet" "$build/levelnet-pdf" "$build/src/ui/levelnet-gui"; do
  [ -x "$program" ] || fail "$program is not built"
done

version="$("$build/levelnet" --version)"
version="${version#levelnet }"
changelog_version="$(dpkg-parsechangelog -l "$debian/changelog" -S Version)"
[ "$changelog_version" = "$version" ] ||
  fail "the latest entry of packaging/debian/changelog is $changelog_version, the program is $version: add an entry for $version"
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH="$(dpkg-parsechangelog -l "$debian/changelog" -S Timestamp)"
fi
case "$SOURCE_DATE_EPOCH" in
  *[!0-9]*) fail "SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH is not a count of seconds since 1970" ;;
esac
export SOURCE_DATE_EPOCH
architecture="$(dpkg --print-architecture)"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
root="$stage/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >"$stage/install.log" 2>&1 ||
  { cat "$stage/install.log" >&2; fail "installing into the staging folder failed"; }

# The programs without symbols, as dh_strip leaves them.
programs=()
while IFS= read -r -d '' file; do
  if [ "$(head -c 4 "$file" | od -An -tx1 | tr -d ' \n')" = 7f454c46 ]; then
    strip --remove-section=.comment --remove-section=.note --strip-unneeded "$file"
    programs+=("${file#"$stage"/}")
  fi
done < <(find "$root" -type f -perm -u+x -print0 | sort -z)
[ ${#programs[@]} -eq 3 ] || fail "expected three programs in the package, found ${#programs[@]}: ${programs[*]}"

# Manual pages and the changelog compressed without name or time (-n).
find "$root/usr/share/man" -type f ! -name '*.gz' -exec gzip -n -9 {} +
doc="$root/usr/share/doc/levelnet"
install -m 0644 "$debian/copyright" "$doc/copyright"
gzip -n -9 -c "$debian/changelog" >"$doc/changelog.gz"

# Permissions as Debian's tools set them, whatever the umask of the build.
find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -perm -u+x -exec chmod 0755 {} +
find "$root" -type f ! -perm -u+x -exec chmod 0644 {} +

# Depends: the packages of the shared libraries the programs need.
mkdir "$stage/debian"
printf 'Source: levelnet\n\nPackage: levelnet\nArchitecture: any\n' >"$stage/debian/control"
(cd "$stage" && dpkg-shlibdeps -O "${programs[@]}") >"$stage/substvars" 2>"$stage/shlibdeps.log" ||
  { cat "$stage/shlibdeps.log" >&2; fail "dpkg-shlibdeps failed"; }
depends="$(sed -n 's/^shlibs:Depends=//p' "$stage/substvars")"
[ -n "$depends" ] || fail "dpkg-shlibdeps named no dependencies"

# Installed-Size as dpkg-gencontrol counts it: each file's size in KiB
# rounded up, one for every other entry.
installed_size="$(find "$root" -mindepth 1 -printf '%y %s\n' |
  awk '$1 == "f" { kib += int(($2 + 1023) / 1024); next } { kib += 1 } END { print kib }')"

mkdir "$root/DEBIAN"
control="$(<"$debian/control.in")"
control="${control//@VERSION@/$version}"
control="${control//@ARCHITECTURE@/$architecture}"
control="${control//@INSTALLED_SIZE@/$installed_size}"
control="${control//@DEPENDS@/$depends}"
printf '%s\n' "$control" >"$root/DEBIAN/control"
(cd "$root" && find . -type f ! -path './DEBIAN/*' -printf '%P\n' | sort | xargs -d '\n' md5sum) >"$root/DEBIAN/md5sums"
chmod 0755 "$root/DEBIAN"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

# Every entry carries the same time.
find "$root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
deb="$out/levelnet_${version}_${architecture}.deb"
dpkg-deb --root-owner-group -Zxz -z9 --threads-max=1 --build "$root" "$deb" >"$stage/dpkg-deb.log" 2>&1 ||
  { cat "$stage/dpkg-deb.log" >&2; fail "dpkg-deb failed"; }
printf '%s\n' "$deb"
