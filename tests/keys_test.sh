#!/usr/bin/env bash
# The real trinode in a real X server, driven from the keyboard alone.
source "$(dirname "$0")/x11/harness.sh"

# Squares of the layout: x y width height (unquoted, they are four arguments).
SOCKET1="428 442 44 44"
SOCKET2="488 442 44 44"
SOCKET3="549 442 44 44"
FILES="352 680 32 32"
PERSONAL="480 680 32 32"
PICTURES="608 680 32 32"
PROJECTS="352 712 32 32"
MUSIC="576 680 32 32"

# Sends keys to the window, which must have the keyboard focus first.
keys() {
    xdotool windowfocus --sync "$WINDOW" 2>/dev/null
    xdotool key --clearmodifiers --delay 20 "$@"
}

typed() {
    xdotool windowfocus --sync "$WINDOW" 2>/dev/null
    xdotool type --delay 20 "$1"
}

# Binds (Files, Personal, Music), record 1224, to a script that leaves a
# marker in the case's home, in the file that the first start created.
bind_script() {
    local script="$CASE_HOME/marker.sh"
    printf '#!/bin/sh\ntouch "%s/launched"\n' "$CASE_HOME" >"$script"
    chmod +x "$script"
    printf '\xaf%15s%15s%15s%30s%100s' Files Personal Music "Leave a mark" "$script" |
        dd of="$CASE_HOME/TrinodeRun.cmb" bs=176 seek=1224 conv=notrunc status=none
}

restart_trinode() {
    kill "$TRINODE_PID" && wait "$TRINODE_PID" 2>/dev/null
    wait_until "the first window goes" \
        eval '! xdotool search --onlyvisible --name "^Trinode$" >/dev/null 2>&1' || return 1
    start_trinode
}

case_typed_prefixes_and_enter_run_the_bound_program() {
    start_trinode || return 1
    bind_script
    restart_trinode || return 1
    local empty
    empty=$(region $SOCKET1)
    typed f
    wait_until "f puts Files in socket 1" region_differs $SOCKET1 "$empty" || return 1
    typed pe
    wait_until "pe puts Personal in socket 2" region_differs $SOCKET2 "$empty" || return 1
    typed mu
    wait_until "mu puts Music in socket 3" region_differs $SOCKET3 "$empty" || return 1
    keys Return
    wait_until "Enter runs the bound script" test -f "$CASE_HOME/launched"
}

case_longer_prefix_presses_once_and_digits_are_variants() {
    start_trinode || return 1
    local empty files_socket
    empty=$(region $SOCKET1)
    typed FILES
    wait_until "FILES puts Files in socket 1" region_differs $SOCKET1 "$empty" || return 1
    files_socket=$(region $SOCKET1)
    typed 2
    wait_until "2 puts Two in socket 2" region_differs $SOCKET2 "$empty" || return 1
    # The rest of the name pressed nothing more (no Internet, Mail or
    # Settings), so Two went into socket 2 and socket 3 is still empty.
    [[ "$(region $SOCKET1)" == "$files_socket" ]] || fail "socket 1 changed" || return 1
    [[ "$(region $SOCKET3)" == "$empty" ]] || fail "the rest of FILES pressed more" || return 1
    typed f
    wait_until "f after 2 starts afresh: socket 3 fills" region_differs $SOCKET3 "$empty"
}

case_ambiguous_prefix_shows_its_candidates_pressed() {
    start_trinode || return 1
    local personal pictures projects files empty
    personal=$(region $PERSONAL)
    pictures=$(region $PICTURES)
    projects=$(region $PROJECTS)
    files=$(region $FILES)
    empty=$(region $SOCKET1)
    typed p
    wait_until "Personal shows pressed" region_differs $PERSONAL "$personal" || return 1
    wait_until "Pictures shows pressed" region_differs $PICTURES "$pictures" || return 1
    wait_until "Projects shows pressed" region_differs $PROJECTS "$projects" || return 1
    [[ "$(region $FILES)" == "$files" ]] || fail "Files is no candidate of p" || return 1
    [[ "$(region $SOCKET1)" == "$empty" ]] || fail "p alone filled a socket" || return 1
    typed i
    wait_until "pi puts Pictures in socket 1" region_differs $SOCKET1 "$empty" || return 1
    wait_until "Personal shows its rest picture" region_is $PERSONAL "$personal" || return 1
    wait_until "Projects shows its rest picture" region_is $PROJECTS "$projects" || return 1
    wait_until "Pictures shows its rest picture" region_is $PICTURES "$pictures"
}

