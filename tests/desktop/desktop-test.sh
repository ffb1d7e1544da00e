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
    local folder=$tmp/topmost before window
    install_program "$folder"
    start_program "$folder/tenvari" || return
    before=$(frame_corner "$main_window")
    window=$main_window
    focus "$main_window" && keys ctrl+f
    if wait_for "the window to be above the others" is_above "$main_window"; then
        pass "Ctrl+F puts the main window above the others"
    else
        fail "Ctrl+F: no _NET_WM_STATE_ABOVE"
    fi
    wait_for "the main window after top-most" find_main_window
    wait_for "its frame" has_frame "$main_window"
    expect "top-most on keeps the frame's place" "$before" "$(frame_corner "$main_window")"
    expect "top-most on keeps the X window" "$window" "$main_window"
    focus "$main_window" && keys ctrl+f
    wait_for "the window to leave the top" not_above "$main_window"
    wait_for "the main window after top-most" find_main_window
    wait_for "its frame" has_frame "$main_window"
    expect "top-most off keeps the frame's place" "$before" "$(frame_corner "$main_window")"
    expect "top-most off keeps the X window" "$window" "$main_window"
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
    # From the value box: the source unit list, the output box, the target unit list, the group
    # list.
    keys Tab Tab Tab Tab alt+Down Down Return
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
# in the user's folder when the program's folder is read-only, starting from the file beside it;
# and for an installed program (its data in ../share/tenvari), run by whoever can write its
# folder, always in the user's folder, starting from the administrator's defaults in
# $XDG_CONFIG_DIRS.
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
        # Root may write anywhere: the program runs as an ordinary user, with a history folder
        # of that user's.
        mkdir -p "$user_config" "$tmp/user-runtime" "$tmp/user-home" "$tmp/user-state"
        chown 65534:65534 "$user_config" "$tmp/user-runtime" "$tmp/user-home" "$tmp/user-state"
        chmod 700 "$tmp/user-runtime"
        runner=(setpriv --reuid=65534 --regid=65534 --clear-groups --
            env HOME="$tmp/user-home" XDG_RUNTIME_DIR="$tmp/user-runtime"
            XDG_STATE_HOME="$tmp/user-state")
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

    local prefix=$tmp/usr defaults=$tmp/etc-xdg/tenvari/tenvari.ini
    mkdir -p "$prefix/bin" "$prefix/share/tenvari" "${defaults%/*}"
    cp "$program" "$prefix/bin/tenvari"
    cp "$data/units.dat" "$data/prefix.dat" "$prefix/share/tenvari/"
    printf '[StartUp]\nWinPos=1\nLeft=260\nTop=120\n' >"$defaults"
    user_config=$tmp/installed-config
    XDG_CONFIG_HOME=$user_config XDG_CONFIG_DIRS=$tmp/none:$tmp/etc-xdg \
        start_program "$prefix/bin/tenvari" || return
    expect "installed, the administrator's file is the defaults" "260 120" \
        "$(frame_corner "$main_window")"
    stop_program
    user_file=$user_config/tenvari/tenvari.ini
    expect "installed, the user's own file is written" "1 260 120" \
        "$(setting "$user_file" WinPos) $(setting "$user_file" Left) $(setting "$user_file" Top)"
    expect "installed, nothing is written beside the program, even by $(id -un)" "tenvari" \
        "$(ls "$prefix/bin")"
    expect "the administrator's file is left as it was" \
        "$(printf '[StartUp]\nWinPos=1\nLeft=260\nTop=120')" "$(cat "$defaults")"
}

