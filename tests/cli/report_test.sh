#!/usr/bin/env bash
# levelnet report: the PDF read back with poppler's tools (pdftotext, pdfinfo,
# pdffonts): the headings, every point with its elevation, every observation,
# the whole report text, page numbers, embedded fonts, the number of pages of
# a network of 200 points worked out from the page grid; refusals.
# Usage: report_test.sh PROGRAM SOURCE_DIR
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../support/shell_checks.sh"
program="$1"
source="$2"
examples="$source/examples"
cases="$source/tests/cases"
city="$examples/city_network.pc"

for tool in pdftotext pdfinfo pdffonts python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (Debian packages poppler-utils, python3)" >&2
    exit 77
  fi
done

# The page grid of the document (src/print/report_layout.h).
lines_per_page=60
columns_per_line=107
continuation_indent=4
title_block_lines=8

# A fixed date for the title block.
export SOURCE_DATE_EPOCH=1765000000
day="$(date -u -d "@$SOURCE_DATE_EPOCH" +%F)"

pages_of() { pdfinfo "$1" | awk '/^Pages:/ {print $2}'; }

# Every page i of the PDF carries "第 i 页 共 y 页" with y its page count.
numbered() {
  local pdf="$1" y
  y="$(pages_of "$pdf")"
  [ -n "$y" ] && [ "$y" -gt 0 ] || return 1
  pdftotext -layout "$pdf" - |
    awk -v y="$y" 'BEGIN {RS = "\f"} NR <= y && index($0, "第 " NR " 页 共 " y " 页") == 0 {bad = 1} END {exit bad || NR < y}'
}

# Every font is embedded, and none is a Type 3 font (whose text cannot be
# copied or searched).
fonts_embedded() {
  pdffonts "$1" >"$work/fonts" || return 1
  tail -n +3 "$work/fonts" >"$work/fonts.rows"
  [ -s "$work/fonts.rows" ] && ! grep -q 'Type 3' "$work/fonts.rows" &&
    awk '{ if ($(NF-4) != "yes") bad = 1 } END {exit bad}' "$work/fonts.rows"
}

# The text of the PDF from "四、平差报告" (or "五、检核报告") on, in drawing
# order, without the running heads and footers, is the text of `adjust`
# (or `check`): no line lost, doubled or changed at a wrap or a page break.
# Compared without white space, which wrapping and the grid change.
same_text() {
  local pdf="$1" from="$2" to="$3" expected="$4"
  pdftotext -raw "$pdf" - | python3 -c '
import re, sys
start, end, expected = sys.argv[1], sys.argv[2], open(sys.argv[3], encoding="utf-8").read()
text = sys.stdin.read()
lines = [l for l in text.replace("\f", "\n").split("\n")
         if not re.fullmatch(r"第 \d+ 页 共 \d+ 页|水准网平差成果\s.*", l)]
text = "\n".join(lines)
part = text[text.index(start) + len(start):]
if end: part = part[:part.index(end)]
squeeze = lambda s: re.sub(r"\s+", "", s)
sys.exit(0 if squeeze(part) == squeeze(expected) else 1)
' "$from" "$to" "$expected"
}

# --- examples/city_network.pc with its check -----------------------------
"$program" report "$city" --pdf "$work/city.pdf" --with-check --grade 二等 >"$work/out" 2>"$work/err"
check "city: status 0" status_is "$?" 0
check "city: nothing on standard output" test ! -s "$work/out"
check "city: nothing on standard error" test ! -s "$work/err"
check "city: a PDF" test "$(head -c 5 "$work/city.pdf")" = "%PDF-"
pdftotext -layout "$work/city.pdf" "$work/city.txt"
for heading in 水准网平差成果 一、点成果表 二、观测值成果表 三、精度评定 四、平差报告 五、检核报告 \
  "文件：$city" "日期：$day" "已知点 3 个，待定点 9 个，观测值 19 个" "等级：二等" \
  "单位权中误差 μ = ±1.317 mm" "每公里高差中误差 = ±1.317 mm" "最弱点高程中误差 M_max = ±1.4 mm（渡口）" \
  "平均高程中误差 M_mean = ±1.2 mm" "观测值个数 n = 19，待定点个数 t = 9，多余观测数 f = n - t = 10"; do
  check "city: “$heading”" contains "$work/city.txt" "$heading"
