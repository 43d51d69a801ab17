#!/usr/bin/env bash
# The real trinode in a real X server, driven with the mouse.
source "$(dirname "$0")/x11/harness.sh"

case_held_button_shows_pressed_picture() {
    start_trinode || return 1
    local rest socket_before
    rest=$(picture FilesButton)
    socket_before=$(picture EmptySocket1)
    point_at $(corner_of FilesButton)
    xdotool mousedown 1
    wait_until "Files shows its pressed picture" picture_differs FilesButton "$rest" || return 1
    [[ $(picture EmptySocket1) == "$socket_before" ]] || fail "the socket filled before the release" || return 1
    xdotool mouseup 1
    wait_until "Files shows its normal picture again" picture_is FilesButton "$rest" || return 1
    wait_until "socket 1 shows Files" picture_differs EmptySocket1 "$socket_before"
}

case_exit_released_outside_keeps_running() {
    start_trinode || return 1
    local socket_before
    socket_before=$(picture EmptySocket1)
    point_at $(corner_of ExitButton)
    xdotool mousedown 1
    point_at 900 200
    xdotool mouseup 1
    # The program goes on: a button press still takes effect.
    click_on FilesButton
    wait_until "socket 1 shows Files" picture_differs EmptySocket1 "$socket_before" || return 1
    trinode_running || fail "trinode ended"
}

# Left click at a point of the window found by window_of_size.
click_in() {
    xdotool mousemove --sync $(($2 + $4)) $(($3 + $5)) click 1
}

case_bind_a_combination_in_the_editor_and_run_it() {
    start_trinode || return 1
    local script="$CASE_HOME/launch me.sh" marker="$CASE_HOME/launched"
    printf '#!/bin/sh\ntouch "%s"\n' "$marker" >"$script"
    chmod +x "$script"

    click_on AddShortcutButton
    local dialog
    wait_until "the editor opens" eval 'dialog=$(window_of_size "^Trinode$" 713x393)' || return 1
    # The lists stand at x 16, 88 and 160 from y 72, one item every 13
    # pixels, the empty item first: Files is item 3, Personal 8, Music 6.
    click_in $dialog 48 $((72 + 2 + 3 * 13 + 6))
    click_in $dialog 120 $((72 + 2 + 8 * 13 + 6))
    click_in $dialog 192 $((72 + 2 + 6 * 13 + 6))
    click_in $dialog 400 174
    xdotool type --delay 5 "Launch & go"
    click_in $dialog 400 206
    xdotool type --delay 5 "$script"
    xdotool key Return
    wait_until "the editor closes" eval '! window_of_size "^Trinode$" 713x393 >/dev/null' || return 1

    # Record 1224 is (Files, Personal, Music): length byte 175, then the five
    # right-justified fields.
    local expected actual
    expected=$(printf '\xaf%15s%15s%15s%30s%100s' Files Personal Music "Launch & go" "$script" | od -An -tx1)
    actual=$(dd if="$CASE_HOME/TrinodeRun.cmb" bs=176 skip=1224 count=1 2>/dev/null | od -An -tx1)
    [[ "$actual" == "$expected" ]] || fail "record 1224 is not what was typed" || return 1

    click_on FilesButton
    click_on PersonalButton
    click_on MusicButton
    click_on MainButton
    wait_until "Run starts the script" test -f "$marker"
}

# A new user's first start offers the desktop's own browser; Enter binds it,
# the next start offers nothing, and Internet then Run opens the browser.
case_first_start_binds_the_desktops_browser() {
    start_openbox || return 1
    # The machine's own applications stay out of the offer.
    local -x XDG_DATA_DIRS=$CASE_HOME/none
    local apps=$CASE_HOME/.local/share/applications marker=$CASE_HOME/browsed
    rm "$CASE_HOME/.config/trinode/trinode.conf" "$CASE_HOME/config/trinode/trinode.conf"
    mkdir -p "$apps" "$XDG_DATA_DIRS"
    printf '#!/bin/sh\ntouch "%s"\n' "$marker" >"$CASE_HOME/browser.sh"
    chmod +x "$CASE_HOME/browser.sh"
    printf '[Desktop Entry]\nType=Application\nName=Browser\nExec="%s" %%u\nMimeType=x-scheme-handler/https;\n' \
        "$CASE_HOME/browser.sh" >"$apps/made-up-browser.desktop"
    printf '[Default Applications]\nx-scheme-handler/https=made-up-browser.desktop\n' >"$CASE_HOME/.config/mimeapps.list"
    start_trinode || return 1
    local offer
    wait_until "Bind Applications shows" eval 'offer=$(xdotool search --onlyvisible --name "^Bind Applications$")' || return 1
    wait_until "it has the focus" eval '[[ "$(xdotool getactivewindow 2>/dev/null)" == "$offer" ]]' || return 1
    xdotool key Return
    wait_until "Enter binds and closes it" eval '! xdotool search --onlyvisible --name "^Bind Applications$" >/dev/null' ||
        return 1
    HOME=$CASE_HOME "$TRINODE_BIN" --list | grep -q "^Internet"$'\t\t\t'"Browser"$'\t' || fail "Internet is not bound to Browser" || return 1
    restart_trinode || return 1
    click_on InternetButton
    click_on MainButton
    wait_until "Run opens the browser" test -f "$marker" || return 1
    ! xdotool search --onlyvisible --name "^Bind Applications$" >/dev/null || fail "offered again"
}

# Processes named $1 that this case's trinode left behind: they carry its home.
processes_of_case() {
    local pid
    for pid in $(pgrep -x "$1"); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "HOME=$CASE_HOME" && echo "$pid"
    done
}

# A click on Exit ends trinode, which leaves no bus behind.
case_a_session_without_a_bus_keeps_none_after_trinode() {
    # dbus-launch is what would start the bus; without it the case proves
    # nothing.
    command -v dbus-launch >/dev/null ||
        fail "dbus-launch is missing (tools/setup-debian --test installs it)" || return 1
    local address=${DBUS_SESSION_BUS_ADDRESS-} started=0
    unset DBUS_SESSION_BUS_ADDRESS
    start_trinode || started=1
    [[ -n $address ]] && export DBUS_SESSION_BUS_ADDRESS=$address
    ((started == 0)) || return 1
    click_on ExitButton
    wait_until "trinode ends" eval '! trinode_running' || return 1
    local left
    left=$(processes_of_case dbus-daemon; processes_of_case dbus-launch)
    if [[ -n $left ]]; then
        kill $left
        fail "left running: $(echo $left)"
        return 1
    fi
    [[ ! -e $CASE_HOME/.dbus ]] || fail "a .dbus folder was made in the home"
}

# A session bus that takes connections and never answers: trinode starts
# without it, saying so, rather than waiting on it for good.
case_a_bus_that_never_answers_is_passed_over() {
    local socket=$CASE_HOME/bus
    python3 -c 'import signal, socket, sys
s = socket.socket(socket.AF_UNIX)
s.bind(sys.argv[1])
s.listen(64)
signal.pause()' "$socket" &
    local listener=$! started=0
    wait_until "the silent bus listens" test -S "$socket" || { kill $listener; return 1; }
    DBUS_SESSION_BUS_ADDRESS=unix:path=$socket start_trinode || started=1
    kill $listener
    ((started == 0)) || return 1
    grep -q "session bus .* did not answer" "$CASE_HOME/trinode.log" ||
        fail "no line about the bus: $(cat "$CASE_HOME/trinode.log")"
}

run_cases "$@"
