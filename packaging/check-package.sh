#!/bin/sh
# Builds the Debian package from a configured and built tree and checks it
# with the validators of its readers: lintian (errors and warnings fail),
# desktop-file-validate and appstreamcli validate --pedantic. As root (or
# with sudo) it then installs the package on this machine with apt-get,
# runs the installed programs, removes the package again and checks that
# nothing of it is left. A machine that already has a pixmill package
# installed is left alone (the install step is skipped with a note).
#
#   packaging/check-package.sh BUILD_DIR
set -eu
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
SUDO=""
if [ "$(id -u)" != "0" ]; then SUDO="sudo -n"; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "=== package"
(cd "$build" && rm -f pixmill_*.deb && cpack -G DEB >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$build"/pixmill_*_*.deb)
echo "$deb"

echo "=== lintian"
lint=0
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || lint=$?
grep -v "running with root privileges" "$work/lintian.log" || true
[ "$lint" = 0 ] || { echo "lintian found errors or warnings"; exit 1; }

echo "=== desktop-file-validate and appstreamcli"
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work"/root/usr/share/applications/*.desktop
appstreamcli validate --pedantic --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml

echo "=== install, run, remove"
if dpkg-query -W -f='${Status}' pixmill 2>/dev/null | grep -q "install ok installed"; then
    echo "a pixmill package is installed on this machine already: install test skipped"
    exit 0
fi
if [ -n "$SUDO" ] && ! sudo -n true 2>/dev/null; then
    echo "not root and no sudo: install test skipped"
    exit 0
fi
dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' | grep -v '/$' > "$work/files"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$deb" \
    >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
status=0
removed=0
remove() {
    [ "$removed" = 1 ] && return
    removed=1
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get purge -y pixmill >>"$work/apt.log" 2>&1
}
trap 'remove; rm -rf "$work"' EXIT
check() { # what, command...
    what="$1"; shift
    if ! out=$("$@" 2>&1); then
        echo "FAIL: $what: $out"; status=1
    else
        echo "ok: $what"
    fi
}
cd "$work"
export PIXMILL_SETTINGS="$work/settings.ini"
check "pixmill --version" /usr/bin/pixmill --version
check "pixmill-cli --version" /usr/bin/pixmill-cli --version
check "pixmill-html --version" /usr/bin/pixmill-html --version
expected=$("$build/bin/pixmill-cli" formats | wc -l)
listed=$(/usr/bin/pixmill-cli formats | wc -l)
check "pixmill-cli formats lists all $((expected - 1)) formats" test "$listed" = "$expected"
check "installed plug-ins convert" sh -c \
    '/usr/bin/pixmill-cli convert /usr/lib/pixmill/def.jpg out.webp -q && test -s out.webp'
check "help pages" test -f "$(/usr/bin/pixmill-cli help contents)"
check "manual pages" man -w pixmill pixmill-cli pixmill-html
check "bash completion" bash -c '. /usr/share/bash-completion/completions/pixmill-cli &&
    COMP_WORDS=(pixmill-cli batch --format We) COMP_CWORD=3 && compopt() { :; } &&
    _pixmill_cli && test "${COMPREPLY[0]}" = WebP'
remove
left=""
while read -r file; do
    if [ -e "$file" ] || [ -L "$file" ]; then left="$left $file"; fi
done < "$work/files"
for folder in /usr/lib/pixmill /usr/share/doc/pixmill; do
    if [ -e "$folder" ]; then left="$left $folder"; fi
done
check "nothing left after removal" test -z "$left"
[ -n "$left" ] && echo "left behind:$left"
exit $status
