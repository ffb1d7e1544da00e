# The desktop the suite and the screenshot script run the program on: its own Xvfb and openbox,
# a user of its own (HOME and the XDG folders in a temporary folder), the program copied with its
# data, and the helpers that drive it with keys and read the desktop back. Sourced, after setting
#   program   the executable to copy (its data files lie beside it)
# It cleans up everything it started when the sourcing script exits.
here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
data=$(dirname "$program")
deadline=${TENVARI_DESKTOP_DEADLINE:-60}

# Without its tools the desktop cannot start: the caller is skipped (CTest's skip code 77) with
# one line that names the missing packages, as in a build that has only the build dependencies.
missing=()
for tool in Xvfb:xvfb openbox:openbox xdotool:xdotool xclip:xclip xprop:x11-utils \
    xwininfo:x11-utils; do
    command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "skipped: the desktop needs the packages $(printf '%s\n' "${missing[@]}" | sort -u |
        paste -sd ' ')"
    exit 77
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tenvari-desktop.XXXXXX")
chmod 755 "$tmp"
xvfb_pid=
wm_pid=
bus_pid=
suite_bus=
program_pid=
bus_group=
a11y_group=
listener_pid=
events=
main_window=
# Other programs a check starts (a covering window, a tray), ended with the session.
helper_pids=()
run=0

