#!/bin/sh
# Runs a command against a private X server (Xvfb, 1024 x 768, 24 bits, white root window)
# on a free display, and stops the server afterwards, whatever the command did.
# Usage: [KLOV_XVFB_SCREEN=WxHxDEPTH] with_xvfb.sh COMMAND [ARGUMENTS...]
set -u
work=$(mktemp -d "${TMPDIR:-/tmp}/klov-xvfb.XXXXXX") || exit 1
xvfb_pid=""
cleanup() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# -displayfd picks a display number that no other server uses and writes it when ready.
Xvfb -displayfd 3 -screen 0 "${KLOV_XVFB_SCREEN:-1024x768x24}" -wr -noreset -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
i=0
while [ ! -s "$work/display" ]; do
    i=$((i + 1))
    if [ "$i" -gt 100 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
        echo "with_xvfb: Xvfb did not start:" >&2
        cat "$work/xvfb.log" >&2
        exit 1
    fi
    sleep 0.1
done
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY
"$@"