# A screen reader hears every outcome: the status notification is announced after 5 Enter, and
# read as text; a batch is quiet until its end and writes nothing to standard error; the search
# field keeps the focus while one types, the hit told as the selection; the output box says when
# it holds an earlier result; and top-most neither hides nor replaces anything.
check_screen_reader() {
    local folder=$tmp/reader window
    install_program "$folder"
    start_accessibility || { fail "the AT-SPI bus did not start"; return; }
    start_program "$folder/tenvari" || return
    focus "$main_window"
    type_text 5
    keys Return
    if wait_for "the outcome announced" has_event object:state-changed:showing notification \
        "単位変換：変換完了"; then
        pass "after 5 Enter the status notification is announced"
    else
        fail "after 5 Enter no announcement of the outcome"
    fi
    if has_event object:text-changed:insert notification "単位変換：変換完了" "単位変換：変換完了"; then
        pass "a text event carries the status text"
    else
        fail "no text event carries the status text"
    fi
    expect "the status is readable as text" "単位変換：変換完了" "$(atspi status)"
    expect "one object has the focus" "$(printf 'text\t変換前 値')" "$(atspi focused)"

    type_text /0
    keys Return
    if wait_for "the failure announced" has_event object:state-changed:showing notification \
        "ZeroDivide Error."; then
        pass "a failure is announced"
    else
        fail "no announcement of the failure"
    fi
    if wait_for "the output marked as earlier" has_event \
        object:property-change:accessible-description text "変換後 値" "前回の結果"; then
        pass "the output box tells that it holds the earlier result"
    else
        fail "the output box does not tell that it holds the earlier result"
    fi

    # A batch: a flood of events would make a screen reader drop them all.
    local before
    before=$(wc -l <"$events")
    keys shift+Return
    window=$(wait_window "変換結果") || { fail "Shift+Enter opened no results window"; stop_program; return; }
    if wait_for "the batch announced" has_event object:state-changed:showing notification \
        "単位変換：一括変換完了"; then
        pass "the end of a batch is announced"
    else
        fail "no announcement of the end of the batch"
    fi
    local during
    during=$(tail -n +"$((before + 1))" "$events" | grep -c 'combo box' || true)
    if [ "$during" -le 4 ]; then
        pass "the batch tells no unit list change per unit ($during events)"
    else
        fail "the batch told $during unit list events"
    fi
    focus "$window" && keys Escape
    wait_for "the results window to close" window_gone "変換結果"

    focus "$main_window"
    keys ctrl+k
    window=$(wait_window "単位の検索") || { fail "Ctrl+K opened no search"; stop_program; return; }
    wait_for "the search field to take the focus" focus_is "text 検索"
    before=$(wc -l <"$events")
    type_text mi
    keys Down
    if wait_for "a hit to be told as selected" selected_after "$before"; then
        pass "the current hit is told as the list's selection"
    else
        fail "no hit was told as selected"
    fi
    if focus_moved_after "$before"; then
        fail "typing in the search moved the focus to $(last_focus)"
    else
        pass "typing in the search field leaves the focus there"
    fi
    focus "$window" && keys Escape
    wait_for "the search to close" window_gone "単位の検索"

    # Top-most is the window manager's state of the same window: nothing is hidden or shown.
    focus "$main_window"
    before=$(wc -l <"$events")
    keys ctrl+f
    wait_for "the window to be above the others" is_above
    keys ctrl+f
    wait_for "the window to leave the top" not_above
    if tail -n +"$((before + 1))" "$events" | grep -q '^object:state-changed:showing'; then
        fail "top-most hid and showed objects"
    else
        pass "top-most hides and shows no object"
    fi
    stop_program
    stop_accessibility
}
focus_is() {
    [ "$(last_focus)" = "$1" ]
}
# focus_arrived COUNT NAME: the focus has moved since COUNT focus events, and is now on NAME.
focus_arrived() {
    focus_moved_since "$1" && focus_is "$2"
}
# selected_after LINE: a row of a list was selected in an event after that line of the log.
selected_after() {
    tail -n +"$(($1 + 1))" "$events" |
        awk -F'\t' '$1 == "object:state-changed:selected" && $2 == "table cell" && $5 == "1" {
            found = 1 } END { exit !found }'
}
# focus_moved_after LINE: an object took the focus in an event after that line of the log.
focus_moved_after() {
    tail -n +"$(($1 + 1))" "$events" |
        awk -F'\t' '$1 == "object:state-changed:focused" && $5 == "1" { found = 1 }
            END { exit !found }'
}

