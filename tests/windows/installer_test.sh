#!/usr/bin/env bash
# The Windows installer, as a user meets it, under Wine: installed silently
# for all users, its program folder, Start-menu entry and .pc file type
# checked; the installed programs give the same report, 成果表 (txt, csv,
# json, xlsx), 网图 SVG (Graphviz's layout) and PDF bytes as the Linux build; a file with a Chinese name in
# a Chinese folder opens in the window; the installer is made again byte for
# byte with SOURCE_DATE_EPOCH; the uninstaller takes everything away.
#   installer_test.sh INSTALLER.exe SOURCE_DIR BUILD_DIR
set -uo pipefail
installer="$1" root="$2" build="$3"
wine="$root/tools/windows/wine-run.sh"
native="$root/levelnet"
# The installed programs find only what the installer put beside them.
export LEVELNET_WINE_BARE=1
export WINEPREFIX="${WINEPREFIX:-${LEVELNET_QT_CACHE:-$HOME/.cache/levelnet}/wine-prefix}"
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-1767225600}"   # for the PDF, the workbook, the installer
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { printf 'FAIL: %s\n' "$*" >&2; failures=$((failures + 1)); }
wait_wine() { "$(dirname "$(command -v wine64 || echo /usr/lib/wine/wine64)")/wineserver" -w 2>/dev/null ||
  /usr/lib/wine/wineserver -w 2>/dev/null || true; }

program_folder="$WINEPREFIX/drive_c/Program Files/levelnet"
"$wine" "$installer" /S
wait_wine
for f in levelnet.exe levelnet-gui.exe levelnet-pdf.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6PrintSupport.dll \
         libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll qt.conf plugins/platforms/qwindows.dll \
         plugins/platforms/qoffscreen.dll translations/qtbase_zh_CN.qm fonts/uming.ttc fonts/DejaVuSerif.ttf Uninstall.exe \
         examples/city_network.pc README.md LICENSE; do
  [ -f "$program_folder/$f" ] || fail "the program folder lacks $f"
done
# No DLL beyond the system's, the MinGW runtime's and Qt's is needed.
for exe in levelnet.exe levelnet-pdf.exe levelnet-gui.exe; do
  for dll in $(x86_64-w64-mingw32-objdump -p "$program_folder/$exe" 2>/dev/null | sed -n 's/^\s*DLL Name: //p'); do
    case "$dll" in
      KERNEL32.dll|USER32.dll|SHELL32.dll|ADVAPI32.dll|msvcrt.dll|ole32.dll|GDI32.dll|WS2_32.dll|api-ms-*|Qt6*.dll|libstdc++-6.dll|libgcc_s_seh-1.dll|libwinpthread-1.dll) ;;
      *) [ -f "$program_folder/$dll" ] || fail "$exe needs $dll, which Windows does not have" ;;
    esac
  done
done
menu="$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name '水准网平差.lnk' 2>/dev/null | head -n1)"
[ -n "$menu" ] || fail "no Start-menu entry 水准网平差"
"$wine" reg query 'HKEY_CLASSES_ROOT\.pc' /ve 2>/dev/null | tr -d '\r' | grep -q 'levelnet.pc' ||
  fail ".pc files are not associated with levelnet"
"$wine" reg query 'HKEY_CLASSES_ROOT\levelnet.pc\shell\open\command' /ve 2>/dev/null | tr -d '\r' |
  grep -q 'levelnet-gui.exe" "%1"' || fail "the .pc file type does not open levelnet-gui.exe with the file"

