# Drives the real trinode in a real X server (Xvfb) with xdotool, like a
# person: each case gets its own X server, its own temporary HOME and a fresh
# trinode. Sourced by tests/x11_test.sh and by any script that adds cases.
#
# A case is a shell function named case_<name>; it uses the helpers below and
# fails with `fail "why"`. Window coordinates are those of the 1024 x 746
# layout; the helpers map them onto the screen through the canvas (the layout
# centred in the window, or scaled down to fit it) and the window's position.
# The places of the window's pictures come from the window's own table:
# PLACE[FilesButton] is "352 680 32 32" (x y width height), PLACE[Layout] the
# layout's. UI_SCALE is the screen's scale factor that trinode is started with.

set -uo pipefail

: "${TRINODE_BIN:?TRINODE_BIN names the trinode executable}"
# trinode_pictures gives the places; by default the one built beside trinode.
: "${TRINODE_PICTURES:=$(dirname "$TRINODE_BIN")/../tools/pictures/trinode_pictures}"
export TRINODE_PICTURES

declare -A PLACE
while read -r name left top width height _; do
    PLACE[$name]="$left $top $width $height"
done < <("$TRINODE_PICTURES" places)
[[ -n ${PLACE[Layout]:-} ]] || { echo "trinode_pictures gave no places" >&2; exit 1; }
read -r _ _ LAYOUT_W LAYOUT_H <<<"${PLACE[Layout]}"

X_SCREEN=${X_SCREEN:-1280x800x24}
UI_SCALE=${UI_SCALE:-1}
passed=0
failed=0
failures=()

fail() {
    echo "    FAIL: $*" >&2
    return 1
}

start_x() {
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    # -noreset: by default the server resets when its last client leaves, and
    # a client connecting during that reset (a window manager starting while a
    # poll has just disconnected) is refused.
    Xvfb -displayfd 3 -screen 0 "$X_SCREEN" -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
    XVFB_PID=$!
    local number
    read -r -t 20 number <"$fifo" || { rm -f "$fifo"; fail "Xvfb did not start"; return 1; }
    rm -f "$fifo"
    export DISPLAY=":$number"
}

stop_x() {
    [[ -n "${XVFB_PID:-}" ]] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
}

# Starts openbox, a real window manager, and waits until it manages the
# screen.
start_openbox() {
    command -v openbox >/dev/null || { fail "openbox is missing: run tools/setup-debian --test"; return 1; }
    HOME="$CASE_HOME" openbox --sm-disable >"$CASE_HOME/openbox.log" 2>&1 &
    WM_PID=$!
    wait_until "openbox manages the screen" wm_running || {
        kill -0 "$WM_PID" 2>/dev/null || echo "    openbox has ended" >&2
        kill -0 "$XVFB_PID" 2>/dev/null || echo "    Xvfb has ended" >&2
        sed 's/^/    openbox: /' "$CASE_HOME/openbox.log" >&2
        xprop -root _NET_NUMBER_OF_DESKTOPS _NET_SUPPORTING_WM_CHECK 2>&1 | sed 's/^/    /' >&2
        return 1
    }
}

# Openbox names itself before its start-up is over, and a window mapped
# before then can be lost; a request that only its main loop answers (a
# number of desktops) shows that it runs.
wm_running() {
    xdotool set_num_desktops 2 2>/dev/null
    [[ "$(xprop -root _NET_NUMBER_OF_DESKTOPS 2>/dev/null)" == *"= 2" ]]
}

# A copy of trinode and its GUI part in the folder given, in the build's
# layout: the copy's program is FOLDER/app/trinode.
install_copy() {
    mkdir -p "$1/app" "$1/lib/trinode/gui" && cp "$TRINODE_BIN" "$1/app/" &&
        cp "$TRINODE_BUILD_DIR/lib/trinode/gui/trinode-gui.so" "$1/lib/trinode/gui/"
}

# Starts trinode in the case's home and waits for its window to map.
start_trinode() {
    env -u QT_QPA_PLATFORM -u QT_SCALE_FACTOR HOME="$CASE_HOME" XDG_RUNTIME_DIR="$CASE_HOME/run" \
        QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$UI_SCALE" "$TRINODE_BIN" >"$CASE_HOME/trinode.log" 2>&1 &
    TRINODE_PID=$!
    WINDOW=$(timeout 30 xdotool search --sync --onlyvisible --name '^Trinode$' 2>/dev/null | head -1)
    [[ -n "$WINDOW" ]] || { fail "the window did not map"; return 1; }
    read_window_geometry
    # The first paint follows the map; wait until the layout shows.
    wait_until "the window shows its pictures" window_painted
}

