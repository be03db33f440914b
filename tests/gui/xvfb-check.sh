#!/usr/bin/env bash
# Runs the real tester executable in a real X server (Xvfb): its window must come up titled
# "Skywandtester", and the key Q alone must end it with exit code 0.
#
# The executable is copied to a temporary folder together with a configuration file naming a
# free UDP port, since the tester reads its configuration beside itself.
#
# Usage: xvfb-check.sh <skywandtester executable>
# Exit status 77 (skipped) when Xvfb or xdotool is missing.
set -euo pipefail

if [ "${1:-}" = "--inside-x" ]; then
    # Running inside xvfb-run: start the tester, find its window, press Q.
    work=$2
    "$work/skywandtester" > "$work/output.log" 2>&1 &
    pid=$!
    if ! window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Skywandtester$' | head -n 1); then
        echo "no window titled Skywandtester appeared" >&2
        kill "$pid" 2> /dev/null || true
        cat "$work/output.log" >&2
        exit 1
    fi
    echo "window $window: $(xdotool getwindowname "$window")"
    xdotool windowfocus --sync "$window"
    xdotool key --clearmodifiers q
    # Exit waits for the receive in progress: at most about one second.
    for _ in $(seq 100); do
        kill -0 "$pid" 2> /dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2> /dev/null; then
        echo "the tester did not end on the key Q" >&2
        kill "$pid"
        exit 1
    fi
    status=0
    wait "$pid" || status=$?
    cat "$work/output.log"
    echo "exit code $status"
    exit "$status"
fi

exe=${1:?usage: xvfb-check.sh <skywandtester executable>}
for tool in xvfb-run xdotool python3; do
    if ! command -v "$tool" > /dev/null; then
        echo "$tool is missing: skipped (scripts/install-deps installs it)" >&2
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$exe" "$work/skywandtester"
port=$(python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("", 0)); print(s.getsockname()[1])')
printf '%s' "$port" > "$work/skywandtester.config"

unset QT_QPA_PLATFORM # the real X server, not the offscreen platform
xvfb-run -a -s "-screen 0 800x600x24" bash "$0" --inside-x "$work"

# The tester writes its port text back when it ends.
if [ "$(cat "$work/skywandtester.config")" != "$port" ]; then
    echo "configuration not written back: '$(cat "$work/skywandtester.config")'" >&2
    exit 1
fi
echo "ok: window came up, Q ended it with exit code 0, configuration kept port $port"
