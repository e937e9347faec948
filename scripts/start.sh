#!/usr/bin/env bash
# Sets up, builds and starts the tool. With no TQ device on USB, simulated devices of every model
# are attached through TQ_CALIBRATOR_PORTS so the tool can be tried without hardware.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

"$root/scripts/setup.sh" --desktop
BUILD_DIR=$build "$root/scripts/build.sh"

real_device_attached() {
  local d
  for d in /sys/bus/usb/devices/*; do
    [ -r "$d/idVendor" ] && [ -r "$d/idProduct" ] || continue
    if [ "$(cat "$d/idVendor")" = "04d8" ] && [ "$(cat "$d/idProduct")" = "000a" ]; then
      return 0
    fi
  done
  return 1
}

sim_pid=""
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true; }
trap cleanup EXIT

if [ -z "${TQ_CALIBRATOR_PORTS:-}" ] && ! real_device_attached; then
  echo "No TQ device on USB: attaching simulated devices."
  out=$(mktemp)
  "$build/tools/tq-sim/tq-sim" >"$out" &
  sim_pid=$!
  for _ in $(seq 50); do
    grep -q '^TQ_CALIBRATOR_PORTS=' "$out" && break
    sleep 0.1
  done
  sed 's/^/  /' "$out"
  ports=$(sed -n 's/^TQ_CALIBRATOR_PORTS=//p' "$out")
  rm -f "$out"
  [ -n "$ports" ] || { echo "The simulator did not start." >&2; exit 1; }
  export TQ_CALIBRATOR_PORTS=$ports
fi

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found. Run this from a desktop session (or under xvfb-run)." >&2
  exit 1
fi

# The Korean translation is looked up in the working directory.
cd "$build"
"$build/TQ_Gas_Calibrator" "$@"
