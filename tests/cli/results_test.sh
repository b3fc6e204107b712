#!/usr/bin/env bash
# levelnet results: the 成果表 in each format, read back and compared with
# the report; usage errors, refused files and failed writes.
# Usage: results_test.sh PROGRAM SOURCE_DIR WITH_XLSX(1|0)
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../support/shell_checks.sh"
program="$1"
source="$2"
with_xlsx="$3"
examples="$source/examples"
cases="$source/tests/cases"
city="$examples/city_network.pc"

# The JSON and XLSX files are read back with Python's json and zipfile.
if command -v python3 >/dev/null; then
  python() { python3 "$@"; }
else
  echo "SKIPPED: the JSON and XLSX read-back checks (python3 is not installed)" >&2
  python() { cat >/dev/null; true; }
fi

# The report's section 5 as "name elevation" lines, and section 7's M values.
tr -d '\r' <"$cases/city_network.report" |
  awk '/^序号   点号/ {on = 1; next} on && /^$/ {exit} on {print $2, $3}' >"$work/report_points"
check "report parsed: twelve points" test "$(wc -l <"$work/report_points")" -eq 12

# txt, the default, to standard output.
"$program" results "$city" >"$work/out.txt" 2>"$work/err"
check "txt: status 0" status_is "$?" 0
check "txt: nothing on standard error" test ! -s "$work/err"
check "txt: the title" contains "$work/out.txt" "水准网平差成果表"
check "txt: lines end in CR LF" test "$(grep -c $'\r$' "$work/out.txt")" -eq "$(wc -l <"$work/out.txt")"
while read -r name elevation; do
  check "txt: $name $elevation on its line" grep -qE "^ +[0-9]+  $name +(已知点|待定点) +$elevation( |$)" \
    <(tr -d '\r' <"$work/out.txt")
done <"$work/report_points"
check "txt: μ as the report" contains "$work/out.txt" "单位权中误差 μ = ±1.317 mm"
"$program" results --format txt --encoding gbk "$city" >"$work/out.gbk.txt"
check "txt --encoding gbk: the same text in GBK" cmp -s <(iconv -f GBK -t UTF-8 "$work/out.gbk.txt") "$work/out.txt"

# csv: UTF-8 with byte-order mark; GBK without.
"$program" results --format csv "$city" >"$work/out.csv"
check "csv: status 0" status_is "$?" 0
check "csv: byte-order mark" test "$(head -c 3 "$work/out.csv" | od -An -tx1 | tr -d ' ')" = "efbbbf"
while read -r name elevation; do
  check "csv: $name,$elevation" grep -qE "^[0-9]+,$name,(已知点|待定点),$elevation," "$work/out.csv"
done <"$work/report_points"
check "csv: three sections" test "$(grep -cE $'^(\xEF\xBB\xBF)?(点成果|观测值|精度评定)\r$' "$work/out.csv")" -eq 3
"$program" results --format=csv --encoding gbk -o "$work/out.gbk.csv" "$city" >"$work/out" 2>"$work/err"
check "csv gbk -o: status 0" status_is "$?" 0
check "csv gbk -o: nothing on standard output" test ! -s "$work/out"
check "csv gbk: no byte-order mark, the same rows" cmp -s <(iconv -f GBK -t UTF-8 "$work/out.gbk.csv") \
  <(tail -c +4 "$work/out.csv")

# json: valid, and its texts and values are the report's.
"$program" results --format json "$city" >"$work/out.json"
check "json: status 0" status_is "$?" 0
check "json: valid JSON" python -c 'import json,sys; json.load(sys.stdin)' <"$work/out.json"
check "json: points, texts and values as the report" python - "$work/out.json" "$work/report_points" <<'EOF'
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
report = [line.split() for line in open(sys.argv[2], encoding="utf-8")]
points = d["points"]
assert [p["name"] for p in points] == [r[0] for r in report], "names"
assert [p["elevationText"] for p in points] == [r[1] for r in report], "elevation texts"
for p in points:
    assert abs(p["elevation"] - float(p["elevationText"])) <= 0.00005 + 1e-12, p
    assert (p["standardError"] is None) == p["known"], p
assert d["precision"]["unitWeightErrorText"] == "1.317"
assert d["precision"]["redundancy"] == 10 and len(d["observations"]) == 19
EOF

