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

canvas_framed() {
    [[ "$(screen_pixel 0 0)" == "000000" && "$(screen_pixel 2 $((SCREEN_H / 2)))" == "000000" &&
        "$(pixel 16 16)" != "000000" ]]
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
    # Black around the canvas, the pictures on it, once the window has drawn
    # at its new size.
    wait_until "black around the canvas and the Add image on it" canvas_framed || return 1

    # Help into the empty first socket opens the help window, at its own size
    # where nothing scales it; Tab to OK and Enter close it.
    click_at $((512 + 31)) $((712 + 31))
    wait_until "the help window opens" help_open || return 1
    [[ $UI_SCALE != 1 ]] ||
        wait_until "the help window is 441 x 521" window_of_size '^Help$' 441x521 >/dev/null || return 1
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

# The dialogs, as openers and closers: each opens over the last one.
DIALOGS=(
    "open_editor:Escape"
    "open_editor open_chooser:Escape Escape"
    "open_help:alt+F4"
)

open_editor() {
    xdotool key ctrl+e
    wait_until "the editor opens" eval 'TOP=$(dialog_named "^Trinode$"); [[ -n $TOP ]]'
}

open_chooser() {
    # The browse button, at 672,196 in the editor. (No --sync: where the
    # pointer already is, it waits 15 s for a motion that never comes.)
    xdotool mousemove --window "$TOP" 684 206 click 1
    wait_until "the file chooser opens" eval 'TOP=$(dialog_named "^Open$"); [[ -n $TOP ]]'
}

open_help() {
    xdotool key F1
    wait_until "the help window opens" eval 'TOP=$(dialog_named "^Help$"); [[ -n $TOP ]]'
}

# Each key closes the dialog on top once it has the focus: a key sent while
# the focus is still on its way back from the dialog above goes elsewhere.
close_dialogs() {
    local key open
    for key in "$@"; do
        open=$(dialog_places | wc -l)
        wait_until "a dialog has the focus" eval 'xdotool search --onlyvisible --name \
            "^(Trinode|Open|Help)$" | grep -vx "$WINDOW" | grep -qx "$(xdotool getactivewindow)"' ||
            return 1
        xdotool key "$key"
        wait_until "$key closes a dialog" eval '(($(dialog_places | wc -l) < open))' || return 1
    done
}

# "x y width height" of every dialog open, in the order of their ids
# (xwininfo: xdotool counts the frame's offset twice).
dialog_places() {
    local id
    for id in $(xdotool search --onlyvisible --name '^(Trinode|Open|Help)$' | grep -vx "$WINDOW" | sort); do
        xwininfo -id "$id" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
            /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }'
    done
}

# Every dialog centred on the monitor whose left edge is at $1 (1024 x 768).
dialogs_centred_on() {
    local x y w h
    while read -r x y w h; do
        ((x + w / 2 - $1 - 512 <= 2 && $1 + 512 - x - w / 2 <= 2)) || return 1
        ((y + h / 2 - 384 <= 2 && 384 - y - h / 2 <= 2)) || return 1
    done < <(dialog_places)
}

# Moves the pointer (the query makes sure the move reached the server, which
# --sync would wait 15 s for where the pointer is already), then summons.
summon_with_pointer_at() {
    xdotool mousemove "$1" 384 getmouselocation >/dev/null
    trinode_in_case 2>"$CASE_HOME/second.err" || fail "second start: $(cat "$CASE_HOME/second.err")"
}

# Two monitors side by side, A on the left and B on the right, with openbox:
# every dialog opens at the same place each time, and a summon from A while
# dialogs are open on B brings them along, the top one active.
case_dialogs_open_in_one_place_and_follow_a_summon() {
    xrandr --setmonitor A 1024/270x768/203+0+0 screen >/dev/null &&
        xrandr --setmonitor B 1024/270x768/203+1024+0 none >/dev/null || fail "no monitors" || return 1
    start_openbox || return 1
    xdotool mousemove 1536 384 getmouselocation >/dev/null
    start_trinode || return 1
    local row openers closers opener first
    for row in "${DIALOGS[@]}"; do
        openers=${row%%:*} closers=${row#*:}
        summon_with_pointer_at 1536 || return 1
        for opener in $openers; do $opener || return 1; done
        first=$(dialog_places | head -1)
        close_dialogs $closers || return 1
        for opener in $openers; do $opener || return 1; done
        [[ "$(dialog_places | head -1)" == "$first" ]] ||
            fail "$openers: first at $first, then at $(dialog_places | head -1)" || return 1
        summon_with_pointer_at 512 || return 1
        wait_until "$openers come to monitor A" dialogs_centred_on 0 || return 1
        wait_until "the top one is active" eval '[[ "$(xdotool getactivewindow)" == "$TOP" ]]' || return 1
        close_dialogs $closers || return 1
    done
}

for row in "${SCREENS[@]}"; do
    read -r size scale <<<"$row"
    echo "=== ${size}, scale $scale"
    X_SCREEN="${size}x24" UI_SCALE="$scale" run_case presses_act
done
X_SCREEN=2048x768x24 run_case dialogs_open_in_one_place_and_follow_a_summon
echo "$passed passed, $failed failed"
((failed == 0))
