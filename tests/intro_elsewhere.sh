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
. "$(dirname "$0")/e2e_common.sh"

mkdir "$work/elsewhere"
(cd "$work/elsewhere" && exec "$program" >"$work/out" 2>"$work/err") &
pid=$!
wait_window KLOV4402 || fail_now "no KLOV4402 window"
xdotool windowfocus --sync "$win" || fail_now "cannot focus the window"
sleep 1

scene_shot "$checker" "$data" shot 0 || fail_now "the screenshot does not show the scene"

end_on q
[ "$status" = 0 ] || fail_now "exit status $status after Q"
[ -z "$(ls -A "$work/elsewhere")" ] || fail_now "the intro wrote into its working folder"
echo "$program showed the scene from an unrelated folder and ended with status 0 on Q"
