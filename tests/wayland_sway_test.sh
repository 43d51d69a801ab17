#!/usr/bin/env bash
# The real trinode on Wayland, under sway (its headless backend).
#
# tiled_at_960: tiled beside a second window, so that its tile is 960 pixels
# wide, narrower than the layout: the canvas is scaled into the window, the
# whole layout lies inside it, black around it, and presses where the canvas
# puts Help, Three and Exit act. A headless compositor has no input devices: a
# virtual pointer (tests/children/VirtualPointer.cpp) clicks.
#
# summon_with_token: while another window has the keyboard, a second start
# given an activation token from the compositor (as a launcher gets one,
# tests/children/ActivationToken.cpp) makes trinode's window the focused one
# and exits 0; so does one with none, whose window maps anew; with a spent
# token, or when sway only marks the window urgent, it exits 2 with one line
# saying so.
#
# bound_line_starts_trinode: for Trinode installed in a folder whose name
# holds a space, a quote, a ; or a $( ), the line that --bind-key prints,
# put in sway's configuration, starts exactly that Trinode when the key is
# typed, and runs nothing else.
#
# sway refuses to run as root; as root the compositor and its clients run as
# an unused uid.
source "$(dirname "$0")/x11/harness.sh"

: "${TRINODE_BUILD_DIR:?TRINODE_BUILD_DIR names the build folder}"
POINTER_BIN="$TRINODE_BUILD_DIR/tests/children/trinode_virtual_pointer"
TOKEN_BIN="$TRINODE_BUILD_DIR/tests/children/trinode_activation_token"
OUTPUT_W=1920
OUTPUT_H=1080

for need in sway grim swaymsg python3 wtype; do
    command -v "$need" >/dev/null || { echo "$need is missing: run tools/setup-debian --test" >&2; exit 1; }
done
for child in "$POINTER_BIN" "$TOKEN_BIN"; do
    [[ -x "$child" ]] || { echo "no $child (libwayland-dev or wayland-protocols missing?)" >&2; exit 1; }
done

WORK=$(mktemp -d)
chmod 755 "$WORK"
# In a sanitizer build the leak check at trinode's end skips what Qt's
# Wayland plugin leaves behind. Mesa unloads its driver before the check, so
# only a full stack shows where such a block came from.
: "${TRINODE_SOURCE_DIR:?TRINODE_SOURCE_DIR names the source folder}"
cat "$TRINODE_SOURCE_DIR"/tests/sanitizer/{lsan,wayland-lsan}.supp >"$WORK/lsan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$WORK/lsan.supp"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0"
AS=()
if ((EUID == 0)); then
    uid=64100
    while getent passwd "$uid" >/dev/null || getent group "$uid" >/dev/null; do
        uid=$((uid + 1))
    done
    AS=(setpriv --reuid "$uid" --regid "$uid" --clear-groups)
fi

