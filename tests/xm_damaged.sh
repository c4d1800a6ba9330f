#!/bin/sh
# Damaged copies of a tune: the tune check refuses each, or the music library loads and
# plays it (under the memory checker given after the tune, if any) without a fault. The
# sound tune itself must load and play.
#
#   xm_damaged.sh XM_DAMAGE XM_PLAY TUNE SECONDS [CHECKER...]
set -u
damage=$1 play=$2 tune=$3 seconds=$4
shift 4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$damage" "$tune" "$work" || exit 1
cp "$tune" "$work/sound.xm"
export TMPDIR="$work"
"$@" "$play" "$seconds" "$work"/*.xm >"$work/results" 2>"$work/errors"
status=$?
cat "$work/results"
refused=$(grep -c ': refused$' "$work/results")
played=$(grep -c ': played ' "$work/results")
total=$(ls "$work"/*.xm | wc -l)
echo "$total tunes: $refused refused by the check, $played played"
if [ "$status" -ne 0 ]; then
  grep -v '^Error loading: ' "$work/errors"
  echo "FAIL: the player ended with status $status"
  exit 1
fi
if ! grep -q "/sound.xm: played " "$work/results"; then
  echo "FAIL: the sound tune did not play"
  exit 1
fi
if [ $((refused + played)) -ne "$total" ]; then
  echo "FAIL: a tune passed the check and then failed to load:"
  grep -v -e ': refused$' -e ': played ' "$work/results"
  exit 1
fi
echo PASS
