#!/usr/bin/env bash
# Every C++ source and header of the project is formatted as .clang-format
# says; a file that is not is named with clang-format's own diagnostics.
# Usage: format_test.sh CLANG_FORMAT SOURCE_DIR
set -uo pipefail
clang_format="$1"
cd "$2" || exit 1
mapfile -d '' files < <(find src tests bench -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
if "$clang_format" --dry-run -Werror "${files[@]}"; then
  echo "${#files[@]} files formatted"
  exit 0
fi
echo "some files are not formatted: run clang-format -i on them" >&2
exit 1
