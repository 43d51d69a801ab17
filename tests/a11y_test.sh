#!/usr/bin/env bash
# The real trinode read through the real accessibility bus: at-spi2-core's bus
# and registry in a D-Bus session of the test's own, read with pyatspi as a
# screen reader reads it.
if [[ -z "${TRINODE_OWN_SESSION:-}" ]]; then
    TRINODE_OWN_SESSION=1 exec dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/x11/harness.sh"

READER="$(dirname "$0")/a11y/read_trinode.py"
# Qt speaks to the accessibility bus whether or not a screen reader asked.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

case_pictures_and_editor_reach_a_screen_reader() {
    start_trinode || return 1
    # (Files, empty, empty) is record 1586: bind information to it and start
    # again, so that the information label has a text to be named by.
    printf '\xaf%15s%15s%15s%30s%100s' Files "" "" "Leave a mark" /bin/true |
        dd of="$CASE_HOME/TrinodeRun.cmb" bs=176 seek=1586 conv=notrunc status=none
    restart_trinode || return 1
    # Debian's own interpreter, which the python3-pyatspi package serves.
    /usr/bin/python3 "$READER" "Leave a mark" || return 1
    # The editor is open: its Cancel, then the bindings window.
    xdotool key --window "$WINDOW" Escape ctrl+f
    /usr/bin/python3 "$READER" --bindings "Files, Empty Socket, Empty Socket: Leave a mark, /bin/true" || return 1
    xdotool key --window "$WINDOW" Escape ctrl+k
    /usr/bin/python3 "$READER" --key-dialog "Ctrl+Alt+Space"
}

run_cases "$@"
