#!/usr/bin/env bash
# The command line as a user meets it when things go wrong: standard output
# that cannot be written, files in UTF-8, names that look like numbers,
# duplicate names, files that never end. Usage: trust_test.sh PROGRAM EXAMPLES_DIR
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../support/shell_checks.sh"
program="$1"
examples="$2"


city="$examples/city_network.pc"

# Standard output that cannot be written is an error for every command.
for args in "adjust $city" "check $city --grade 三等" "normalize $city -" "--help"; do
  # shellcheck disable=SC2086
  "$program" $args >/dev/full 2>"$work/err"
  s=$?
  check "$args > /dev/full exits 1" status_is "$s" 1
  check "$args > /dev/full says so" contains "$work/err" "无法写入标准输出"
done

# A reader that has gone away: with SIGPIPE ignored the write fails with
# EPIPE, and the exit status must not be 0; with SIGPIPE the process ends by it.
big="$work/big.pc"
{
  printf '1,400,800,1\r\nA,10\r\n'
  for i in $(seq 1 400); do printf 'P%d,\r\n' "$i"; done
  for i in $(seq 1 400); do printf '%s,P%d,1.%03d,1\r\n' "$([ "$i" = 1 ] && echo A || echo P$((i - 1)))" "$i" "$i"; done
  for i in $(seq 1 400); do printf 'A,P%d,%d.5,2\r\n' "$i" "$i"; done
} >"$big"
(trap '' PIPE; "$program" adjust "$big" 2>"$work/err" | (exec 0<&-; sleep 0.5); echo "${PIPESTATUS[0]}" >"$work/status")
check "closed pipe, SIGPIPE ignored: not 0" status_is "$(cat "$work/status")" 1
check "closed pipe names the reason" contains "$work/err" "管道"
("$program" adjust "$big" 2>/dev/null | (exec 0<&-; sleep 0.5); echo "${PIPESTATUS[0]}" >"$work/status")
check "closed pipe, SIGPIPE: not 0" test "$(cat "$work/status")" -ne 0

# A UTF-8 copy of an example gives the same report, with a note.
iconv -f GBK -t UTF-8 "$city" >"$work/utf8.pc"
"$program" adjust "$city" >"$work/gbk.report" 2>/dev/null
"$program" adjust "$work/utf8.pc" >"$work/utf8.report" 2>"$work/err"
check "UTF-8 copy: same report" cmp -s "$work/gbk.report" "$work/utf8.report"
check "UTF-8 copy: a note" contains "$work/err" "按 UTF-8 编码读入"
printf '\xEF\xBB\xBF' | cat - "$work/utf8.pc" >"$work/bom.pc"
"$program" adjust "$work/bom.pc" >"$work/bom.report" 2>/dev/null
check "UTF-8 with a byte-order mark: same report" cmp -s "$work/gbk.report" "$work/bom.report"
"$program" normalize "$work/utf8.pc" "$work/back.pc" 2>/dev/null
"$program" normalize "$city" "$work/direct.pc"
check "UTF-8 copy: saved as GBK" cmp -s "$work/back.pc" "$work/direct.pc"
"$program" adjust --encoding gbk "$work/utf8.pc" >/dev/null 2>"$work/err"
check "--encoding gbk forces GBK" status_is "$?" 1
check "--encoding gbk refusal names the bytes" contains "$work/err" "不是 GBK 编码的文字"
"$program" adjust --encoding utf-8 "$city" >"$work/out" 2>"$work/err"
check "--encoding utf-8 refuses a GBK file" status_is "$?" 1
check "--encoding utf-8 refusal names the bytes" contains "$work/err" "不是 UTF-8 编码的文字"

