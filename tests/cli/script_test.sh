#!/usr/bin/env bash
# The ./levelnet script: two calls at the same time on a fresh build
# directory both succeed (one builds, the other waits), and a call through a
# symbolic link from another folder finds the checkout and keeps file names
# relative to the caller. Usage: script_test.sh SOURCE_DIR
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../support/shell_checks.sh"
source="$1"
export LEVELNET_BUILD_DIR="$work/build"

"$source/levelnet" --version >"$work/first" 2>"$work/first.err" &
first=$!
"$source/levelnet" --version >"$work/second" 2>"$work/second.err" &
second=$!
wait $first; s1=$?
wait $second; s2=$?
check "first call at the same time succeeds" test "$s1" -eq 0
check "second call at the same time succeeds" test "$s2" -eq 0
check "both print the version" test "$(cat "$work/first")" = "$(cat "$work/second")" -a -s "$work/first"
[ "$s1" -eq 0 ] || cat "$work/first.err" >&2
[ "$s2" -eq 0 ] || cat "$work/second.err" >&2

mkdir -p "$work/elsewhere/data"
ln -s "$source/levelnet" "$work/elsewhere/levelnet"
cp "$source/examples/city_network.pc" "$work/elsewhere/data/net.pc"
(cd "$work/elsewhere" && ./levelnet adjust data/net.pc >"$work/report")
check "through a link, a relative file name" test $? -eq 0
check "through a link: the report" cmp -s "$work/report" "$source/tests/cases/city_network.report"

finish
