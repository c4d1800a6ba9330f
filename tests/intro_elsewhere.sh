#!/bin/sh
# A copied or installed windowed intro, started from an empty folder that is not its own, on
# the X display in $DISPLAY (see with_xvfb.sh):
#   intro_elsewhere.sh <klov4402> <intro_screenshot_check> <data folder>
# It must find its data files by itself, show the scene (checked against the data folder's
# pictures), and end with status 0 on Q.
set -u
program=$1
checker=$2
data=$3
work=$(mktemp -d /tmp/klov-elsewhere-XXXXXX)
intro=""
cleanup() {
    [ -n "$intro" ] && kill "$intro" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED ($program): $*"
    for f in "$work"/stdout "$work"/stderr; do
        [ -s "$f" ] && { echo "--- $(basename "$f") of the intro:"; tail -20 "$f"; }
    done
    exit 1
}

mkdir "$work/elsewhere"
(cd "$work/elsewhere" && exec "$program" >"$work/stdout" 2>"$work/stderr") &
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

/usr/bin/import -window "$wid" -depth 8 "ppm:$work/shot.ppm" || fail "no screenshot"
"$checker" "$data" "$work/shot.ppm" 0 || fail "the screenshot does not show the scene"

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
[ -z "$(ls -A "$work/elsewhere")" ] || fail "the intro wrote into its working folder"
echo "$program showed the scene from an unrelated folder and ended with status 0 on Q"