# Ends the case's trinode and starts it again once its window has gone: a
# start that reads what the case wrote into the file.
restart_trinode() {
    kill "$TRINODE_PID" && wait "$TRINODE_PID" 2>/dev/null
    wait_until "the first window goes" \
        eval '! xdotool search --onlyvisible --name "^Trinode$" >/dev/null 2>&1' || return 1
    start_trinode
}

# The window's place and size on the screen, and where the canvas stands in
# it.
read_window_geometry() {
    local X Y WIDTH HEIGHT SCREEN WINDOW_ID
    eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
    WIN_X=$X
    WIN_Y=$Y
    WIN_W=$WIDTH
    WIN_H=$HEIGHT
    canvas_in_window
}

# Where the canvas stands in a window of WIN_W x WIN_H screen pixels:
# CANVAS_SCALE, and CANVAS_X, CANVAS_Y in the window's logical pixels.
canvas_in_window() {
    read -r CANVAS_SCALE CANVAS_X CANVAS_Y < <(awk -v w="$WIN_W" -v h="$WIN_H" -v f="$UI_SCALE" \
        -v lw="$LAYOUT_W" -v lh="$LAYOUT_H" 'BEGIN {
        w = int(w / f + 0.5); h = int(h / f + 0.5)
        s = 1; if (w / lw < s) s = w / lw; if (h / lh < s) s = h / lh
        x = int((w - int(lw * s + 0.5)) / 2); y = int((h - int(lh * s + 0.5)) / 2)
        printf "%.9f %d %d\n", s, (x < 0 ? 0 : x), (y < 0 ? 0 : y) }')
}

# Screen coordinates of layout pixels. `screen_point x y`: the middle of the
# pixel; `screen_edges x y`: the corner where it starts.
screen_point() {
    awk -v x="$1" -v y="$2" -v s="$CANVAS_SCALE" -v cx="$CANVAS_X" -v cy="$CANVAS_Y" \
        -v f="$UI_SCALE" -v wx="$WIN_X" -v wy="$WIN_Y" \
        'BEGIN { printf "%d %d\n", wx + int((cx + (x + 0.5) * s) * f), wy + int((cy + (y + 0.5) * s) * f) }'
}

screen_edges() {
    awk -v x="$1" -v y="$2" -v s="$CANVAS_SCALE" -v cx="$CANVAS_X" -v cy="$CANVAS_Y" \
        -v f="$UI_SCALE" -v wx="$WIN_X" -v wy="$WIN_Y" \
        'BEGIN { printf "%d %d\n", wx + int((cx + x * s) * f + 0.5), wy + int((cy + y * s) * f + 0.5) }'
}

# The middle of the Run picture is never black.
window_painted() {
    local left top width height
    read -r left top width height <<<"${PLACE[MainButton]}"
    [[ "$(pixel $((left + width / 2)) $((top + height / 2)))" != "000000" ]]
}

trinode_running() {
    kill -0 "$TRINODE_PID" 2>/dev/null
}

# Runs trinode with the arguments given in the case's home and X server, in
# the foreground: a second start, or a command.
trinode_in_case() {
    env -u QT_QPA_PLATFORM HOME="$CASE_HOME" XDG_RUNTIME_DIR="$CASE_HOME/run" QT_QPA_PLATFORM=xcb \
        "$TRINODE_BIN" "$@"
}

# A visible window by title, not the main window: its id.
dialog_named() {
    xdotool search --onlyvisible --name "$1" 2>/dev/null | grep -vx "$WINDOW" | head -1
}

# Polls a command until it succeeds, for up to WAIT_SECONDS (30) seconds. The command runs
# afresh at every poll, so what it looks at goes inside it (region_is,
# region_differs), never as a "$(...)" argument, which is taken once.
wait_until() {
    local what=$1
    shift
    # A limit on the clock, not on the number of polls: on a loaded machine
    # each poll takes longer and a window manager longer to start, and the
    # wait only bounds how long a failure takes to show.
    local deadline=$((SECONDS + ${WAIT_SECONDS:-30}))
    while ((SECONDS < deadline)); do
        "$@" && return 0
        sleep 0.05
    done
    "$@" && return 0
    fail "timed out waiting until $what"
}

