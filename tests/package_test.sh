#!/usr/bin/env bash
# Builds the Debian package and proves it without touching this machine: dpkg
# installs it into a throwaway root with a database of its own, and every
# check looks there. The desktop entry and icons are validated in that root,
# the installed trinode starts from it in a real X server (with this
# machine's libraries, as the package's dependencies promise), the manual page
# renders, and lintian finds nothing to complain about. A missing tool is a
# failure, not a pass.
source "$(dirname "$0")/x11/harness.sh"

: "${TRINODE_BUILD_DIR:?}"
: "${TRINODE_SOURCE_DIR:?}"

missing=()
for tool in cpack dpkg dpkg-deb lintian desktop-file-validate man identify readelf Xvfb xdotool; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]})); then
    echo "cannot prove the package: missing ${missing[*]} (tools/setup-debian --test installs them)" >&2
    echo "0 passed, 1 failed"
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ROOT=$work/root

(cd "$TRINODE_BUILD_DIR" && cpack -B "$work/out" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log" >&2; echo "cpack failed" >&2; exit 1; }
DEB=$(ls "$work"/out/trinode_*.deb)

# A database of the root's own: dpkg records the package there and nowhere
# else. The libraries the package depends on are this machine's, outside the
# root, so the root's database cannot know them.
mkdir -p "$ROOT/var/lib/dpkg/info" "$ROOT/var/lib/dpkg/updates"
: >"$ROOT/var/lib/dpkg/status"
dpkg --root="$ROOT" --log=/dev/null --force-not-root --force-depends -i "$DEB" \
    >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; echo "dpkg could not install into $ROOT" >&2; exit 1; }

case_installed_and_recorded_in_the_root_only() {
    dpkg-query --admindir="$ROOT/var/lib/dpkg" -W -f='${Status}' trinode | grep -qx "install ok installed" ||
        fail "the root's database does not hold trinode" || return 1
    [[ -x $ROOT/usr/bin/trinode ]] || fail "no executable in the root"
}

# A summon runs the front alone: none of the GUI's libraries may come with it.
case_front_loads_no_gui_library() {
    local needed
    needed=$(readelf -d "$ROOT/usr/bin/trinode" | grep NEEDED) || fail "readelf found nothing" || return 1
    ! grep -E 'Qt6(Gui|Widgets|DBus)' <<<"$needed" || fail "the front needs a GUI library" || return 1
    [[ -f $ROOT/usr/lib/trinode/gui/trinode-gui.so ]] || fail "no GUI part in the root"
}

case_dependencies_are_on_this_machine() {
    # Every dependency is met here, at its version, so that starting the
    # installed program below proves what an installation elsewhere gets.
    local depends relation name op version installed
    local form='^([a-z0-9.+-]+)( \((<<|<=|=|>=|>>) ([^)]+)\))?$'
    depends=$(dpkg-deb -f "$DEB" Depends)
    [[ $depends == *libqt6widgets6* ]] || fail "no Qt dependency declared" || return 1
    [[ $depends == *libjpeg* ]] || fail "no dependency on the JPEG library the GUI part loads" || return 1
    while read -r relation; do
        [[ $relation =~ $form ]] ||
            fail "unexpected relation '$relation'" || return 1
        name=${BASH_REMATCH[1]} op=${BASH_REMATCH[3]} version=${BASH_REMATCH[4]}
        installed=$(dpkg-query -W -f='${Version}' "$name" 2>/dev/null | head -1)
        [[ -n $installed ]] || fail "$name is not installed here" || return 1
        if [[ -n $op ]]; then
            dpkg --compare-versions "$installed" "$op" "$version" ||
                fail "$name $installed does not satisfy $op $version" || return 1
        fi
    done < <(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ *$//' | grep -v '^$')
}

case_desktop_entry_and_icons() {
    local entry=$ROOT/usr/share/applications/trinode.desktop
    [[ -f $entry ]] || fail "no desktop entry" || return 1
    desktop-file-validate "$entry" || fail "the desktop entry does not validate" || return 1
    grep -qx "Exec=trinode" "$entry" || fail "the entry does not run trinode" || return 1
    grep -qx "Icon=trinode" "$entry" || fail "the entry does not name the icon" || return 1
    local size icon
    for size in 16 22 24 32 48 64 128 256; do
        icon=$ROOT/usr/share/icons/hicolor/${size}x${size}/apps/trinode.png
        [[ -f $icon ]] || fail "no ${size}px icon" || return 1
        [[ $(identify -format '%m %wx%h' "$icon") == "PNG ${size}x${size}" ]] ||
            fail "the ${size}px icon is $(identify -format '%m %wx%h' "$icon")" || return 1
    done
}

case_installed_trinode_starts() {
    TRINODE_BIN=$ROOT/usr/bin/trinode
    start_trinode || return 1
    [[ $(stat -c %s "$CASE_HOME/TrinodeRun.cmb") == 2141392 ]] || fail "no combination file"
}

case_installed_trinode_tells_its_version() {
    local version expected
    expected=$(dpkg-deb -f "$DEB" Version)
    version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$ROOT/usr/bin/trinode" --version) ||
        fail "trinode --version failed" || return 1
    [[ $version == "Trinode $expected" ]] || fail "trinode --version says \"$version\", the package $expected"
}

case_manual_page_renders() {
    local page=$ROOT/usr/share/man/man1/trinode.1.gz text warnings
    [[ -f $page ]] || fail "no manual page" || return 1
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "man warns: $warnings" || return 1
    text=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
    local heading
    for heading in NAME SYNOPSIS KEYS FILES "EXIT STATUS"; do
        grep -qx "$heading" <<<"$text" || fail "the page has no $heading" || return 1
    done
    grep -q "~/TrinodeRun.cmb" <<<"$text" || fail "the page does not name the file"
}

case_copyright_is_the_licence() {
    local copyright=$ROOT/usr/share/doc/trinode/copyright
    [[ -f $copyright ]] || fail "no copyright file" || return 1
    head -1 "$copyright" | grep -q "copyright-format/1.0/" || fail "not machine-readable" || return 1
    # The licence block, unindented and with its empty lines back, is the
    # licence file's grant word for word.
    diff <(sed -n '/^License: Expat$/,$p' "$copyright" | tail -n +2 | sed 's/^ //; s/^\.$//') \
        <(sed -n '/^Permission is hereby granted/,$p' "$TRINODE_SOURCE_DIR/LICENSE") ||
        fail "the copyright file's licence differs from LICENSE"
}

case_lintian_is_content() {
    # lintian keeps its cache in the home and leaves a file in TMPDIR:
    # throwaway ones.
    local report
    mkdir -p "$work/tmp"
    report=$(HOME=$work XDG_CACHE_HOME=$work/cache TMPDIR=$work/tmp lintian --pedantic -I "$DEB" 2>&1 |
        grep -v '^running with root privileges')
    echo "$report" | sed 's/^/    /'
    # No error, no warning, and none of the hardening or stripping notes.
    ! grep -E '^[EW]: |hardening-no-|binary-has-unneeded-section|unstripped' <<<"$report" >/dev/null ||
        fail "lintian complains"
}

run_cases
