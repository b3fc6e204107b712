#!/usr/bin/env bash
# Builds the Debian package from a configured and built build directory
# (packaging/make_deb.sh), twice, and compares the two; runs lintian on it;
# unpacks it into a temporary root and uses what it installed: the programs,
# the manual pages, the desktop entry, the icon, the file type, the examples.
# Usage: package_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../support/shell_checks.sh"
build="$1"
source="$2"

if ! bash "$source/packaging/make_deb.sh" "$build" "$work/out" >"$work/made" 2>"$work/make.log"; then
  cat "$work/make.log" >&2
  echo "0 passed, 1 failed"
  exit 1
fi
deb="$(ls "$work"/out/levelnet_*.deb 2>/dev/null | head -1)"
check "a .deb was made" test -n "$deb"
check "its path printed" test "$(cat "$work/made")" = "$deb"
version="$(dpkg-deb -f "$deb" Version)"

# Reproducible: made again a second later, under another umask and time
# zone, the package is the same file; with SOURCE_DATE_EPOCH every entry
# carries that time.
sleep 1.1
(umask 077 && TZ=Asia/Shanghai bash "$source/packaging/make_deb.sh" "$build" "$work/again" >/dev/null 2>&1)
check "made twice: the same bytes" cmp -s "$deb" "$work/again/${deb##*/}"
SOURCE_DATE_EPOCH=951782400 bash "$source/packaging/make_deb.sh" "$build" "$work/dated" >/dev/null 2>&1
dpkg-deb --fsys-tarfile "$work/dated/${deb##*/}" | tar -tv --full-time >"$work/dated.list"
check "SOURCE_DATE_EPOCH: every entry carries its time" \
  awk '$4 != "2000-02-29" || $5 != "00:00:00" {bad = 1} END {exit bad || NR < 10}' "$work/dated.list"
check "SOURCE_DATE_EPOCH: owned by root" awk '$2 != "root/root" {bad = 1} END {exit bad}' "$work/dated.list"
check "without SOURCE_DATE_EPOCH: the latest changelog entry's date" \
  test "$(dpkg-deb --fsys-tarfile "$deb" | tar -tv --full-time | awk 'NR == 1 {print $4}')" = \
  "$(date -u -d "@$(dpkg-parsechangelog -l "$source/packaging/debian/changelog" -S Timestamp)" +%F)"

# A version without its changelog entry is refused, not packaged.
cp -r "$source/packaging" "$work/packaging"
sed -i "1s/(${version})/(0.0.1)/" "$work/packaging/debian/changelog"
bash "$work/packaging/make_deb.sh" "$build" "$work/unlogged" >/dev/null 2>"$work/unlogged.err"
check "no changelog entry for the version: refused" status_is "$?" 1
check "no changelog entry for the version: said" contains "$work/unlogged.err" "add an entry for $version"
check "no changelog entry for the version: no package" test -z "$(ls -A "$work/unlogged" 2>/dev/null)"

# lintian: not one error or warning.
if command -v lintian >/dev/null; then
  lintian --no-cfg "$deb" >"$work/lintian" 2>"$work/lintian.err"
  check "lintian: no errors or warnings" bash -c '! grep -E "^[EW]: " "$1" >&2' _ "$work/lintian"
  check "lintian ran" bash -c '! grep -qv "running with root privileges" "$1" || { cat "$1" >&2; false; }' _ \
    "$work/lintian.err"
else
  check "lintian is installed (Debian package lintian)" false
fi
dpkg-deb -f "$deb" Depends >"$work/depends"
check "Depends names the Qt runtime" grep -q 'libqt6widgets6' "$work/depends"
check "Depends names the C++ runtime" grep -q 'libstdc++6' "$work/depends"
dpkg-deb -x "$deb" "$work/root"
root="$work/root"

check "levelnet installed" test -x "$root/usr/bin/levelnet"
check "levelnet-gui installed" test -x "$root/usr/bin/levelnet-gui"
check "--version matches the package" test "$("$root/usr/bin/levelnet" --version)" = "levelnet $version"
"$root/usr/bin/levelnet" adjust "$root/usr/share/doc/levelnet/examples/city_network.pc" >"$work/report"
check "the installed program adjusts the installed example" cmp -s "$work/report" "$source/tests/cases/city_network.report"
check "levelnet-pdf installed beside the libraries" test -x "$root/usr/libexec/levelnet/levelnet-pdf"
"$root/usr/bin/levelnet" report "$root/usr/share/doc/levelnet/examples/city_network.pc" --pdf "$work/report.pdf" 2>"$work/report.err"
check "the installed levelnet makes a PDF through levelnet-pdf" test -s "$work/report.pdf"
check "the PDF is a PDF" grep -q '^%PDF-' "$work/report.pdf"
check "levelnet itself needs no Qt" bash -c "! objdump -p '$root/usr/bin/levelnet' | grep -q 'NEEDED.*Qt'"
check "desktop entry valid" desktop-file-validate "$root/usr/share/applications/levelnet.desktop"
check "desktop entry names the window" grep -q '^Exec=levelnet-gui' "$root/usr/share/applications/levelnet.desktop"
check "icon installed" test -s "$root/usr/share/icons/hicolor/scalable/apps/levelnet.svg"
check "file type of .pc files" grep -q 'pattern="\*.pc"' "$root/usr/share/mime/packages/levelnet.xml"
for page in levelnet levelnet-gui; do
  man_page="$root/usr/share/man/man1/$page.1.gz"
  check "manual page of $page installed, compressed" gzip -t "$man_page"
  check "manual page of $page reads" lexgrog "$man_page"
  MANWIDTH=80 man -l "$man_page" 2>/dev/null >"$work/man.txt"
  check "manual page of $page has the version" grep -q "levelnet $version" "$work/man.txt"
  check "manual page of $page names SOURCE_DATE_EPOCH" grep -q "SOURCE_DATE_EPOCH" "$work/man.txt"
done
doc="$root/usr/share/doc/levelnet"
check "README and licence installed" test -s "$doc/README.md" -a -s "$doc/LICENSE"
check "copyright file, machine-readable" grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$doc/copyright"
check "copyright: GPL 3 or later" grep -q '^License: GPL-3+$' "$doc/copyright"
gzip -dc "$doc/changelog.gz" >"$work/changelog"
check "changelog: its latest entry is the package's version" \
  test "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$version"
check "changelog: compressed without name or time" test "$(od -An -tx1 -j4 -N4 "$doc/changelog.gz" | tr -d ' ')" = 00000000
for program in usr/bin/levelnet usr/bin/levelnet-gui usr/libexec/levelnet/levelnet-pdf; do
  check "$program stripped" bash -c '! readelf -S "$1" | grep -q "\.symtab"' _ "$root/$program"
done
check "maintainer: a real address" bash -c '! dpkg-deb -f "$1" Maintainer | grep -q "localhost"' _ "$deb"

# The window, installed, draws itself off-screen with an adjusted example.
QT_QPA_PLATFORM=offscreen "$root/usr/bin/levelnet-gui" --screenshot "$work/window.png" --adjust \
  "$root/usr/share/doc/levelnet/examples/city_network.pc" >/dev/null 2>&1
check "the installed window runs: status 0" status_is "$?" 0
check "the installed window runs: a PNG" test "$(head -c 8 "$work/window.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a

finish