# Hex colour of one pixel of the window.
pixel() {
    local sx sy
    read -r sx sy < <(screen_point "$1" "$2")
    screen_pixel "$sx" "$sy"
}

# Hex colour of one pixel of the screen.
screen_pixel() {
    import -silent -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
        sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p' | head -1
}

# A fingerprint of a rectangle of the window: x y width height.
region() {
    local left top right bottom
    read -r left top < <(screen_edges "$1" "$2")
    read -r right bottom < <(screen_edges $(($1 + $3)) $(($2 + $4)))
    screen_digest "$left" "$top" $((right - left)) $((bottom - top))
}

# Whether a rectangle of the window (x y width height) has, or no longer has,
# the fingerprint given last.
region_is() {
    [[ "$(region "$1" "$2" "$3" "$4")" == "$5" ]]
}

region_differs() {
    ! region_is "$@"
}

# A fingerprint of a rectangle of the screen: x y width height.
screen_digest() {
    import -silent -window root -crop "$3x$4+$1+$2" -depth 8 rgb:- 2>/dev/null | md5sum | cut -d' ' -f1
}

screenshot() {
    import -silent -window root "$1"
}

# The pointer rests at the bottom-right corner of a square so that its hint
# opens outside the square.
point_at() {
    local sx sy
    read -r sx sy < <(screen_point "$1" "$2")
    xdotool mousemove --sync "$sx" "$sy"
}

# Left click at a point of the window.
click_at() {
    point_at "$1" "$2"
    xdotool click 1
}

# The bottom-right pixel of a picture of the window (an object name of the
# table), where the pointer rests to press it.
corner_of() {
    local left top width height
    read -r left top width height <<<"${PLACE[$1]}"
    echo $((left + width - 1)) $((top + height - 1))
}

# Left click on a picture of the window.
click_on() {
    click_at $(corner_of "$1")
}

# A fingerprint of a picture of the window, and whether it still has one.
picture() {
    region ${PLACE[$1]}
}

picture_is() {
    region_is ${PLACE[$1]} "$2"
}

picture_differs() {
    ! picture_is "$@"
}

# The visible window named $1 (a pattern) of size $2 (WIDTHxHEIGHT): prints its
# id and its place, "id x y".
window_of_size() {
    local id X Y WIDTH HEIGHT SCREEN WINDOW_ID
    for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        if [[ "${WIDTH}x${HEIGHT}" == "$2" ]]; then
            echo "$id $X $Y"
            return 0
        fi
    done
    return 1
}

# Settings in which the first start has offered the desktop's applications
# already: a case sees the main window, not that offer.
offered() {
    mkdir -p "$1/trinode"
    printf '[General]\nStarterBindingsOffered=true\n' >"$1/trinode/trinode.conf"
}

run_case() {
    local name=$1
    CASE_HOME=$(mktemp -d)
    mkdir -p "$CASE_HOME/run"
    chmod 700 "$CASE_HOME/run"
    offered "$CASE_HOME/.config"
    offered "$CASE_HOME/config"
    TRINODE_PID=
    WM_PID=
    echo "--- $name"
    local ok=1
    start_x || ok=0
    if ((ok)); then
        "case_$name" || ok=0
    fi
    [[ -n "${TRINODE_PID:-}" ]] && kill "$TRINODE_PID" 2>/dev/null && wait "$TRINODE_PID" 2>/dev/null
    [[ -n "${WM_PID:-}" ]] && kill "$WM_PID" 2>/dev/null && wait "$WM_PID" 2>/dev/null
    stop_x
    if ((ok)); then
        passed=$((passed + 1))
        echo "    ok"
        rm -rf "$CASE_HOME"
    else
        failed=$((failed + 1))
        failures+=("$name")
        echo "    (home kept in $CASE_HOME)" >&2
    fi
}

# Runs every case_* function defined so far, or those named on the command line.
run_cases() {
    local names=("$@")
    if ((${#names[@]} == 0)); then
        mapfile -t names < <(declare -F | awk '{print $3}' | sed -n 's/^case_//p')
    fi
    local n
    for n in "${names[@]}"; do
        run_case "$n"
    done
    echo "$passed passed, $failed failed"
    ((failed == 0))
}
