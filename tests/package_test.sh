#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine, checks that the
# installed trinode starts in a real X server and that the desktop finds its
# entry and icon, then removes the package again. Needs root (as CI has);
# elsewhere it says so and passes.
source "$(dirname "$0")/x11/harness.sh"

: "${TRINODE_BUILD_DIR:?}"
if ((EUID != 0)); then
    echo "not root: the package is not installed here"
    echo "0 passed, 0 failed"
    exit 0
fi
if dpkg-query -W -f='${Status}' trinode 2>/dev/null | grep -q "install ok installed"; then
    echo "a trinode package is installed already; leaving this machine's package alone"
    echo "0 passed, 0 failed"
    exit 0
fi

work=$(mktemp -d)
cleanup() {
    apt-get remove -y -qq trinode >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

(cd "$TRINODE_BUILD_DIR" && cpack -B "$work" >/dev/null) || { echo "cpack failed"; exit 1; }
deb=$(ls "$work"/trinode_*.deb)
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || { echo "no Qt dependency declared"; exit 1; }
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null || { echo "install failed"; exit 1; }

case_installed_desktop_entry_and_icons() {
    local entry=/usr/share/applications/trinode.desktop
    [[ -f $entry ]] || fail "no desktop entry" || return 1
    desktop-file-validate "$entry" || fail "the desktop entry does not validate" || return 1
    grep -qx "Exec=trinode" "$entry" || fail "the entry does not run trinode" || return 1
    local size
    for size in 16 22 24 32 48 64 128 256; do
        [[ -f /usr/share/icons/hicolor/${size}x${size}/apps/trinode.png ]] ||
            fail "no ${size}px icon" || return 1
    done
    # The desktop looks entries up by id in the XDG data folders.
    XDG_DATA_DIRS=/usr/share gio info "$entry" >/dev/null 2>&1 ||
        fail "the desktop cannot read the entry"
}

case_installed_trinode_starts() {
    TRINODE_BIN=/usr/bin/trinode
    start_trinode || return 1
    [[ $(stat -c %s "$CASE_HOME/TrinodeRun.cmb") == 2141392 ]] || fail "no combination file"
}

run_cases
