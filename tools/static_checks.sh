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

# src/web is the browser's binding, built only by em++ (the web preset, with -Werror).
sources=$(find src tools -name '*.cpp' ! -name '*_windows.cpp' ! -path 'src/web/*' | sort)
echo "== clang-tidy on $(wc -w <<<"$sources") files"
# WarningsAsErrors in .clang-tidy makes every finding fail the run.
xargs -P"$(nproc)" -n4 "$clang_tidy" -p build/default --quiet <<<"$sources" \
  >build/clang-tidy.log 2>&1 || { grep -E "(warning|error):" -A3 build/clang-tidy.log; exit 1; }

# The Windows sources, with the compile commands of the Windows build and the
# mingw-w64 headers (cmake --preset windows); CI makes that build before this script.
windows_sources=$(find src tests -name '*_windows.cpp' | sort)
if [ -f build/windows/compile_commands.json ]; then
  echo "== clang-tidy on $(wc -w <<<"$windows_sources") Windows files"
  gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
  "$clang_tidy" -p build/windows --quiet --extra-arg=--target=x86_64-w64-mingw32 \
    --extra-arg=-isystem"$gcc_dir/include/c++" \
    --extra-arg=-isystem"$gcc_dir/include/c++/x86_64-w64-mingw32" $windows_sources \
    >build/clang-tidy-windows.log 2>&1 ||
    { grep -E "(warning|error):" -A3 build/clang-tidy-windows.log; exit 1; }
else
  echo "== the Windows files need build/windows (cmake --preset windows); not checked" >&2
fi

echo "== cppcheck"
# useStlAlgorithm only suggests an algorithm for a plain loop; the readers state their
# rules as loops over the places found, which read closer to the rules they follow.
cppcheck --std=c++20 --enable=warning,style,performance,portability --inline-suppr \
  --suppress=useStlAlgorithm \
  --error-exitcode=1 --quiet -I src -I fuzz src tools fuzz bench
echo "static checks passed"