# Tab runs top to bottom, left to right, on both pages and in every dialog, which opens with the
# focus on its first control; a screen reader follows the focus events.
check_focus_chains() {
    local folder=$tmp/chains row title open first chain name step expected got home moves
    install_program "$folder"
    start_accessibility || { fail "the AT-SPI bus did not start"; return; }
    start_program "$folder/tenvari" || return
    focus "$main_window"
    wait_for "the value box to take the focus" focus_is "text 変換前 値"
    # where|keys that open it|first control|the focus after each Tab, back to the first
    for row in \
        "unit page|||combo box 変換前 単位;text 変換後 値;combo box 変換後 単位;combo box 集団;page tab list 単位変換;text 変換前 値" \
        "base page|alt+b|text 変換前 値|text 入力の基数;push button 入力の基数 2;push button 入力の基数 8;push button 入力の基数 10;push button 入力の基数 16;text 変換後 値;text 出力の基数;push button 出力の基数 2;push button 出力の基数 8;push button 出力の基数 10;push button 出力の基数 16;page tab list 基数変換;text 変換前 値" \
        "設定|ctrl+s|radio button デスクトップの中央|radio button 集団リストの先頭;push button OK;push button キャンセル;page tab list 起動時;radio button デスクトップの中央" \
        "バージョン情報|alt+o a|push button OK|label Mail info@tenvari.example.org;label URL https://tenvari.example.org/;push button OK" \
        "変換結果|shift+Return|push button 閉じる|text 変換結果;push button 閉じる" \
        "単位の検索|ctrl+k|text 検索|push button 変換前の単位に;push button 変換後の単位に;push button キャンセル;text 検索"; do
        IFS='|' read -r title open first chain <<<"$row"
        name=$title
        if [ -n "$first" ]; then
            focus "$main_window"
            # The base page's value box has the unit page's name: only a focus event after the
            # keys shows that the page has switched.
            moves=$(focus_count)
            # shellcheck disable=SC2086 # one key or a sequence of them
            keys $open
            # A menu or a mnemonic may take the focus on the way.
            if wait_for "$name to open with the focus on $first" focus_arrived "$moves" "$first"; then
                pass "$name opens with the focus on its first control"
            else
                fail "$name opens with the focus on [$(last_focus)], not on [$first]"
            fi
        fi
        got=()
        IFS=';' read -r -a expected <<<"$chain"
        for step in "${expected[@]}"; do
            got+=("$(next_focus Tab)")
        done
        expect "$name: the focus order by Tab" "$(printf '%s;' "${expected[@]}")" \
            "$(printf '%s;' "${got[@]}")"
        if [ "$title" != "unit page" ] && [ "$title" != "base page" ]; then
            keys Escape
            wait_for "$title to close" window_gone "$title"
            wait_for "the focus back in the main window" focus_is "$home"
        else
            home=$(last_focus)
        fi
    done
    stop_program
    stop_accessibility
}

# Without a program to open them, help, the about dialog's links and the user's units file are
# named in a warning; nothing reaches standard error. The about dialog closes with Enter at every
# opening, also after its link had the focus.
check_nothing_to_open_with() {
    local folder=$tmp/no-opener dialog box row what open inside
    install_program "$folder"
    cp "$data/readme.txt" "$folder/"
    mkdir -p "$tmp/empty-path"
    # No xdg-open, no browser: nothing on the path opens anything.
    start_program "$folder/tenvari" env PATH="$tmp/empty-path" || return
    for row in "help|F1|" "the user's units file|alt+o e|" "the mail link|alt+o a|Tab Return"; do
        IFS='|' read -r what open inside <<<"$row"
        focus "$main_window"
        # shellcheck disable=SC2086 # a sequence of keys
        keys $open
        if [ -n "$inside" ]; then
            dialog=$(wait_window "バージョン情報") || { fail "no about dialog"; continue; }
            # shellcheck disable=SC2086
            focus "$dialog" && keys $inside
        fi
        if box=$(wait_window "警告"); then
            pass "without a program for $what a warning names it"
            focus "$box" && keys Return
            wait_for "the warning to close" window_gone "警告"
        else
            fail "without a program for $what no warning"
        fi
    done
    wait_for "the about dialog to close after its link" window_gone "バージョン情報"
    focus "$main_window"
    keys alt+o a
    dialog=$(wait_window "バージョン情報") || { fail "no about dialog"; stop_program; return; }
    focus "$dialog" && keys Return
    if wait_for "the about dialog to close" window_gone "バージョン情報" && window_gone "警告"; then
        pass "Enter closes the about dialog at its next opening"
    else
        fail "Enter did not close the about dialog"
    fi
    stop_program
}