# xlsx: two sheets with the names and elevations; only with -o.
"$program" results --format xlsx "$city" >"$work/out" 2>"$work/err"
check "xlsx without -o: usage error" status_is "$?" 2
check "xlsx without -o: nothing on standard output" test ! -s "$work/out"
if [ "$with_xlsx" = 1 ]; then
  mkdir "$work/tmp"
  TMPDIR="$work/tmp" "$program" results --format xlsx -o "$work/out.xlsx" "$city"
  check "xlsx: status 0" status_is "$?" 0
  check "xlsx: no temporary files left" test -z "$(ls -A "$work/tmp")"
  # A full temporary folder: the program's own reason naming the folder, no
  # English lines of the library, nothing written (a tmpfs needs root).
  mkdir "$work/full"
  if mount -t tmpfs -o size=4k tmpfs "$work/full" 2>/dev/null; then
    dd if=/dev/zero of="$work/full/fill" bs=1k count=4 2>/dev/null
    TMPDIR="$work/full" "$program" results --format xlsx -o "$work/full.xlsx" "$city" >/dev/null 2>"$work/err"
    check "xlsx, full temporary folder: status 1" status_is "$?" 1
    check "xlsx, full temporary folder: the reason and the folder" contains "$work/err" "临时文件夹“$work/full”：磁盘空间不足"
    check "xlsx, full temporary folder: no library diagnostics" bash -c '! grep -q "ERROR\|zip\|Zip" "$1"' _ "$work/err"
    check "xlsx, full temporary folder: nothing written" test ! -e "$work/full.xlsx"
    umount "$work/full"
  fi
  check "xlsx: sheets, names and elevations" python - "$work/out.xlsx" "$work/report_points" <<'EOF'
import re, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
workbook = z.read("xl/workbook.xml").decode("utf-8")
assert re.findall(r'<sheet name="([^"]*)"', workbook) == ["点成果", "观测值"], workbook
strings = [re.sub(r"<[^>]+>", "", s) for s in re.findall(r"<si>(.*?)</si>", z.read("xl/sharedStrings.xml").decode("utf-8"))]
sheet = z.read("xl/worksheets/sheet1.xml").decode("utf-8")
cells = dict(re.findall(r'<c r="([A-Z]+[0-9]+)"[^>]*>(.*?)</c>', sheet))
def value(ref):
    inner = cells[ref]
    v = re.search(r"<v>(.*?)</v>", inner).group(1)
    return v
for row, line in enumerate(open(sys.argv[2], encoding="utf-8"), start=2):
    name, elevation = line.split()
    assert strings[int(value(f"B{row}"))] == name, (row, name)
    assert float(value(f"D{row}")) == float(elevation), (row, value(f"D{row}"), elevation)
styles = z.read("xl/styles.xml").decode("utf-8")
assert 'formatCode="0.0000"' in styles and 'formatCode="0.000"' in styles, "the report's decimals as formats"
EOF
  # Reproducible: with SOURCE_DATE_EPOCH the workbook is created at that
  # moment and is the same file a second later; without it, it carries the
  # moment it was made.
  SOURCE_DATE_EPOCH=951782400 "$program" results --format xlsx -o "$work/first.xlsx" --with-check "$city"
  sleep 1.1
  SOURCE_DATE_EPOCH=951782400 "$program" results --format xlsx -o "$work/second.xlsx" --with-check "$city"
  check "xlsx with SOURCE_DATE_EPOCH: the same bytes a second later" cmp -s "$work/first.xlsx" "$work/second.xlsx"
  created() {
    python3 -c 'import re, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
core = z.read("docProps/core.xml").decode("utf-8")
print(re.search(r"<dcterms:created[^>]*>([^<]*)<", core).group(1))
assert {i.date_time for i in z.infolist()} == {(1980, 1, 1, 0, 0, 0)}, "member times"' "$1"
  }
  check "xlsx with SOURCE_DATE_EPOCH: created at that moment" test "$(created "$work/first.xlsx")" = "2000-02-29T00:00:00Z"
  check "xlsx without SOURCE_DATE_EPOCH: created now" test "$(created "$work/out.xlsx")" \> "2020"
  SOURCE_DATE_EPOCH=253402300800 "$program" results --format xlsx -o "$work/late.xlsx" "$city" 2>"$work/err"
  check "xlsx, SOURCE_DATE_EPOCH beyond 9999: status 1" status_is "$?" 1
  check "xlsx, SOURCE_DATE_EPOCH beyond 9999: said" contains "$work/err" "SOURCE_DATE_EPOCH"
  check "xlsx, SOURCE_DATE_EPOCH beyond 9999: nothing written" test ! -e "$work/late.xlsx"
  SOURCE_DATE_EPOCH=yesterday "$program" results --format csv "$city" >/dev/null
  check "csv does not read SOURCE_DATE_EPOCH" status_is "$?" 0
  echo "old" >"$work/readonly.xlsx"
  chmod 444 "$work/readonly.xlsx"
  TMPDIR="$work/tmp" "$program" results --format xlsx -o "$work/readonly.xlsx" "$city" 2>"$work/err"
  check "xlsx on a read-only file: status 1" status_is "$?" 1
  check "xlsx on a read-only file: left alone" test "$(cat "$work/readonly.xlsx")" = "old"
  check "xlsx on a read-only file: the reason" contains "$work/err" "文件只读"
  check "xlsx failed: no temporary files left" test -z "$(ls -A "$work/tmp")"
