#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine if needed, builds, and runs every test headless.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

"$root/scripts/setup.sh"
BUILD_DIR=$build "$root/scripts/build.sh"

echo "== Windows enumeration layer: MinGW syntax check"
"$root/scripts/check-windows-syntax.sh"

echo "== Tests"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure --timeout 300 -j2

echo "== Debian package: build, then check without installing"
BUILD_DIR=$build "$root/scripts/package.sh" >/dev/null
"$root/tests/packaging/check-package.sh" "$build"