# The window's class is the one the desktop entry names, so a desktop matches them.
check_window_identity() {
    local folder=$tmp/identity entry wm_class
    install_program "$folder"
    start_program "$folder/tenvari" || return
    entry=$(sed -n 's/^StartupWMClass=//p' "$here/../../data/io.github.tenvari.Tenvari.desktop")
    wm_class=$(xprop -id "$main_window" -notype WM_CLASS | sed 's/.*= *//')
    expect "WM_CLASS is the desktop entry's StartupWMClass" "\"tenvari\", \"$entry\"" "$wm_class"
    stop_program
}

# The program killed (SIGKILL) right after it showed a result, ten times in a row: the history
# stays a sound database and holds every result that was shown.
check_history_survives_kill() {
    local folder=$tmp/history db=$XDG_STATE_HOME/tenvari/history.sqlite i expected= killed
    install_program "$folder"
    rm -rf "$XDG_STATE_HOME/tenvari"
    for i in 1 2 3 4 5 6 7 8 9 10; do
        start_program "$folder/tenvari" || return
        focus "$main_window"
        type_text "$i"
        keys Return
        # The report on the clipboard: the conversion has run and its result is shown.
        copy_expecting "$(current_report "$i")" >/dev/null
        kill -KILL "$program_pid"
        wait "$program_pid" 2>/dev/null
        killed=$?
        program_pid=
        [ "$killed" -eq 137 ] || fail "run $i: ended with $killed before it was killed"
        [ ! -s "$stderr" ] || fail "run $i wrote to standard error: $(head -c 300 "$stderr")"
        expected+="$i=$i "
    done
    expect "after ten kills the history passes its integrity check" ok \
        "$(sqlite3 "$db" 'PRAGMA integrity_check')"
    expect "every result shown before a kill is in the history" "$expected" \
        "$(sqlite3 "$db" "SELECT value || '=' || result FROM entries ORDER BY id" | tr '\n' ' ')"
}

# tenvari QUERY starts the window on the conversion, and hands a query to a running window; the
# report is the one tenvari-cli gives. A query that is none is refused with its message.
check_query_shows_conversion() {
    local folder=$tmp/query cli status
    install_program "$folder"
    cli=("$data/tenvari-cli" --data "$data" --no-user-data)
    program_args=(5 ft to m)
    start_program "$folder/tenvari" || { program_args=(); return; }
    program_args=()
    focus "$main_window"
    expect "tenvari 5 ft to m starts on the conversion" "$("${cli[@]}" 5 ft to m)" \
        "$(copy_anew)"
    expect "its group" "Tenvari - 長さ" "$(title_of "$main_window")"
    "$folder/tenvari" 1坪をm2に 2>"$tmp/query.err"
    expect "a second start with a query ends with 0" 0 "$?"
    wait_for "the window to take the focus" is_active "$main_window"
    wait_for "the group of the query" title_is "Tenvari - 面積"
    expect "the running window shows the query" "$("${cli[@]}" 1坪をm2に)" "$(copy_anew)"
    "$folder/tenvari" hello 2>"$tmp/query.err"
    status=$?
    expect "a text that is no query ends with 2" 2 "$status"
    expect "and says why" "tenvari: 「hello」は単位変換の式ではありません" "$(cat "$tmp/query.err")"
    stop_program
}

