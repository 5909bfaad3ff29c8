#!/usr/bin/env bash
# Builds the Debian package from ./build and checks it with lintian (any error fails; warnings
# are shown), installs it on this machine (apt resolves its dependencies), validates the
# installed desktop entry and AppStream metainfo and the packaged manual page, and starts the
# installed program as an ordinary user with the virtual instrument on the offscreen platform:
# it must open the virtual link, find its meter-number table and translations in the installed
# data folder, end by itself and leave its working directory untouched. Run as root (CI) or with
# sudo; the package is removed again at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

rm -f build/colorimeter_*.deb
(cd build && cpack -G DEB >/dev/null)
deb=$(ls build/colorimeter_*.deb)
echo "== package: $deb"
dpkg-deb --field "$deb" Package Version Depends Recommends

echo "== lintian"
# Errors fail the test; warnings and notes are listed for whoever reads the log.
lintian --fail-on error --display-info "$deb"
# Documentation is looked for in the package itself: a minimal system may be set to leave
# /usr/share/doc and /usr/share/man out when it installs a package.
contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
for f in ./usr/share/doc/colorimeter/copyright ./usr/share/doc/colorimeter/changelog.gz \
         ./usr/share/man/man1/colorimeter.1.gz; do
    grep -qx "$f" <<<"$contents" || { echo "not in the package: $f" >&2; exit 1; }
done
# The manual page renders without a complaint from groff.
man_warnings=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/colorimeter.1.gz | gunzip \
    | LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l - 2>&1 >/dev/null)
[ -z "$man_warnings" ] || { echo "manual page: $man_warnings" >&2; exit 1; }
# The changelog's newest entry is the version the package carries.
changelog_version=$(dpkg-parsechangelog -l resources/linux/debian/changelog -S Version)
if [ "$changelog_version" != "$(dpkg-deb --field "$deb" Version)" ]; then
    echo "the newest changelog entry is $changelog_version, the package $(dpkg-deb --field "$deb" Version)" >&2
    exit 1
fi

$SUDO apt-get install -y --no-install-recommends "./$deb" >/dev/null
base=""
log=""
cleanup() {
    $SUDO dpkg --purge colorimeter >/dev/null || true
    if [ -n "$base" ]; then $SUDO rm -rf "$base"; fi
    if [ -n "$log" ]; then rm -f "$log"; fi
}
trap cleanup EXIT

echo "== installed files"
for f in /usr/bin/colorimeter /usr/share/colorimeter/meterno.xls \
         /usr/share/colorimeter/Pelmo_zh.qm /usr/share/colorimeter/Pelmo_en.qm \
         /usr/lib/udev/rules.d/70-colorimeter.rules \
         /usr/share/applications/org.colorimeter.Colorimeter.desktop \
         /usr/share/metainfo/org.colorimeter.Colorimeter.metainfo.xml \
         /usr/share/icons/hicolor/64x64/apps/org.colorimeter.Colorimeter.png \
         /usr/share/icons/hicolor/256x256/apps/org.colorimeter.Colorimeter.png; do
    test -f "$f" || { echo "missing: $f" >&2; exit 1; }
done
desktop-file-validate /usr/share/applications/org.colorimeter.Colorimeter.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.colorimeter.Colorimeter.metainfo.xml
/usr/bin/colorimeter --version

echo "== start as an ordinary user"
user=colorimeter-ci
id "$user" >/dev/null 2>&1 || $SUDO useradd --create-home --shell /bin/sh "$user"
home=$(getent passwd "$user" | cut -d: -f6)
# The user's own temporary, runtime and working folders, all removed at the end.
base=$($SUDO runuser -u "$user" -- mktemp -d)
work="$base/work"
$SUDO runuser -u "$user" -- mkdir -m 700 "$work" "$base/run" "$base/tmp"
log=$(mktemp)
set +e
$SUDO runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 \
    QT_QPA_PLATFORM=offscreen COLORIMETER_TEST_AUTOANSWER=1 \
    QT_LOGGING_RULES="colorimeter.*.debug=true;colorimeter.frames.debug=false" \
    XDG_RUNTIME_DIR="$base/run" TMPDIR="$base/tmp" \
    sh -c "cd '$work' && exec timeout 60 colorimeter --demo --quit-after 2000" 2>"$log"
rc=$?
set -e
fail() { echo "FAILED: $1" >&2; cat "$log" >&2; exit 1; }
[ "$rc" -eq 0 ] || fail "exit status $rc"
grep -q 'hidDevice Open success!' "$log" || fail "the virtual link did not open"
grep -q 'meter-number table "/usr/share/colorimeter/meterno.xls" read:' "$log" \
    || fail "the installed meter-number table was not read"
grep -q "Can't open file" "$log" && fail "a file could not be opened"
grep -q 'translation "Pelmo_zh" loaded from "/usr/share/colorimeter"' "$log" \
    || fail "the installed translations were not found"
[ -z "$(ls -A "$work")" ] || fail "files were left in the working directory: $(ls -A "$work")"
echo "== package test passed"