SWAY_PID=
A_PID=
B_PID=
POINTER_PID=
# Ends what a case started: its trinodes, its pointer, its compositor.
stop_case() {
    local pid
    for pid in "$A_PID" "$B_PID"; do
        [[ -n "$pid" ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    if [[ -n "$POINTER_PID" ]]; then
        # The redirection of a bare exec would stay for the rest of the script.
        { exec {POINTER[1]}>&-; } 2>/dev/null
        wait "$POINTER_PID" 2>/dev/null
    fi
    [[ -n "$SWAY_PID" ]] && kill "$SWAY_PID" 2>/dev/null && wait "$SWAY_PID" 2>/dev/null
    SWAY_PID= A_PID= B_PID= POINTER_PID=
    unset SWAYSOCK WAYLAND_DISPLAY
}

cleanup() {
    stop_case
    if ((failed == 0)); then
        rm -rf "$WORK"
    else
        echo "    (kept in $WORK)" >&2
    fi
}
trap cleanup EXIT

# Runs a command as the compositor's user, in the case's session once it
# runs. With --exec first, the command takes the shell's place, so that a
# background job's pid is the command's own.
as_user() {
    local session=() replace=()
    [[ "$1" == --exec ]] && { replace=(exec); shift; }
    [[ -n "${SWAYSOCK:-}" ]] && session=(WAYLAND_DISPLAY="$WAYLAND_DISPLAY" SWAYSOCK="$SWAYSOCK")
    "${replace[@]}" "${AS[@]}" env -u QT_QPA_PLATFORM -u QT_SCALE_FACTOR -u DISPLAY -u WAYLAND_DISPLAY -u SWAYSOCK \
        -u XDG_ACTIVATION_TOKEN -u DESKTOP_STARTUP_ID XDG_RUNTIME_DIR="$CASE/run" HOME="$CASE" "${session[@]}" "$@"
}

# Starts sway on one output, with the configuration lines given, and waits
# until it answers.
start_sway() {
    {
        echo "output HEADLESS-1 resolution ${OUTPUT_W}x${OUTPUT_H} position 0 0"
        echo "xwayland disable"
        printf '%s\n' "$@"
    } >"$CASE/config"
    as_user --exec env WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        QT_QPA_PLATFORM=wayland sway -c "$CASE/config" >"$CASE/sway.log" 2>&1 &
    SWAY_PID=$!
    wait_until "sway runs" compositor_ready
}

# Starts a trinode with its own home (a or b) as a background job.
start_trinode_in() {
    as_user --exec env HOME="$CASE/$1" QT_QPA_PLATFORM=wayland "$TRINODE_BIN" >"$CASE/$1.log" 2>&1 &
}

compositor_ready() {
    local socket display
    socket=$(cd "$CASE/run" && ls sway-ipc.*.sock 2>/dev/null | head -1)
    display=$(cd "$CASE/run" && ls | grep -E '^wayland-[0-9]+$' | head -1)
    [[ -n "$socket" && -n "$display" ]] || return 1
    SWAYSOCK="$CASE/run/$socket"
    WAYLAND_DISPLAY=$display
    as_user swaymsg -t get_outputs >/dev/null 2>&1
}

# One line for each client window in sway's tree: its pid, whether it is
# focused, urgent and visible (1 or 0), and where its content lies on the
# output (x y width height).
windows() {
    as_user swaymsg -t get_tree 2>/dev/null | python3 -c '
import json, sys
def walk(node):
    if node.get("pid"):
        r, w = node["rect"], node["window_rect"]
        print(node["pid"], *(int(node.get(k, False)) for k in ("focused", "urgent", "visible")),
              r["x"] + w["x"], r["y"] + w["y"], w["width"], w["height"])
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))'
}

# The content of the visible window of a process: x y width height.
window_of() {
    windows | awk -v pid="$1" '$1 == pid && $4 { print $5, $6, $7, $8; found = 1; exit }
        END { exit !found }'
}

tiled_beside() {
    local a b
    a=$(window_of "$A_PID") && b=$(window_of "$B_PID") || return 1
    local bx by bw bh
    read -r WIN_X WIN_Y WIN_W WIN_H <<<"$a"
    read -r bx by bw bh <<<"$b"
    # Side by side, each in half of the output less sway's borders, and both
    # inside their borders: until sway has settled the tiles it reports a
    # window at the output's top edge.
    ((WIN_W < OUTPUT_W / 2 && WIN_W > OUTPUT_W / 2 - 10 && bw == WIN_W && WIN_Y > 0 && by > 0 &&
      WIN_H < OUTPUT_H && bh == WIN_H))
}

help_open() {
    as_user swaymsg -t get_tree 2>/dev/null | grep -q '"name": "Help"'
}

# The screen helpers of the harness, on Wayland.
screen_pixel() {
    as_user grim -g "$1,$2 1x1" -t ppm - 2>>"$CASE/grim.log" | tail -c 3 | od -An -tx1 | tr -d ' \n'
}

screen_digest() {
    as_user grim -g "$1,$2 $3x$4" -t ppm - 2>>"$CASE/grim.log" | md5sum | cut -d' ' -f1
}

click_at() {
    local sx sy reply
    read -r sx sy < <(screen_point "$1" "$2")
    echo "click $sx $sy" >&"${POINTER[1]}"
    read -r -t 10 reply <&"${POINTER[0]}"
    [[ "$reply" == ok ]] || fail "the virtual pointer did not click at $sx,$sy: $reply"
}

