#!/usr/bin/env bash
# Replays every kept regression input, then runs each libFuzzer target for a fixed
# time on a scratch copy of its seed corpus. Exits non-zero on any crash, leak,
# sanitizer report or failed property check; crashing inputs are left in the
# findings folder so they can be added to fuzz/regressions/<target>/.
#
# usage: tools/run_fuzzers.sh [seconds-per-target] [findings-folder]
# Needs the "fuzz" preset built (cmake --preset fuzz && cmake --build --preset fuzz).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
findings="$(realpath -m "${2:-$root/build/fuzz/findings}")"
bin="$root/build/fuzz/fuzz"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$findings"

status=0
for target in command_line interactive image; do
  exe="$bin/fuzz_$target"
  [ -x "$exe" ] || { echo "missing $exe: build the fuzz preset first" >&2; exit 2; }

  # The targets change into scratch folders of their own, so every path is absolute.
  # "*" passes over the folder's .gitkeep; an empty folder leaves the pattern itself.
  inputs=()
  for f in "$root/fuzz/regressions/$target"/*; do [ -f "$f" ] && inputs+=("$f"); done
  if [ ${#inputs[@]} -gt 0 ]; then
    echo "== fuzz_$target: replaying ${#inputs[@]} regression input(s)"
    "$exe" "${inputs[@]}" >"$work/$target.replay.log" 2>&1 || {
      tail -40 "$work/$target.replay.log"; status=1; }
  fi

  echo "== fuzz_$target: fuzzing for $seconds s"
  corpus="$work/corpus_$target"
  mkdir -p "$corpus"
  cp "$root/fuzz/corpus/$target"/* "$corpus/"
  if "$exe" "$corpus" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/$target-" \
      >"$work/$target.log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$work/$target.log" || true
  else
    tail -60 "$work/$target.log"
    status=1
  fi
done

if [ "$status" -ne 0 ]; then
  echo "fuzzing found problems; inputs are in $findings" >&2
fi
exit "$status"
