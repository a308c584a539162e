#!/usr/bin/env bash
# The Debian package: built from the build tree, clean for lintian, with the files a desktop needs,
# and, when run as root on a machine without Zonkle installed, installed, started the way the
# desktop menu starts it, and removed without a trace.
# Usage: package_check.sh <build-dir> <source-dir>
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package_check: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" >/dev/null || fail "cpack failed (the whole build tree must be built first)"
deb=$(echo "$work"/zonkle_*.deb)
[[ -f $deb ]] || fail "no package built"

info=$(dpkg-deb --field "$deb" Maintainer Description)
grep -Eq '^Maintainer: .+ <[^@ ]+@[^@ ]+>$' <<<"$info" || fail "maintainer without an address: $info"
contents=$(dpkg-deb --contents "$deb" | awk '{ print $6 }')
for file in ./usr/bin/zonkle ./usr/libexec/zonkle/thwack-core-daemon ./usr/share/applications/zonkle.desktop \
    ./usr/share/icons/hicolor/scalable/apps/zonkle.svg ./usr/share/metainfo/org.zonkle.Zonkle.metainfo.xml \
    ./usr/share/man/man1/zonkle.1.gz ./usr/share/doc/zonkle/copyright ./usr/share/doc/zonkle/changelog.gz; do
    grep -qxF "$file" <<<"$contents" || fail "missing $file"
done

lintian --fail-on error,warning "$deb" 2>&1 | grep -v 'running with root privileges' || true
lintian --fail-on error,warning "$deb" >/dev/null 2>&1 || fail "lintian reports errors or warnings"
appstreamcli validate --no-net "$source/share/metainfo/org.zonkle.Zonkle.metainfo.xml" >/dev/null ||
    fail "AppStream metadata is not valid"
desktop-file-validate "$source/share/applications/zonkle.desktop" || fail "desktop entry is not valid"

if [[ $(id -u) -ne 0 ]] || dpkg-query -W zonkle >/dev/null 2>&1; then
    echo "package_check: not root, or Zonkle already installed: install round trip skipped"
    exit 0
fi
dpkg -i "$deb" >/dev/null || { dpkg --purge zonkle >/dev/null; fail "dpkg -i failed"; }
# As the desktop menu does: the entry's Exec line, found on PATH, in a session of its own.
command=$(sed -n 's/^Exec=//p' /usr/share/applications/zonkle.desktop)
mkdir -m 700 "$work/run"
: >"$work/out"
HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=offscreen \
    $command >"$work/out" 2>&1 &
app=$!
for _ in $(seq 600); do
    grep -q 'Go daemon started successfully.' "$work/out" && break
    kill -0 $app 2>/dev/null || break
    sleep 0.1
done
started=$(grep -c 'Go daemon started successfully.' "$work/out" || true)
kill -TERM $app 2>/dev/null || true
status=0
wait $app || status=$?
dpkg --purge zonkle >/dev/null
[[ $started -eq 1 && $status -eq 0 ]] || fail "installed zonkle did not start and quit cleanly: $(cat "$work/out")"
[[ ! -e /usr/bin/zonkle && ! -e /usr/libexec/zonkle && ! -e /usr/share/doc/zonkle ]] || fail "files left after removal"
echo "package_check: installed, started from its desktop entry, quit on SIGTERM, removed"
