#!/bin/sh
# Runs a command with the SDL 1.2 library of DIR (the SDL 1.2 interface over SDL2, see
# tools/fetch-sdl12-compat) in place of the installed one, and fails unless every process
# that loaded an SDL 1.2 library loaded that one, and at least one did.
# Usage: with_sdl12_compat.sh DIR COMMAND [ARGUMENTS...]
set -u
dir=$1
shift
if [ ! -e "$dir/libSDL-1.2.so.0" ]; then
    echo "with_sdl12_compat: no libSDL-1.2.so.0 in $dir (run tools/fetch-sdl12-compat $dir)" >&2
    exit 1
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/klov-sdl12-compat.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The dynamic loader writes what it loads into one file per process.
LD_LIBRARY_PATH="$dir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" LD_DEBUG=libs \
    LD_DEBUG_OUTPUT="$work/ld" "$@"
status=$?

# "calling init: PATH" names each library as it starts in a process.
cat "$work"/ld.* 2>/dev/null | sed -n 's/.*calling init: \(.*libSDL-1\.2\.so.*\)$/\1/p' |
    sort -u >"$work/sdl"
wanted=$(readlink -f "$dir/libSDL-1.2.so.0")
loaded=0
while read -r lib; do
    if [ "$(readlink -f "$lib")" = "$wanted" ]; then
        loaded=1
    else
        echo "with_sdl12_compat: a process loaded $lib, not $wanted" >&2
        status=1
    fi
done <"$work/sdl"
if [ "$loaded" = 0 ]; then
    echo "with_sdl12_compat: no process loaded $wanted" >&2
    status=1
fi
exit "$status"
