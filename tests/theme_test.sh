#!/usr/bin/env bash
# The editor and the help window measured under dark desktop themes, each in
# a real X server: a dark Qt palette through qt6ct, and GTK's dark Adwaita
# through Qt's GTK platform theme. The measuring is ThemeContrastTest's.
source "$(dirname "$0")/x11/harness.sh"

MEASURE="${TRINODE_BUILD_DIR:?}/tests/ThemeContrastTest"

measure_under() {
    env -u QT_QPA_PLATFORM QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$CASE_HOME/run" \
        TRINODE_EXPECT_THEME=dark "$@" "$MEASURE" --gtest_brief=1
}

case_dark_qt_palette_through_qt6ct() {
    mkdir -p "$CASE_HOME/config/qt6ct"
    cat >"$CASE_HOME/config/qt6ct/qt6ct.conf" <<CONF
[Appearance]
color_scheme_path=/usr/share/qt6ct/colors/darker.conf
custom_palette=true
style=Fusion
CONF
    measure_under XDG_CONFIG_HOME="$CASE_HOME/config" QT_QPA_PLATFORMTHEME=qt6ct
}

case_gtk_dark_theme() {
    measure_under XDG_CONFIG_HOME="$CASE_HOME/config" QT_QPA_PLATFORMTHEME=gtk3 \
        GTK_THEME=Adwaita:dark
}

run_cases "$@"
