#!/usr/bin/env bash
# Builds the Debian package: installs what is missing, builds into ${BUILD_DIR:-build}, and leaves
# tq-gas-calibrator_VERSION_ARCH.deb there (CPack, dependencies from dpkg-shlibdeps).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

"$root/scripts/setup.sh"
BUILD_DIR=$build "$root/scripts/build.sh"

rm -f "$build"/tq-gas-calibrator_*.deb
# The staged files take their modes from the install rules; a narrow umask would leak into them.
(cd "$build" && umask 022 && cpack --config CPackConfig.cmake)
