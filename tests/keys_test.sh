#!/usr/bin/env bash
# The real trinode in a real X server, driven from the keyboard alone: what
# only a real server shows. What each key does is the main window test's
# (MainFormTest, Keys); here the keys are real key events, typed text comes
# from the keyboard's layout, a held key repeats as the server repeats it, and
# the keyboard focus comes back to the window.
source "$(dirname "$0")/x11/harness.sh"

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

case_typed_prefixes_and_enter_run_the_bound_program() {
    start_trinode || return 1
    bind_script
    restart_trinode || return 1
    local empty
    empty=$(picture EmptySocket1)
    typed f
    wait_until "f puts Files in socket 1" picture_differs EmptySocket1 "$empty" || return 1
    typed PE
    wait_until "PE puts Personal in socket 2" picture_differs EmptySocket2 "$empty" || return 1
    typed mu
    wait_until "mu puts Music in socket 3" picture_differs EmptySocket3 "$empty" || return 1
    keys Return
    wait_until "Enter runs the bound script" test -f "$CASE_HOME/launched"
}

# Presses of the key named $1 that have reached the window so far, seen by
# xev listening beside trinode.
presses_seen() {
    (($(grep -c "keysym 0x[0-9a-f]*, $1)" "$CASE_HOME/keys.log") >= $2))
}

# The server repeats a held key as a release and a press of the same moment.
# A held 1 presses One once however often it repeats; a held Backspace
# empties socket after socket, down to the first. The case waits until the
# repeats have reached the window, not for a time.
case_held_keys_repeat_only_where_harmless() {
    start_trinode || return 1
    local empty
    empty=$(picture EmptySocket1)
    xev -id "$WINDOW" -event keyboard >"$CASE_HOME/keys.log" 2>&1 &
    local listener=$! ok=1
    xdotool windowfocus --sync "$WINDOW" 2>/dev/null
    xdotool keydown 1
    wait_until "1 repeats" presses_seen 1 3 || ok=0
    xdotool keyup 1
    xdotool type --delay 20 22
    ((ok)) && wait_until "socket 3 fills" picture_differs EmptySocket3 "$empty" || ok=0
    ((ok)) && { [[ "$(picture EmptySocket2)" != "$(picture EmptySocket1)" ]] ||
        fail "the held 1 pressed One again"; } || ok=0
    ((ok)) && xdotool keydown BackSpace &&
        { wait_until "the held Backspace empties socket 1" picture_is EmptySocket1 "$empty" || ok=0; }
    xdotool keyup BackSpace
    kill "$listener"
    ((ok))
}

# After the editor closes, the keys reach the main window again, and Ctrl+Q
# ends trinode with an exit status of 0.
case_keys_come_back_after_the_editor() {
    start_trinode || return 1
    keys ctrl+e
    wait_until "Ctrl+E opens the editor" window_of_size '^Trinode$' 713x393 >/dev/null || return 1
    xdotool key Escape
    wait_until "Esc cancels the editor" eval '! window_of_size "^Trinode$" 713x393 >/dev/null' || return 1
    local empty
    empty=$(picture EmptySocket1)
    xdotool type --delay 20 f
    wait_until "f puts Files in socket 1" picture_differs EmptySocket1 "$empty" || return 1
    xdotool key ctrl+q
    wait_until "Ctrl+Q ends trinode" eval '! trinode_running' || return 1
    local status=0
    wait "$TRINODE_PID" || status=$?
    [[ $status == 0 ]] || fail "trinode ended with status $status"
}

case_escape_gets_out_of_the_way_and_a_summon_brings_it_back() {
    start_trinode || return 1
    local empty filled
    empty=$(picture EmptySocket1)
    typed f
    wait_until "f fills socket 1" picture_differs EmptySocket1 "$empty" || return 1
    filled=$(picture EmptySocket1)
    keys Escape
    wait_until "Esc takes the window off the screen" \
        eval '! xdotool search --onlyvisible --name "^Trinode$" >/dev/null 2>&1' || return 1
    trinode_running || fail "Esc ended trinode" || return 1
    # The second start, as a key binding makes it.
    trinode_in_case >"$CASE_HOME/summon.log" 2>&1 &
    local summon=$!
    wait_until "the summon shows the window again" \
        eval 'xdotool search --onlyvisible --name "^Trinode$" >/dev/null 2>&1' || return 1
    wait "$summon"
    wait_until "the window shows its sockets as they were" picture_is EmptySocket1 "$filled"
}

run_cases "$@"