# A script that sources this under set -e must not end with a failure here: a killed process's
# wait returns its signal.
cleanup() {
    stop_accessibility
    for pid in "$program_pid" "${helper_pids[@]}" "$wm_pid" "$xvfb_pid"; do
        if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
    done
    for pid in "$program_pid" "${helper_pids[@]}" "$wm_pid" "$xvfb_pid"; do
        if [ -n "$pid" ]; then wait "$pid" 2>/dev/null || true; fi
    done
    # Forked by itself, so no child of ours.
    if [ -n "$bus_pid" ]; then kill "$bus_pid" 2>/dev/null || true; fi
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

source "$here/../support/checks.sh"

# ---- the session -------------------------------------------------------------------------------

start_session() {
    # Xvfb picks a free display and writes its number when it accepts connections. Without
    # -noreset it resets whenever its last client leaves: a poll that disconnects before openbox
    # has connected would then make openbox's connection fail.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$tmp/display" \
        >"$tmp/xvfb.log" 2>&1 &
    xvfb_pid=$!
    wait_for "Xvfb to start" test -s "$tmp/display" || { cat "$tmp/xvfb.log" >&2; exit 1; }
    export DISPLAY=":$(head -n 1 "$tmp/display")"
    openbox --sm-disable --config-file "$here/openbox-rc.xml" >"$tmp/openbox.log" 2>&1 &
    wm_pid=$!
    wait_for "openbox to manage the screen" wm_is_running ||
        { cat "$tmp/openbox.log" >&2; exit 1; }
    wait_for "the work area to leave room for the panels" work_area_is_set || exit 1

    # A session bus of its own, where the program claims its name: parallel runs never meet, and
    # none meets the tester's own session.
    dbus-daemon --session --fork --print-address=4 --print-pid=5 4>"$tmp/bus" 5>"$tmp/bus.pid" ||
        { echo "the session bus did not start" >&2; exit 1; }
    bus_pid=$(cat "$tmp/bus.pid")
    suite_bus=$(head -n 1 "$tmp/bus")
    export DBUS_SESSION_BUS_ADDRESS=$suite_bus
    unset TENVARI_NO_DBUS DESKTOP_STARTUP_ID XDG_ACTIVATION_TOKEN

    # The program sees a user of its own: nothing of the tester's desktop leaks in.
    export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data
    export XDG_STATE_HOME=$tmp/state XDG_CACHE_HOME=$tmp/cache XDG_RUNTIME_DIR=$tmp/runtime
    export LANG=C.UTF-8 LC_ALL=C.UTF-8
    unset QT_QPA_PLATFORM WAYLAND_DISPLAY XDG_SESSION_TYPE QT_SCALE_FACTOR
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME" "$XDG_CACHE_HOME" \
        "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
}

# xprop also succeeds when it only reports that the property is not set.
wm_is_running() {
    [[ $(xprop -root _NET_SUPPORTING_WM_CHECK) == *'window id'* ]]
}

work_area_is_set() {
    [ "$(work_area)" = "40 30 984 738" ]
}

# "x y width height" of the first desktop's work area.
work_area() {
    xprop -root -notype _NET_WORKAREA | sed 's/.*= *//; s/,//g' | cut -d' ' -f1-4
}

# ---- what a screen reader sees -------------------------------------------------------------------

# The interpreter with Debian's python3-pyatspi; another python3 earlier on the PATH may lack it.
python=${TENVARI_PYTHON:-$(command -v /usr/bin/python3 || command -v python3)}

# start_accessibility: a session bus of the suite's own with the AT-SPI bus on it, accessibility
# switched on as a screen reader switches it on, and a listener that writes every event it hears
# to $events. The program started next talks to that bus.
start_accessibility() {
    stop_accessibility
    local address=$tmp/session-bus.$run
    # Own process groups, so that stopping them takes the services they started too.
    setsid dbus-daemon --session --nofork --print-address=3 3>"$address" >/dev/null 2>&1 &
    bus_group=$!
    wait_for "the session bus" test -s "$address" || return 1
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$address")
    export DBUS_SESSION_BUS_ADDRESS
    setsid /usr/libexec/at-spi-bus-launcher --launch-immediately >"$tmp/at-spi.log" 2>&1 &
    a11y_group=$!
    wait_for "the AT-SPI bus" a11y_bus_is_up || { cat "$tmp/at-spi.log" >&2; return 1; }
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled \
        variant:boolean:true >/dev/null || return 1
    wait_for "accessibility to be on" a11y_is_enabled || return 1
    events=$tmp/events.$run
    "$python" "$here/atspi.py" listen "$events" 2>"$tmp/listener.log" &
    listener_pid=$!
    wait_for "the event listener" grep -qx ready "$events" || { cat "$tmp/listener.log" >&2; return 1; }
}

a11y_bus_is_up() {
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress
}

a11y_is_enabled() {
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.freedesktop.DBus.Properties.Get string:org.a11y.Status string:IsEnabled |
        grep -q 'boolean true'
}

stop_accessibility() {
    if [ -n "$listener_pid" ]; then
        kill "$listener_pid" 2>/dev/null
        wait "$listener_pid" 2>/dev/null
    fi
    for group in "$a11y_group" "$bus_group"; do
        if [ -n "$group" ]; then
            kill -- "-$group" 2>/dev/null
            wait "$group" 2>/dev/null
        fi
    done
    listener_pid= a11y_group= bus_group=
    # Back on the suite's own session bus.
    export DBUS_SESSION_BUS_ADDRESS=$suite_bus
}

# AT-SPI queries of the running program (atspi.py status, focused).
atspi() {
    "$python" "$here/atspi.py" "$@"
}

# has_event TYPE ROLE NAME [DATA]: the listener heard such an event (detail1 1 for state changes).
has_event() {
    awk -F'\t' -v type="$1" -v role="$2" -v name="$3" -v data="${4-}" '
        $1 == type && $2 == role && ($3 == name || $4 == name) &&
        (type !~ /state-changed/ || $5 == "1") && (data == "" || $6 == data) { found = 1 }
        END { exit !found }' "$events"
}

# The last object that took the focus as "role name"; a list by its label, as screen readers
# name it (Qt names a drop-down list by its chosen entry).
last_focus() {
    awk -F'\t' '$1 == "object:state-changed:focused" && $5 == "1" {
        last = $2 " " ($2 == "combo box" && $4 != "" ? $4 : $3) } END { print last }' "$events"
}

focus_count() {
    awk -F'\t' '$1 == "object:state-changed:focused" && $5 == "1"' "$events" | wc -l
}

# next_focus KEY...: presses the keys and prints where the focus went.
next_focus() {
    local before
    before=$(focus_count)
    keys "$@"
    wait_for "the focus to move after $*" focus_moved_since "$before"
    last_focus
}

focus_moved_since() {
    [ "$(focus_count)" -gt "$1" ]
}

# ---- the program -------------------------------------------------------------------------------

# install_program FOLDER [NAME]: a copy of the program and its data, as a user would unpack it.
install_program() {
    mkdir -p "$1"
    cp "$program" "$1/${2:-tenvari}"
    cp "$data/units.dat" "$data/prefix.dat" "$1/"
}

# start_program EXECUTABLE [COMMAND PREFIX...]: starts it, with the arguments in program_args
# when set, and waits for its main window.
program_args=()
start_program() {
    local executable=$1
    shift
    run=$((run + 1))
    stderr=$tmp/stderr.$run
    "$@" "$executable" "${program_args[@]}" 2>"$stderr" &
    program_pid=$!
    main_window=
    if wait_for "the main window" find_main_window &&
        wait_for "the main window's frame" has_frame "$main_window"; then
        return 0
    fi
    fail "run $run: the main window did not appear"
    cat "$stderr" >&2
    return 1
}

