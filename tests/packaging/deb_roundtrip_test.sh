#!/usr/bin/env bash
# Makes the Debian package from the build, installs it with apt-get, uses the installed
# Vembrix as a user would (version, printers, a job through the service to the virtual
# printer), and removes it again: the user's configuration stays. The machine is left as
# it was found: the package is purged, and so is whatever apt-get installed with it.
#   deb_roundtrip_test.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/installed.sh"

skip() {
    echo "SKIPPED: $*"
    exit 77
}

[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
! dpkg-query -W -f='${Status}\n' vembrix 2>/dev/null | grep -q installed ||
    skip "a vembrix package is installed here already; it is left alone"

build=$(realpath "$1")
work=$(mktemp -d)
installed_before=$work/installed-before
dpkg-query -W -f='${Package}\n' | sort >"$installed_before"

apt_get() {
    DEBIAN_FRONTEND=noninteractive apt-get -y -q "$@" >>"$work/apt.log" 2>&1 ||
        fail "apt-get $*: $(tail -n 20 "$work/apt.log")"
}

leave_as_found() {
    stop_started
    local added
    added=$(dpkg-query -W -f='${Package}\n' | sort | comm -13 "$installed_before" - | tr '\n' ' ')
    if [ -n "$added" ]; then
        DEBIAN_FRONTEND=noninteractive apt-get -y -q purge $added >/dev/null 2>&1 ||
            echo "could not purge $added" >&2
    fi
    # Removed but not purged, the package still counts as known to dpkg.
    dpkg-query -W -f='${Status}\n' vembrix 2>/dev/null | grep -q config-files &&
        dpkg --purge vembrix >/dev/null
    rm -rf "$work"
}
trap leave_as_found EXIT

cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$work/cpack.log")"
package=$(echo "$work"/package/vembrix_*.deb)
[ -f "$package" ] || fail "cpack made no vembrix_*.deb: $(cat "$work/cpack.log")"
# Dependencies are computed from the binaries; the package needs no maintainer scripts.
dpkg-deb -f "$package" Depends | grep -q libjsoncpp || fail "dependencies not computed"
! dpkg-deb --ctrl-tarfile "$package" | tar -t | grep -E 'inst$|rm$' ||
    fail "the package has maintainer scripts"

(cd "$work/package" && apt_get install "./$(basename "$package")")
check_startup_files /usr /etc/xdg/autostart
grep -qx "ExecStart=/usr/bin/vembrix --headless" /usr/lib/systemd/user/vembrix.service ||
    fail "the unit does not start the installed program"

unset VEMBRIX_HOME XDG_CONFIG_HOME
export HOME=$work/user
exercise_installed /usr/bin "$HOME/.config/vembrix" "$work/run"

apt_get remove vembrix
[ ! -e /usr/bin/vembrix ] || fail "apt-get remove left the program"
[ -f "$work/user/.config/vembrix/vembrix.ini" ] || fail "apt-get remove took the configuration"
