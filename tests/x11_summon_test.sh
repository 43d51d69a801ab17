#!/usr/bin/env bash
# A second trinode brings the running one to the front under real window
# managers, after the user has clicked and typed in another program's window
# (a GTK text window), and says when the desktop refused. With the editor or
# help window open, that window comes forward, never the main window over it.
source "$(dirname "$0")/x11/harness.sh"

TRIES=10

start_metacity() {
    command -v metacity >/dev/null || { fail "metacity is missing: run tools/setup-debian --test"; return 1; }
    HOME="$CASE_HOME" metacity --replace --sm-disable --no-composite >"$CASE_HOME/metacity.log" 2>&1 &
    WM_PID=$!
    wait_until "metacity manages the screen" wm_running
}

# Another program's window, clicked and typed into by the user: a GTK text
# window whose id is in OTHER.
start_other_program() {
    HOME="$CASE_HOME" NO_AT_BRIDGE=1 zenity --text-info --editable --title=Notes \
        --width=400 --height=300 >/dev/null 2>&1 &
    OTHER_PID=$!
    wait_until "the GTK window maps" eval 'OTHER=$(xdotool search --onlyvisible --name "^Notes$" | head -1); [[ -n "$OTHER" ]]'
}

stop_other_program() {
    [[ -n "${OTHER_PID:-}" ]] && kill "$OTHER_PID" 2>/dev/null && wait "$OTHER_PID" 2>/dev/null
    OTHER_PID=
}

active_window() {
    xdotool getactivewindow 2>/dev/null
}

# Switches to the other window (as a task bar would: the full-screen
# Trinode covers it), clicks into it and types, as a user working there would.
# Each try ($1) clicks elsewhere: a move with --sync to where the pointer
# already is waits for a motion that never comes, 15 s each time.
use_other_program() {
    local WINDOW X Y WIDTH HEIGHT SCREEN
    xdotool windowactivate --sync "$OTHER" 2>/dev/null
    eval "$(xdotool getwindowgeometry --shell "$OTHER")"
    xdotool mousemove --sync $((X + WIDTH / 2 + ${1:-0})) $((Y + HEIGHT / 2)) click 1
    wait_until "the GTK window is active" eval '[[ "$(active_window)" == "$OTHER" ]]' || return 1
    xdotool type --delay 5 "notes"
}

# Runs a second trinode; its exit status goes to SECOND_STATUS and its
# standard error to SECOND_ERR.
second_start() {
    trinode_in_case >/dev/null 2>"$CASE_HOME/second.err"
    SECOND_STATUS=$?
    SECOND_ERR=$(cat "$CASE_HOME/second.err")
}

expect_summoned_window() {
    local expected=$1
    ((SECOND_STATUS == 0)) || fail "second start exited $SECOND_STATUS: $SECOND_ERR" || return 1
    [[ -z "$SECOND_ERR" ]] || fail "second start said: $SECOND_ERR" || return 1
    wait_until "the window manager reports it active" eval '[[ "$(active_window)" == "$expected" ]]'
}

summon_after_typing_elsewhere() {
    start_trinode || return 1
    start_other_program || return 1
    local i
    for ((i = 1; i <= TRIES; i++)); do
        use_other_program "$i" || fail "try $i of $TRIES" || return 1
        second_start
        expect_summoned_window "$WINDOW" || fail "try $i of $TRIES" || return 1
    done
    stop_other_program
}

case_openbox_summons_after_typing_in_gtk() { start_openbox && summon_after_typing_elsewhere; }
case_metacity_summons_after_typing_in_gtk() { start_metacity && summon_after_typing_elsewhere; }

# The user's action that started the second trinode is older than their
# typing elsewhere: focus-stealing prevention refuses, and it is said.
case_metacity_refusal_is_reported() {
    start_metacity || return 1
    start_trinode || return 1
    start_other_program || return 1
    use_other_program || return 1
    DESKTOP_STARTUP_ID=summon-test_TIME1 second_start
    ((SECOND_STATUS == 2)) || fail "second start exited $SECOND_STATUS, not 2" || return 1
    [[ "$SECOND_ERR" == "trinode: "*"demanding attention" ]] || fail "message: $SECOND_ERR" || return 1
    (($(wc -l <"$CASE_HOME/second.err") == 1)) || fail "more than one line: $SECOND_ERR" || return 1
    wait_until "the window demands attention" eval \
        'xprop -id "$WINDOW" _NET_WM_STATE | grep -q _NET_WM_STATE_DEMANDS_ATTENTION' || return 1
    [[ "$(active_window)" == "$OTHER" ]] || fail "the GTK window lost the focus" || return 1
    stop_other_program
}

# The editor's window (713 x 393, named Trinode) once it maps.
open_editor() {
    click_at 31 31
    wait_until "the editor opens" eval 'MODAL=$(dialog_named "^Trinode$"); [[ -n "$MODAL" ]]'
}

open_help() {
    # An empty first socket's hint press opens the help window.
    click_at $((512 + 31)) $((712 + 31))
    wait_until "the help window opens" eval 'MODAL=$(dialog_named "^Help$"); [[ -n "$MODAL" ]]'
}

# Without a window manager nothing keeps the dialog above the main window:
# the main window raised over it (as a click on it would), a second start
# must put the dialog on top again with the keyboard.
modal_comes_forward_without_wm() {
    start_trinode || return 1
    "$1" || return 1
    xdotool windowraise "$WINDOW"
    wait_until "the main window covers the dialog" top_of "$WINDOW" "$MODAL" || return 1
    second_start
    ((SECOND_STATUS == 0)) || fail "second start exited $SECOND_STATUS: $SECOND_ERR" || return 1
    wait_until "the dialog is above the main window" top_of "$MODAL" "$WINDOW" || return 1
    wait_until "the dialog has the keyboard" eval '[[ "$(xdotool getwindowfocus)" == "$MODAL" ]]'
}

# True when the first window is stacked above the second (children of the
# root are listed from the top down).
top_of() {
    local first second
    first=$(printf '0x%x' "$1")
    second=$(printf '0x%x' "$2")
    xwininfo -root -children | awk -v a="$first" -v b="$second" '
        $1 == a && !seen { seen = a } $1 == b && !seen { seen = b } END { exit seen == a ? 0 : 1 }'
}

case_editor_comes_forward_without_wm() { modal_comes_forward_without_wm open_editor; }
case_help_comes_forward_without_wm() { modal_comes_forward_without_wm open_help; }

modal_comes_forward_under() {
    "$1" || return 1
    start_trinode || return 1
    "$2" || return 1
    start_other_program || return 1
    use_other_program || return 1
    second_start
    expect_summoned_window "$MODAL" || return 1
    stop_other_program
}

case_editor_comes_forward_under_openbox() { modal_comes_forward_under start_openbox open_editor; }
case_help_comes_forward_under_metacity() { modal_comes_forward_under start_metacity open_help; }

run_cases "$@"
