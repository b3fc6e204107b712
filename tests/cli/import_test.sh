#!/usr/bin/env bash
# levelnet import: field records into a .pc through the safe save, the
# station report on standard output, exit codes 0 / 1 / 2 / 3.
# Usage: import_test.sh PROGRAM SOURCE_DIR
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../support/shell_checks.sh"
program="$1"
source="$2"
example="$source/examples/fieldbook_four_order.csv"
cases="$source/tests/cases/fieldbook"

"$program" import "$example" -o "$work/net.pc" --known BM1=50.000 --known BM2=51.668 >"$work/out" 2>"$work/err"
check "example: status 0" status_is "$?" 0
check "example: nothing on standard error" test ! -s "$work/err"
check "example: the report" contains "$work/out" "结论：全部测站与测段合格"
printf '2,1,2,1\r\nBM1,50.000\r\nBM2,51.668\r\nP1,\r\nBM1,P1,0.7450,0.2784\r\nP1,BM2,0.9200,0.134\r\n' >"$work/expected.pc"
check "example: the .pc" cmp -s "$work/net.pc" "$work/expected.pc"
"$program" import - -o "$work/stdin.pc" --known BM1=50.000 --known BM2=51.668 <"$example" >"$work/out" 2>"$work/err"
check "standard input: status 0" status_is "$?" 0
check "standard input: the same .pc" cmp -s "$work/stdin.pc" "$work/expected.pc"
check "standard input: named in the report" contains "$work/out" "标准输入"
"$program" import - - -o "$work/twice.pc" --known BM1=50.000 <"$example" >/dev/null 2>"$work/err"
check "standard input twice: status 2" status_is "$?" 2
check "standard input twice: nothing written" test ! -e "$work/twice.pc"
"$program" adjust "$work/net.pc" >"$work/report" 2>&1
check "example: the .pc adjusts" status_is "$?" 0
check "example: P1 adjusted" grep -q "P1 *50.7470" "$work/report"
"$program" import "$example" -o "$work/net2.pc" --known BM1=50.000,BM2=51.668 >/dev/null
check "--known with commas: the same .pc" cmp -s "$work/net2.pc" "$work/expected.pc"
# The window's syntax of known points: full-width commas, semicolons, blanks.
for known in 'BM1=50.000，BM2=51.668' 'BM1=50.000; BM2=51.668' 'BM1=50.000 BM2=51.668'; do
  "$program" import "$example" -o "$work/net3.pc" --known "$known" >/dev/null 2>"$work/err"
  check "--known '$known': the same .pc" cmp -s "$work/net3.pc" "$work/expected.pc"
done
# 等外 is the engineering fifth order, as the window's import takes it.
"$program" import "$example" -o "$work/fifth.pc" --grade 等外 --known BM1=50.000 >"$work/fifth.out" 2>/dev/null
"$program" import "$example" -o "$work/fifth2.pc" --grade 工程五等 --known BM1=50.000 >"$work/fifth2.out" 2>/dev/null
check "--grade 等外: the report of 工程五等" cmp -s "$work/fifth.out" "$work/fifth2.out"
check "--grade 等外: the .pc of 工程五等" cmp -s "$work/fifth.pc" "$work/fifth2.pc"

# The GSI-16 and the DiNi file of one line give the same .pc.
"$program" import "$cases/line_bffb.gsi" -o "$work/gsi.pc" --known BM1=50 --grade 二等 >/dev/null
check "gsi: status 0" status_is "$?" 0
"$program" import "$cases/line_bffb.dat" -o "$work/dini.pc" --known BM1=50 --grade 二等 >/dev/null
check "gsi and dini: the same .pc" cmp -s "$work/gsi.pc" "$work/dini.pc"

# The corrections of precise leveling: the .pc holds the corrected
# difference (1011.025 mm + 0.05 mm/m × 1.011 m + ε 2.01 + λ 0.03 = 1.0131 m), the
# report lists them, check --records finds the sections again with the same
# options, and the points file is an input no output may replace.
"$program" import "$cases/line_bffb.gsi" -o "$work/corr.pc" --known BM1=50 --grade 二等 --rod-metre-error 0.05 \
  --points "$cases/line_bffb_points.csv" >"$work/out" 2>"$work/err"
