#!/bin/sh
# `cmake --install` of a build into a fresh prefix, then the installed windowed intro started
# from another folder (on the X display in $DISPLAY):
#   install_run.sh <cmake> <build folder> <intro_screenshot_check> <data folder>
set -u
cmake=$1
build=$2
checker=$3
data=$4
here=$(dirname "$0")
prefix=$(mktemp -d /tmp/klov-install-XXXXXX)
trap 'rm -rf "$prefix"' EXIT
fail() {
    echo "FAILED: $*"
    exit 1
}

"$cmake" --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || {
    cat "$prefix.log"
    rm -f "$prefix.log"
    fail "cmake --install"
}
rm -f "$prefix.log"

for f in bin/klov4400 bin/klov4402 bin/klov-capture share/doc/klov/README.md share/doc/klov/LICENSE; do
    [ -f "$prefix/$f" ] || fail "$f is not installed"
done
for f in "$data"/*.ppm "$data"/*.pbm "$data"/*.xm; do
    cmp -s "$f" "$prefix/share/klov/$(basename "$f")" || fail "share/klov/$(basename "$f") is not the data file"
done
[ -x "$prefix/bin/klov4402" ] || fail "bin/klov4402 is not executable"

sh "$here/intro_elsewhere.sh" "$prefix/bin/klov4402" "$checker" "$data"
