#!/usr/bin/env bash
# The real trinode, maximised by a real window manager (openbox), on screens
# smaller and larger than its layout and at 150 % scaling: the canvas keeps
# every picture on screen, black around it, and presses on it act.
source "$(dirname "$0")/x11/harness.sh"

# Screen size and the scale factor trinode is started with.
SCREENS=(
    "800x600 1"
    "1920x1080 1"
    "1920x1080 1.5"
)

window_fills_screen() {
    read_window_geometry
    [[ "$WIN_X $WIN_Y $WIN_W $WIN_H" == "0 0 $1 $2" ]]
}

# A layout point lands on the screen.
on_screen() {
    local sx sy
    read -r sx sy < <(screen_point "$1" "$2")
    ((sx >= 0 && sy >= 0 && sx < SCREEN_W && sy < SCREEN_H)) ||
        fail "layout point $1,$2 lies off the screen at $sx,$sy"
}

help_open() {
    [[ -n "$(xdotool search --onlyvisible --name '^Help$' 2>/dev/null)" ]]
}

case_presses_act() {
    SCREEN_W=${X_SCREEN%%x*}
    local rest=${X_SCREEN#*x}
    SCREEN_H=${rest%%x*}
    start_openbox || return 1
    start_trinode || return 1
    wait_until "openbox maximises the window" window_fills_screen "$SCREEN_W" "$SCREEN_H" || return 1

    # Both corners of the layout, the Exit image and the second row.
    local point
    for point in "0 0" "1023 745" "1023 31" "352 743" "671 743"; do
        on_screen $point || return 1
    done
    # Black around the canvas, the pictures on it.
    [[ "$(screen_pixel 0 0)" == "000000" ]] || fail "the window's corner is not black" || return 1
    [[ "$(screen_pixel 2 $((SCREEN_H / 2)))" == "000000" ]] ||
        fail "the window's left edge is not black" || return 1
    [[ "$(pixel 16 16)" != "000000" ]] || fail "the Add image is not drawn" || return 1

    # Help into the empty first socket opens the help window.
    click_at $((512 + 31)) $((712 + 31))
    wait_until "the help window opens" help_open || return 1
    xdotool key Tab Return
    wait_until "the help window closes" eval '! help_open' || return 1

    # Three fills the first socket.
    local socket_before
    socket_before=$(region 428 442 44 44)
    click_at $((640 + 31)) $((712 + 31))
    wait_until "socket 1 shows Three" region_differs 428 442 44 44 "$socket_before" || return 1

    # Exit ends the program.
    click_at $((992 + 31)) 31
    wait_until "trinode ends" eval '! trinode_running'
}

for row in "${SCREENS[@]}"; do
    read -r size scale <<<"$row"
    echo "=== ${size}, scale $scale"
    X_SCREEN="${size}x24" UI_SCALE="$scale" run_case presses_act
done
echo "$passed passed, $failed failed"
((failed == 0))
