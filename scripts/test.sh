#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine if needed, builds, and runs every test headless.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

"$root/scripts/setup.sh"
BUILD_DIR=$build "$root/scripts/build.sh"

echo "== Windows enumeration layer: MinGW syntax check"
"$root/scripts/check-windows-syntax.sh"

echo "== Throwaway PostgreSQL server for the lab records tests"
# Under /tmp: the server user must reach it, and its socket path must stay short.
pgdir=$(mktemp -d /tmp/tq-pg.XXXXXX)
# Stopped and removed however the tests end.
trap '"$root/scripts/test-pg.sh" stop "$pgdir"' EXIT
eval "$("$root/scripts/test-pg.sh" start "$pgdir")"

echo "== Tests"
export QT_QPA_PLATFORM=offscreen
# The fault matrix and the longest end-to-end programs ("once") run in the sanitizer pass below,
# where they catch memory faults too; running them twice would cost minutes and find nothing more.
ctest --test-dir "$build" --output-on-failure --timeout 300 -j2 -LE "matrix|once"

# The same tests again, built by clang with AddressSanitizer and UndefinedBehaviorSanitizer, plus
# the fault matrix over every panel and each fuzz target for TQ_FUZZ_SECONDS (default 15).
echo "== Sanitizer pass: clang, ASan + UBSan, fault matrix, fuzz targets"
asan=${ASAN_BUILD_DIR:-$root/build-asan}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# -O1 and line tables only: all that the sanitizers and their reports need, and cheaper to build.
CC=clang CXX=clang++ cmake -S "$root" -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG" -DTQ_SANITIZE=ON \
  -DTQ_BUILD_FUZZ=ON -DTQ_BUILD_BENCH=OFF -DTQ_FUZZ_SECONDS="${TQ_FUZZ_SECONDS:-15}" "${launcher[@]}" >/dev/null
cmake --build "$asan" -j"$(nproc)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS=suppressions="$root/tests/sanitizer/lsan.supp":print_suppressions=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$asan" --output-on-failure --timeout 1500 -j2

echo "== Debian package: build, then check without installing"
BUILD_DIR=$build "$root/scripts/package.sh" >/dev/null
"$root/tests/packaging/check-package.sh" "$build"
