#!/usr/bin/env bash
# levelnet monitor: the example project in every format, its exit statuses,
# refused projects and outputs, and nothing written when it refuses.
# Usage: monitor_test.sh PROGRAM SOURCE_DIR WITH_XLSX(1|0)
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../support/shell_checks.sh"
program="$1"
source="$2"
with_xlsx="$3"
example="$source/examples/settlement"
project="$example/settlement.mon"

# The example: BM2 moved in epoch 5, J7 in 预警, J8 注意: status 3.
"$program" monitor "$project" >"$work/out.txt" 2>"$work/err"
check "txt: status 3 (a point in 预警)" status_is "$?" 3
check "txt: standard error names the point" contains "$work/err" "预警：J7 达到预警值"
check "txt: lines end in CR LF" test "$(grep -c $'\r$' "$work/out.txt")" -eq "$(wc -l <"$work/out.txt")"
check "txt: BM2 found moved in epoch 5" grep -qE "^ +5 +BM2 +[0-9.]+ +-[0-9.]+ +[0-9.]+ +移动" <(tr -d '\r' <"$work/out.txt")
check "txt: epoch 5 adjusted on BM1 and BM3" grep -qE "^5 .* BM1、BM3 " <(tr -d '\r' <"$work/out.txt")
check "txt: epochs 2-4 keep every benchmark" test "$(tr -d '\r' <"$work/out.txt" | grep -cE '^[234] .* BM1、BM2、BM3 ')" -eq 3
check "txt: J9 not observed in epoch 3, said" grep -qE "^J9 +3 .*未测" <(tr -d '\r' <"$work/out.txt")
check "txt: J7 预警, J8 注意" grep -qE "^J7 .*预警" <(tr -d '\r' <"$work/out.txt")
check "txt: six tables" test "$(grep -cE '^(一|二|三|四|五|六)、' "$work/out.txt")" -eq 6

# The heights are the epochs' own reports' where the epoch's frame is its file's.
"$program" adjust "$example/epoch02.pc" >"$work/epoch02.report"
j7="$(tr -d '\r' <"$work/epoch02.report" | awk '/^序号   点号/ {on = 1; next} on && $2 == "J7" {print $3; exit}')"
check "epoch 2: J7's height is the report's ($j7)" grep -qE "^J7 +2 +[0-9: -]+ +$j7 " <(tr -d '\r' <"$work/out.txt")

# CSV: UTF-8 with BOM, and GBK; the same rows.
"$program" monitor --format csv "$project" >"$work/out.csv" 2>/dev/null
check "csv: status 3" status_is "$?" 3
check "csv: byte-order mark" test "$(head -c 3 "$work/out.csv" | od -An -tx1 | tr -d ' ')" = "efbbbf"
check "csv: six tables" test "$(grep -cE $'^(\xEF\xBB\xBF)?(观测期|沉降观测成果表|沉降量明细|基准点稳定性检验|基准点位移|预警与稳定)\r$' "$work/out.csv")" -eq 6
"$program" monitor --format csv --encoding gbk -o "$work/out.gbk.csv" "$project" >"$work/stdout" 2>/dev/null
check "csv gbk -o: status 3" status_is "$?" 3
check "csv gbk -o: nothing on standard output" test ! -s "$work/stdout"
check "csv gbk: the same rows" cmp -s <(iconv -f GBK -t UTF-8 "$work/out.gbk.csv") <(tail -c +4 "$work/out.csv")

# JSON: valid, and the figures of the text table.
"$program" monitor --format json "$project" >"$work/out.json" 2>/dev/null
check "json: status 3" status_is "$?" 3
if command -v python3 >/dev/null; then
  check "json: BM2 moved from epoch 5, J7 预警" python3 - "$work/out.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
moved = [e["epoch"] for e in r["epochs"] if any(p["moved"] and p["name"] == "BM2" for p in e["referencePoints"])]
j7 = next(p for p in r["points"] if p["name"] == "J7")
assert moved == [5, 6, 7, 8], moved
assert j7["level"] == "预警", j7["level"]
assert j7["epochs"][-1]["cumulative"]["value"] <= -20, j7["epochs"][-1]
assert not next(p for p in r["points"] if p["name"] == "J9")["epochs"][2]["observed"]
PY
fi

# XLSX: one sheet per table, only with -o.
"$program" monitor --format xlsx "$project" >"$work/stdout" 2>"$work/err"
check "xlsx without -o: usage error" status_is "$?" 2
if [ "$with_xlsx" = 1 ] && command -v python3 >/dev/null; then
  "$program" monitor --format xlsx -o "$work/out.xlsx" "$project" 2>/dev/null
  check "xlsx: status 3" status_is "$?" 3
  check "xlsx: the sheets" python3 - "$work/out.xlsx" <<'PY'
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
book = z.read("xl/workbook.xml").decode("utf-8")
for name in ["概况", "观测期", "沉降观测成果表", "沉降量明细", "基准点稳定性检验", "基准点位移", "预警与稳定"]:
    assert 'name="%s"' % name in book, name
PY
fi

# The curves as PDF, where this build has the PDF writer (levelnet-pdf).
SOURCE_DATE_EPOCH=1733000000 "$program" monitor --pdf "$work/curves.pdf" "$project" >"$work/stdout" 2>"$work/err"
pdf_status=$?
if grep -q "没有编译 PDF" "$work/err"; then
  check "--pdf without the PDF writer: status 1" status_is "$pdf_status" 1
  check "--pdf without the PDF writer: nothing written" test ! -e "$work/curves.pdf"