else
  "$program" results --format xlsx -o "$work/out.xlsx" "$city" 2>"$work/err"
  check "xlsx not built: status 1" status_is "$?" 1
  check "xlsx not built: says so" contains "$work/err" "libxlsxwriter"
  check "xlsx not built: no file" test ! -e "$work/out.xlsx"
fi

# Usage errors: status 2, nothing on standard output.
for args in "results" "results $city $city" "results --format pdf $city" "adjust --format csv $city" \
  "results --format"; do
  # shellcheck disable=SC2086
  "$program" $args >"$work/out" 2>"$work/err"
  check "$args: status 2" status_is "$?" 2
  check "$args: nothing on standard output" test ! -s "$work/out"
  check "$args: short usage" contains "$work/err" "levelnet --help"
done
"$program" --help >"$work/out"
check "--help names results" contains "$work/out" "levelnet results"

# A refused file: status 1, nothing written, the message names the file.
"$program" results --format csv "$cases/truncated.pc" >"$work/out" 2>"$work/err"
check "refused file: status 1" status_is "$?" 1
check "refused file: nothing on standard output" test ! -s "$work/out"
check "refused file: named" contains "$work/err" "levelnet: $cases/truncated.pc: "
"$program" results -o "$work/never.txt" "$cases/zero_length.pc" 2>"$work/err"
check "refused run: status 1" status_is "$?" 1
check "refused run: no output file" test ! -e "$work/never.txt"

# Failed writes: status 1 with a message.
if [ -w /dev/full ]; then
  "$program" results --format json "$city" >/dev/full 2>"$work/err"
  check "full standard output: status 1" status_is "$?" 1
  check "full standard output: the reason" contains "$work/err" "无法写入标准输出"
fi
# The check report streams through the same sinks: a failed write is a
# failure, and -o holds what standard output gets (a report of several
# blocks).
if [ -w /dev/full ]; then
  "$program" check "$city" --grade 二等 >/dev/full 2>"$work/err"
  check "check, full standard output: status 1" status_is "$?" 1
  check "check, full standard output: the reason" contains "$work/err" "无法写入标准输出"
fi
"$program" check "$city" --grade 二等 >"$work/check.txt" 2>"$work/err"
check "check to standard output: status 0" status_is "$?" 0
"$program" check "$city" --grade 二等 -o "$work/saved.check.txt" 2>"$work/err"
check "check -o: status 0" status_is "$?" 0
check "check -o: the same bytes as standard output" cmp -s "$work/saved.check.txt" "$work/check.txt"
"$program" results -o "$work/no/such/folder/out.txt" "$city" 2>"$work/err"
check "-o into a missing folder: status 1" status_is "$?" 1
check "-o into a missing folder: named" contains "$work/err" "$work/no/such/folder/out.txt"

# -o writes exactly what standard output gets.
"$program" results --format csv -o "$work/saved.csv" "$city"
check "-o: the same bytes as standard output" cmp -s "$work/saved.csv" "$work/out.csv"

# --with-check: every observation's r and τ are the check report's own (the
# golden check report of the same file, grade 二等, columns r and 学生化残差;
# the check prints τ to three decimals, the 成果表 to two).
tr -d '\r' <"$cases/city_network.check" |
  awk '/^序号 +v\(mm\)/ {on = 1; next} on && !/^ +[0-9]+ / {exit} on {print $1 "," $3 "," $4}' >"$work/check_rows"
check "check report parsed: nineteen rows" test "$(wc -l <"$work/check_rows")" -eq 19
"$program" results --with-check --grade 二等 --format csv "$city" >"$work/checked.csv" 2>"$work/err"
check "--with-check: status 0" status_is "$?" 0
check "--with-check: the header names r and τ" contains "$work/checked.csv" "平差值(m),多余观测分量 r,统计量 τ"
tr -d '\r' <"$work/checked.csv" | awk -F, '/^观测值$/ {on = 1; getline; next} on && /^$/ {exit} on {print $1 "," $8 "," $9}' \
  >"$work/csv_rows"
# r as written; τ to the 成果表's two decimals from the check's three.
check "--with-check: r and τ of every observation as the check report" \
  awk -F, 'NR == FNR {r[$1] = $2; t[$1] = $3; next}
           !($1 in r) || r[$1] != $2 || ($3 - t[$1]) > 0.0051 || (t[$1] - $3) > 0.0051 {bad = 1}
           END {exit bad || FNR != 19}' "$work/check_rows" "$work/csv_rows"
"$program" results --format csv "$city" >"$work/plain.csv"
check "without --with-check: no r column" bash -c "! grep -q '多余观测分量' '$work/plain.csv'"
"$program" results --sigma-km 1 "$city" >/dev/null 2>"$work/err"
check "--sigma-km without --with-check: usage error" status_is "$?" 2
"$program" adjust --with-check "$city" >/dev/null 2>"$work/err"
check "--with-check for adjust: usage error" status_is "$?" 2

finish
