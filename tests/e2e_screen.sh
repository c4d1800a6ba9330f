#!/bin/sh
# The two programs as a person uses them, on the X display in $DISPLAY (see with_xvfb.sh):
# the window, its size and its picture, the keys that end it and those that do not, the
# window manager's close request. (The full-screen program: e2e_full_screen.sh.)
# Usage: e2e_screen.sh KLOV4402 CLOSE_REQUEST SOURCE_DIR
set -u
klov4402=$1
close_request=$2
source_dir=$3
convert=/usr/bin/convert
import=/usr/bin/import

. "$(dirname "$0")/e2e_common.sh"

# The programs run in a folder of their own with the data files, as from the README.
mkdir -p "$work/run"
if [ -d "$source_dir/data" ]; then
    cp -R "$source_dir/data/." "$work/run/"
fi

# start PROGRAM: starts it in the run folder and waits for its window; sets pid and win.
start() {
    name=$(basename "$1" | tr a-z A-Z)
    (cd "$work/run" && exec "$1") >"$work/out" 2>"$work/err" &
    pid=$!
    wait_window "$name" || return 1
    # Several frames have been shown before the tests look at the window.
    sleep 0.5
    return 0
}

# Without a window manager, keys go to the window under the pointer. (No --sync: it waits
# for a motion that never comes when the pointer is there already.)
point_at() {
    xdotool mousemove --window "$1" 320 240 2>/dev/null
    sleep 0.2
}

stop() {
    if [ -n "$pid" ]; then
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        pid=""
    fi
}

# hold KEYS: holds the keys long enough for many frames to see them.
hold() {
    xdotool keydown "$1"
    sleep 0.3
    xdotool keyup "$1"
    sleep 0.1
}

# klov4402: a 640 x 480 window named by its caption, showing the scene.
if start "$klov4402"; then
    xwininfo -id "$win" >"$work/wininfo"
    w=$(sed -n 's/^ *Width: //p' "$work/wininfo")
    h=$(sed -n 's/^ *Height: //p' "$work/wininfo")
    state=$(sed -n 's/^ *Map State: //p' "$work/wininfo")
    if [ "$w" = 640 ] && [ "$h" = 480 ] && [ "$state" = IsViewable ]; then
        pass "klov4402 shows a 640 x 480 window named KLOV4402"
    else
        fail "klov4402's window is ${w}x$h, $state"
    fi
    if "$import" -window "$win" "$work/window.png"; then
        size=$("$convert" "$work/window.png" -format '%wx%h' info:)
        max=$("$convert" "$work/window.png" -format '%[fx:maxima]' info:)
        if [ "$size" = 640x480 ] && [ "$max" != 0 ]; then
            pass "the window shows the scene"
        else
            fail "screenshot of the window: $size, brightest value $max"
        fi
    else
        fail "no screenshot of the window"
    fi
    stop
else
    fail "klov4402 did not open its window"
fi

# Keys and the close request that must not end it, then the quit key that must.
others="a space Up o p 3 Return shift+a"
for quit in q shift+q Escape; do
    if ! start "$klov4402"; then
        fail "klov4402 did not start (for $quit)"
        continue
    fi
    point_at "$win"
    for key in $others; do
        hold "$key"
    done
    "$close_request" "$win"
    rc=$?
    [ "$rc" = 0 ] || fail "the close request could not be sent ($rc)"
    sleep 0.5
    if running; then
        pass "${others:+other keys and }the close request: klov4402 goes on ($quit next)"
    else
        finish 1
        fail "klov4402 ended before $quit: status $status"
        continue
    fi
    others="" # once is enough
    hold "$quit"
    finish 10
    ended_cleanly klov4402 "$quit"
    stop
done

# SIGTERM (like Ctrl+C and SIGHUP) ends the frame cycle; once SDL is shut down the program
# ends by that signal, so the shell sees 143.
if start "$klov4402"; then
    kill -TERM "$pid"
    finish 10
    if [ "$status" = 143 ]; then
        pass "SIGTERM stops klov4402"
    else
        fail "after SIGTERM klov4402 status is $status"
    fi
    stop
fi

# Without a screen: one line on standard error and a non-zero status.
(cd "$work/run" && env -u DISPLAY SDL_VIDEODRIVER=x11 "$klov4402") >"$work/out" 2>"$work/err" &
pid=$!
finish 10
lines=$(wc -l <"$work/err")
if [ "$status" != 0 ] && [ "$status" != running ] && [ "$lines" = 1 ] && [ ! -s "$work/out" ] &&
    grep -q '^KLOV4402: cannot open a 640 x 480 screen' "$work/err"; then
    pass "without a screen: status $status and: $(cat "$work/err")"
else
    fail "without a screen: status $status, standard error:"
    cat "$work/err" >&2
fi
stop

e2e_end "all checks passed"
