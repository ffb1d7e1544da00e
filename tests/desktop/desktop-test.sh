#!/usr/bin/env bash
# The real program on a real desktop: its own Xvfb and openbox, the program copied with its data
# into a temporary folder, driven with keys (xdotool), and read back through the window geometry
# and frame (xwininfo, xprop), the clipboard (xclip), its standard error and its settings file.
#
#   desktop-test.sh PROGRAM [CHECK...]     runs every check, or the named ones
#
# Every check is a function check_<name>; start_program and stop_program (session.sh) are the one
# way to run the program, and stop_program also fails a run that wrote anything to standard
# error. Nothing sleeps for a fixed time: every wait polls with a deadline.
set -uo pipefail

program=$(readlink -f "${1:?usage: $0 PROGRAM [CHECK...]}")
shift
source "$(dirname "$(readlink -f "$0")")/session.sh"


# ---- the checks --------------------------------------------------------------------------------

# With WinPos=1 the window reopens exactly where it was closed, ten times in a row.
check_restart_loop() {
    local folder=$tmp/restart corner
    install_program "$folder"
    printf '[StartUp]\nWinPos=1\nLeft=200\nTop=150\n' >"$folder/tenvari.ini"
    for i in 1 2 3 4 5 6 7 8 9 10; do
        start_program "$folder/tenvari" || return
        corner=$(frame_corner "$main_window")
        stop_program
        if [ "$corner" != "200 150" ]; then
            fail "restart $i: frame at [$corner], expected [200 150]"
            return
        fi
        if [ "$(setting "$folder/tenvari.ini" Left) $(setting "$folder/tenvari.ini" Top)" != "200 150" ]; then
            fail "restart $i: stored $(grep -E '^(Left|Top)=' "$folder/tenvari.ini" | tr '\n' ' ')"
            return
        fi
    done
    pass "ten restarts with WinPos=1 keep the frame at 200,150"
}

# A stored position that would put the title bar outside the work area is brought back inside.
check_offscreen_position_brought_back() {
    local folder=$tmp/offscreen x y w h fw fh
    install_program "$folder"
    printf '[StartUp]\nWinPos=1\nLeft=5000\nTop=-400\n' >"$folder/tenvari.ini"
    start_program "$folder/tenvari" || return
    read -r x y w h <<<"$(work_area)"
    read -r fw fh <<<"$(frame_size "$main_window")"
    expect "a position beyond the screen comes back to the work area's edge" \
        "$((x + w - fw)) $y" "$(frame_corner "$main_window")"
    stop_program
}

# Without settings the outer frame is centred on the work area, whose origin is not the screen's.
check_main_window_centred() {
    local folder=$tmp/centred centred
    install_program "$folder"
    start_program "$folder/tenvari" || return
    centred=$(centred_corner "$main_window")
    expect "the main window's frame is centred on the work area" "$centred" \
        "$(frame_corner "$main_window")"
    stop_program
    expect "shutdown writes the frame's corner" "$centred" \
        "$(setting "$folder/tenvari.ini" Left) $(setting "$folder/tenvari.ini" Top)"
}

# Minimising or closing the settings dialog, the about dialog or the results window never leaves
# the main window hidden.
check_dialogs() {
    local folder=$tmp/dialogs dialog
    install_program "$folder"
    start_program "$folder/tenvari" || return
    focus "$main_window"

    keys ctrl+s
    dialog=$(wait_window "設定") || { fail "Ctrl+S opened no settings dialog"; stop_program; return; }
    minimise_and_expect_main_shown "the settings dialog" "$dialog"
    focus "$dialog" && keys Escape
    wait_for "the settings dialog to close" window_gone "設定"

    focus "$main_window"
    keys alt+o a
    dialog=$(wait_window "バージョン情報") || { fail "the menu opened no about dialog"; stop_program; return; }
    focus "$dialog" && keys alt+F4
    if wait_for "the about dialog to close" window_gone "バージョン情報" &&
        is_viewable "$main_window"; then
        pass "closing the about dialog through the window manager leaves the main window shown"
    else
        fail "closing the about dialog through the window manager"
    fi

    focus "$main_window"
    keys shift+Return
    dialog=$(wait_window "変換結果") || { fail "Shift+Enter opened no results window"; stop_program; return; }
    minimise_and_expect_main_shown "the results window" "$dialog"
    focus "$dialog" && keys Escape
    wait_for "the results window to close" window_gone "変換結果"
    stop_program
}

# minimise_and_expect_main_shown WHAT WINDOW: the window manager's minimise is undone, and the
# main window, which some window managers minimise with it, stays shown.
minimise_and_expect_main_shown() {
    xdotool windowminimize "$2"
    wait_for "$1 to come back" is_viewable "$2"
    if wait_for "the main window to stay shown" is_viewable "$main_window"; then
        pass "minimising $1 leaves the main window shown"
    else
        fail "minimising $1 hid the main window"
        xdotool windowmap "$main_window"
    fi
}