find_main_window() {
    main_window=$(xdotool search --onlyvisible --name '^Tenvari - ' 2>/dev/null | head -n 1)
    [ -n "$main_window" ]
}

# stop_program: Ctrl+Q in the main window; the program must end and have written nothing to
# standard error.
stop_program() {
    [ -n "$program_pid" ] || return 0
    focus "$main_window" && xdotool key ctrl+q
    if wait_for "the program to end" program_ended; then
        wait "$program_pid"
        local status=$?
        [ "$status" -eq 0 ] || fail "run $run: exit status $status"
    else
        fail "run $run: the program did not end after Ctrl+Q"
        kill "$program_pid" 2>/dev/null
        wait "$program_pid" 2>/dev/null
    fi
    program_pid=
    if [ -s "$stderr" ]; then
        fail "run $run wrote to standard error:"
        sed 's/^/    /' "$stderr" >&2
    fi
}

program_ended() {
    ! kill -0 "$program_pid" 2>/dev/null
}

focus() {
    timeout 10 xdotool windowactivate --sync "$1" >/dev/null 2>&1 ||
        wait_for "window $1 to take the focus" is_active "$1"
}

is_active() {
    [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]
}

# keys KEY...: presses keys one after another in the focused window.
keys() {
    xdotool key --delay 30 "$@"
}

type_text() {
    xdotool type --delay 30 "$1"
}

# ---- reading the desktop -----------------------------------------------------------------------

has_frame() {
    [ -n "$(frame_extents "$1")" ] && is_viewable "$1"
}

# "left right top bottom" of the frame the window manager gave the window.
frame_extents() {
    xprop -id "$1" -notype _NET_FRAME_EXTENTS 2>/dev/null | grep -o '= .*' | sed 's/= //; s/,//g'
}

# "x y" of the outer frame's top-left corner.
frame_corner() {
    local info left top
    info=$(xwininfo -id "$1")
    read -r left _ top _ <<<"$(frame_extents "$1")"
    echo "$(($(field "$info" 'Absolute upper-left X') - left))" \
        "$(($(field "$info" 'Absolute upper-left Y') - top))"
}

# "width height" of the outer frame.
frame_size() {
    local info left right top bottom
    info=$(xwininfo -id "$1")
    read -r left right top bottom <<<"$(frame_extents "$1")"
    echo "$(($(field "$info" 'Width') + left + right))" "$(($(field "$info" 'Height') + top + bottom))"
}

field() {
    printf '%s\n' "$1" | sed -n "s/^ *$2: *//p"
}

is_viewable() {
    xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'
}

# The corner that centres a frame of the window's size on the work area.
centred_corner() {
    local x y w h fw fh
    read -r x y w h <<<"$(work_area)"
    read -r fw fh <<<"$(frame_size "$1")"
    echo "$((x + (w - fw) / 2))" "$((y + (h - fh) / 2))"
}

# wait_window TITLE: the id of the visible window with exactly that title, once it has its frame.
wait_window() {
    local title=$1 id=
    local end=$((SECONDS + deadline))
    while [ "$SECONDS" -lt "$end" ]; do
        id=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1)
        if [ -n "$id" ] && has_frame "$id"; then
            echo "$id"
            return 0
        fi
        sleep 0.05
    done
    echo "timed out waiting for the window \"$title\"" >&2
    return 1
}

window_gone() {
    ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1
}

clipboard() {
    xclip -o -selection clipboard 2>/dev/null
}

clipboard_is() {
    [ "$(clipboard)" = "$1" ]
}

# Ctrl+C, then waits until the clipboard holds the expected text; the text it holds otherwise.
copy_expecting() {
    keys ctrl+c
    wait_for "the clipboard to hold \"$1\"" clipboard_is "$1"
    clipboard
}

# Ctrl+C over a marker put on the clipboard first; prints what the program copied.
copy_anew() {
    printf 'marker' | xclip -selection clipboard
    wait_for "the marker on the clipboard" clipboard_is marker
    keys ctrl+c
    wait_for "the program to copy" clipboard_is_not marker
    clipboard
}

clipboard_is_not() {
    [ "$(clipboard)" != "$1" ]
}

setting() {
    sed -n "s/^$2=//p" "$1" | head -n 1
}

title_of() {
    xdotool getwindowname "$1"
}

title_is() {
    [ "$(title_of "$main_window")" = "$1" ]
}

