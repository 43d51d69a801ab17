#!/usr/bin/env bash
# trinode --bind-key and --unbind-key against each desktop's real settings
# store, each in a session bus of its own and a home of its own: per row,
# bind another key, bind Ctrl+Alt+Space over it and again (one entry each
# time), a shortcut the desktop's defaults hold (refused, naming the holder),
# unbind (nothing of Trinode's left); KDE's key is pressed right after the
# bind. Then the
# grab of the running Trinode under openbox, and the autostart entry with
# trinode --background.
source "$(dirname "$0")/x11/harness.sh"
: "${TRINODE_SOURCE_DIR:?TRINODE_SOURCE_DIR names the source folder}"

# Never the user's own desktop or bus.
unset XDG_CURRENT_DESKTOP DBUS_SESSION_BUS_ADDRESS XDG_CONFIG_HOME XDG_DATA_HOME

# name | XDG_CURRENT_DESKTOP | a shortcut the shipped defaults hold | what the
# refusal names
ROWS=(
    'gnome|GNOME|Alt+F4|"Close window" (org.gnome.desktop.wm.keybindings close)'
    'cinnamon|X-Cinnamon|Alt+Space|org.cinnamon.desktop.keybindings.wm activate-window-menu'
    'xfce|XFCE|Meta+E|the command "thunar"'
    'kde|KDE|Ctrl+Alt+T|"Konsole: Launch Konsole" (org.kde.konsole.desktop, _launch)'
    'mate|MATE|Alt+F4|"Close window" (org.mate.Marco.window-keybindings close, its default'
)

