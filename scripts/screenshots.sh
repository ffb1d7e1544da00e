#!/usr/bin/env bash
# Takes the screenshots of docs/screenshots: the main window's two pages, the results window, the
# unit search, the history window, the settings dialog's three pages and the about dialog, each
# window's client area, on the desktop of the desktop suite (Xvfb, openbox, the shipped data and
# font).
#
#   scripts/screenshots.sh [SCALE [FOLDER [PROGRAM]]]
#
# SCALE is QT_SCALE_FACTOR (default 1), FOLDER where the PNG files go (default docs/screenshots),
# PROGRAM the executable (default build/bin/tenvari).
set -uo pipefail
cd "$(dirname "$(readlink -f "$0")")/.." || exit 1

scale=${1:-1}
out=$(readlink -f "${2:-docs/screenshots}")
program=$(readlink -f "${3:-build/bin/tenvari}")
[ -x "$program" ] || { echo "no program at $program: build it first" >&2; exit 1; }
mkdir -p "$out"
source tests/desktop/session.sh

# shot WINDOW NAME: the window's client area once two captures in a row agree (drawing is done).
shot() {
    local previous=$tmp/previous.png current=$tmp/current.png
    import -window "$1" "$previous"
    for _ in $(seq 100); do
        import -window "$1" "$current"
        if cmp -s <(convert "$previous" rgba:-) <(convert "$current" rgba:-); then
            cp "$current" "$out/$2.png"
            echo "$out/$2.png"
            return 0
        fi
        mv "$current" "$previous"
    done
    echo "the window of $2 did not settle" >&2
    return 1
}

start_session
folder=$tmp/shots
install_program "$folder"
printf '[Convert]\nShowExp=1\n' >"$folder/tenvari.ini"
export QT_SCALE_FACTOR=$scale
start_program "$folder/tenvari" || exit 1
focus "$main_window"

# Results window: 1 metre into every unit of the group, with the formula lines.
type_text 1
keys shift+Return
window=$(wait_window "変換結果") && shot "$window" results-window
keys Escape
wait_for "the results window to close" window_gone "変換結果"

# Unit page: 12.5 decametres in metres.
focus "$main_window"
keys ctrl+d
type_text 12.5
keys Tab Home Down Down Down shift+Tab Return End
shot "$main_window" main-unit

# Base page: 255 from base 10 into base 16.
keys alt+b
wait_for "the base page" title_is "Tenvari - 基数変換"
type_text 255
# The output base field: past the input base, its buttons and the output box.
keys Tab Tab Tab Tab Tab Tab Tab
type_text 16
keys shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab Return End
shot "$main_window" main-base

# Unit search: まいる over every group, pasted into the field in one piece as an input method
# commits it. xdotool types a character outside the keyboard map by remapping a spare key, which
# the program may read after the next remapping: under load まいる came out as いいる.
keys ctrl+k
window=$(wait_window "単位の検索") && {
    printf 'まいる' | xclip -selection clipboard
    keys ctrl+v
    shot "$window" unit-search
}
keys Escape
wait_for "the unit search to close" window_gone "単位の検索"

# History: the conversions above, newest first.
focus "$main_window"
keys ctrl+h
window=$(wait_window "履歴") && shot "$window" history-window
keys Escape
wait_for "the history window to close" window_gone "履歴"

focus "$main_window"
keys ctrl+s
window=$(wait_window "設定") && shot "$window" settings-startup
keys ctrl+Tab
shot "$window" settings-convert
keys ctrl+Tab
shot "$window" settings-history
keys Escape
wait_for "the settings dialog to close" window_gone "設定"

focus "$main_window"
keys alt+o a
window=$(wait_window "バージョン情報") && shot "$window" about-dialog
keys Escape
wait_for "the about dialog to close" window_gone "バージョン情報"
stop_program
[ "$failed" -eq 0 ]