check "corrections: status 0" status_is "$?" 0
check "corrections: the corrected difference" grep -q "^BM1,P2,1.0131," "$work/corr.pc"
check "corrections: listed per section" contains "$work/out" "测段改正"
check "corrections: the scale correction's rule" contains "$work/out" "f = 0.05 mm/m"
"$program" import "$cases/line_bffb.gsi" -o "$cases/line_bffb_points.csv" --points "$cases/line_bffb_points.csv" \
  >/dev/null 2>"$work/err"
check "corrections: the points file is not overwritten" status_is "$?" 1
"$program" import "$cases/line_bffb.gsi" -o "$work/bad.pc" --rod-metre-error x >/dev/null 2>"$work/err"
check "corrections: a bad figure refused" status_is "$?" 1
check "corrections: a bad figure named" contains "$work/err" "标尺平均米长误差"
check "corrections: nothing written" test ! -e "$work/bad.pc"

# A station beyond its tolerance: the .pc is written, exit status 3.
"$program" import "$example" -o "$work/strict.pc" --grade 工程二等 --known BM1=50 >"$work/out" 2>"$work/err"
check "tolerance broken: status 3" status_is "$?" 3
check "tolerance broken: the station listed" grep -q "往测 *1 *4  后尺黑红面读数差" "$work/out"
check "tolerance broken: said on standard error" contains "$work/err" "有测站或测段超限"
check "tolerance broken: the .pc written" test -s "$work/strict.pc"

# A bad file: refused with file and line, nothing written.
printf '*110001+0000000000000BM1 32...8+0000000002050000 331.08+0000000000152345\n*110002+0000000000001001 99..08+0000000002040000\n' >"$work/bad.gsi"
"$program" import "$example" "$work/bad.gsi" -o "$work/none.pc" >"$work/out" 2>"$work/err"
check "bad file: status 1" status_is "$?" 1
check "bad file: file, line and reason" contains "$work/err" "levelnet: $work/bad.gsi: 文件“$work/bad.gsi”第 2 行：未知的 GSI 字索引 99"
check "bad file: nothing written" test ! -e "$work/none.pc"
check "bad file: no report" test ! -s "$work/out"

# A failed write is an error, never success.
mkdir "$work/dir"
"$program" import "$example" -o "$work/dir" >"$work/out" 2>"$work/err"
check "unwritable output: status 1" status_is "$?" 1
check "unwritable output: said" contains "$work/err" "无法保存到"

# Usage errors.
"$program" import "$example" >/dev/null 2>"$work/err"
check "no -o: status 2" status_is "$?" 2
check "no -o: said" contains "$work/err" "需要用 -o 指定"
"$program" import "$example" -o "$work/x.pc" --known BM1 >/dev/null 2>"$work/err"
check "--known without elevation: status 2" status_is "$?" 2
"$program" import "$example" -o "$work/x.pc" --grade 六等 >/dev/null 2>"$work/err"
check "unknown grade: status 2" status_is "$?" 2
"$program" adjust "$source/examples/loop_a_b.pc" --known BM1=1 >/dev/null 2>"$work/err"
check "--known outside import: status 2" status_is "$?" 2
"$program" import "$example" -o "$work/x.pc" --known BM1=abc >/dev/null 2>"$work/err"
check "elevation not a number: status 1" status_is "$?" 1
check "elevation not a number: nothing written" test ! -e "$work/x.pc"
# check --records: the station checks of the field files after the check
# report, and whether the network's observations came from them.
"$program" import "$example" -o "$work/records.pc" --known BM1=50.000 --known BM2=51.668 >/dev/null 2>&1
"$program" check "$work/records.pc" --grade 四等 --records "$example" >"$work/records.check" 2>"$work/err"
check "check --records: the check report first" grep -q '^水准网观测数据检核' "$work/records.check"
check "check --records: the station report follows" grep -q '观测手簿检核报告' "$work/records.check"
check "check --records: every observation from the book" grep -q '2 个观测值中 2 个与平差文件的观测值相同' "$work/records.check"
"$program" check "$source/examples/city_network.pc" --records "$example" >"$work/other.check" 2>"$work/err"
check "check --records of another network: said so" grep -q '注意：平差文件不全是由这些观测手簿得来的' "$work/other.check"
"$program" check "$work/records.pc" "$work/records.pc" --records "$example" >/dev/null 2>&1
check "check --records with two networks: usage error" status_is "$?" 2
"$program" adjust "$work/records.pc" --records "$example" >/dev/null 2>&1
check "--records for adjust: usage error" status_is "$?" 2

finish
