#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian source package's binary package the way a distribution does
# (dpkg-buildpackage -us -uc -b, debhelper with CMake, hardening from dpkg-buildflags) from a
# copy of the source tree, and checks it: lintian -EviIL +pedantic without any tag that is not
# overridden, hardened program, desktop entry and AppStream component valid and under one id.
# The package's own tests are not run here (nocheck): tools/test.sh runs them on its build.
# Usage: test_debian_package.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
app_id=io.github.callbeacon.CallBeacon

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIPPED: $*"; exit 77; }
step() { echo "== $*"; }
if grep -q '^CB_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
  skip "sanitizer build (the normal build checks the package)"
fi
command -v dpkg-buildpackage >/dev/null || skip "dpkg-buildpackage missing: not a Debian system"
command -v dh >/dev/null || skip "debhelper missing (tools/install-deps.sh installs it)"
for tool in lintian desktop-file-validate appstreamcli readelf dpkg-deb; do
  command -v "$tool" >/dev/null || fail "$tool missing (tools/install-deps.sh installs it)"
done

# A fixed place below the build folder: dpkg-buildpackage writes beside the source tree, and
# the same paths let ccache find the previous run's objects.
work=$build/debian-package
rm -rf "$work"
mkdir -p "$work/callbeacon"
if git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
    xargs -0 tar --no-recursion -cf - 2>/dev/null) | tar -xf - -C "$work/callbeacon"
else
  tar -C "$source_dir" --exclude='./build*' --exclude=./demo-data -cf - . | tar -xf - -C "$work/callbeacon"
fi

step "dpkg-buildpackage -us -uc -b"
if command -v ccache >/dev/null && [ -d /usr/lib/ccache ]; then
  export PATH=/usr/lib/ccache:$PATH CCACHE_BASEDIR=$work
fi
begin=$SECONDS
(cd "$work/callbeacon" &&
  DEB_BUILD_OPTIONS="nocheck parallel=$(nproc)" dpkg-buildpackage -us -uc -b) \
  >"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log"; fail "dpkg-buildpackage"; }
echo "built in $((SECONDS - begin)) s"
deb=$(ls "$work"/callbeacon_*.deb)
changes=$(ls "$work"/callbeacon_*.changes)

step "hardening flags from dpkg-buildflags"
flags=$(cd "$work/callbeacon" && export DEB_BUILD_MAINT_OPTIONS=hardening=+all &&
  echo "$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)")
for flag in -fstack-protector-strong -D_FORTIFY_SOURCE=2; do
  case " $flags " in *" $flag "*) ;; *) fail "dpkg-buildflags gives no $flag: $flags" ;; esac
  grep -q -- "$flag" "$work/build.log" || fail "$flag not used in the build"
done
root=$work/root
dpkg-deb -x "$deb" "$root"
exe=$root/usr/bin/callbeacon
readelf -d "$exe" | grep -q 'BIND_NOW' || fail "not linked with -z now"
readelf -h "$exe" | grep -q 'DYN' || fail "not a position-independent executable"
readelf -lW "$exe" | grep -q 'GNU_RELRO' || fail "no RELRO"

step "lintian -EviIL +pedantic"
lintian -EviIL +pedantic "$changes" >"$work/lintian.log" 2>&1 || true
if grep -E '^[EWIPX]: ' "$work/lintian.log"; then
  fail "lintian reports the tags above"
fi

step "one id: desktop entry, AppStream component, icon"
desktop=$root/usr/share/applications/$app_id.desktop
metainfo=$root/usr/share/metainfo/$app_id.metainfo.xml
desktop-file-validate "$desktop" || fail "desktop entry"
appstreamcli validate --no-net --pedantic "$metainfo" || fail "AppStream component"
grep -q "<id>$app_id</id>" "$metainfo" || fail "AppStream id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "AppStream launchable"
grep -qx "Icon=$app_id" "$desktop" || fail "desktop entry icon"
[ -f "$root/usr/share/icons/hicolor/48x48/apps/$app_id.png" ] || fail "icon under the id"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$app_id.svg" ] || fail "scalable icon under the id"
! grep -rIl 'example\.org' "$root" || fail "example.org in the package"
dpkg-deb -f "$deb" Description | grep -q 'IP and ISDN' || fail "package description"
dpkg-deb -f "$deb" Recommends | grep -qw libcapi20-3 || fail "libcapi20-3 is not recommended"
[ -f "$root/usr/share/callbeacon/Avon.cpg" ] || fail "the area codes' code-page file"
echo "== Debian package test passed"