# The same bytes as on Linux, for every example and every output.
cd "$root"
windows() { "$wine" "$program_folder/$1" "${@:2}"; }
for example in examples/*.pc; do
  name="$(basename "$example" .pc)"
  "$native" adjust "$example" >"$work/$name.linux" 2>/dev/null
  windows levelnet.exe adjust "$example" >"$work/$name.windows" 2>/dev/null
  cmp -s "$work/$name.linux" "$work/$name.windows" || fail "the report of $example differs from Linux's"
  "$native" check "$example" --grade 三等 >"$work/$name.check.linux" 2>/dev/null
  windows levelnet.exe check "$example" --grade 三等 >"$work/$name.check.windows" 2>/dev/null
  cmp -s "$work/$name.check.linux" "$work/$name.check.windows" || fail "the check report of $example differs"
done
for format in txt csv json; do
  "$native" results --format $format examples/city_network.pc >"$work/results.$format.linux" 2>/dev/null
  windows levelnet.exe results --format $format examples/city_network.pc >"$work/results.$format.windows" 2>/dev/null
  cmp -s "$work/results.$format.linux" "$work/results.$format.windows" || fail "results --format $format differs"
done
"$native" results --format xlsx -o "$work/linux.xlsx" examples/city_network.pc 2>/dev/null
windows levelnet.exe results --format xlsx -o "$work/windows.xlsx" examples/city_network.pc 2>/dev/null
cmp -s "$work/linux.xlsx" "$work/windows.xlsx" || fail "the XLSX 成果表 differs from Linux's"
# The 网图 of networks without coordinates, laid out by Graphviz (neato up
# to 1000 points, sfdp above: a 33 x 33 grid), the same SVG as on Linux.
awk 'BEGIN {
  n = 33; printf "1,%d,%d,1\n", n * n - 1, 2 * n * (n - 1)
  for (r = 0; r < n; r++) for (c = 0; c < n; c++) printf (r + c == 0 ? "G%d_%d,50\n" : "G%d_%d,\n"), r, c
  for (r = 0; r < n; r++) for (c = 0; c < n; c++) {
    if (c + 1 < n) printf "G%d_%d,G%d_%d,%.3f,%d\n", r, c, r, c + 1, ((r * 7 + c * 3) % 11 - 5) / 1000, 1 + (r + c) % 3
    if (r + 1 < n) printf "G%d_%d,G%d_%d,%.3f,%d\n", r, c, r + 1, c, ((r * 5 + c) % 13 - 6) / 1000, 1 + (r * c) % 4
  } }' >"$work/grid_33.pc"
for network in examples/*.pc "$work/grid_33.pc"; do
  name="$(basename "$network" .pc)"
  "$native" plot "$network" -o "$work/$name.linux.svg" 2>/dev/null
  windows levelnet.exe plot "$network" -o "$work/$name.windows.svg" 2>/dev/null
  if [ ! -s "$work/$name.windows.svg" ]; then
    fail "plot $network wrote no SVG on Windows"
  elif ! cmp -s "$work/$name.linux.svg" "$work/$name.windows.svg"; then
    fail "the 网图 SVG of $network differs from Linux's"
  fi
done
"$native" report examples/city_network.pc --pdf "$work/linux.pdf" --with-check 2>/dev/null
windows levelnet.exe report examples/city_network.pc --pdf "$work/windows.pdf" --with-check 2>/dev/null
if [ ! -s "$work/windows.pdf" ]; then
  fail "report --pdf wrote no PDF on Windows"
elif command -v pdftotext >/dev/null; then
  pdftotext -layout "$work/linux.pdf" "$work/linux.pdf.txt"
  pdftotext -layout "$work/windows.pdf" "$work/windows.pdf.txt"
  if ! cmp -s "$work/linux.pdf.txt" "$work/windows.pdf.txt"; then
    fail "the PDF's text differs from Linux's"
  elif ! cmp -s "$work/linux.pdf" "$work/windows.pdf"; then
    fail "the PDF bytes differ from Linux's (its text is the same)"
  fi
fi
# A failed save is an error on Windows too: a folder that does not exist.
windows levelnet.exe results --format csv -o 'C:\no\such\folder\r.csv' examples/city_network.pc 2>"$work/err"
[ $? -eq 1 ] && [ -s "$work/err" ] || fail "a save into a missing folder did not fail with status 1"

# A Chinese file name in a Chinese folder, opened as the file type opens it.
mkdir -p "$work/测量 数据"
cp examples/city_network.pc "$work/测量 数据/城区网.pc"
windows levelnet-gui.exe --screenshot "$work/window.png" --adjust "Z:$work/测量 数据/城区网.pc" 2>"$work/gui.err"
[ -s "$work/window.png" ] || fail "the window did not open 城区网.pc in 测量 数据: $(cat "$work/gui.err")"
windows levelnet.exe adjust "Z:$work/测量 数据/城区网.pc" >"$work/chinese.windows" 2>/dev/null
cmp -s "$work/chinese.windows" "$work/city_network.linux" || fail "adjust of a file with a Chinese name differs"

# The installer again, from the same files: the same bytes.
cp "$installer" "$work/first.exe"
(cd "$build" && cpack -G NSIS >/dev/null 2>&1) || fail "cpack failed the second time"
cmp -s "$installer" "$work/first.exe" || fail "the installer is not made again byte for byte"

# Uninstalled: the folder, the menu entry and the file type are gone.
"$wine" "$program_folder/Uninstall.exe" /S
wait_wine
sleep 2
wait_wine
[ ! -e "$program_folder/levelnet.exe" ] || fail "the uninstaller left levelnet.exe"
[ -z "$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name '水准网平差.lnk' 2>/dev/null)" ] ||
  fail "the uninstaller left the Start-menu entry"
"$wine" reg query 'HKEY_CLASSES_ROOT\levelnet.pc' >/dev/null 2>&1 && fail "the uninstaller left the file type"

if [ "$failures" -gt 0 ]; then
  printf '%d check(s) of the installer failed\n' "$failures" >&2
  exit 1
fi
printf 'installer: installed, same bytes as Linux, Chinese names, reproducible, uninstalled\n' >&2