done
check "city: the points header" grep -qE '序号 +点号 +类型 +高程\(m\) +中误差\(mm\)' "$work/city.txt"
check "city: the observations header" \
  grep -qE '序号 +起点 +终点 +观测高差\(m\) +路线长度\(km\) +改正数\(mm\) +平差值\(m\)' "$work/city.txt"

# Every point: its name, kind, elevation and standard error on one line, as
# the results table (成果表) gives them; every observation likewise.
"$program" results --format csv "$city" | tr -d '\r' | sed '1s/^\xEF\xBB\xBF//' >"$work/city.csv"
awk -F, '/^点成果$/ {on = 1; getline; next} /^$/ {on = 0} on' "$work/city.csv" >"$work/city.points"
awk -F, '/^观测值$/ {on = 1; getline; next} /^$/ {on = 0} on' "$work/city.csv" >"$work/city.observations"
check "csv read: twelve points" test "$(wc -l <"$work/city.points")" -eq 12
check "csv read: nineteen observations" test "$(wc -l <"$work/city.observations")" -eq 19
while IFS=, read -r number name kind elevation error _; do
  check "city: point $name $elevation" grep -qE "^ *$number +$name +$kind +$elevation +$error *$" "$work/city.txt"
done <"$work/city.points"
while IFS=, read -r number from to observed length correction adjusted _; do
  check "city: observation $number" \
    grep -qE "^ *$number +$from +$to +$observed +$length +$correction +$adjusted *$" "$work/city.txt"
done <"$work/city.observations"

"$program" adjust "$city" >"$work/city.report"
"$program" check "$city" --grade 二等 >"$work/city.check"
check "city: the whole report, in order" same_text "$work/city.pdf" 四、平差报告 五、检核报告 "$work/city.report"
check "city: the whole check report, in order" same_text "$work/city.pdf" 五、检核报告 "" "$work/city.check"
check "city: every page numbered, 共 y 页 = pdfinfo's count" numbered "$work/city.pdf"
check "city: fonts embedded, none Type 3" fonts_embedded "$work/city.pdf"
check "city: A4" grep -q 'Page size: *595.* x 841.* pts (A4)\|Page size: *595.* x 842.* pts (A4)' <(pdfinfo "$work/city.pdf")

# The 网图 fills the rest of page 1: every point named with its adjusted
# elevation (known points their given one); the tables start on page 2.
pdftotext -layout -f 1 -l 1 "$work/city.pdf" "$work/city1.txt"
check "city: page 1 has the 网图" contains "$work/city1.txt" "网图"
check "city: the 网图's legend" contains "$work/city1.txt" "已知点（水准点）"
check "city: no table on page 1" test "$(grep -c '一、点成果表' "$work/city1.txt")" -eq 0
while IFS=, read -r number name kind elevation error _; do
  check "city: 网图 point $name H=$elevation" grep -qF "H=$elevation" "$work/city1.txt"
done <"$work/city.points"
check "city: tables from page 2" contains <(pdftotext -layout -f 2 -l 2 "$work/city.pdf" -) "一、点成果表"

# --- levelnet plot -o NET.png | NET.pdf ------------------------------------
"$program" plot "$city" -o "$work/net.pdf" --with-check --grade 二等 2>"$work/err"
check "plot pdf: status 0" status_is "$?" 0
check "plot pdf: one page" status_is "$(pages_of "$work/net.pdf")" 1
check "plot pdf: fonts embedded" fonts_embedded "$work/net.pdf"
pdftotext "$work/net.pdf" "$work/net.txt"
for name in BM河口 BM城东 BM北山 水准点1 渡口 岔路口 北 "水准网网图：$city" "H=48.3170"; do
  check "plot pdf: “$name”" contains "$work/net.txt" "$name"