case_backspace_empties_the_last_socket_and_delete_all() {
    start_trinode || return 1
    local empty
    empty=$(region $SOCKET1)
    typed fmu
    wait_until "socket 2 fills" region_differs $SOCKET2 "$empty" || return 1
    keys BackSpace
    wait_until "Backspace empties socket 2" region_is $SOCKET2 "$empty" || return 1
    [[ "$(region $SOCKET1)" != "$empty" ]] || fail "Backspace emptied socket 1 too" || return 1
    typed 123
    wait_until "socket 3 fills" region_differs $SOCKET3 "$empty" || return 1
    keys Delete
    wait_until "Delete empties socket 1" region_is $SOCKET1 "$empty" || return 1
    wait_until "Delete empties socket 2" region_is $SOCKET2 "$empty" || return 1
    wait_until "Delete empties socket 3" region_is $SOCKET3 "$empty"
}

case_f1_opens_help_which_still_ignores_escape() {
    start_trinode || return 1
    keys F1
    wait_until "F1 opens the help window" window_of_size '^Help$' 441x521 >/dev/null || return 1
    xdotool key Escape
    xdotool key Tab Return
    wait_until "the help window closes" eval '! window_of_size "^Help$" 441x521 >/dev/null' || return 1
    trinode_running || fail "trinode ended"
}

case_h_into_an_empty_first_socket_opens_help() {
    start_trinode || return 1
    typed h
    wait_until "h opens the help window" window_of_size '^Help$' 441x521 >/dev/null || return 1
    xdotool key Tab Return
    wait_until "the help window closes" eval '! window_of_size "^Help$" 441x521 >/dev/null'
}

case_ctrl_e_opens_the_editor_which_escape_cancels() {
    start_trinode || return 1
    keys ctrl+e
    wait_until "Ctrl+E opens the editor" window_of_size '^Trinode$' 713x393 >/dev/null || return 1
    xdotool key Escape
    wait_until "Esc cancels the editor" eval '! window_of_size "^Trinode$" 713x393 >/dev/null' || return 1
    trinode_running || fail "trinode ended"
}

case_ctrl_q_ends_trinode() {
    start_trinode || return 1
    keys ctrl+q
    wait_until "Ctrl+Q ends trinode" eval '! trinode_running' || return 1
    local status=0
    wait "$TRINODE_PID" || status=$?
    [[ $status == 0 ]] || fail "trinode ended with status $status"
}

case_escape_gets_out_of_the_way_and_a_summon_brings_it_back() {
    start_trinode || return 1
    local empty filled
    empty=$(region $SOCKET1)
    typed f
    wait_until "f fills socket 1" region_differs $SOCKET1 "$empty" || return 1
    filled=$(region $SOCKET1)
    keys Escape
    wait_until "Esc takes the window off the screen" \
        eval '! xdotool search --onlyvisible --name "^Trinode$" >/dev/null 2>&1' || return 1
    trinode_running || fail "Esc ended trinode" || return 1
    # The second start, as a key binding makes it.
    env -u QT_QPA_PLATFORM HOME="$CASE_HOME" XDG_RUNTIME_DIR="$CASE_HOME/run" \
        QT_QPA_PLATFORM=xcb "$TRINODE_BIN" >"$CASE_HOME/summon.log" 2>&1 &
    local summon=$!
    wait_until "the summon shows the window again" \
        eval 'xdotool search --onlyvisible --name "^Trinode$" >/dev/null 2>&1' || return 1
    wait "$summon"
    wait_until "the window shows its sockets as they were" region_is $SOCKET1 "$filled"
}

run_cases "$@"
