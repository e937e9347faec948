#!/usr/bin/env bash
# Installs a build into a temporary prefix and starts the installed program with a Korean locale
# from a folder that holds no translation: it must load the one the install put down, and fall
# back to its compiled-in copy once that is gone.
# Usage: check-install.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: check-install.sh BUILD_DIR}" && pwd)
work=$(realpath "$(mktemp -d)")
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "check-install: FAIL $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
qm=$prefix/share/tq-gas-calibrator/translations/TQ_Gas_Calibrator_ko.qm
[ -s "$qm" ] || fail "no translation at $qm"
"$prefix/bin/tq-sim" --help >/dev/null || fail "installed tq-sim --help"
"$prefix/bin/tqcal" --help >/dev/null || fail "installed tqcal --help"

# Starts the installed program, keeps in $got what it logged about its translation, and stops it.
translation_loaded() {
    mkdir -p "$work/cwd"
    (cd "$work/cwd" && exec env -u LC_ALL -u LC_NUMERIC -u LC_MESSAGES LANG=ko_KR.UTF-8 \
        QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='tq.translation.debug=true' TQ_CALIBRATOR_PORTS= \
        "$prefix/bin/TQ_Gas_Calibrator") 2>"$work/log" &
    pid=$!
    for _ in $(seq 100); do
        grep -q 'translation for' "$work/log" && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=""
    got=$(sed -n 's/.*translation for //p' "$work/log")
}

translation_loaded
[ "$got" = "ko_KR -> $qm" ] || fail "installed translation: expected 'ko_KR -> $qm', got '$got'"
echo "check-install: ok   installed program loads $qm"

rm "$qm"
translation_loaded
[ "$got" = "ko_KR -> :/i18n/TQ_Gas_Calibrator_ko.qm" ] || fail "without the installed file: got '$got'"
echo "check-install: ok   without it, the compiled-in copy"
