#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package with CPack, runs lintian and the desktop-entry and AppStream
# validators, unpacks it into a read-only tree and runs the program from there as an
# unprivileged user with a fresh HOME against the simulated line: the call lands in the
# per-user data folder with its place from the installed area-code directory, the settings
# in the per-user configuration folder, a second start reports the running one, and SIGTERM
# with an unwritable settings file ends the program within 5 s without a box.
# Usage: test_package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
user=65534 # nobody

fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "== $*"; }
if grep -q '^CB_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
  # An instrumented program is not what ships; the normal build checks the package.
  echo "SKIPPED: sanitizer build"
  exit 77
fi
for tool in cpack dpkg-deb lintian desktop-file-validate appstreamcli setpriv python3; do
  command -v "$tool" >/dev/null || fail "$tool missing (tools/install-deps.sh installs it)"
done

tmp=$(mktemp -d /tmp/cb-package-XXXXXX)
line_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill -KILL "$app_pid" 2>/dev/null || true
  [ -n "$line_pid" ] && kill "$line_pid" 2>/dev/null || true
  chmod -R u+w "$tmp" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

step "cpack -G DEB"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; fail "cpack"; }
deb=$(ls "$tmp"/pkg/callbeacon_*.deb)
dpkg-deb -f "$deb" Recommends | grep -qw libcapi20-3 || fail "libcapi20-3 is not recommended"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "shared-library dependencies missing"
version=$(dpkg-deb -f "$deb" Version)

step "lintian"
lintian --fail-on error "$deb" 2>&1 | grep -v "running with root privileges" || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors"

step "unpack and validate"
root=$tmp/root
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/io.github.callbeacon.CallBeacon.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || fail "AppStream metainfo"
for size in 16x16 22x22 24x24 32x32 48x48 64x64; do
  [ -f "$root/usr/share/icons/hicolor/$size/apps/io.github.callbeacon.CallBeacon.png" ] || fail "icon $size"
done
[ -f "$root/usr/share/icons/hicolor/scalable/apps/io.github.callbeacon.CallBeacon.svg" ] || fail "scalable icon"
[ -f "$root/usr/share/man/man1/callbeacon.1.gz" ] || fail "man page"
[ -f "$root/usr/share/doc/callbeacon/area-codes.SOURCES.md" ] || fail "data sources"
chmod -R a-w "$root"

step "hardening of the installed program"
exe=$root/usr/bin/callbeacon
# Read whole first: grep -q ending early would break readelf's pipe under pipefail.
dynamic=$(readelf -d "$exe")
segments=$(readelf -lW "$exe")
symbols=$(readelf -sW --dyn-syms "$exe")
grep -q 'BIND_NOW' <<<"$dynamic" || fail "not linked with -z now"
grep -q 'GNU_RELRO' <<<"$segments" || fail "no read-only relocations (-z relro)"
grep -q '__stack_chk_fail' <<<"$symbols" || fail "no stack protector"
grep -q '_chk@' <<<"$symbols" || fail "no checked calls (_FORTIFY_SOURCE)"

step "--version and --help without a display"
exe=$root/usr/bin/callbeacon
shown=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$exe" --version)
[ "$shown" = "CallBeacon $version" ] || fail "--version printed '$shown', package is $version"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$exe" --help | grep -q -- "--daten ORDNER" ||
  fail "--help"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$exe" --bogus 2>"$tmp/bogus.err" || status=$?
[ $status -eq 2 ] || fail "--bogus without a display ended with $status: $(cat "$tmp/bogus.err")"
grep -qF "Unbekannte Option: --bogus" "$tmp/bogus.err" || fail "--bogus: $(cat "$tmp/bogus.err")"

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: running the package as another user needs root (setpriv)"
  exit 77
fi

