# What the end-to-end scripts share; they source it first. It makes $work, a fresh folder,
# and at the end removes it and kills the processes named in $pid (the program under test)
# and $wm (a window manager). fail and pass report a check; fail counts, e2e_end turns the
# count into the script's exit status.
work=$(mktemp -d "${TMPDIR:-/tmp}/klov-e2e.XXXXXX") || exit 1
pid=""
wm=""
cleanup() {
    for p in $pid $wm; do
        kill -9 "$p" 2>/dev/null
        wait "$p" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
pass() {
    echo "ok: $*"
}
# fail_now: for scripts whose every step needs the one before; the first failure ends it,
# with the end of what the program wrote.
fail_now() {
    echo "FAILED: $*"
    for f in "$work"/out "$work"/err; do
        [ -s "$f" ] && { echo "--- $(basename "$f") of the program:"; tail -20 "$f"; }
    done
    exit 1
}
e2e_end() {
    if [ "$failures" != 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "$1"
    exit 0
}

running() {
    kill -0 "$pid" 2>/dev/null
}

# wait_window NAME: waits up to 10 s for the program in $pid to show a window named NAME;
# sets win. Without one it prints what the program wrote ($work/out, $work/err), fails.
wait_window() {
    win=""
    i=0
    while [ -z "$win" ] && [ "$i" -lt 100 ] && running; do
        win=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
        i=$((i + 1))
        [ -n "$win" ] || sleep 0.1
    done
    if [ -z "$win" ]; then
        echo "no window named $1; its output:" >&2
        cat "$work/out" "$work/err" >&2 2>/dev/null
        return 1
    fi
}

# finish SECONDS: waits for the program in $pid to end; sets status to its exit status, or
# to "running" when it is still running after that time.
finish() {
    i=0
    while running && [ "$i" -lt $(($1 * 10)) ]; do
        i=$((i + 1))
        sleep 0.1
    done
    if running; then
        status=running
        return
    fi
    wait "$pid"
    status=$?
    pid=""
}

# ended_cleanly PROGRAM HOW: after PROGRAM ended on HOW (a key), its status was 0 and it
# printed nothing.
ended_cleanly() {
    if [ "$status" = 0 ]; then
        pass "$2 ends $1 with status 0"
    else
        fail "$2: $1 status $status"
    fi
    if [ -s "$work/out" ] || [ -s "$work/err" ]; then
        fail "$1 printed something:"
        cat "$work/out" "$work/err" >&2
    fi
}

# end_on KEY: holds KEY until the program ends (10 s at most); sets status as finish does.
end_on() {
    xdotool keydown "$1"
    finish 10
    xdotool keyup "$1"
}

# scene_shot CHECKER DATA NAME SPRITES: a screenshot of $win as $work/NAME.ppm, judged by
# the screenshot checker, whose status it returns. The text scrolls in from the right edge,
# and the checker needs some of it to tell the frame; an unpaced intro on a slow machine may
# not be that far yet, so a picture with too little text is taken again, for up to 20 s.
scene_shot() {
    tries=0
    while :; do
        /usr/bin/import -window "$win" -depth 8 "ppm:$work/$3.ppm" || return 1
        "$1" "$2" "$work/$3.ppm" "$4" >"$work/$3.log" 2>&1
        rc=$?
        tries=$((tries + 1))
        if [ "$rc" = 0 ] || [ "$tries" -ge 20 ] ||
            ! grep -q '^text line in the bar colours' "$work/$3.log"; then
            cat "$work/$3.log"
            return "$rc"
        fi
        sleep 1
    done
}
