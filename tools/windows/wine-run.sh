#!/usr/bin/env bash
# Runs a Windows program of the cross-build under Wine: the tests' emulator
# (CMAKE_CROSSCOMPILING_EMULATOR) and the installer test. One Wine prefix in
# the cache folder, made on first use; Wine's own diagnostics are off so that
# standard error holds only the program's messages.
#   tools/windows/wine-run.sh PROGRAM.exe [ARGUMENTS…]
set -euo pipefail
wine="$(command -v wine64 || true)"
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "wine-run: wine64 is not installed (Debian package wine64)" >&2; exit 127; }
export WINEPREFIX="${WINEPREFIX:-${LEVELNET_QT_CACHE:-$HOME/.cache/levelnet}/wine-prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No desktop integration, no Mono or Gecko download prompts in a test run.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
# The DLLs a program of the build folder needs, where they lie on this
# machine: the MinGW-w64 runtime and Qt for Windows in the cache (an
# installed program has them beside it instead, and LEVELNET_WINE_BARE=1
# leaves these out, so that a DLL missing from the installer is missed).
cache="${LEVELNET_QT_CACHE:-$HOME/.cache/levelnet}"
dlls=()
runtime="$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll 2>/dev/null || true)"
[ -f "$runtime" ] && dlls+=("Z:${runtime%/*}")
[ -f /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll ] && dlls+=("Z:/usr/x86_64-w64-mingw32/lib")
for qt in "$cache"/qt-*-mingw64/bin; do [ -d "$qt" ] && dlls+=("Z:$qt"); done
[ "${LEVELNET_WINE_BARE:-0}" = 1 ] && dlls=()
if [ ${#dlls[@]} -gt 0 ]; then
  path="$(IFS=';'; printf '%s' "${dlls[*]}")"
  export WINEPATH="${WINEPATH:+$WINEPATH;}$path"
fi
# Qt's plugins for the programs of the build folder.
if [ -z "${QT_PLUGIN_PATH:-}" ] && [ "${LEVELNET_WINE_BARE:-0}" != 1 ]; then
  for qt in "$cache"/qt-*-mingw64/plugins; do [ -d "$qt" ] && export QT_PLUGIN_PATH="Z:$qt"; done
fi
if [ ! -d "$WINEPREFIX/drive_c" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1 || true
fi
# Wine hands a Windows program no environment variable whose name begins
# with QT_ (the platform, the font folder, the plugins of a test run): they
# go through the user's environment in the prefix's registry instead,
# written only when one is new or changed (a stamp in the prefix lists what
# is there). A bare run (the installed programs) clears them, so that an
# installed program finds only what the installer put beside it.
stamp="$WINEPREFIX/levelnet-qt-environment"
touch "$stamp"
# One program at a time updates them (CTest starts several at once): each
# finds what the one before wrote before it starts.
exec 7>>"$stamp.lock"
flock 7
if [ "${LEVELNET_WINE_BARE:-0}" = 1 ]; then
  if [ -s "$stamp" ]; then
    while IFS='=' read -r name _; do
      [ -n "$name" ] && "$wine" reg delete 'HKCU\Environment' /v "$name" /f >/dev/null 2>&1 || true
    done <"$stamp"
    : >"$stamp"
  fi
else
  while IFS= read -r setting; do
    [ -n "$setting" ] || continue
    grep -qxF -- "$setting" "$stamp" && continue
    name="${setting%%=*}"
    "$wine" reg add 'HKCU\Environment' /v "$name" /t REG_SZ /d "${setting#*=}" /f >/dev/null 2>&1 || true
    { grep -v "^$name=" "$stamp" || true; printf '%s\n' "$setting"; } >"$stamp.new" && mv "$stamp.new" "$stamp"
  done < <(env | grep '^QT_' | sort)
fi
flock -u 7
exec 7>&-
exec "$wine" "$@"