done
cp "$work/net.pdf" "$work/net-first.pdf"
"$program" plot "$city" -o "$work/net.pdf" --with-check --grade 二等
check "plot pdf: the same bytes again (SOURCE_DATE_EPOCH)" cmp -s "$work/net.pdf" "$work/net-first.pdf"
"$program" plot "$city" -o "$work/net.png" 2>"$work/err"
check "plot png: status 0" status_is "$?" 0
png_size() { python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print(*struct.unpack(">II", d[16:24])) if d[:8]==b"\x89PNG\r\n\x1a\n" else print(0, 0)' "$1"; }
read -r png_width png_height <<<"$(png_size "$work/net.png")"
check "plot png: a PNG 1600 px on its longer side" test "$png_width" -eq 1600 -o "$png_height" -eq 1600
check "plot png: the other side at least 800 px" test "$png_width" -ge 800 -a "$png_height" -ge 800
"$program" plot "$city" -o "$work/missing/net.png" 2>"$work/err"
check "plot png into a missing folder: status 1" status_is "$?" 1
check "plot png into a missing folder: said" contains "$work/err" "文件夹不存在"

# Without --with-check: no check part, no grade line; the file from
# standard input is named so; --encoding passes to the reading.
"$program" report - --pdf "$work/stdin.pdf" <"$city" 2>"$work/err"
check "stdin: status 0" status_is "$?" 0
pdftotext -layout "$work/stdin.pdf" "$work/stdin.txt"
check "stdin: named 标准输入" contains "$work/stdin.txt" "文件：标准输入"
check "no --with-check: no check part" bash -c '! grep -q "五、检核报告" "$1"' _ "$work/stdin.txt"
check "no --grade: no grade line" bash -c '! grep -q "等级：" "$1"' _ "$work/stdin.txt"
check "stdin: numbered" numbered "$work/stdin.pdf"

# "-" as --pdf: the PDF on standard output; one that cannot be written is
# an error.
"$program" report "$city" --pdf - >"$work/stdout.pdf" 2>"$work/err"
check "--pdf -: status 0" status_is "$?" 0
check "--pdf -: a PDF on standard output" status_is "$(pages_of "$work/stdout.pdf")" "$(pages_of "$work/stdin.pdf")"
"$program" report "$city" --pdf - >/dev/full 2>"$work/err"
check "--pdf - > /dev/full: status 1" status_is "$?" 1
check "--pdf - > /dev/full: said" contains "$work/err" "无法写入标准输出"

# A check that fails: the PDF is written (status 0), the failure is told.
"$program" report "$cases/city_blunder.pc" --pdf "$work/blunder.pdf" --with-check --grade 三等 --terrain 山区 \
  --sigma-km 1.5 2>"$work/err"
check "failed check: status 0, the PDF written" status_is "$?" 0
check "failed check: said on standard error" contains "$work/err" "检核未通过"
"$program" check "$cases/city_blunder.pc" --grade 三等 --terrain 山区 --sigma-km 1.5 >"$work/blunder.check"
check "failed check: its report in the PDF" same_text "$work/blunder.pdf" 五、检核报告 "" "$work/blunder.check"

# --- a network of 200 points: the number of pages --------------------------
# Two benchmarks, 198 points in a line between them, and 51 ties across.
net="$work/net200.pc"
{
  printf '2,198,250,1\r\n甲,100.000\r\n乙,105.000\r\n'
  for i in $(seq 1 198); do printf '测点%d,\r\n' "$i"; done
  printf '甲,测点1,0.0251,1.2\r\n'
  for i in $(seq 2 198); do printf '测点%d,测点%d,0.025%d,1.%d\r\n' $((i - 1)) "$i" $((i % 10)) $((i % 7)); done
  printf '测点198,乙,0.0301,1.5\r\n'
  for k in $(seq 1 51); do printf '测点%d,测点%d,0.25%d,2.%d\r\n' $((k * 3)) $((k * 3 + 10)) $((k % 10)) $((k % 5)); done
} >"$net"
"$program" report --encoding utf-8 "$net" --pdf "$work/net200.pdf" 2>"$work/err"
check "200 points: status 0" status_is "$?" 0
"$program" adjust --encoding utf-8 "$net" >"$work/net200.report" 2>/dev/null
# The pages from the grid: the title block and the 网图 on page 1, the two tables (heading, header,
# a line a row; the header again on every page they go on to; an empty line
# after each), the precision summary (six lines, on one page), then the
# report on a new page after its heading and an empty line, every line
# wrapped at a blank or beside a Chinese character into lines of 107 cells,
# the continuations 4 cells in.
expected="$(python3 - "$work/net200.report" "$lines_per_page" "$columns_per_line" "$continuation_indent" \
  "$title_block_lines" <<'EOF'
import sys, unicodedata
report, N, W, indent, title = sys.argv[1], *map(int, sys.argv[2:])
cells = lambda c: 2 if unicodedata.east_asian_width(c) in "WF" else 1

def wrapped(line):
    count, rest, room = 0, line, W
    while sum(map(cells, rest)) > room:
        used = fit = cut = 0
        for i, c in enumerate(rest):
            if used + cells(c) > room:
                break
            used, fit = used + cells(c), i + 1
            if i + 1 < len(rest) and c != " " and (rest[i + 1] == " " or 2 in (cells(c), cells(rest[i + 1]))):
                cut = i + 1
        rest, count, room = rest[cut or max(fit, 1):], count + 1, W - indent
        if not rest.strip(" "):
            return count
    return count + 1

pages, used, header_pages = 1, title, []
def new_page():
    global pages, used
    pages, used = pages + 1, 0
new_page()  # the 网图 fills the rest of page 1
def table(rows):
    spans = 1
    if used + 3 > N:
        new_page()
    globals()["used"] += 2
    for _ in range(rows):
        if used + 1 > N:
            new_page()
            globals()["used"] += 1
            spans += 1
        globals()["used"] += 1
    if 0 < used < N:
        globals()["used"] += 1
    header_pages.append(spans)
table(200)
table(250)
if used + 6 > N:
    new_page()
used += 6
new_page()
used = 2
for line in open(report, encoding="utf-8", newline="").read().split("\r\n")[:-1]:
    for _ in range(wrapped(line)):
        if used + 1 > N:
            new_page()
        used += 1
print(pages, *header_pages)
EOF
)"
read -r expected_pages points_pages observations_pages <<<"$expected"
check "200 points: $expected_pages pages as the grid gives" status_is "$(pages_of "$work/net200.pdf")" "$expected_pages"
check "200 points: more than a page per table and many for the report" test "$points_pages" -gt 1 -a "$expected_pages" -gt 100
check "200 points: every page numbered" numbered "$work/net200.pdf"
pdftotext -layout "$work/net200.pdf" "$work/net200.txt"
check "200 points: the points header on each of the table's $points_pages pages" \
  status_is "$(grep -cE '序号 +点号 +类型 +高程\(m\) +中误差\(mm\)' "$work/net200.txt")" "$points_pages"
