#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The demo: installs what is missing, builds, prepares demo-data/ (the real area-code
# directory, an empty call log, a small phone book), starts the simulated ISDN line and the
# program, and rings a few calls. Stop it with "Beenden" in the tray menu or Ctrl+C here.
# Without a desktop it runs on a virtual display, keeps one screenshot per call and one of
# the call history in demo-data/, and ends by itself after the last call.
#   tools/demo.sh [--isdn]        on a simulated ISDN line (CAPI), the default
#   tools/demo.sh --call-monitor  on a simulated router's call monitor (an IP line)
set -euo pipefail
line_kind=isdn
case "${1:-}" in
  ""|--isdn) ;;
  --call-monitor) line_kind=call-monitor ;;
  *) echo "usage: tools/demo.sh [--isdn | --call-monitor]" >&2; exit 2 ;;
esac
cd "$(dirname "$0")/.."
root=$PWD

tools/install-deps.sh --demo
# Without the test libraries: the demo builds only the program and its helpers.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DCB_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target callbeacon callbeacon-line callbeacon-demo-data cb_avon

data=$root/demo-data
mkdir -p "$data/home"
cp build/Avon.dbf build/Avon.cpg "$data/"
build/tools/callbeacon-demo-data "$data"

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
if [ "$line_kind" = isdn ]; then
  printf 'TRACELEVEL 0\nREMOTE fritzbox 127.0.0.1 %s\n' "$port" > "$data/home/.capi20rc"
else
  printf 'TRACELEVEL 0\n' > "$data/home/.capi20rc" # no ISDN line: CAPI finds none
fi

# The calls: a known caller (Berlin), an unknown caller from München, a call without
# number, and a call another telephone answers (marked "J" in the call log).
script() {
  cat <<'CALLS'
sleep 4000
ring 0101 4711 302345678
sleep 14000
hangup 0101 3490
sleep 2000
ring 0102 4711 8955512345
sleep 14000
hangup 0102 3490
sleep 2000
ring 0103 4712 -
sleep 14000
hangup 0103 3490
sleep 2000
ring 0104 4711 3319876543
sleep 6000
hangup 0104 349A
CALLS
}

# The same calls from a router's call monitor: decimal connection ids, numbers as the
# router writes them (with their leading 0).
monitor_script() {
  script | sed -E 's/^(ring|hangup) 010([0-9])/\1 \2/; s/^(ring [0-9]+ [0-9]+) ([1-9][0-9]*)$/\1 0\2/'
}

cleanup() { kill "$line_pid" 2>/dev/null || true; }
# A copy of its own, stripped (a fraction of the build's size with its debug information),
# keeps the demo's settings in demo-data/callbeacon.INI, beside it.
strip --strip-unneeded -o "$data/callbeacon" build/callbeacon
program=$data/callbeacon
if [ "$line_kind" = call-monitor ]; then
  monitor_script | build/callbeacon-line --call-monitor --port "$port" > "$data/line.log" &
  python3 - "$data/callbeacon.INI" "$port" <<'INI'
import sys
path, port = sys.argv[1], sys.argv[2]
try:
    lines = open(path, encoding="latin-1").read().splitlines()
except FileNotFoundError:
    lines = []
out, skip = [], False
for line in lines:
    if line.strip().startswith("["):
        skip = line.strip().lower() == "[leitung]"
    if not skip:
        out.append(line)
out += ["[Leitung]", "Art=Anrufmonitor", "Adresse=127.0.0.1", "Port=" + port]
open(path, "w", encoding="latin-1").write("\n".join(out) + "\n")
INI
else
  script | build/callbeacon-line --port "$port" > "$data/line.log" &
fi
line_pid=$!
trap cleanup EXIT

# Announcements, should the settings turn on the server, stay on this machine. The line is
# set up by the demo, so the first-start assistant is not needed.
run=(env HOME="$data/home" CALLBEACON_BROADCAST=127.255.255.255 "$program" --ohne-einrichtung)
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  calls=$(script | grep -c '^ring ')
  echo "No desktop found: running on a virtual display; one screenshot per call goes to demo-data/."
  (cd "$data" && xvfb-run -a -s "-screen 0 1024x768x24" \
      "$root/tools/demo-shots.sh" "$data" "$calls" 1024 "${run[@]}")
  echo "Pictures: $(cd "$root" && ls demo-data/call-*.png demo-data/anrufer.png 2>/dev/null | tr '\n' ' ')"
  echo "(in $data)"
else
  echo "CallBeacon runs in the tray (or a small window at the top right if there is no tray)."
  echo "Calls ring every few seconds. Quit with \"Beenden\" in its menu or Ctrl+C here."
  (cd "$data" && "${run[@]}")
fi
echo "Line log: demo-data/line.log; call log: demo-data/Anrufe.dbf"