# A second start brings the first window to the front, over a window that had the focus, with the
# focus in the value box, and ends with 0 and nothing on standard error: one window stays.
check_second_launch_raises() {
    local folder=$tmp/second cover status
    install_program "$folder"
    start_program "$folder/tenvari" || return
    cover=$(open_cover) || { fail "the covering window did not appear"; stop_program; return; }
    "$folder/tenvari" 2>"$tmp/second.err"
    status=$?
    expect "the second start ends with 0" 0 "$status"
    expect "the second start writes nothing" "" "$(cat "$tmp/second.err")"
    if wait_for "the main window to take the focus" is_active "$main_window"; then
        pass "the second start gives the first window the focus"
    else
        fail "the active window is $(xdotool getactivewindow getwindowname 2>&1)"
    fi
    expect "one main window" 1 "$(xdotool search --onlyvisible --name '^Tenvari - ' | wc -l)"
    expect "the main window is above the window that had the focus" "$main_window" \
        "$(upper_of "$main_window" "$cover")"
    # The value box has the focus with its text selected: typing replaces it.
    type_text 12
    keys Return
    expect "typing after the second start converts in the value box" "$(current_report 12)" \
        "$(copy_expecting "$(current_report 12)")"
    stop_program
}

# --toggle hides the focused window, and shows it again at the front.
check_toggle() {
    local folder=$tmp/toggle cover
    install_program "$folder"
    start_program "$folder/tenvari" || return
    focus "$main_window"
    "$folder/tenvari" --toggle
    expect "tenvari --toggle ends with 0" 0 "$?"
    if wait_for "the window to hide" not_viewable "$main_window"; then
        pass "--toggle hides the focused window"
    else
        fail "--toggle left the focused window shown"
    fi
    cover=$(open_cover) || { fail "the covering window did not appear"; stop_program; return; }
    "$folder/tenvari" --toggle
    if wait_for "the window to come back" is_viewable "$main_window" &&
        wait_for "the window to take the focus" is_active "$main_window"; then
        pass "--toggle shows the hidden window with the focus"
    else
        fail "--toggle did not bring the window back"
    fi
    expect "the shown window is above the others" "$main_window" "$(upper_of "$main_window" "$cover")"
    # Shown but behind another window: toggling brings it forward rather than hiding it.
    focus "$cover"
    "$folder/tenvari" --toggle
    wait_for "the window to take the focus" is_active "$main_window"
    if is_viewable "$main_window" && is_active "$main_window"; then
        pass "--toggle brings a window that lies behind another to the front"
    else
        fail "--toggle on a window behind another"
    fi
    stop_program
}