# How many entries of the store run this trinode: through the desktop's own
# tools.
gsettings_entries() { # list schema, list key, entry schema, path prefix
    local id
    for id in $(gsettings get "$1" "$2" | tr -d "[],'" | sed 's/^@as//'); do
        [[ "$id" == /* ]] || id="$4$id/"
        gsettings get "$3:$id" command
    done | grep -c "$TRINODE_BIN"
}
entries_gnome() {
    gsettings_entries org.gnome.settings-daemon.plugins.media-keys custom-keybindings \
        org.gnome.settings-daemon.plugins.media-keys.custom-keybinding
}
entries_cinnamon() {
    gsettings_entries org.cinnamon.desktop.keybindings custom-list \
        org.cinnamon.desktop.keybindings.custom-keybinding /org/cinnamon/desktop/keybindings/custom-keybindings/
}
# MATE's entries have no list: Trinode's is one of the folders customN.
entries_mate() {
    local n
    for n in 0 1 2 3; do
        gsettings get org.mate.control-center.keybinding:/org/mate/desktop/keybindings/custom$n/ action
    done | grep -c "$TRINODE_BIN"
}
entries_xfce() { xfconf-query -c xfce4-keyboard-shortcuts -l -v | grep -c "$TRINODE_BIN"; }
# kglobalaccel writes its file half a second after a change; once unbound,
# no action of Trinode's is left, not even an empty one.
entries_kde() {
    local want=$1 pattern="^$KEY,"
    ((want)) || pattern=.
    wait_until "kglobalshortcutsrc holds $want" eval '[[ $(kreadconfig5 --file kglobalshortcutsrc \
        --group trinode.desktop --key _launch | grep -c "$pattern") == $want ]]' && echo "$want"
}

# KDE's key works the moment it is bound: each press starts the desktop
# entry's trinode (a link on kglobalaccel's search path) or brings it back
# after Esc. kglobalaccel grabs the key in the X server itself.
kde_presses() {
    local press window
    for press in 1 2 3; do
        xdotool key ctrl+alt+space
        wait_until "press $press brings Trinode up" eval 'window=$(xdotool search --onlyvisible \
            --name "^Trinode$" | head -1); [[ -n $window ]]' || return 1
        xdotool windowfocus --sync "$window" key Escape
        wait_until "Esc hides it" eval '! xdotool search --onlyvisible --name "^Trinode$" >/dev/null' ||
            return 1
    done
    kill "$(xdotool getwindowpid "$window")"
}

# One row, inside its own session bus.
desktop_row() {
    local name=$1 taken=$2 holder=$3 out
    if [[ $name == kde ]]; then
        mkdir -p "$HOME/bin" && ln -sf "$TRINODE_BIN" "$HOME/bin/trinode"
        PATH="$HOME/bin:$PATH" QT_QPA_PLATFORM=xcb kglobalaccel5 >/dev/null 2>&1 &
        local kglobalaccel=$!
        wait_until "kglobalaccel is on the bus" eval 'gdbus call --session --dest org.freedesktop.DBus \
            --object-path /org/freedesktop/DBus --method org.freedesktop.DBus.NameHasOwner \
            org.kde.kglobalaccel | grep -q true' || return 1
    fi
    local ok=0
    for KEY in Meta+Shift+K Ctrl+Alt+Space Ctrl+Alt+Space; do
        out=$("$TRINODE_BIN" --bind-key "$KEY" 2>&1) || { fail "bind $KEY: $out"; ok=1; break; }
        [[ "$(entries_$name 1)" == 1 ]] || { fail "bind $KEY: not one entry: $out"; ok=1; break; }
    done
    grep -q '^Shortcut=Ctrl+Alt+Space' "$HOME/.config/trinode/trinode.conf" || fail "not remembered" || ok=1
    [[ $name != kde ]] || kde_presses || ok=1
    out=$("$TRINODE_BIN" --bind-key "$taken" 2>&1)
    (($? == 3)) && [[ "$out" == *"$holder"* ]] || fail "$taken was not refused naming $holder: $out" || ok=1
    out=$("$TRINODE_BIN" --unbind-key 2>&1) || fail "unbind: $out" || ok=1
    [[ "$(entries_$name 0)" == 0 ]] || fail "unbind left an entry" || ok=1
    [[ -n "${kglobalaccel:-}" ]] && kill "$kglobalaccel" && wait "$kglobalaccel" 2>/dev/null
    return $ok
}
export -f desktop_row kde_presses entries_gnome entries_cinnamon entries_mate entries_xfce entries_kde gsettings_entries fail wait_until
export TRINODE_BIN

desktop_case() {
    local name desktop taken holder
    IFS='|' read -r name desktop taken holder <<<"$1"
    # Plasma finds Trinode's desktop entry where it finds applications;
    # Konsole's entry holds Ctrl+Alt+T.
    mkdir -p "$CASE_HOME/.local/share/applications" "$CASE_HOME/.config"
    cp "$TRINODE_SOURCE_DIR/app/trinode.desktop" "$CASE_HOME/.local/share/applications/"
    printf '[org.kde.konsole.desktop]\n_launch=Ctrl+Alt+T,none,Launch Konsole\n_k_friendly_name=Konsole\n' \
        >"$CASE_HOME/.config/kglobalshortcutsrc"
    HOME="$CASE_HOME" XDG_RUNTIME_DIR="$CASE_HOME/run" XDG_CURRENT_DESKTOP=$desktop \
        dbus-run-session -- bash -c 'desktop_row "$@"' _ "$name" "$taken" "$holder" \
        2> >(grep -v 'fd limit\|ctivat' >&2)
}

for row in "${ROWS[@]}"; do
    eval "case_${row%%|*}() { desktop_case '$row'; }"
done

# i3 runs the line that --bind-key prints, for Trinode installed in folders
# whose names hold what i3's parser splits or reads (a comma, a ;, quotes, a
# backslash): the key starts exactly that Trinode and nothing else.
case_i3_line_starts_trinode() {
    local name folder line pid
    for name in 'c,d' 'a;touch PWNED;b' "John's apps" 'x"y\z'; do
        folder="$CASE_HOME/$name"
        install_copy "$folder" || return 1
        line=$(HOME="$CASE_HOME" XDG_CURRENT_DESKTOP=i3 "$folder/app/trinode" --bind-key | grep '^bindsym')
        printf 'font pango:monospace 8\n%s\n' "$line" >"$CASE_HOME/i3.config"
        (cd "$CASE_HOME" && exec env HOME="$CASE_HOME" XDG_RUNTIME_DIR="$CASE_HOME/run" \
            QT_QPA_PLATFORM=xcb i3 -c "$CASE_HOME/i3.config" >"$CASE_HOME/i3.log" 2>&1) &
        WM_PID=$!
        wait_until "i3 answers" eval "i3-msg -t get_version >/dev/null 2>&1" || return 1
        xdotool key ctrl+alt+space
        wait_until "$name: the key starts Trinode" eval 'pid=$(xdotool search --onlyvisible \
            --name "^Trinode$" getwindowpid 2>/dev/null)' || return 1
        [[ "$(readlink "/proc/$pid/exe")" == "$folder/app/trinode" ]] ||
            fail "$name: the key started $(readlink "/proc/$pid/exe")" || return 1
        [[ -z "$(find "$CASE_HOME" -name PWNED)" ]] || fail "$name: the line ran more: $line" || return 1
        kill "$pid" "$WM_PID" && wait "$WM_PID"
        WM_PID=
    done
}

# No desktop settings under openbox: the running Trinode grabs the key that
# --bind-key remembers (its own grab is no other program's: the same key
# bound again is bound), and its press brings the hidden window up active,
# with NumLock on as well as off.
case_openbox_grab_summons() {
    start_openbox || return 1
    start_trinode || return 1
    local out key press
    for key in Ctrl+Alt+Space Meta+Shift+K Meta+Shift+K; do
        out=$(trinode_in_case --bind-key "$key" 2>&1) || fail "bind $key: $out" || return 1
    done
    for press in super+shift+k Num_Lock; do
        [[ $press == Num_Lock ]] && xdotool key Num_Lock
        xdotool windowfocus --sync "$WINDOW" key Escape
        wait_until "Esc hides the window" eval '! xdotool search --onlyvisible --name "^Trinode$" >/dev/null' || return 1
        wait_until "Meta+Shift+K brings it up active ($press)" eval 'xdotool key super+shift+k
            xdotool search --onlyvisible --name "^Trinode$" | grep -qx "$WINDOW" &&
            [[ "$(xdotool getactivewindow 2>/dev/null)" == "$WINDOW" ]]' || return 1
    done
    xdotool key Num_Lock
}

# The autostart entry, written by the build's trinode (which says that it
# runs from its build folder) and by a copy in a folder whose name holds a %:
# valid, and started by GIO as a session starts it, trinode --background
# shows no window until the first summon, and its summon key works; a second
# --background leaves it as it is. Each summon right after Esc hid the window
# makes it active and exits 0.
case_autostart_and_background() {
    start_openbox || return 1
    install_copy "$CASE_HOME/50% off" || return 1
    autostart_row "$CASE_HOME/50% off/app/trinode" "" &&
        autostart_row "$TRINODE_BIN" "runs from its build folder"
}

autostart_row() { # the trinode that writes the entry, what it says beside
    local program=$1 caveat=$2 entry="$CASE_HOME/.config/autostart/trinode.desktop" out i
    out=$(TRINODE_BIN=$program trinode_in_case --autostart on) || fail "autostart on" || return 1
    if [[ -n $caveat ]]; then [[ $out == *"$caveat"* ]]; else [[ $out != *$'\n'* ]]; fi ||
        fail "$program said: $out" || return 1
    desktop-file-validate "$entry" || fail "invalid autostart entry" || return 1
    DBUS_SESSION_BUS_ADDRESS=unix:path=/dev/null TRINODE_BIN=gio trinode_in_case launch "$entry" ||
        fail "GIO does not start $(grep Exec "$entry")" || return 1
    wait_until "the instance socket" eval 'compgen -G "$CASE_HOME/run/*.socket" >/dev/null' || return 1
    ! xdotool search --onlyvisible --name '^Trinode$' >/dev/null || fail "a window showed" || return 1
    # A second --background only asks: the running one stays hidden.
    out=$(trinode_in_case --background) || fail "a second --background exited $?" || return 1
    [[ $out == "Trinode already runs (process "*"); left as it is" ]] || fail "$out" || return 1
    ! xdotool search --onlyvisible --name '^Trinode$' >/dev/null || fail "it was summoned" || return 1
    # The hidden one grabs its key at once, with no window painted yet.
    out=$(trinode_in_case --bind-key Meta+Shift+K 2>&1) || fail "bind: $out" || return 1
    wait_until "the key brings the hidden window up" eval 'xdotool key super+shift+k
        xdotool search --onlyvisible --name "^Trinode$" >/dev/null' || return 1
    xdotool key Escape
    wait_until "Esc hides it" eval '! xdotool search --onlyvisible --name "^Trinode$" >/dev/null' ||
        return 1
    for ((i = 0; i <= 10; i++)); do
        out=$(trinode_in_case 2>&1) || fail "summon $i exited $?: $out" || return 1
        # The running one answers once it asked for the window; the window
        # manager makes it active in its own time.
        wait_until "summon $i shows it active" eval 'WINDOW=$(xdotool search --onlyvisible --name "^Trinode$" | head -1)
            [[ -n "$WINDOW" && "$(xdotool getactivewindow 2>/dev/null)" == "$WINDOW" ]]' || return 1
        xdotool key Escape
        wait_until "Esc hides it" eval '! xdotool search --onlyvisible --name "^Trinode$" >/dev/null' ||
            return 1
    done
    TRINODE_PID=$(xdotool getwindowpid "$WINDOW")
    [[ "$(readlink "/proc/$TRINODE_PID/exe")" == "$program" ]] || fail "GIO started another" || return 1
    kill "$TRINODE_PID" && wait_until "it ends" eval '! kill -0 "$TRINODE_PID" 2>/dev/null'
    TRINODE_PID=
    trinode_in_case --autostart off >/dev/null && [[ ! -e "$entry" ]] || fail "autostart off"
}

run_cases "$@"