# A control character in the input is named as text, the whole message
# after it kept: a NUL byte does not end it, an escape does not reach the
# terminal.
printf '1,1,2,1\r\nA,10\r\nP,\r\nA,P,1.5\000x,1\r\nP,A,-1.5\033[31m,1\r\n' >"$work/control.pc"
"$program" adjust "$work/control.pc" >/dev/null 2>"$work/err"
check "control characters: refused" status_is "$?" 1
check "control characters: a NUL byte named" contains "$work/err" '“1.5\x00x”不是数'
check "control characters: an escape named" contains "$work/err" '“-1.5\x1B[31m”不是数'
check "control characters: none reaches standard error" test "$(tr -d '\n' <"$work/err" | tr -d '[:print:]' | LC_ALL=C tr -d '\200-\377' | wc -c)" = 0

# Names that look like numbers survive Open and Save.
printf '2,1,3,1\r\n"007",10\r\n7,12\r\nP,\r\n"007",P,1.5,1\r\nP,7,0.5,1\r\n"007",7,2.001,2\r\n' >"$work/names.pc"
"$program" normalize "$work/names.pc" "$work/names2.pc"
"$program" normalize "$work/names2.pc" "$work/names3.pc"
check "\"007\" keeps its quotes" contains "$work/names2.pc" '"007",P,1.5000,1'
check "normalize is stable" cmp -s "$work/names2.pc" "$work/names3.pc"
"$program" adjust "$work/names.pc" >"$work/r1" && "$program" adjust "$work/names3.pc" >"$work/r3"
check "same report after two saves" cmp -s "$work/r1" "$work/r3"

# Duplicate names: a warning from adjust, a failed item for check.
printf '2,1,3,1\r\nA,10\r\nA,20\r\nP,\r\nA,P,1.5,1\r\nP,A,-1.5,1\r\nA,P,1.502,2\r\n' >"$work/dup.pc"
"$program" adjust "$work/dup.pc" >/dev/null 2>"$work/err"
check "duplicate: adjust goes on" status_is "$?" 0
check "duplicate: adjust warns with both rows" contains "$work/err" "点表第 1 行与第 2 行的点名都是“A”"
"$program" check "$work/dup.pc" --grade 三等 >"$work/out" 2>/dev/null
check "duplicate: check fails" status_is "$?" 3
check "duplicate: check says so" contains "$work/out" "点名重复 1 处"

# Input without end, and magnitudes beyond any network.
if [ -e /dev/zero ]; then
  "$program" adjust /dev/zero >"$work/out" 2>"$work/err"
  check "/dev/zero is refused" status_is "$?" 1
  check "/dev/zero: the limit is named" contains "$work/err" "超过 64 MiB"
fi
for line in 'A,1e308' 'A,1e13'; do
  printf '1,1,2,1\r\n%s\r\nP,\r\nA,P,1.5,1\r\nP,A,-1.5,1\r\n' "$line" >"$work/mag.pc"
  "$program" adjust "$work/mag.pc" >"$work/out" 2>"$work/err"
  check "$line refused" status_is "$?" 1
  check "$line: nothing on standard output" test ! -s "$work/out"
  check "$line: the cell is named" contains "$work/err" "点表第 1 行“高程(m)”列"
done

# An output that is one of the inputs, by any name (the same path, another
# path, a symbolic or a hard link), is refused before anything is read or
# written, and the input keeps its bytes.
mkdir -p "$work/same"
cp "$city" "$work/same/net.pc"
cp "$examples/fieldbook_four_order.csv" "$work/same/book.csv"
ln -s net.pc "$work/same/link.pc"
ln "$work/same/book.csv" "$work/same/hard.csv"
net="$work/same/net.pc"
book="$work/same/book.csv"
while IFS='|' read -r name victim args; do
  before="$(cksum <"$victim")"
  # shellcheck disable=SC2086
  "$program" $args >"$work/out" 2>"$work/err"
  s=$?
  check "$name: refused" status_is "$s" 1
  check "$name: says why" contains "$work/err" "不能用输出覆盖输入"
  check "$name: input unchanged" test "$before" = "$(cksum <"$victim")"
