#!/usr/bin/env bash
# The real trinode in a real X server, driven with the mouse.
source "$(dirname "$0")/x11/harness.sh"

FILE_SIZE=2141392

case_window_maps_and_creates_file() {
    start_trinode || return 1
    [[ -f "$CASE_HOME/TrinodeRun.cmb" ]] || fail "no combination file" || return 1
    [[ $(stat -c %s "$CASE_HOME/TrinodeRun.cmb") == "$FILE_SIZE" ]] || fail "wrong file size"
}

case_held_button_shows_pressed_picture() {
    start_trinode || return 1
    local rest socket_before
    rest=$(region 352 680 32 32)
    socket_before=$(region 428 442 44 44)
    point_at $((352 + 31)) $((680 + 31))
    xdotool mousedown 1
    wait_until "Files shows its pressed picture" test "$(region 352 680 32 32)" != "$rest" || return 1
    [[ $(region 428 442 44 44) == "$socket_before" ]] || fail "the socket filled before the release" || return 1
    xdotool mouseup 1
    wait_until "Files shows its normal picture again" test "$(region 352 680 32 32)" == "$rest" || return 1
    wait_until "socket 1 shows Files" test "$(region 428 442 44 44)" != "$socket_before"
}

case_exit_click_ends_program() {
    start_trinode || return 1
    click_at $((992 + 31)) 31
    wait_until "trinode ends" eval '! trinode_running'
}

case_exit_released_outside_keeps_running() {
    start_trinode || return 1
    local socket_before
    socket_before=$(region 428 442 44 44)
    point_at $((992 + 31)) 31
    xdotool mousedown 1
    point_at 900 200
    xdotool mouseup 1
    # The program goes on: a button press still takes effect.
    click_at $((352 + 31)) $((680 + 31))
    wait_until "socket 1 shows Files" test "$(region 428 442 44 44)" != "$socket_before" || return 1
    trinode_running || fail "trinode ended"
}

run_cases "$@"
