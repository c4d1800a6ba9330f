#!/bin/sh
# make_font refuses broken text art with a message naming the problem, and writes no sheet.
# usage: make_font_rejects.sh <make_font> <font8x8.txt> <work dir>
set -eu
make_font=$1 art=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
status=0

# expect <case> <message>: runs make_font on $work/<case>.txt
expect() {
  if "$make_font" "$work/$1.txt" "$work" 2>"$work/$1.err"; then
    echo "$1: accepted"
    status=1
  elif [ "$(cat "$work/$1.err")" != "$2" ]; then
    echo "$1: got '$(cat "$work/$1.err")', expected '$2'"
    status=1
  fi
  if [ -e "$work/font8x8.pbm" ]; then
    echo "$1: a sheet was written"
    status=1
  fi
}

# A short row in the glyph of 'A' (its header is followed by its rows).
line=$(grep -n '^code 65 ' "$art" | cut -d: -f1)
sed "$((line + 3))s/^\(.......\).*/\1/" "$art" >"$work/short-row.txt"
expect short-row "make_font: $work/short-row.txt:$((line + 3)): a glyph row must be 8 cells of '#' or '.'"

sed "$((line + 2))s/\./x/" "$art" >"$work/bad-cell.txt"
expect bad-cell "make_font: $work/bad-cell.txt:$((line + 2)): a glyph row must be 8 cells of '#' or '.'"

# Renamed to 66, it clashes when the real 66 follows.
sed "s/^code 65 A$/code 66 A/" "$art" >"$work/twice.txt"
expect twice "make_font: $work/twice.txt:$((line + 10)): code given twice"

sed "s/^code 65 A$/code 128 A/" "$art" >"$work/range.txt"
expect range "make_font: $work/range.txt:$line: the code must be a number from 0 to 127"

sed "s/^code 65 A$/code 1 A/" "$art" >"$work/missing.txt"
expect missing "make_font: $work/missing.txt: no glyph for code 65"

head -n "$((line + 4))" "$art" >"$work/cut.txt"
expect cut "make_font: $work/cut.txt:$((line + 4)): the last glyph has fewer than 8 rows"

# The untouched art is accepted.
"$make_font" "$art" "$work" || { echo "the font's own art is refused"; status=1; }
rm -rf "$work"
exit $status
