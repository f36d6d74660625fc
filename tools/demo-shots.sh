#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The demo without a desktop, run inside xvfb-run by tools/demo.sh: starts the program, keeps
# one screenshot per call while its pop-up is open (call-1.png, ...), then opens the call
# history through the stand-in for the tray and keeps a picture of it (anrufer.png), and ends
# the program. Usage: demo-shots.sh DATA_FOLDER CALLS SCREEN_WIDTH PROGRAM [ARGUMENTS...]
set -euo pipefail
data=$1 calls=$2 width=$3
shift 3
trace=$data/trace.txt
: >"$trace"
rm -f "$data"/call-*.png "$data/anrufer.png" "$data/screen.png"

CALLBEACON_TRACE=$trace "$@" &
app=$!
trap 'kill $app 2>/dev/null || true' EXIT INT TERM

shot() { import -window root "$data/$1" 2>/dev/null || echo "Bildschirmfoto $1 fehlgeschlagen" >&2; }
# "popup NAME | PLACE" as a pop-up opens, "popup closed N" as it goes.
shown() { grep "^popup " "$trace" 2>/dev/null | grep -Ev "^popup (closed|skipped) " || true; }
count() { shown | grep -c . || true; }
closed() { grep -c "^popup closed " "$trace" 2>/dev/null || true; }

# A call's pop-up is in the trace as it opens; the picture waits until it is drawn. Each
# call's wait is bounded, so a call that never shows cannot hold the demo forever.
for ((n = 1; n <= calls; n++)); do
  deadline=$((SECONDS + 60))
  while [ "$(count)" -lt "$n" ]; do
    kill -0 $app 2>/dev/null || { echo "Das Programm endete vor Anruf $n." >&2; exit 1; }
    [ $SECONDS -lt $deadline ] || { echo "Anruf $n kam nicht an." >&2; exit 1; }
    sleep 0.2
  done
  sleep 1.5
  shot "call-$n.png"
  echo "Anruf $n: $(shown | sed -n "${n}p" | cut -c7-)"
done

# The call history, from the menu of the tray's stand-in at the top right of the screen, once
# the last pop-up has closed (its seconds run out), so nothing covers it.
deadline=$((SECONDS + 30))
while [ "$(closed)" -lt "$calls" ] && [ $SECONDS -lt $deadline ]; do sleep 0.2; done
sleep 0.5
xdotool mousemove $((width - 20)) 20 click 3
sleep 0.7
xdotool key Down Return
for _ in $(seq 50); do
  xdotool search --onlyvisible --name '^Anrufer$' >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 1.5
shot anrufer.png
kill -TERM $app 2>/dev/null || true
wait $app 2>/dev/null || true
trap - EXIT
