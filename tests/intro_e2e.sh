#!/bin/sh
# The windowed intro end to end, on the X display in $DISPLAY (see with_xvfb.sh):
#   intro_e2e.sh <klov4402> <intro_screenshot_check> <data folder>
# A screenshot after the start shows the scene without sprites; a Space tap of 10 ms shows
# the sprites, even when it falls between two frames; Q ends the program with status 0.
set -u
program=$1
checker=$2
data=$3
. "$(dirname "$0")/e2e_common.sh"

cp "$data"/*.ppm "$data"/*.pbm "$work"/ || fail_now "cannot copy the data files"
cp "$data"/*.xm "$work"/ 2>/dev/null || echo "no tune in $data: the intro runs silently"

(cd "$work" && exec "$program" >out 2>err) &
pid=$!
wait_window KLOV4402 || fail_now "no KLOV4402 window"
xdotool windowfocus --sync "$win" || fail_now "cannot focus the window"
sleep 1

shoot() {
    /usr/bin/import -window "$win" -depth 8 "ppm:$work/$1.ppm" || fail_now "no screenshot"
}

scene_shot "$checker" "$data" start 0 || fail_now "the first screenshot (no sprites)"

xdotool keydown space
sleep 0.01
xdotool keyup space
# A loaded machine may show the frame late; a lost tap leaves the sprites off in every shot.
tries=0
until sleep 0.5 && shoot space && "$checker" "$data" "$work/space.ppm" 1; do
    tries=$((tries + 1))
    [ "$tries" -lt 4 ] || fail_now "a 10 ms Space tap did not show the sprites"
done

end_on q
[ "$status" = 0 ] || fail_now "exit status $status after Q"
echo "the intro showed its scene, the sprites after Space, and ended with status 0 on Q"
