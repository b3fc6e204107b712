#!/usr/bin/env bash
# The command line's conventions: --version, --help, usage errors, "-" for
# standard input and output, -o, "--", several files and their exit status.
# Usage: conventions_test.sh PROGRAM SOURCE_DIR
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../support/shell_checks.sh"
program="$1"
source="$2"
examples="$source/examples"
cases="$source/tests/cases"

# Version and help on standard output, status 0.
for flag in --version -V; do
  "$program" "$flag" >"$work/out" 2>"$work/err"
  check "$flag: status 0" status_is "$?" 0
  check "$flag: levelnet X.Y.Z" grep -qE '^levelnet [0-9]+\.[0-9]+\.[0-9]+$' "$work/out"
done
for args in "--help" "adjust --help" "check --help"; do
  # shellcheck disable=SC2086
  "$program" $args >"$work/out" 2>"$work/err"
  check "$args: status 0" status_is "$?" 0
  check "$args: usage on standard output" contains "$work/out" "用法"
  check "$args: nothing on standard error" test ! -s "$work/err"
done
"$program" adjust >"$work/out" 2>"$work/err"
check "usage error: status 2" status_is "$?" 2
check "usage error: short usage on standard error" contains "$work/err" "levelnet --help"
check "usage error: nothing on standard output" test ! -s "$work/out"

# "-" reads standard input; normalize IN - writes standard output.
"$program" adjust - <"$examples/city_network.pc" >"$work/out"
check "adjust -: status 0" status_is "$?" 0
check "adjust -: the same report" cmp -s "$work/out" "$cases/city_network.report"
"$program" normalize - - <"$examples/two_benchmarks.pc" >"$work/out" 2>"$work/err"
check "normalize - -: refused as usage" status_is "$?" 2
"$program" normalize "$examples/two_benchmarks.pc" - >"$work/out"
check "normalize IN -: the normalised bytes" cmp -s "$work/out" "$cases/two_benchmarks.normalized.pc"

# -o saves the report through the safe save.
"$program" adjust -o "$work/report.txt" "$examples/city_network.pc" >"$work/out"
check "-o: status 0" status_is "$?" 0
check "-o: nothing on standard output" test ! -s "$work/out"
check "-o: the report in the file" cmp -s "$work/report.txt" "$cases/city_network.report"
chmod 444 "$work/report.txt"
"$program" adjust --output "$work/report.txt" "$examples/loop_a_b.pc" 2>"$work/err"
check "-o on a read-only file: status 1" status_is "$?" 1
check "-o on a read-only file: left alone" cmp -s "$work/report.txt" "$cases/city_network.report"
check "-o on a read-only file: the reason" contains "$work/err" "文件只读"
# A refused run leaves the file of -o as it was (it used to be emptied), for
# adjust and check; the report streams into the file in GBK as on standard
# output.
chmod 644 "$work/report.txt"
for command in adjust check; do
  "$program" "$command" -o "$work/report.txt" "$cases/zero_length.pc" "$work/missing.pc" 2>"$work/err"
  check "$command -o, every file refused: status 1" status_is "$?" 1
  check "$command -o, every file refused: the old file kept" cmp -s "$work/report.txt" "$cases/city_network.report"
done
"$program" adjust --encoding gbk -o "$work/report.gbk" "$examples/city_network.pc"
check "-o in GBK: the GBK report" cmp -s "$work/report.gbk" "$cases/city_network.report.gbk"

# The check's and the design's reports in GBK (--encoding gbk, or a GBK
# terminal): the symbols of their formulas that GBK has not are written as
# GBK can, the rest is the UTF-8 report's text.
standins='s/−/－/g; s/∇/▽/g; s/²/^2/g; s/ᵀ/^T/g; s/Š/S/g'
for args in "check --grade 三等" "design --sigma-km 1"; do
  file="$examples/city_network.pc"
  [ "${args%% *}" = design ] && file="$examples/city_planned.pc"
  # shellcheck disable=SC2086
  "$program" $args "$file" >"$work/utf8.txt" 2>/dev/null
  # shellcheck disable=SC2086
  "$program" $args --encoding gbk "$file" >"$work/gbk.txt" 2>"$work/err"
  check "$args --encoding gbk: status 0" status_is "$?" 0
  check "$args --encoding gbk: the UTF-8 report's text" \
    cmp -s <(iconv -f GBK -t UTF-8 "$work/gbk.txt") <(sed "$standins" "$work/utf8.txt")
  check "$args --encoding gbk: the report has such symbols" grep -q "▽\|－" <(iconv -f GBK -t UTF-8 "$work/gbk.txt")
done

