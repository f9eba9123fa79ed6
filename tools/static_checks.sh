#!/usr/bin/env bash
# clang-tidy (rules in .clang-tidy) and cppcheck over the program's sources; any
# finding fails. Needs build/default/compile_commands.json (cmake --preset default).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
[ -f build/default/compile_commands.json ] || cmake --preset default >/dev/null

clang_tidy="$(command -v clang-tidy || command -v clang-tidy-14 || true)"
[ -n "$clang_tidy" ] || { echo "clang-tidy is not installed" >&2; exit 2; }
command -v cppcheck >/dev/null || { echo "cppcheck is not installed" >&2; exit 2; }

sources=$(find src tools -name '*.cpp' | sort)
echo "== clang-tidy on $(wc -w <<<"$sources") files"
# WarningsAsErrors in .clang-tidy makes every finding fail the run.
xargs -P"$(nproc)" -n4 "$clang_tidy" -p build/default --quiet <<<"$sources" \
  >build/clang-tidy.log 2>&1 || { grep -E "(warning|error):" -A3 build/clang-tidy.log; exit 1; }

echo "== cppcheck"
cppcheck --std=c++20 --enable=warning,style,performance,portability --inline-suppr \
  --error-exitcode=1 --quiet -I src -I fuzz src tools fuzz bench
echo "static checks passed"