check "200 points: the observations header on each of the table's $observations_pages pages" \
  status_is "$(grep -cE '序号 +起点 +终点 +观测高差' "$work/net200.txt")" "$observations_pages"
tr -d '\r' <"$work/net200.report" |
  awk '/^序号   点号/ {on = 1; next} on && /^$/ {exit} on {print $1, $2, $3}' >"$work/net200.points"
check "200 points: the report lists 200" test "$(wc -l <"$work/net200.points")" -eq 200
missing=0
while read -r number name elevation; do
  [ "$(grep -cE "^ *$number +$name +(已知点|待定点) +$elevation( |$)" "$work/net200.txt")" -eq 1 ] || missing=$((missing + 1))
done <"$work/net200.points"
check "200 points: every point once in the table, with its elevation" status_is "$missing" 0
check "200 points: the whole report, in order" same_text "$work/net200.pdf" 四、平差报告 "" "$work/net200.report"
check "200 points: fonts embedded" fonts_embedded "$work/net200.pdf"

# --- refusals -----------------------------------------------------------
"$program" report "$work/missing.pc" --pdf "$work/never.pdf" 2>"$work/err"
check "missing input: status 1" status_is "$?" 1
check "missing input: named" contains "$work/err" "levelnet: $work/missing.pc: 无法打开文件"
check "missing input: no PDF" test ! -e "$work/never.pdf"
"$program" report "$cases/zero_length.pc" --pdf "$work/never.pdf" 2>"$work/err"
check "refused network: status 1" status_is "$?" 1
check "refused network: the reason" contains "$work/err" "必须大于 0"
check "refused network: no PDF" test ! -e "$work/never.pdf"
"$program" report "$city" --pdf "$work/no/such/folder/out.pdf" 2>"$work/err"
check "missing folder: status 1" status_is "$?" 1
check "missing folder: named" contains "$work/err" "无法保存到“$work/no/such/folder/out.pdf”"
check "missing folder: nothing made" test ! -e "$work/no"
echo "old" >"$work/readonly.pdf"
chmod 444 "$work/readonly.pdf"
"$program" report "$city" --pdf "$work/readonly.pdf" 2>"$work/err"
check "read-only file: status 1" status_is "$?" 1
check "read-only file: the reason" contains "$work/err" "文件只读"
check "read-only file: left alone" test "$(cat "$work/readonly.pdf")" = "old"
check "read-only file: no temporary left" test "$(find "$work" -maxdepth 1 -name '*readonly*' | wc -l)" -eq 1

