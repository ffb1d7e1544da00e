# The checks of the shell suites (the desktop and D-Bus suites, the install check): each check
# counts as passed or failed and prints one line; the caller reports the counts at its end.
# Sourced; wait_for polls until $deadline seconds have passed (60 unless the caller sets it).

passed=0
failed=0
deadline=${deadline:-60}

pass() {
    passed=$((passed + 1))
    echo "ok: $1"
}
fail() {
    failed=$((failed + 1))
    echo "FAILED: $1" >&2
}
# expect WHAT EXPECTED ACTUAL
expect() {
    if [ "$2" = "$3" ]; then
        pass "$1"
    else
        fail "$1: expected [$2], got [$3]"
    fi
}

# wait_for DESCRIPTION COMMAND...: polls COMMAND until it succeeds; false after the deadline.
wait_for() {
    local what=$1
    shift
    local end=$((SECONDS + deadline))
    until "$@" >/dev/null 2>&1; do
        if [ "$SECONDS" -ge "$end" ]; then
            echo "timed out after ${deadline} s waiting for: $what" >&2
            return 1
        fi
        sleep 0.05
    done
}