elif command -v pdftotext >/dev/null; then
  check "--pdf: status 3 (J7 in 预警)" status_is "$pdf_status" 3
  check "--pdf: no tables on standard output" test ! -s "$work/stdout"
  pdftotext "$work/curves.pdf" "$work/curves.txt"
  check "--pdf: five pages" test "$(pdfinfo "$work/curves.pdf" | awk '/^Pages:/ {print $2}')" = 5
  for text in "时间-荷载-沉降量曲线" "累计沉降量(mm)" "荷载(层)" "预警值 -20 mm" "末次观测的累计沉降量" \
    "J7 时间-沉降量曲线（预警）" "J10 时间-沉降量曲线" "2024-11-30" "第 5 页 共 5 页"; do
    check "--pdf: $text" contains "$work/curves.txt" "$text"
  done
  # With SOURCE_DATE_EPOCH the PDF carries that moment, so it is made again
  # byte for byte (Qt would stamp the present).
  pdfinfo "$work/curves.pdf" | grep '^CreationDate:' >"$work/created.txt"
  check "--pdf: dated by SOURCE_DATE_EPOCH" contains "$work/created.txt" "2024"
  sleep 1
  SOURCE_DATE_EPOCH=1733000000 "$program" monitor --pdf "$work/curves2.pdf" "$project" >/dev/null 2>&1
  check "--pdf: the same bytes when made again" cmp -s "$work/curves.pdf" "$work/curves2.pdf"
fi

# A project without warning values: status 0; options change the verdicts.
mkdir -p "$work/site"
cp "$example"/epoch0*.pc "$work/site/"
grep -v '^预警值' "$project" >"$work/site/quiet.mon"
"$program" monitor "$work/site/quiet.mon" >"$work/quiet.txt" 2>"$work/err"
check "no warning values: status 0" status_is "$?" 0
"$program" monitor --stable-rate 0.001 "$work/site/quiet.mon" >"$work/strict.txt" 2>/dev/null
check "--stable-rate 0.001: every point 未稳定" test "$(tr -d '\r' <"$work/strict.txt" | grep -cE '^J[0-9]+ .*未稳定$')" -eq 10
"$program" monitor --stable-rate 0 "$project" >"$work/out" 2>"$work/err"
check "--stable-rate 0: usage error" status_is "$?" 2
"$program" monitor --attention 150 "$project" >"$work/out" 2>"$work/err"
check "--attention 150: usage error" status_is "$?" 2
"$program" results --stable-rate 0.1 "$source/examples/city_network.pc" >"$work/out" 2>"$work/err"
check "--stable-rate only for monitor" status_is "$?" 2

# A project in GBK reads as the UTF-8 one.
iconv -f UTF-8 -t GBK "$work/site/quiet.mon" >"$work/site/quiet-gbk.mon"
"$program" monitor "$work/site/quiet-gbk.mon" 2>/dev/null | sed 's/quiet-gbk.mon/quiet.mon/' >"$work/gbk.txt"
check "GBK project: the same tables" cmp -s "$work/gbk.txt" "$work/quiet.txt"

# Refusals: exit 1, the file and line named, nothing written.
refused() {  # NAME PROJECT_TEXT MESSAGE
  printf '%s' "$2" >"$work/site/bad.mon"
  echo "old" >"$work/target.txt"
  "$program" monitor -o "$work/target.txt" "$work/site/bad.mon" >"$work/out" 2>"$work/err"
  check "$1: status 1" status_is "$?" 1
  check "$1: message" contains "$work/err" "$3"
  check "$1: the target untouched" test "$(cat "$work/target.txt")" = "old"
}
head='基准点 = BM1, BM2, BM3
'
refused "missing epoch file" "${head}期 = 2024-03-01, epoch01.pc
期 = 2024-03-02, nowhere.pc
" "第 3 行，第 2 期的平差文件“nowhere.pc”"
refused "dates out of order" "${head}期 = 2024-03-01, epoch01.pc
期 = 2024-02-01, epoch02.pc
" "第 3 行：日期“2024-02-01”早于第 2 行"
refused "repeated date" "${head}期 = 2024-03-01, epoch01.pc
期 = 2024-03-01, epoch02.pc
" "与第 2 行的观测期相同"
refused "reference point absent" '基准点 = BM1, BM2, BM9
期 = 2024-03-01, epoch01.pc
' "中没有基准点“BM9”"
refused "near-duplicate name" '基准点 = BM1, BM2, bm3
期 = 2024-03-01, epoch01.pc
' "只差空格或大小写"
"$program" monitor "$work/site/nothing.mon" >"$work/out" 2>"$work/err"
check "no project file: status 1" status_is "$?" 1

# No output replaces an input: the project or an epoch's file.
cp "$work/site/epoch01.pc" "$work/epoch01.before"
"$program" monitor -o "$work/site/epoch01.pc" "$work/site/quiet.mon" >"$work/out" 2>"$work/err"
check "-o onto an epoch: status 1" status_is "$?" 1
check "-o onto an epoch: the epoch untouched" cmp -s "$work/site/epoch01.pc" "$work/epoch01.before"
"$program" monitor -o "$work/site/quiet.mon" "$work/site/quiet.mon" >"$work/out" 2>"$work/err"
check "-o onto the project: status 1" status_is "$?" 1

finish
