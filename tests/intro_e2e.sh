#!/bin/sh
# The windowed intro end to end, on the X display in $DISPLAY (see with_xvfb.sh):
#   intro_e2e.sh <klov4402> <intro_screenshot_check> <data folder>
# A screenshot after the start shows the scene without sprites; Space held for about one
# frame shows the sprites (pressed again while an even number of frames saw it); Q ends
# the program with status 0.
set -u
program=$1
checker=$2
data=$3
work=$(mktemp -d /tmp/klov-e2e-XXXXXX)
intro=""
cleanup() {
    [ -n "$intro" ] && kill "$intro" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*"
    for f in "$work"/stdout "$work"/stderr; do
        [ -s "$f" ] && { echo "--- $(basename "$f") of the intro:"; tail -20 "$f"; }
    done
    exit 1
}

cp "$data"/*.ppm "$data"/*.pbm "$work"/ || fail "cannot copy the data files"
cp "$data"/*.xm "$work"/ 2>/dev/null || echo "no tune in $data: the intro runs silently"

(cd "$work" && exec "$program" >stdout 2>stderr) &
intro=$!

wid=""
i=0
while [ -z "$wid" ]; do
    i=$((i + 1))
    [ $i -gt 200 ] && fail "no KLOV4402 window"
    kill -0 "$intro" 2>/dev/null || fail "the intro ended at once"
    wid=$(xdotool search --onlyvisible --name '^KLOV4402$' 2>/dev/null | head -n 1)
    sleep 0.1
done
xdotool windowfocus --sync "$wid" || fail "cannot focus the window"
sleep 1

shoot() {
    /usr/bin/import -window "$wid" -depth 8 "ppm:$work/$1.ppm" || fail "no screenshot"
}

shoot start
"$checker" "$data" "$work/start.ppm" 0 || fail "the first screenshot (no sprites)"

shown=0
try=0
while [ $try -lt 20 ] && [ $shown -eq 0 ]; do
    try=$((try + 1))
    xdotool keydown space
    sleep 0.01
    xdotool keyup space
    sleep 0.5
    shoot space$try
    "$checker" "$data" "$work/space$try.ppm" 1
    case $? in
    0) shown=1 ;;
    2) echo "try $try: an even number of frames saw Space" ;;
    *) fail "the screenshot after Space" ;;
    esac
done
[ $shown -eq 1 ] || fail "Space never showed the sprites"

xdotool keydown q
i=0
while kill -0 "$intro" 2>/dev/null; do
    i=$((i + 1))
    [ $i -gt 300 ] && fail "Q did not end the intro"
    sleep 0.1
done
xdotool keyup q
wait "$intro"
status=$?
intro=""
[ $status -eq 0 ] || fail "exit status $status after Q"
echo "the intro showed its scene, the sprites after Space, and ended with status 0 on Q"