for args in "report $city" "report $city -o $work/x.pdf --pdf $work/y.pdf" "report --pdf $work/x.pdf" \
  "report $city $city --pdf $work/x.pdf" "adjust $city --pdf $work/x.pdf" "check $city --with-check" \
  "report $city --pdf $work/x.pdf --grade 五等" "report $city --pdf $work/x.pdf --terrain 山区"; do
  # shellcheck disable=SC2086
  "$program" $args >/dev/null 2>"$work/err"
  check "usage: $args: status 2" status_is "$?" 2
  check "usage: $args: the usage" contains "$work/err" "用法"
  check "usage: $args: no PDF" test ! -e "$work/x.pdf" -a ! -e "$work/y.pdf"
done
SOURCE_DATE_EPOCH=yesterday "$program" report "$city" --pdf "$work/x.pdf" 2>"$work/err"
check "a bad SOURCE_DATE_EPOCH: status 1" status_is "$?" 1
check "a bad SOURCE_DATE_EPOCH: said" contains "$work/err" "SOURCE_DATE_EPOCH"
check "a bad SOURCE_DATE_EPOCH: no PDF" test ! -e "$work/x.pdf"
SOURCE_DATE_EPOCH=253402300800 "$program" report "$city" --pdf "$work/x.pdf" 2>"$work/err"
check "a SOURCE_DATE_EPOCH beyond the year 9999: status 1" status_is "$?" 1
check "a SOURCE_DATE_EPOCH beyond the year 9999: no PDF" test ! -e "$work/x.pdf"

# Reproducible: with SOURCE_DATE_EPOCH the PDF is the same file on every run
# and in every time zone (Qt writes the local offset into the creation date,
# which changes its length), its creation date is that moment, and the
# cross-reference table still points at every object.
TZ=UTC "$program" report "$city" --pdf "$work/first.pdf" --with-check 2>/dev/null
sleep 1.1
TZ=Asia/Shanghai "$program" report "$city" --pdf "$work/second.pdf" --with-check 2>/dev/null
TZ=America/St_Johns "$program" report "$city" --pdf "$work/third.pdf" --with-check 2>/dev/null
check "reproducible: a second later, another time zone, the same bytes" cmp -s "$work/first.pdf" "$work/second.pdf"
check "reproducible: a time zone with half hours, the same bytes" cmp -s "$work/first.pdf" "$work/third.pdf"
# The fonts were once embedded in an order that changed from run to run: a
# few more runs.
same_runs=1
for run in 1 2 3 4; do
  "$program" report "$city" --pdf "$work/again.pdf" --with-check 2>/dev/null
  cmp -s "$work/first.pdf" "$work/again.pdf" || same_runs=0
done
check "reproducible: four runs more, the same bytes" test "$same_runs" = 1
check "reproducible: the creation date is SOURCE_DATE_EPOCH's moment" \
  contains "$work/second.pdf" "/CreationDate (D:$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y%m%d%H%M%S)Z)"
xref_sound() {
  python3 - "$1" <<'EOF2'
import re, sys
pdf = open(sys.argv[1], "rb").read()
xref = int(re.findall(rb"startxref\s+(\d+)", pdf)[-1])
assert pdf[xref:xref + 4] == b"xref", "startxref points at the table"
at = xref + 4
first, count = map(int, re.match(rb"\s*(\d+) (\d+)\s*", pdf[at:]).groups())
at += re.match(rb"\s*\d+ \d+\s*", pdf[at:]).end()
for n in range(first, first + count):
    entry = pdf[at:at + 20]
    at += 20
    if entry[17:18] != b"n":
        continue
    offset = int(entry[:10])
    assert pdf[offset:].startswith(b"%d 0 obj" % n), "object %d at %d" % (n, offset)
EOF2
}
check "reproducible: every object where the table says (UTC)" xref_sound "$work/first.pdf"
check "reproducible: every object where the table says (UTC+8)" xref_sound "$work/second.pdf"
unset SOURCE_DATE_EPOCH
TZ=Asia/Shanghai "$program" report "$city" --pdf "$work/today.pdf" 2>/dev/null
check "without SOURCE_DATE_EPOCH: the table is sound as Qt wrote it" xref_sound "$work/today.pdf"
check "without SOURCE_DATE_EPOCH: Qt's own date, local time" grep -aq "/CreationDate (D:[0-9]*+08'00')" "$work/today.pdf"
export SOURCE_DATE_EPOCH=1765000000
"$program" --help >"$work/out"
check "--help: report" contains "$work/out" "levelnet report [选项] FILE.pc --pdf OUT.pdf [--with-check]"

finish
