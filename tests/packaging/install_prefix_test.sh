#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses Vembrix from there with the build
# tree out of reach: the libraries and pictures are found in the prefix, the files it
# keeps go to the user's configuration folder, and a job prints through the service.
#   install_prefix_test.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/installed.sh"

build=$(realpath "$1")
work=$(mktemp -d)
trap 'stop_started; rm -rf "$work"' EXIT

if [ -z "${2:-}" ]; then
    prefix=$work/prefix
    cmake --install "$build" --prefix "$prefix" >"$work/install.log" ||
        fail "cmake --install: $(cat "$work/install.log")"
    for binary in "$prefix"/bin/* "$prefix"/lib/*/vembrix/*.so; do
        ! readelf -d "$binary" | grep -q "$build" || fail "$binary names the build tree"
    done
    check_startup_files "$prefix" "$prefix/etc/xdg/autostart"
    grep -qx "ExecStart=$prefix/bin/vembrix --headless" "$prefix/lib/systemd/user/vembrix.service" ||
        fail "the unit does not start the installed program"

    # The rest runs where an empty folder lies over the build tree, in a mount namespace of
    # its own. Where none can be made (a container without the right), the RUNPATH check
    # above is what keeps the build tree out.
    export VEMBRIX_TEST_PREFIX=$prefix
    hide=(unshare --mount)
    [ "$(id -u)" -eq 0 ] || hide=(unshare --mount --map-root-user)
    cover='mount -t tmpfs vembrix-hidden "$1"'
    rest=(bash "$(realpath "$0")" "$build")
    if "${hide[@]}" sh -c "$cover" cover "$build" 2>/dev/null; then
        "${hide[@]}" sh -c "$cover"' && shift && exec "$@"' cover "$build" "${rest[@]}" \
            --build-tree-hidden
    else
        echo "NOTE: no mount namespace can be made here; the build tree stays in reach"
        "${rest[@]}" --build-tree-in-reach
    fi
    exit
fi

prefix=$VEMBRIX_TEST_PREFIX
[ "$2" != --build-tree-hidden ] || [ -z "$(ls -A "$build")" ] || fail "the build tree is still there"
unset VEMBRIX_HOME XDG_CONFIG_HOME
export HOME=$work/user
exercise_installed "$prefix/bin" "$HOME/.config/vembrix" "$work/run"
[ "$(stat -c %a "$HOME/.config/vembrix")" = 700 ] || fail "the home folder is open to others"

# XDG_CONFIG_HOME moves the home, VEMBRIX_HOME wins over both.
XDG_CONFIG_HOME=$work/xdg "$prefix/bin/vembrix" settings set DeviceLog=1
[ -f "$work/xdg/vembrix/vembrix.ini" ] || fail "XDG_CONFIG_HOME is not followed"
mkdir "$work/own"
VEMBRIX_HOME=$work/own XDG_CONFIG_HOME=$work/xdg "$prefix/bin/vembrix" settings set DeviceLog=1
[ -f "$work/own/vembrix.ini" ] || fail "VEMBRIX_HOME does not win"
