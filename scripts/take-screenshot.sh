#!/usr/bin/env bash
# Takes the screenshot of the running tester shown in the README: the real executable under
# Xvfb, fed over UDP with frames in which device S1 has buttons 1 and 4 pressed and its
# joystick deflected up and to the right.
#
# Usage: take-screenshot.sh <skywandtester executable> <output.png>
# Needs xvfb-run, xdotool, ImageMagick's import and python3.
set -euo pipefail

if [ "${1:-}" = "--inside-x" ]; then
    work=$2 output=$3 port=$4
    python3 - "$port" << 'PY' &
import socket, sys, time
port = int(sys.argv[1])
frame = (b"fr 1\nts 0.5\n6df2 2 2 [0 1.000 6 2][0.1 0.2 0.3][1 0 0 0 1 0 0 0 1][9 0.45 0.6]"
         b" [1 1.000 6 2][0 0 0][1 0 0 0 1 0 0 0 1][0 0 0]\n")
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
end = time.time() + 30
while time.time() < end:
    s.sendto(frame, ("127.0.0.1", port))
    time.sleep(0.02)
PY
    sender=$!
    "$work/skywandtester" > /dev/null 2>&1 &
    tester=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Skywandtester$' | head -n 1)
    sleep 1 # let frames arrive and the panel repaint
    import -window "$window" "$output"
    kill "$tester" "$sender"
    wait || true
    exit 0
fi

exe=${1:?usage: take-screenshot.sh <skywandtester executable> <output.png>}
output=$(realpath -m "${2:?usage: take-screenshot.sh <skywandtester executable> <output.png>}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$exe" "$work/skywandtester"
port=$(python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("", 0)); print(s.getsockname()[1])')
printf '%s' "$port" > "$work/skywandtester.config"
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 800x600x24" bash "$0" --inside-x "$work" "$output" "$port"
echo "screenshot written to $output"