# On a terminal whose character set is GBK (here a pseudo-terminal under a
# zh_CN.GBK locale, where there is one) the report, the messages and the
# usage all come in GBK.
if locale -a 2>/dev/null | grep -qi '^zh_CN\.gbk$' && command -v script >/dev/null; then
  on_gbk_terminal() { LC_ALL=zh_CN.GBK script -qec "$*" /dev/null | tr -d '\r'; }
  on_gbk_terminal "'$program' adjust '$work/missing.pc'" >"$work/term.txt"
  check "GBK terminal: the message in GBK" contains <(iconv -f GBK -t UTF-8 "$work/term.txt") "无法打开文件"
  on_gbk_terminal "'$program' --help" >"$work/term.txt"
  check "GBK terminal: the usage in GBK" contains <(iconv -f GBK -t UTF-8 "$work/term.txt") "平差，把平差报告写到标准输出"
  on_gbk_terminal "'$program' check '$examples/city_network.pc'" >"$work/term.txt"
  "$program" check "$examples/city_network.pc" | tr -d '\r' | sed "$standins" >"$work/utf8.txt"
  check "GBK terminal: the check's report in GBK" cmp -s <(iconv -f GBK -t UTF-8 "$work/term.txt") "$work/utf8.txt"
  # A UTF-8 file whose last point has a name GBK cannot write, its check's
  # report of several blocks: refused before any of it is shown
  emoji=$(printf '\xf0\x9f\x98\x80')
  # (with a byte-order mark, read as UTF-8 for sure)
  awk -v n=12000 -v emoji="$emoji" 'BEGIN {
    printf "\357\273\2771,%d,%d,1\r\nA,10\r\n", n + 1, n + 2
    for (i = 1; i <= n; i++) printf "P%d,\r\n", i
    printf "点%s,\r\n", emoji
    for (i = 1; i <= n; i++) printf "%s,P%d,1.%03d,1\r\n", (i == 1 ? "A" : "P" (i - 1)), i, i % 1000
    printf "A,P%d,%d.000,%d\r\nP%d,点%s,0.5,1\r\n", n, n, n, n, emoji
  }' >"$work/emoji.pc"
  on_gbk_terminal "'$program' check '$work/emoji.pc'" >"$work/term.txt"
  iconv -f GBK -t UTF-8 "$work/term.txt" >"$work/term.utf8.txt"
  check "GBK terminal, a name GBK has not: the point named" contains "$work/term.utf8.txt" "点表第 12002 行的点名"
  check "GBK terminal, a name GBK has not: none of the report" test "$(grep -c "水准网观测数据检核" "$work/term.utf8.txt")" = 0
else
  echo "no zh_CN.GBK locale or no script(1) here: the GBK terminal is not tried"
fi

# "--" ends the options: a file named -x.pc.
cp "$examples/city_network.pc" "$work/-x.pc"
(cd "$work" && "$program" adjust -- -x.pc >"$work/out")
check "--: status 0" status_is "$?" 0
check "--: the file's report" cmp -s "$work/out" "$cases/city_network.report"
(cd "$work" && "$program" adjust -x.pc >/dev/null 2>"$work/err")
check "without --: an unknown option" status_is "$?" 2

# Several files: a line naming each, the worst status, a refused file does
# not stop the others; messages name their file.
"$program" adjust "$examples/one_unknown.pc" "$work/missing.pc" "$examples/loop_a_b.pc" >"$work/out" 2>"$work/err"
check "several files, one missing: status 1" status_is "$?" 1
check "several files: the first is named" contains "$work/out" "==> $examples/one_unknown.pc <=="
check "several files: the one after the refused file ran" contains "$work/out" "==> $examples/loop_a_b.pc <=="
check "several files: the message names its file" contains "$work/err" "levelnet: $work/missing.pc: "
"$program" check "$examples/city_network.pc" "$cases/city_blunder.pc" --grade 三等 --sigma-km 1.5 >"$work/out" 2>"$work/err"
check "check, one blunder: status 3" status_is "$?" 3
"$program" check "$cases/city_blunder.pc" "$work/missing.pc" --grade 三等 --sigma-km 1.5 >"$work/out" 2>"$work/err"
check "check, a blunder and a missing file: status 1" status_is "$?" 1

# Bytes that read as well in GBK as in UTF-8 (谢鹬 in UTF-8) are read as GBK,
# the format, with a word and the option that reads them as UTF-8.
printf '1,1,2,1\r\n\xE8\xB0\xA2\xE9\xB9\xAC,10\r\nP,\r\n\xE8\xB0\xA2\xE9\xB9\xAC,P,1.5,1\r\nP,\xE8\xB0\xA2\xE9\xB9\xAC,-1.5,1\r\n' >"$work/both.pc"
"$program" adjust "$work/both.pc" >"$work/out" 2>"$work/err"
check "ambiguous bytes: status 0" status_is "$?" 0
check "ambiguous bytes: said, with the option" contains "$work/err" "都读得通，已按平差文件的格式 GBK 读入；若它是 UTF-8 编码的，请按 UTF-8 读入（--encoding utf-8）"
"$program" adjust --encoding utf-8 "$work/both.pc" >"$work/out" 2>"$work/err"
check "ambiguous bytes, --encoding utf-8: the UTF-8 names" contains "$work/out" "谢鹬"

finish