# Every showing of each dialog and of the results window has the frame its flags ask for and is
# centred with it: each showing gets a new native window, and the top-most display changes flags.
check_dialog_frames_every_showing() {
    local folder=$tmp/frames showing row title open buttons dialog
    install_program "$folder"
    start_program "$folder/tenvari" || return
    for showing in first second top-most; do
        if [ "$showing" = top-most ]; then
            focus "$main_window" && keys ctrl+f
            wait_for "the main window to be above the others" is_above
            wait_for "its frame" has_frame "$main_window"
        fi
        # title|keys that open it|the title-bar buttons it asks for
        for row in "設定|ctrl+s|" "バージョン情報|alt+o a|" "変換結果|shift+Return|menu maximise" \
            "単位の検索|ctrl+k|menu"; do
            IFS='|' read -r title open buttons <<<"$row"
            focus "$main_window"
            # shellcheck disable=SC2086 # one key or a sequence of them
            keys $open
            dialog=$(wait_window "$title") || { fail "$title: no $showing showing"; continue; }
            expect "$title, $showing showing: title-bar buttons asked for" "$buttons" \
                "$(hinted_buttons "$dialog")"
            expect "$title, $showing showing: frame centred" "$(centred_corner "$dialog")" \
                "$(frame_corner "$dialog")"
            focus "$dialog" && keys Escape
            wait_for "$title to close" window_gone "$title"
        done
    done
    stop_program
}

# The title-bar buttons that _MOTIF_WM_HINTS asks for, of menu (0x10), minimise (0x20) and
# maximise (0x40); "all" when the hints leave the decorations to the window manager.
hinted_buttons() {
    local flags decorations names=()
    read -r flags _ decorations _ <<<"$(xprop -id "$1" -notype _MOTIF_WM_HINTS |
        sed -n 's/.*= *//p' | tr -d ,)"
    if [ $((${flags:-0} & 2)) -eq 0 ] || [ $((decorations & 1)) -ne 0 ]; then
        echo all
        return
    fi
    [ $((decorations & 0x10)) -eq 0 ] || names+=(menu)
    [ $((decorations & 0x20)) -eq 0 ] || names+=(minimise)
    [ $((decorations & 0x40)) -eq 0 ] || names+=(maximise)
    echo "${names[*]}"
}

# Top-most on and off keeps the frame where it was.
check_top_most_keeps_place() {
    local folder=$tmp/topmost before
    install_program "$folder"
    start_program "$folder/tenvari" || return
    before=$(frame_corner "$main_window")
    focus "$main_window" && keys ctrl+f
    if wait_for "the window to be above the others" is_above "$main_window"; then
        pass "Ctrl+F puts the main window above the others"
    else
        fail "Ctrl+F: no _NET_WM_STATE_ABOVE"
    fi
    wait_for "the main window after top-most" find_main_window
    wait_for "its frame" has_frame "$main_window"
    expect "top-most on keeps the frame's place" "$before" "$(frame_corner "$main_window")"
    focus "$main_window" && keys ctrl+f
    wait_for "the window to leave the top" not_above "$main_window"
    wait_for "the main window after top-most" find_main_window
    wait_for "its frame" has_frame "$main_window"
    expect "top-most off keeps the frame's place" "$before" "$(frame_corner "$main_window")"
    stop_program
}
is_above() {
    find_main_window && xprop -id "$main_window" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE
}
not_above() {
    find_main_window && ! xprop -id "$main_window" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE
}

# Enter in an open drop-down list only chooses the entry: the report stays as it was.
check_enter_in_open_list() {
    local folder=$tmp/list report first
    install_program "$folder"
    start_program "$folder/tenvari" || return
    focus "$main_window"
    first=$(title_of "$main_window")
    type_text 4
    keys Return
    report=$(copy_expecting "$(current_report 4)")
    # From the value box: the target unit list, the output box, the group list.
    keys Tab Tab Tab alt+Down Down Return
    wait_for "the group to change" title_differs "$first"
    expect "Enter in the open group list keeps the report" "$report" "$(copy_anew)"
    stop_program
}
title_differs() {
    [ "$(title_of "$main_window")" != "$1" ]
}
# The report line of a conversion of VALUE on the unit page with the lists at their first unit.
current_report() {
    local unit
    unit=$(first_unit)
    echo "$1 [$unit] => $1 [$unit]"
}
first_unit() {
    tr -d '\r' <"$data/units.dat" |
        awk 'prev == ">>" { group = 1; prev = $0; next } group { split($0, f, ","); gsub(/"/, "", f[1]); print f[1]; exit } { prev = $0 }'
}

# Opening the base page and typing 255 gives 255: the "0" there is selected.
check_base_page_255() {
    local folder=$tmp/base
    install_program "$folder"
    start_program "$folder/tenvari" || return
    focus "$main_window"
    keys alt+b
    wait_for "the base page" title_is "Tenvari - 基数変換"
    type_text 255
    keys Return
    copy_expecting "255 (10) => 255 (10)" >/dev/null
    expect "typing 255 on the base page converts 255" "255 (10) => 255 (10)" "$(clipboard)"
    stop_program
}

