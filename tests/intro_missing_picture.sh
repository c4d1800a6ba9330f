#!/bin/sh
# The program without one of the pictures it cannot do without:
#   intro_missing_picture.sh <klov4402> <data folder>
# A picture that is missing makes the folder no data folder: the program names the folders
# it looked in. One that is there but cannot be read is named itself. Either way one line on
# standard error and a non-zero status, before the first frame (SDL's dummy video driver,
# so no key could ever stop it).
set -u
program=$1
data=$2
failed=0
for file in K.ppm klov-tamblor.ppm klov-2008.ppm klov-rainbow.ppm; do
    for kind in missing empty; do
        work=$(mktemp -d /tmp/klov-missing-XXXXXX)
        cp "$data"/*.ppm "$data"/*.pbm "$work"/
        rm "$work/$file"
        [ $kind = empty ] && : >"$work/$file"
        (cd "$work" && SDL_VIDEODRIVER=dummy timeout 60 "$program" >stdout 2>stderr)
        status=$?
        if [ $status -eq 0 ] || [ $status -eq 124 ]; then
            echo "$file $kind: status $status"
            failed=1
        elif [ $kind = empty ] && [ "$(cat "$work/stderr")" != "Could not read picture: $file" ]; then
            echo "$file $kind: standard error was:"
            cat "$work/stderr"
            failed=1
        elif [ $kind = missing ] && ! grep -q "^klov4402: cannot find the data files.*looked in $work, " "$work/stderr"; then
            echo "$file $kind: standard error was:"
            cat "$work/stderr"
            failed=1
        elif [ $kind = empty ] && [ "$(cat "$work/stdout")" != "IMG error" ]; then
            echo "$file $kind: standard output was:"
            cat "$work/stdout"
            failed=1
        fi
        rm -rf "$work"
    done
done
[ $failed -eq 0 ] && echo "each missing or empty picture stopped the start with one line"
exit $failed
