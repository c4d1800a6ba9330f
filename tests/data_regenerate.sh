#!/bin/sh
# Regenerates the font sheet and the pictures and compares them byte for byte with data/.
# usage: data_regenerate.sh <make_font> <make_pictures> <source dir> <work dir>
set -eu
make_font=$1 make_pictures=$2 src=$3 work=$4
rm -rf "$work"
mkdir -p "$work"
"$make_font" "$src/tools/font8x8.txt" "$work"
"$make_pictures" "$work"
status=0
for f in font8x8.pbm K.ppm L.ppm O.ppm V.ppm klov-tamblor.ppm klov-2008.ppm klov-rainbow.ppm; do
  if ! cmp "$work/$f" "$src/data/$f"; then
    echo "data/$f differs from what the generators make now"
    status=1
  fi
done
# Nothing more and nothing less than these files.
count=$(ls "$work" | wc -l)
if [ "$count" -ne 8 ]; then
  echo "the generators wrote $count files, expected 8"
  status=1
fi
rm -rf "$work"
exit $status
