#!/bin/sh
# The full-screen program as on a desktop: on the X display in $DISPLAY (see with_xvfb.sh),
# under a small window manager. A window covers the whole screen; the frame is in its
# middle, either at its own size or scaled up as far as the screen's shape allows, with
# sharp pixels (a screenshot of it, brought back to 640 x 480, is the scene pixel for
# pixel); every pixel around the frame is black; Escape ends the program with status 0.
# Usage: [KLOV_NO_WINDOW_MANAGER=1] e2e_full_screen.sh KLOV4400 SCREENSHOT_CHECK DATA_DIR [own|scaled]
# The last argument names the one of the two pictures that the SDL in use must show.
# KLOV_NO_WINDOW_MANAGER=1 runs it on the bare X server instead.
set -u
program=$1
checker=$2
data=$3
expect=${4:-}

. "$(dirname "$0")/e2e_common.sh"

mkdir "$work/run"
cp "$data"/*.ppm "$data"/*.pbm "$work/run/" || exit 1
cp "$data"/*.xm "$work/run/" 2>/dev/null

screen_w=$(xwininfo -root | sed -n 's/^ *Width: //p')
screen_h=$(xwininfo -root | sed -n 's/^ *Height: //p')

# The window manager is ready once it names its check window on the root window.
if [ "${KLOV_NO_WINDOW_MANAGER:-}" != 1 ]; then
    openbox --sm-disable >"$work/wm.log" 2>&1 &
    wm=$!
    i=0
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
        i=$((i + 1))
        if [ "$i" -gt 100 ] || ! kill -0 "$wm" 2>/dev/null; then
            echo "the window manager did not start:" >&2
            cat "$work/wm.log" >&2
            exit 1
        fi
        sleep 0.1
    done
fi

# covering: the viewable windows at the root whose size and place are the screen's.
covering() {
    for id in $(xwininfo -root -children |
        sed -n "s/^ *\(0x[0-9a-f]*\) .* ${screen_w}x$screen_h+0+0 .*/\1/p"); do
        xwininfo -id "$id" | grep -q 'Map State: IsViewable' && echo "$id"
    done
}
[ -z "$(covering)" ] || fail "a window covers the screen before the program starts"
import -window root "$work/empty.png"
empty_max=$(convert "$work/empty.png" -format '%[fx:maxima]' info:)

(cd "$work/run" && exec "$program") >"$work/out" 2>"$work/err" &
pid=$!
wait_window KLOV4400 || exit 1
# Made active as a person's click would; then several frames are shown.
timeout 10 xdotool windowactivate --sync "$win" 2>/dev/null || echo "note: $win was not activated"
sleep 1

if [ -n "$(covering)" ]; then
    pass "a window covers the whole ${screen_w} x $screen_h screen"
else
    fail "no window covers the whole screen"
    xwininfo -root -tree >&2
fi

# The frame's two possible places: at its own size, or scaled to fill the screen's width
# or height; centred either way.
if [ $((screen_w * 480)) -le $((screen_h * 640)) ]; then
    scaled_w=$screen_w scaled_h=$((screen_w * 480 / 640))
else
    scaled_w=$((screen_h * 640 / 480)) scaled_h=$screen_h
fi
import -window root "$work/full.png"

# shown_at W H: whether the frame is shown as W x H in the middle of the screen, black
# around it.
shown_at() {
    x=$(((screen_w - $1) / 2)) y=$(((screen_h - $2) / 2))
    convert "$work/full.png" -crop "$1x$2+$x+$y" +repage -filter point -resize '640x480!' \
        -depth 8 "ppm:$work/frame.ppm" || return 1
    "$checker" "$data" "$work/frame.ppm" 0 >"$work/check.log" 2>&1 || return 1
    # Black outside: the bands above and below, left and right of the frame.
    for band in "${screen_w}x$y+0+0" "${screen_w}x$((screen_h - y - $2))+0+$((y + $2))" \
        "${x}x$2+0+$y" "$((screen_w - x - $1))x$2+$((x + $1))+$y"; do
        case $band in 0x* | *x0+*) continue ;; esac
        m=$(convert "$work/full.png" -crop "$band" +repage -format '%[fx:maxima]' info:)
        [ "$m" = 0 ] || return 1
    done
    return 0
}
# A few screenshots, in case one catches the screen while a frame is being put there; more
# while the text, which scrolls in from the right edge, is too short for the checker.
shown=""
try=0
while [ -z "$shown" ] && { [ "$try" -lt 3 ] || { [ "$try" -lt 20 ] &&
    grep -q '^text line in the bar colours' "$work/check.log"; }; }; do
    try=$((try + 1))
    [ "$try" = 1 ] || { sleep 0.5; import -window root "$work/full.png"; }
    if shown_at 640 480; then
        shown=own
    elif shown_at "$scaled_w" "$scaled_h"; then
        shown=scaled
    fi
done
if [ -z "$shown" ]; then
    fail "the screen shows the frame neither at 640 x 480 nor at $scaled_w x $scaled_h in its middle with black around (last check: $(tr '\n' ' ' <"$work/check.log"))"
    cp "$work/full.png" "${TMPDIR:-/tmp}/klov-full-screen-failed.png" &&
        echo "the screenshot: ${TMPDIR:-/tmp}/klov-full-screen-failed.png" >&2
elif [ -n "$expect" ] && [ "$shown" != "$expect" ]; then
    fail "the frame is shown at its $shown size, not $expect"
else
    pass "the frame is in the middle of the screen ($shown size), black around it"
fi
[ "$empty_max" != 0 ] || fail "the screen was black before the program started"

xdotool mousemove --window "$win" 320 240 2>/dev/null
end_on Escape
ended_cleanly klov4400 Escape

e2e_end "all checks passed"
