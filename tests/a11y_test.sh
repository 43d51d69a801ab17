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
    # Files alone gets information, so that the information label has a text
    # to be named by, and Files then Music one for the chord guide to tell.
    printf 'Files\t\t\tLeave a mark\t/bin/true\nFiles\tMusic\t\tPlay it\t/bin/true\n' |
        HOME="$CASE_HOME" "$TRINODE_BIN" --import - >/dev/null || fail "the import" || return 1
    restart_trinode || return 1
    # Debian's own interpreter, which the python3-pyatspi package serves.
    /usr/bin/python3 "$READER" "Leave a mark" "M Music: Play it" || return 1
    # The editor is open: its Cancel, then the bindings window.
    xdotool key --window "$WINDOW" Escape ctrl+f
    /usr/bin/python3 "$READER" --bindings "Files, Music, Empty Socket: Play it, /bin/true" || return 1
    xdotool key --window "$WINDOW" Escape ctrl+k
    /usr/bin/python3 "$READER" --key-dialog "Ctrl+Alt+Space"
}

run_cases "$@"
