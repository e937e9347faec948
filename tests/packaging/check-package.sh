#!/usr/bin/env bash
# Checks the Debian package scripts/package.sh left in BUILD_DIR without installing it: its files
# and their paths, its dependencies, its maintainer scripts, lintian, the desktop entry and
# metainfo validators, and the packaged program's --version.
# Usage: check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: check-package.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
ok() { echo "check-package: ok   $*"; }
bad() { echo "check-package: FAIL $*" >&2; failed=$((failed + 1)); }

debs=("$build"/tq-gas-calibrator_4.98_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { bad "expected one tq-gas-calibrator_4.98_*.deb in $build"; exit 1; }
deb=${debs[0]}
app=com.lumaweave.tq.GasCalibrator

# Exactly these files, nothing else anywhere.
{
    printf '%s\n' ./usr/bin/TQ_Gas_Calibrator ./usr/bin/tq-sim ./usr/bin/tqcal \
        ./usr/lib/udev/rules.d/70-tq-series.rules \
        ./usr/share/applications/$app.desktop ./usr/share/metainfo/$app.metainfo.xml \
        ./usr/share/doc/tq-gas-calibrator/changelog.gz ./usr/share/doc/tq-gas-calibrator/copyright \
        ./usr/share/man/man1/TQ_Gas_Calibrator.1.gz ./usr/share/man/man1/tq-sim.1.gz \
        ./usr/share/man/man1/tqcal.1.gz \
        ./usr/share/tq-gas-calibrator/translations/TQ_Gas_Calibrator_ko.qm
    for size in 16 22 24 32 48 64; do
        echo "./usr/share/icons/hicolor/${size}x${size}/apps/$app.png"
    done
} | sort >"$work/expected"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort >"$work/files"
if diff -u "$work/expected" "$work/files"; then ok "file list"; else bad "file list (- expected, + packaged)"; fi
if dpkg-deb -c "$deb" | awk '$2 != "root/root"' | grep .; then bad "entries not owned by root"; fi

# Dependencies come from dpkg-shlibdeps, so they carry the libraries' minimum versions.
depends=$(dpkg-deb --info "$deb" | sed -n 's/^ Depends: //p')
for lib in libc6 libqt5core5a libqt5gui5 libqt5widgets5 libqt5serialport5 libqt5sql5; do
    [[ "$depends" == *"$lib (>= "* ]] || bad "Depends lacks $lib (>= ...): $depends"
done
[[ "$depends" == *libqt5sql5-sqlite* ]] || bad "Depends lacks libqt5sql5-sqlite: $depends"
[[ "$depends" == *libqt5sql5-psql* ]] || bad "Depends lacks libqt5sql5-psql: $depends"
[[ "$depends" == *"(>= "* ]] && ok "Depends: $depends"

dpkg-deb -x "$deb" "$work/root"
dpkg-deb -e "$deb" "$work/control"
root=$work/root

# The maintainer scripts never fail an install, even when udevadm does; where udev does not run
# (a chroot) they leave it alone.
before=$failed
mkdir "$work/stub"
printf '#!/bin/sh\necho "udevadm $*" >>"%s"\nexit 1\n' "$work/udevadm-calls" >"$work/stub/udevadm"
chmod +x "$work/stub/udevadm"
for call in "postinst configure" "postrm remove" "postrm purge"; do
    set -- $call
    [ -x "$work/control/$1" ] || bad "$1 is not executable"
    PATH="$work/stub:$PATH" "$work/control/$1" "$2" || bad "$call failed"
done
if [ -S /run/udev/control ]; then
    grep -q 'reload-rules' "$work/udevadm-calls" || bad "udev runs, yet the rules were not reloaded"
elif [ -e "$work/udevadm-calls" ]; then
    bad "udev does not run, yet udevadm was called: $(cat "$work/udevadm-calls")"
fi
[ $failed -eq $before ] && ok "postinst and postrm"

before=$failed

rule=$root/usr/lib/udev/rules.d/70-tq-series.rules
for want in 'ATTRS{idVendor}=="04d8"' 'TAG+="uaccess"' 'ENV{ID_MM_DEVICE_IGNORE}="1"'; do
    grep -qF "$want" "$rule" || bad "udev rule lacks $want"
done

for size in 16 22 24 32 48 64; do
    file "$root/usr/share/icons/hicolor/${size}x${size}/apps/$app.png" | grep -q "PNG image data, $size x $size," ||
        bad "icon in ${size}x${size} is not $size px"
done
# The manual page names where the package puts what the program reads.
page=$(zcat "$root/usr/share/man/man1/TQ_Gas_Calibrator.1.gz" | sed 's/\\-/-/g')
for path in /usr/share/tq-gas-calibrator/translations/TQ_Gas_Calibrator_ko.qm /usr/lib/udev/rules.d/70-tq-series.rules; do
    [[ "$page" == *"$path"* ]] || bad "TQ_Gas_Calibrator(1) does not name $path"
done
[ $failed -eq $before ] && ok "udev rule, icons, manual page"

desktop-file-validate "$root/usr/share/applications/$app.desktop" && ok "desktop-file-validate" ||
    bad "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml" >"$work/appstream" &&
    ok "appstreamcli validate" || { cat "$work/appstream"; bad "appstreamcli validate"; }

# Answered without a display, as in a support call over ssh.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/TQ_Gas_Calibrator" --version) &&
    [ "$version" = "TQ_Gas_Calibrator 4.98" ] && ok "--version: $version" || bad "--version printed '$version'"

# The command line runs where no display library is installed: it links none.
if objdump -p "$root/usr/bin/tqcal" | grep -E 'NEEDED +libQt5(Gui|Widgets)'; then
    bad "tqcal links a display library"
else
    version=$("$root/usr/bin/tqcal" --version) && [ "$version" = "tqcal 4.98" ] && ok "tqcal links no Gui or Widgets; $version" ||
        bad "tqcal --version printed '$version'"
fi

lintian --fail-on error "$deb" >"$work/lintian" 2>&1 && lint=0 || lint=$?
grep -v 'running with root privileges' "$work/lintian" || true
[ $lint -eq 0 ] && ok "lintian: no errors" || bad "lintian reports errors"
[ $failed -eq 0 ]