step "run as an unprivileged user from the read-only tree"
chmod 755 "$tmp"
home=$tmp/home
mkdir -p "$home" "$tmp/run"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf 'TRACELEVEL 0\nREMOTE fritzbox 127.0.0.1 %s\n' "$port" >"$home/.capi20rc"
chown -R $user:$user "$home" "$tmp/run"
chmod 700 "$tmp/run"
# Calls wait until the program listens; a known area code, not in any phone book.
printf 'ring 0101 4711 301234567\n' | "$build/callbeacon-line" --port "$port" >"$tmp/line.log" 2>&1 &
line_pid=$!

trace=$home/trace.txt
# As a menu starts it: in the home folder, which holds no tables. Replaces the calling
# (sub)shell, so $! of `start &` is the program itself.
start() {
  cd "$home"
  exec setpriv --reuid=$user --regid=$user --clear-groups \
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$tmp/run" QT_QPA_PLATFORM=offscreen \
    CALLBEACON_TRACE="$trace" "$exe" "$@"
}
wait_for() { # file text seconds
  local end=$((SECONDS + $3))
  until grep -qF -- "$2" "$1" 2>/dev/null; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.2
  done
}

start 2>"$tmp/first.err" &
app_pid=$!
wait_for "$tmp/line.log" "recv ALERT_REQ plci=0x0101" 20 || { cat "$tmp/first.err"; fail "no ALERT_REQ"; }
wait_for "$trace" "popup 0301234567" 10 || { cat "$trace"; fail "no pop-up"; }
grep -F "popup 0301234567" "$trace" | grep -q "Berlin" || fail "place not from the installed Avon.dbf: $(cat "$trace")"
calllog=$home/.local/share/callbeacon/Anrufe.dbf
[ -f "$calllog" ] || fail "no call log in the per-user data folder"
[ "$(stat -c %u "$calllog")" = "$user" ] || fail "call log not owned by the user"
grep -aq 0301234567 "$calllog" || fail "call not in $calllog"
[ ! -e "$home/Anrufe.dbf" ] || fail "tables landed in the home folder"

step "second start"
begin=$SECONDS
(start) 2>"$tmp/second.err" && fail "second start succeeded"
grep -qF "CallBeacon läuft bereits." "$tmp/second.err" || fail "second start: $(cat "$tmp/second.err")"
[ $((SECONDS - begin)) -le 8 ] || fail "second start took $((SECONDS - begin)) s"
kill -0 "$app_pid" || fail "the first one ended"

step "SIGTERM saves the settings"
begin=$SECONDS
kill -TERM "$app_pid"
wait "$app_pid" || fail "exit status $?"
app_pid=""
ini=$home/.config/callbeacon/callbeacon.INI
[ -f "$ini" ] || fail "settings not saved in $ini"
grep -q '^Nr9=' "$ini" || fail "settings incomplete: $(cat "$ini")"
[ ! -e "$root/usr/bin/callbeacon.INI" ] || fail "settings beside the installed program"

step "SIGTERM with unwritable settings ends within 5 s"
: >"$trace"
start 2>"$tmp/third.err" &
app_pid=$!
wait_for "$trace" "hint CallBeacon" 15 || fail "third start: $(cat "$tmp/third.err")"
chmod 444 "$ini"
chmod 555 "$(dirname "$ini")"
sleep 0.5
t0=$(date +%s%N)
kill -TERM "$app_pid"
status=0
wait "$app_pid" || status=$?
app_pid=""
ms=$((($(date +%s%N) - t0) / 1000000))
echo "ended after $ms ms with status $status"
[ $ms -lt 5000 ] || fail "took $ms ms"
grep -q "kann nicht geschrieben werden" "$tmp/third.err" || fail "no error on stderr: $(cat "$tmp/third.err")"
grep -q "^error .*kann nicht geschrieben werden" "$trace" || fail "no error in the trace"
! grep -q "^box" "$trace" || fail "a box was shown: $(cat "$trace")"
echo "== package test passed"