# Full-width digits pasted from a Japanese document read as digits, and a report put on the
# clipboard has LF line ends.
check_paste_and_clipboard() {
    local folder=$tmp/paste text
    install_program "$folder"
    start_program "$folder/tenvari" || return
    focus "$main_window"
    printf '１２３' | xclip -selection clipboard
    keys ctrl+v Return
    copy_expecting "$(current_report 123)" >/dev/null
    expect "pasting １２３ converts 123" "$(current_report 123)" "$(clipboard)"

    # A batch: a report of many lines.
    keys shift+Return
    wait_window "変換結果" >/dev/null && keys Escape
    wait_for "the results window to close" window_gone "変換結果"
    focus "$main_window"
    keys ctrl+c
    wait_for "a report of several lines on the clipboard" clipboard_has_lines
    text=$(clipboard | od -An -c)
    if [[ "$text" == *'\n'* && "$text" != *'\r'* ]]; then
        pass "the clipboard's report has LF line ends"
    else
        fail "the clipboard's report: $(clipboard | head -c 200 | od -An -c | head -n 3)"
    fi
    stop_program
}
clipboard_has_lines() {
    [ "$(clipboard | wc -l)" -ge 2 ]
}

# A failed conversion beeps; without a sound device nothing reaches standard error (stop_program
# checks that for every run).
check_beep_is_quiet() {
    local folder=$tmp/beep
    install_program "$folder"
    start_program "$folder/tenvari" || return
    focus "$main_window"
    type_text '1/0'
    keys Return Return ctrl+d
    # Ctrl+C copies only once the failures are done: the queue of keys has been worked through.
    keys Return
    copy_expecting "$(current_report 0)" >/dev/null
    pass "three beeps ran"
    stop_program
}

# Where the settings file lives: beside a copy in a writable folder, named after the executable;
# in the user's folder when the program's folder is read-only, starting from the file beside it.
check_settings_location() {
    local folder=$tmp/renamed
    install_program "$folder" tv2
    start_program "$folder/tv2" || return
    stop_program
    if [ -f "$folder/tv2.ini" ] && [ ! -e "$folder/tenvari.ini" ]; then
        pass "a copy named tv2 keeps its settings in tv2.ini beside it"
    else
        fail "settings of tv2: $(ls "$folder")"
    fi

    folder=$tmp/installed
    install_program "$folder"
    printf '[StartUp]\nWinPos=1\nLeft=300\nTop=200\n' >"$folder/tenvari.ini"
    local user_config=$tmp/user-config runner=()
    if [ "$(id -u)" -eq 0 ]; then
        # Root may write anywhere: the program runs as an ordinary user.
        mkdir -p "$user_config" "$tmp/user-runtime" "$tmp/user-home"
        chown 65534:65534 "$user_config" "$tmp/user-runtime" "$tmp/user-home"
        chmod 700 "$tmp/user-runtime"
        runner=(setpriv --reuid=65534 --regid=65534 --clear-groups --
            env HOME="$tmp/user-home" XDG_RUNTIME_DIR="$tmp/user-runtime")
    else
        mkdir -p "$user_config"
    fi
    chmod 555 "$folder"
    XDG_CONFIG_HOME=$user_config start_program "$folder/tenvari" "${runner[@]}" || {
        chmod 755 "$folder"
        return
    }
    expect "with a read-only folder the settings beside the program are the defaults" \
        "300 200" "$(frame_corner "$main_window")"
    stop_program
    chmod 755 "$folder"
    local user_file=$user_config/tenvari/tenvari.ini
    if [ -f "$user_file" ] && [ "$(setting "$user_file" WinPos)" = 1 ] &&
        [ "$(setting "$user_file" Left) $(setting "$user_file" Top)" = "300 200" ] &&
        [ "$(setting "$user_file" LastUnits)" = 0 ]; then
        pass "the user's own file is written, starting from the defaults"
    else
        fail "the user's file: $(cat "$user_file" 2>&1)"
    fi
    expect "the file beside the program is left as it was" \
        "$(printf '[StartUp]\nWinPos=1\nLeft=300\nTop=200')" "$(cat "$folder/tenvari.ini")"
}

# ---- main --------------------------------------------------------------------------------------

for tool in Xvfb openbox xdotool xclip xprop xwininfo iconv; do
    command -v "$tool" >/dev/null || { echo "desktop suite: $tool is missing" >&2; exit 1; }
done
start_session

checks=("$@")
if [ ${#checks[@]} -eq 0 ]; then
    checks=(restart_loop offscreen_position_brought_back main_window_centred dialogs
        dialog_frames_every_showing top_most_keeps_place enter_in_open_list base_page_255
        paste_and_clipboard beep_is_quiet settings_location)
fi
for check in "${checks[@]}"; do
    echo "== $check"
    "check_$check"
    # A check that gave up leaves no program behind for the next.
    if [ -n "$program_pid" ]; then
        kill "$program_pid" 2>/dev/null
        wait "$program_pid" 2>/dev/null
        program_pid=
    fi
done

echo "desktop: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
