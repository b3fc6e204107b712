# Sourced by the shell tests: a temporary folder `work` removed on exit, and
# checks that count their results.
#   check NAME CONDITION...   runs the condition; a failure is named on stderr
#   status_is A B             the exit status A is B
#   contains FILE TEXT        FILE holds TEXT
#   finish                    prints "N passed, N failed" and exits with the verdict
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
check() {
  local name="$1"; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name" >&2; fi
}
status_is() { [ "$1" = "$2" ]; }
contains() { grep -qF -- "$2" "$1"; }
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}
