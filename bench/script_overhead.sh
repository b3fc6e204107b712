#!/usr/bin/env bash
# What the ./levelnet script costs on top of the program it starts, once the
# build is up to date: N calls of `./levelnet --version` against N calls of
# `build/levelnet --version`, milliseconds per call. Run from the checkout:
#   bash bench/script_overhead.sh [N]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
n="${1:-50}"
"$here/levelnet" --version >/dev/null  # builds if needed
per_call() {
  local start end
  start=$(date +%s%N)
  for _ in $(seq "$n"); do "$@" >/dev/null; done
  end=$(date +%s%N)
  echo $(((end - start) / n / 1000))
}
script_us=$(per_call "$here/levelnet" --version)
direct_us=$(per_call "$here/build/levelnet" --version)
printf 'script %d.%03d ms, direct %d.%03d ms, overhead %d.%03d ms per call (%d calls each)\n' \
  $((script_us / 1000)) $((script_us % 1000)) $((direct_us / 1000)) $((direct_us % 1000)) \
  $(((script_us - direct_us) / 1000)) $(((script_us - direct_us) % 1000)) "$n"
