#!/usr/bin/env bash
# Compiles the Windows-only sources with the MinGW-w64 cross compiler (syntax and types only), so a Linux
# build notices when they break. Exits non-zero when a file does not compile.
set -u

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cxx="${MINGW_CXX:-x86_64-w64-mingw32-g++}"

if ! command -v "$cxx" >/dev/null 2>&1; then
    echo "check-windows-syntax: $cxx not found (Debian package g++-mingw-w64-x86-64-win32)" >&2
    exit 1
fi

status=0
check() {
    if "$cxx" -std=c++17 -fsyntax-only "$@"; then
        echo "check-windows-syntax: ok   ${*: -1}"
    else
        echo "check-windows-syntax: FAIL ${*: -1}" >&2
        status=1
    fi
}

# Plain C++ and Win32 only: checked strictly.
for file in app/discovery/propertyvalue.cpp app/discovery/setupapi_win.cpp; do
    check -Wall -Wextra -Werror -I"$root" "$root/$file"
done

# The Qt side of the Windows source, against the host's Qt headers (no Qt for Windows is installed); the
# dllimport warnings those headers give under MinGW are expected and silenced.
qt_headers="${QT_HEADERS:-$(qmake -query QT_INSTALL_HEADERS 2>/dev/null || true)}"
if [ -z "$qt_headers" ] && [ -d /usr/include/x86_64-linux-gnu/qt5 ]; then
    qt_headers=/usr/include/x86_64-linux-gnu/qt5
fi
if [ -n "$qt_headers" ] && [ -d "$qt_headers/QtCore" ]; then
    for file in app/discovery/setupapisource_win.cpp app/discovery/devicescan.cpp app/discovery/devicewatch.cpp; do
        check -Wall -Wextra -Wno-attributes -I"$root" -I"$qt_headers" -I"$qt_headers/QtCore" "$root/$file"
    done
else
    echo "check-windows-syntax: Qt headers not found, Qt-side Windows sources not checked" >&2
    status=1
fi

exit $status