socket_filled() {
    [[ "$(pixel 450 464)" != "000000" ]]
}

exit_drawn() {
    [[ "$(pixel $((992 + 16)) 16)" != "000000" ]]
}

a_running() {
    kill -0 "$A_PID" 2>/dev/null
}

case_tiled_at_960() {
    start_sway "default_border pixel 2" || return 1

    # The pointer first, so that trinode finds one on the seat.
    coproc POINTER { as_user --exec "$POINTER_BIN" "$OUTPUT_W" "$OUTPUT_H" 2>&1; }
    local reply
    read -r -t 10 reply <&"${POINTER[0]}"
    [[ "$reply" == ready ]] || fail "the virtual pointer did not start: $reply" || return 1

    start_trinode_in a
    A_PID=$!
    start_trinode_in b
    B_PID=$!
    wait_until "the two windows are tiled side by side" tiled_beside || return 1
    UI_SCALE=1
    canvas_in_window
    wait_until "the window shows its pictures" window_painted || return 1

    # The layout's corners, the Exit image and the second row in the window.
    local point sx sy
    for point in "0 0" "1023 745" "1023 31" "352 743" "671 743"; do
        read -r sx sy < <(screen_point $point)
        ((sx >= WIN_X && sy >= WIN_Y && sx < WIN_X + WIN_W && sy < WIN_Y + WIN_H)) ||
            fail "layout point $point lies outside the window at $sx,$sy" || return 1
    done
    # Until the client has drawn at the tile's size, sway shows its last
    # buffer, cut to the tile, whose corner is black as well: wait for the
    # Exit image where the scaled canvas puts it.
    wait_until "the Exit image is drawn" exit_drawn || return 1

    click_at $((512 + 16)) $((712 + 16))
    wait_until "the help window opens" help_open || return 1
    as_user swaymsg '[title="^Help$"] kill' >/dev/null
    wait_until "the help window closes" eval '! help_open' || return 1

    # An empty socket is black in the middle; a filled one shows its button.
    [[ "$(pixel 450 464)" == "000000" ]] || fail "socket 1 is not empty at start" || return 1
    click_at $((640 + 16)) $((712 + 16))
    wait_until "socket 1 shows Three" socket_filled || return 1

    click_at $((992 + 16)) 16
    wait_until "trinode ends" eval '! a_running' || return 1
    local status
    wait "$A_PID"
    status=$?
    A_PID=
    ((status == 0)) || fail "trinode exited $status after Exit" || return 1
}

# The pid of the window that has the keyboard ("focused") or is marked
# "urgent".
window_pid() {
    windows | awk -v column="$([[ $1 == focused ]] && echo 2 || echo 3)" \
        '$column == 1 { print $1; found = 1; exit } END { exit !found }'
}

has_focus() {
    [[ "$(window_pid focused)" == "$1" ]]
}

is_urgent() {
    [[ "$(window_pid urgent)" == "$1" ]]
}

# A second start of trinode a, handed the activation token given ("" for
# none); its exit status goes to SECOND_STATUS, its standard error to
# SECOND_ERR.
second_start() {
    local token=()
    [[ -n "$1" ]] && token=(XDG_ACTIVATION_TOKEN="$1")
    as_user env HOME="$CASE/a" QT_QPA_PLATFORM=wayland "${token[@]}" "$TRINODE_BIN" \
        >/dev/null 2>"$CASE/second.err"
    SECOND_STATUS=$?
    SECOND_ERR=$(cat "$CASE/second.err")
}

# sway's focus_on_window_activation, the token handed over (fresh from the
# compositor; spent: the one the row before used; none), the second start's
# exit status, what becomes of trinode's window (focused; left behind the
# focused one; urgent), and what its message says.
summon_rows=(
    "focus fresh 0 focused"
    "focus fresh 0 focused"
    "focus fresh 0 focused"
    "focus spent 2 left *not*active"
    "focus none 0 focused"
    "urgent fresh 2 urgent *not*active"
)

