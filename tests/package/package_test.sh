#!/usr/bin/env bash
# Builds the Debian package from a configured and built build directory,
# unpacks it into a temporary root and uses what it installed: the programs,
# the manual page, the desktop entry, the icon, the file type, the examples.
# Usage: package_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../support/shell_checks.sh"
build="$1"
source="$2"

if ! (cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1); then
  cat "$work/cpack.log" >&2
  echo "0 passed, 1 failed"
  exit 1
fi
deb="$(ls "$work"/out/levelnet_*.deb 2>/dev/null | head -1)"
check "a .deb was made" test -n "$deb"
dpkg-deb -f "$deb" Depends >"$work/depends"
check "Depends names the Qt runtime" grep -q 'libqt6widgets6' "$work/depends"
check "Depends names the C++ runtime" grep -q 'libstdc++6' "$work/depends"
version="$(dpkg-deb -f "$deb" Version)"
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
man_page="$(ls "$root"/usr/share/man/man1/levelnet.1* 2>/dev/null | head -1)"
check "manual page installed" test -n "$man_page"
check "manual page reads" lexgrog "$man_page"
MANWIDTH=80 man -l "$man_page" 2>/dev/null >"$work/man.txt"
check "manual page has the version" grep -q "levelnet $version" "$work/man.txt"
check "README and licence installed" test -s "$root/usr/share/doc/levelnet/README.md" -a -s "$root/usr/share/doc/levelnet/LICENSE"

finish
