#!/bin/sh
# The command line as a person uses it, on the X display in $DISPLAY (see with_xvfb.sh):
#   intro_options_e2e.sh <klov4402> <intro_screenshot_check> <scroll_position> <data folder>
#                        [<most processor time, per mille of a core, or - for no limit>]
# --fps 60 keeps 55 to 65 frames a second at under 10 % of a core (a sanitizer build is
# allowed more, as long as it plainly sleeps); --frames ends by itself;
# a copy of the program beside its data starts from any folder; a --data folder without
# the files, and a start with no display, stop at once with one line; one Space press of
# 300 ms toggles the sprites once; a held P speeds the text up in every frame; at 4 frames
# a second a Space tap shorter than a frame toggles them once too.
set -u
program=$1
checker=$2
locate=$3
data=$4
most_load=${5:-100}
. "$(dirname "$0")/e2e_common.sh"
now_ms() {
    echo $(($(date +%s%N) / 1000000))
}

# An installed-looking copy: the program with its data in a data/ folder beside it, started
# from a folder that has nothing to do with it.
mkdir -p "$work/app/data" "$work/elsewhere" "$work/empty"
cp "$program" "$work/app/klov4402"
cp "$data"/*.ppm "$data"/*.pbm "$work/app/data/"
app="$work/app/klov4402"

# start ARGS...: starts the copy from the unrelated folder and waits for its window.
start() {
    (cd "$work/elsewhere" && exec "$app" "$@") >"$work/out" 2>"$work/err" &
    pid=$!
    wait_window KLOV4402 || return 1
    xdotool mousemove --window "$win" 320 240 2>/dev/null
    sleep 0.5
}
shoot() {
    /usr/bin/import -window "$win" -depth 8 "ppm:$work/$1.ppm"
}
# run_frames N: runs the copy for N frames at 60 a second; sets status and took (ms).
run_frames() {
    t0=$(now_ms)
    (cd "$work/elsewhere" && exec timeout 60 "$app" --fps 60 --frames "$1") >"$work/out" 2>"$work/err"
    status=$?
    took=$(($(now_ms) - t0))
}

# 1. Pacing: 360 frames more take 6 s more; the processor time of a running copy over 3 s.
run_frames 60
short=$took
short_status=$status
run_frames 420
if [ "$short_status" -ne 0 ] || [ "$status" -ne 0 ]; then
    fail "--frames ended with status $short_status and $status"
    cat "$work/err" >&2
else
    pass "--frames 60 and --frames 420 ended by themselves with status 0"
    rate=$((360 * 1000 * 10 / (took - short))) # tenths of a frame a second
    if [ "$rate" -ge 550 ] && [ "$rate" -le 650 ]; then
        pass "--fps 60 gave $((rate / 10)).$((rate % 10)) frames a second"
    else
        fail "--fps 60 gave $((rate / 10)).$((rate % 10)) frames a second (420 frames: $took ms, 60: $short ms)"
    fi
fi

if start --fps 60; then
    pass "the copy beside its data started from another folder"
    ticks=$(getconf CLK_TCK)
    cpu() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
    c0=$(cpu)
    t0=$(now_ms)
    sleep 3
    c1=$(cpu)
    t1=$(now_ms)
    # Per mille of one core.
    load=$(((c1 - c0) * 1000 * 1000 / ticks / (t1 - t0)))
    if [ "$most_load" = - ]; then
        pass "--fps 60 used $((load / 10)).$((load % 10)) % of a core (not judged in this build)"
    elif [ "$load" -lt "$most_load" ]; then
        pass "--fps 60 used $((load / 10)).$((load % 10)) % of a core"
    else
        fail "--fps 60 used $((load / 10)).$((load % 10)) % of a core"
    fi

    # 2. The scene, from the unrelated folder.
    shoot start
    if "$checker" "$data" "$work/start.ppm" 0; then
        pass "the scene shows, without sprites"
    else
        fail "the first screenshot is not the scene without sprites"
    fi

    # 3. A Space press of 300 ms (18 frames) toggles the sprites once, and again once.
    for expect in 1 0; do
        xdotool keydown space
        sleep 0.3
        xdotool keyup space
        sleep 0.3
        shoot "space$expect"
        if "$checker" "$data" "$work/space$expect.ppm" "$expect"; then
            pass "a 300 ms Space press left the sprites $( [ $expect = 1 ] && echo on || echo off)"
        else
            fail "a 300 ms Space press did not toggle the sprites once (expected $expect)"
        fi
    done

    # 4. P held for half a second: the text then runs at 30 or more pixels a frame. Two
    # pictures one second apart tell the speed: about 60 pixels before, over 900 after.
    distance() {
        shoot "$1a"
        sleep 1
        shoot "$1b"
        a=$("$locate" "$data" "$work/$1a.ppm") && b=$("$locate" "$data" "$work/$1b.ppm") ||
            return 1
        d=$(((b - a + 7192) % 7192))
    }
    if distance slow; then
        slow=$d
        xdotool keydown p
        sleep 0.5
        xdotool keyup p
        if distance fast; then
            if [ "$slow" -ge 30 ] && [ "$slow" -le 120 ] && [ "$d" -ge 900 ]; then
                pass "a held P sped the text from $slow to $d pixels a second"
            else
                fail "the text moved $slow pixels a second before P was held, $d after"
            fi
        else
            fail "no text line found after P"
        fi
    else
        fail "no text line found in the screenshots"
    fi
    end_on q
    [ "$status" = 0 ] && pass "Q ended it with status 0" || fail "status $status after Q"
else
    fail "the copy beside its data did not start from another folder"
fi

# 5. A wrong option: the problem and the usage on standard error, status 2, nothing opened
# (it ends at once, even with no display to open).
(cd "$work/elsewhere" && exec env -u DISPLAY timeout 10 "$app" --fps 0) >"$work/out" 2>"$work/err"
status=$?
if [ "$status" -eq 2 ] && [ "$(head -n 1 "$work/err")" = 'klov4402: --fps: "0" is not a whole number from 1 to 1000' ] &&
    grep -q '^Usage: klov4402 \[OPTION\]' "$work/err" && [ ! -s "$work/out" ]; then
    pass "a wrong value: the problem, the usage and status 2"
else
    fail "a wrong value: status $status; standard error: $(cat "$work/err")"
fi
(cd "$work/elsewhere" && exec env -u DISPLAY timeout 10 "$app" --help) >"$work/out" 2>"$work/err"
status=$?
[ "$status" -eq 0 ] && grep -q -- '--fps N' "$work/out" && [ ! -s "$work/err" ] &&
    pass "--help: the usage and status 0" || fail "--help: status $status"

# 6. A --data folder without the files: one message, status 1, no window.
t0=$(now_ms)
(cd "$work/elsewhere" && exec timeout 10 "$app" --data "$work/empty") >"$work/out" 2>"$work/err"
status=$?
expected="klov4402: the data files (font8x8.pbm and the pictures) are not in $work/empty"
if [ "$status" -eq 1 ] && [ "$(cat "$work/err")" = "$expected" ] && [ ! -s "$work/out" ] &&
    [ $(($(now_ms) - t0)) -lt 2000 ]; then
    pass "--data without the files: the message and status 1"
else
    fail "--data without the files: status $status, standard error: $(cat "$work/err")"
fi

# 7. No display and no driver chosen: a clear no within 2 s, nothing on standard output.
# A driver chosen by name (dummy) still runs.
(cd "$work/elsewhere" && exec env -u DISPLAY -u SDL_VIDEODRIVER timeout 2 "$app") \
    >"$work/out" 2>"$work/err" </dev/null
status=$?
# (SDL 1.2 over SDL2 may add a line of its own about the session's runtime folder.)
if [ "$status" -eq 1 ] && [ "$(grep -c '^KLOV4402:' "$work/err")" -eq 1 ] &&
    grep -q '^KLOV4402: no display to show the intro on .*DISPLAY.*SDL_VIDEODRIVER' "$work/err" &&
    [ ! -s "$work/out" ]; then
    pass "no display: $(cat "$work/err")"
else
    fail "no display: status $status; standard error: $(cat "$work/err"); standard output: $(head -c 200 "$work/out")"
fi
(cd "$work/elsewhere" && exec env -u DISPLAY SDL_VIDEODRIVER=dummy timeout 20 "$app" --frames 30) \
    >"$work/out" 2>"$work/err" </dev/null
status=$?
[ "$status" -eq 0 ] && pass "SDL_VIDEODRIVER=dummy chosen by name still runs" ||
    fail "SDL_VIDEODRIVER=dummy: status $status; $(cat "$work/err")"

# 8. At 4 frames a second (250 ms a frame) a Space tap of 30 ms falls between two frames:
# it toggles the sprites once all the same, on and then off.
if start --fps 4; then
    # The text scrolls in from the right edge and the checker needs some of it to tell the
    # frame: a held P brings it in within a few frames instead of a minute.
    xdotool keydown p
    sleep 2
    xdotool keyup p
    sleep 1
    for expect in 1 0; do
        xdotool keydown space
        sleep 0.03
        xdotool keyup space
        sleep 0.8
        shoot "tap$expect"
        if "$checker" "$data" "$work/tap$expect.ppm" "$expect"; then
            pass "at --fps 4 a 30 ms Space tap left the sprites $( [ $expect = 1 ] && echo on || echo off)"
        else
            fail "at --fps 4 a 30 ms Space tap did not toggle the sprites once (expected $expect)"
        fi
    done
    end_on q
    [ "$status" = 0 ] && pass "Q ended it with status 0" || fail "status $status after Q"
else
    fail "the copy did not start at --fps 4"
fi

e2e_end "every command-line case passed"
