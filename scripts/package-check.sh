#!/usr/bin/env bash
# Checks the installation as a Debian program: the menu entry and AppStream
# data validate, the .deb builds and is lintian clean of errors, and the
# installed program starts from /usr/bin, speaks (to a transcript), and its
# manual page renders. Removes the package again at the end.
# Everything is built in build-deb/ (a copy of the tracked files), so the
# parent folder and the tree stay clean.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-deb
start=$(date +%s)

echo "== desktop entry and AppStream data"
desktop-file-validate data/yomimaru.desktop
appstreamcli validate --no-net data/io.github.yomimaru.Yomimaru.metainfo.xml

echo "== man page"
man --warnings -l data/yomimaru.1 >/dev/null

echo "== building the .deb in $out"
rm -rf "$out"
mkdir -p "$out/src"
git ls-files -z | xargs -0 -I{} cp --parents {} "$out/src/"
# Untracked but not ignored files (work in progress) go along too.
git ls-files -z --others --exclude-standard | xargs -0 -r -I{} cp --parents {} "$out/src/"
(cd "$out/src" && dpkg-buildpackage -us -uc -b -j2 >"$out/build.log" 2>&1) || {
    tail -40 "$out/build.log"
    exit 1
}
version=$(dpkg-parsechangelog -l debian/changelog -S Version)
deb=$out/yomimaru_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb
test -f "$deb"
echo "built $deb"
dpkg-deb -I "$deb" | sed -n '/Depends/p;/Recommends/p'
if dpkg-deb -c "$deb" | grep -q boardserver; then
    echo "the test board server must not be in the package" >&2
    exit 1
fi

echo "== lintian"
lint_rc=0
lintian --fail-on error "$deb" >"$out/lintian.raw" 2>&1 || lint_rc=$?
grep -v 'root privileges' "$out/lintian.raw" >"$out/lintian.txt" || true
cat "$out/lintian.txt"
echo "lintian: $(grep -c '^E:' "$out/lintian.txt" || true) errors, $(grep -c '^W:' "$out/lintian.txt" || true) warnings"
[ "$lint_rc" -eq 0 ] || { echo "lintian found errors" >&2; exit 1; }

echo "== install, start from /usr/bin, remove"
apt-get install -y "$deb" >"$out/install.log" 2>&1 || {
    tail -20 "$out/install.log"
    exit 1
}
trap 'apt-get purge -y yomimaru >/dev/null 2>&1 || true' EXIT
test "$(command -v yomimaru)" = /usr/bin/yomimaru
/usr/bin/yomimaru --version
scratch=$(mktemp -d)
# The transcript only writes the sentence: the check prints it and which
# voice it chose, and must end with 1 (nothing was heard), never with 0.
rc=0
YOMIMARU_DATA_DIR=$scratch/data YOMIMARU_CONFIG_DIR=$scratch/config \
    /usr/bin/yomimaru --speech-check --speech=transcript >"$scratch/check.txt" 2>&1 || rc=$?
cat "$scratch/check.txt"
grep -q '^engine: transcript' "$scratch/check.txt"
[ "$rc" -eq 1 ] || { echo "--speech-check with the transcript ended with $rc, not 1" >&2; exit 1; }
# A whole start and a failed one, with the help and sounds from /usr/share/yomimaru
# (the package build searches no source folder).
QT_QPA_PLATFORM=offscreen bash tests/smoke-test.sh /usr/bin/yomimaru "$scratch/smoke"
rm -rf "$scratch"
test -f /usr/share/yomimaru/help.txt
# The speech-dispatcher module: where the daemon looks, answering its first
# command (loaded where the contrib voice is installed, else declining with
# the reason).
module=/usr/lib/speech-dispatcher-modules/sd_yomimaru-openjtalk
test -x "$module"
test -f /etc/speech-dispatcher/modules/yomimaru-openjtalk.conf
answer=$(printf 'INIT\nQUIT\n' | timeout 10 "$module" /etc/speech-dispatcher/modules/yomimaru-openjtalk.conf || true)
echo "$answer" | head -n 2
echo "$answer" | grep -Eq '^(299 OK LOADED SUCCESSFULLY|399 ERR CANT INIT MODULE)$'
test -f /usr/share/applications/yomimaru.desktop
man --warnings -l /usr/share/man/man1/yomimaru.1.gz >/dev/null
apt-get purge -y yomimaru >/dev/null
trap - EXIT
if dpkg -s yomimaru >/dev/null 2>&1; then
    echo "yomimaru is still installed" >&2
    exit 1
fi
if [ -e "$module" ] || [ -e /etc/speech-dispatcher/modules/yomimaru-openjtalk.conf ]; then
    echo "the speech-dispatcher module is still installed after the purge" >&2
    exit 1
fi
echo "== package check passed in $(($(date +%s) - start)) s"