done <<CASES
import -o the book|$book|import $book --known BM1=50,BM2=51 -o $work/same/./book.csv
import -o a hard link of the book|$book|import $book --known BM1=50,BM2=51 -o $work/same/hard.csv
normalize onto itself|$net|normalize $net $work/same/../same/net.pc
normalize onto a symbolic link|$net|normalize $net $work/same/link.pc
adjust -o the network|$net|adjust $net -o $net
results -o the network|$net|results $net -o $work/same/link.pc
check -o a field book|$book|check $net --records $book -o $book
CASES
if [ -x "$(dirname "$program")/levelnet-pdf" ]; then
  before="$(cksum <"$net")"
  "$program" report "$net" --pdf "$work/same/link.pc" >/dev/null 2>"$work/err"
  check "report --pdf the network: refused" status_is "$?" 1
  check "report --pdf the network: input unchanged" test "$before" = "$(cksum <"$net")"
fi

# A large network (a file of 256 KiB or more) starts the program again with
# huge pages asked for; what it prints, and how it ends, must be the same as
# in one start. GLIBC_TUNABLES naming the setting keeps it to one start.
chain="$work/chain.pc"
awk 'BEGIN {
  printf "2,6000,12001,1\r\nA,10\r\nB,20\r\n"
  for (i = 1; i <= 6000; i++) printf "P%d,\r\n", i
  for (i = 1; i <= 6000; i++) printf "%s,P%d,0.%04d,1.%d\r\n", (i == 1 ? "A" : "P" (i - 1)), i, i, i % 7
  printf "P6000,B,-0.5000,1.2\r\n"
  for (i = 1; i <= 6000; i++) printf "A,P%d,%d.%04d,2\r\n", i, i % 9, i
}' >"$chain"
check "large network: the file is over 256 KiB" test "$(wc -c <"$chain")" -ge 262144
sed '$d' "$chain" >"$work/chain-short.pc"  # one observation fewer than the header says
for args in "adjust --results $chain" "check $chain --grade 三等" "results --format csv $chain" \
  "adjust --results $work/chain-short.pc"; do
  # shellcheck disable=SC2086
  "$program" $args >"$work/twice.out" 2>"$work/twice.err"
  twice=$?
  # shellcheck disable=SC2086
  GLIBC_TUNABLES=glibc.malloc.hugetlb=0 "$program" $args >"$work/once.out" 2>"$work/once.err"
  once=$?
  check "large network, $args: the same status" status_is "$twice" "$once"
  check "large network, $args: the same output" cmp -s "$work/twice.out" "$work/once.out"
  check "large network, $args: the same messages" cmp -s "$work/twice.err" "$work/once.err"
done
check "large network: the short file is refused" status_is "$once" 1
check "large network: adjusted" grep -q "P6000" <("$program" adjust --results "$chain")
# Where the kernel gives huge pages on request, the program starts twice for
# the large file only, and once when the setting is already chosen.
if command -v strace >/dev/null && grep -qF '[madvise]' /sys/kernel/mm/transparent_hugepage/enabled 2>/dev/null; then
  starts() { strace -f -qq -e trace=execve -o "$work/strace" "$@" >/dev/null 2>&1; grep -c 'execve(' "$work/strace"; }
  check "huge pages: a large file, two starts" status_is "$(starts "$program" adjust --results "$chain")" 2
  check "huge pages: a small file, one start" status_is "$(starts "$program" adjust "$city")" 1
  check "huge pages: chosen already, one start" \
    status_is "$(starts env GLIBC_TUNABLES=glibc.malloc.hugetlb=0 "$program" adjust --results "$chain")" 2
  check "huge pages: other tunables kept, two starts" \
    status_is "$(starts env GLIBC_TUNABLES=glibc.malloc.arena_max=2 "$program" adjust --results "$chain")" 3
  strace -f -qq -v -s 256 -e trace=execve -o "$work/strace" env GLIBC_TUNABLES=glibc.malloc.arena_max=2 \
    "$program" adjust --results "$chain" >/dev/null 2>&1
  check "huge pages: other tunables kept, the setting added" \
    contains "$work/strace" '"GLIBC_TUNABLES=glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1"'
else
  echo "SKIPPED: counting the starts (strace is not installed, or huge pages are not given on request)" >&2
fi

finish