# With the tray on and a tray on the desktop (trayer, an XEmbed tray): the window manager's close
# hides the window to the tray and writes the settings, a click on the icon shows it, the tray
# menu's quit and Ctrl+Q end the program.
check_tray() {
    local folder=$tmp/tray icon corner
    install_program "$folder"
    printf '[Desktop]\nTrayIcon=1\n' >"$folder/tenvari.ini"
    trayer --edge bottom --align right --widthtype request --height 24 --SetDockType true \
        >"$tmp/trayer.log" 2>&1 &
    helper_pids+=($!)
    wait_for "the tray" find_tray || { fail "trayer did not start"; return; }
    start_program "$folder/tenvari" || return
    icon=$(wait_for "the tray icon" find_tray_icon && find_tray_icon) ||
        { fail "no icon in the tray"; stop_program; return; }
    pass "the icon is in the tray"
    corner=$(frame_corner "$main_window")
    focus "$main_window" && keys alt+F4
    if wait_for "the window to hide" not_viewable "$main_window" && kill -0 "$program_pid"; then
        pass "closing the window hides it to the tray; the program runs on"
    else
        fail "closing the window with the tray on"
    fi
    expect "the close wrote the window's place" "$corner" \
        "$(setting "$folder/tenvari.ini" Left) $(setting "$folder/tenvari.ini" Top)"
    click_window "$icon" 1
    if wait_for "the window to come back" is_viewable "$main_window"; then
        pass "a click on the icon shows the window"
    else
        fail "a click on the icon did not show the window"
    fi
    # A click within the double-click time is a double click, which does nothing.
    wait_for "a click to hide the window" click_hides "$icon" &&
        pass "a second click hides it" || fail "a second click left the window shown"
    # The keys go to the menu only once it is shown and holds the keyboard.
    wait_for "the tray menu" click_opens_menu "$icon" || fail "a right click opened no tray menu"
    keys Up Return
    if wait_for "the program to end" program_ended; then
        wait "$program_pid"
        expect "the tray menu's quit ends the program with 0" 0 "$?"
        program_pid=
    else
        fail "the tray menu's quit did not end the program"
    fi
    start_program "$folder/tenvari" || return
    stop_program
    pass "Ctrl+Q ends the program with the tray on"
}
find_tray() {
    xdotool search --class trayer >/dev/null
}
# The id of the window Qt embeds in the tray.
find_tray_icon() {
    local panel
    for panel in $(xdotool search --class trayer); do
        xwininfo -tree -id "$panel" | sed -n 's/^ *\(0x[0-9a-f]*\) "Tenvari".*/\1/p' | head -n 1
    done | grep . | head -n 1
}
click_hides() { # ICON
    click_window "$1" 1
    local end=$((SECONDS + 2))
    until not_viewable "$main_window"; do
        [ "$SECONDS" -lt "$end" ] || return 1
        sleep 0.05
    done
}
# A right click on the icon, again until its menu shows: the menu is the program's one viewable
# window besides the icon.
click_opens_menu() { # ICON
    click_window "$1" 3
    local end=$((SECONDS + 2)) window
    while [ "$SECONDS" -lt "$end" ]; do
        for window in $(xdotool search --onlyvisible --pid "$program_pid"); do
            [ $((window)) -ne $(($1)) ] && is_viewable "$window" && return 0
        done
        sleep 0.05
    done
    return 1
}
click_window() { # WINDOW BUTTON
    local info
    info=$(xwininfo -id "$1")
    xdotool mousemove "$(($(field "$info" 'Absolute upper-left X') + $(field "$info" 'Width') / 2))" \
        "$(($(field "$info" 'Absolute upper-left Y') + $(field "$info" 'Height') / 2))" click "$2"
}

# open_cover: a window over most of the work area that takes the focus; prints its id.
open_cover() {
    xmessage -geometry 800x650+50+40 "cover" >/dev/null 2>&1 &
    helper_pids+=($!)
    local id
    id=$(wait_window xmessage) || return 1
    focus "$id" || return 1
    echo "$id"
}
not_viewable() {
    ! is_viewable "$1"
}
# Of two windows, the one higher in the window manager's stacking order.
upper_of() {
    xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/, /\n/g' |
        while read -r id; do
            [ $((id)) -eq $(($1)) ] && echo "$1"
            [ $((id)) -eq $(($2)) ] && echo "$2"
        done | tail -n 1
}

# ---- main --------------------------------------------------------------------------------------

# Beyond the desktop's own tools (session.sh), the checks need a session bus, the AT-SPI bus and
# its Python bindings, and sqlite3 to read the history back; without them the suite is skipped.
missing=()
for tool in dbus-daemon:dbus dbus-send:dbus sqlite3:sqlite3 xmessage:x11-utils trayer:trayer \
    iconv:libc-bin setsid:util-linux; do
    command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
done
[ -x /usr/libexec/at-spi-bus-launcher ] || missing+=(at-spi2-core)
"$python" -c 'import pyatspi' 2>/dev/null || missing+=(python3-pyatspi)
if [ ${#missing[@]} -gt 0 ]; then
    echo "skipped: the desktop suite needs the packages $(printf '%s\n' "${missing[@]}" |
        sort -u | paste -sd ' ')"
    exit 77
fi
start_session

checks=("$@")
if [ ${#checks[@]} -eq 0 ]; then
    checks=(restart_loop offscreen_position_brought_back main_window_centred dialogs
        dialog_frames_every_showing top_most_keeps_place enter_in_open_list base_page_255
        paste_and_clipboard beep_is_quiet settings_location screen_reader focus_chains
        nothing_to_open_with window_identity history_survives_kill second_launch_raises toggle
        tray query_shows_conversion)
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