case_summon_with_token() {
    start_sway || return 1
    start_trinode_in a
    A_PID=$!
    wait_until "trinode's window has the keyboard" has_focus "$A_PID" || return 1
    # Another window takes the keyboard, as a newly opened one does.
    start_trinode_in b
    B_PID=$!
    wait_until "the other window has the keyboard" has_focus "$B_PID" || return 1

    local row mode kind status outcome message token last=
    for row in "${summon_rows[@]}"; do
        read -r mode kind status outcome message <<<"$row"
        as_user swaymsg "focus_on_window_activation $mode" >/dev/null || fail "sway refused the mode: $row" || return 1
        as_user swaymsg "[pid=$B_PID] focus" >/dev/null
        wait_until "the other window has the keyboard" has_focus "$B_PID" || return 1
        case $kind in
        fresh) token=$(as_user "$TOKEN_BIN") || fail "no token: $row" || return 1 ;;
        spent) token=$last ;;
        none) token= ;;
        esac
        last=$token
        second_start "$token"
        ((SECOND_STATUS == status)) || fail "$row: exited $SECOND_STATUS: $SECOND_ERR" || return 1
        if ((status == 0)); then
            [[ -z "$SECOND_ERR" ]] || fail "$row: said $SECOND_ERR" || return 1
        else
            # One line, saying what happened.
            [[ "$SECOND_ERR" == "trinode: "$message && "$SECOND_ERR" != *$'\n'* ]] ||
                fail "$row: said $SECOND_ERR" || return 1
        fi
        # The second start has had its answer: a refused request is over.
        case $outcome in
        focused) wait_until "trinode's window has the keyboard" has_focus "$A_PID" ;;
        left) has_focus "$B_PID" && ! is_urgent "$A_PID" ;;
        urgent) wait_until "sway marks trinode's window urgent" is_urgent "$A_PID" && has_focus "$B_PID" ;;
        esac || fail "$row: the window is not $outcome" || return 1
    done
}

# Folders Trinode is installed in.
install_names=(plain 'my apps' "John's apps" 'x"y' 'a;touch PWNED;b' "q'\$(touch PWNED)'")

# The process of the window that sway shows, once there is one.
shown_pid() {
    windows | awk '$4 { print $1; found = 1; exit } END { exit !found }'
}

case_bound_line_starts_trinode() {
    local name folder line pid
    for name in "${install_names[@]}"; do
        folder="$CASE/$name"
        install_copy "$folder" && chmod -R a+rX "$folder" || return 1
        line=$(as_user env XDG_CURRENT_DESKTOP=sway QT_QPA_PLATFORM=offscreen "$folder/app/trinode" \
            --bind-key | grep '^bindsym' || true)
        [[ -n $line ]] || fail "$name: no line printed" || return 1
        # What a command ran by the line would leave lands in the case.
        cd "$CASE" && start_sway "$line" && cd - >/dev/null || return 1
        as_user wtype -M ctrl -M alt -k space -m alt -m ctrl
        wait_until "$name: the key starts Trinode" eval 'pid=$(shown_pid)' || return 1
        [[ "$(readlink "/proc/$pid/exe")" == "$folder/app/trinode" ]] ||
            fail "$name: the key started $(readlink "/proc/$pid/exe")" || return 1
        [[ -z "$(find "$CASE" -name PWNED)" ]] || fail "$name: the line ran more: $line" || return 1
        kill "$pid"
        stop_case
    done
}

for name in tiled_at_960 summon_with_token bound_line_starts_trinode; do
    echo "--- $name"
    CASE=$WORK/$name
    mkdir -p "$CASE/run" "$CASE/a" "$CASE/b"
    offered "$CASE/a/.config"
    offered "$CASE/b/.config"
    chmod 700 "$CASE/run"
    ((EUID == 0)) && chown -R "$uid:$uid" "$CASE"
    if "case_$name"; then
        passed=$((passed + 1))
        echo "    ok"
    else
        failed=$((failed + 1))
        as_user swaymsg -t get_tree >"$CASE/tree.json" 2>/dev/null
        as_user grim "$CASE/failed.png" 2>/dev/null
    fi
    stop_case
done
echo "$passed passed, $failed failed"
((failed == 0))
