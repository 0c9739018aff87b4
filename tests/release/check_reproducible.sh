#!/usr/bin/env bash
# tests/release/check_reproducible.sh: builds the release of the checked-out
# commit a second time, in a fresh clone in another folder, under another
# umask, time zone and locale, and compares it with dist/ (made before by
# tools/release.sh) byte for byte. Fails naming the first file that differs;
# the second build's files are then kept in dist-elsewhere/.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD

[ -f dist/SHA256SUMS ] || { echo "tests/release: dist/ is missing: run tools/release.sh first" >&2; exit 1; }
(cd dist && sha256sum --quiet --strict -c SHA256SUMS) || { echo "FAIL: dist/SHA256SUMS does not hold"; exit 1; }

commit=$(git rev-parse HEAD)
# On another file system where one has room (tmpfs orders and sizes folders
# unlike ext4), else in /tmp.
parent=/tmp
avail=$(df --output=avail -k /dev/shm 2>/dev/null | tail -n 1) || avail=0
[ "${avail:-0}" -gt 1000000 ] && parent=/dev/shm
elsewhere=$(mktemp -d "$parent/dorvik-elsewhere.XXXXXX")
trap 'rm -rf "$elsewhere"' EXIT
# A umask and a locale other than this shell's, and a time zone 14 hours east.
[ "$(umask)" = 0077 ] && mask=0002 || mask=0077
case ${LC_ALL:-${LANG:-POSIX}} in C.UTF-8 | C.utf8) locale=POSIX ;; *) locale=C.UTF-8 ;; esac
echo "-- the release of $commit again, in $elsewhere/another-clone" \
  "($(stat -f -c %T "$elsewhere"), here $(stat -f -c %T .); umask $mask, TZ=EAST-14, LC_ALL=$locale)"
(
  umask "$mask"
  git clone --quiet --shared --no-checkout "$root" "$elsewhere/another-clone"
  cd "$elsewhere/another-clone"
  git checkout --quiet --detach "$commit"
  export TZ=EAST-14 LANG=$locale LC_ALL=$locale
  bash tools/release.sh
) > "$elsewhere/release.log" 2>&1 || { cat "$elsewhere/release.log"; echo "FAIL: the second release build failed"; exit 1; }

second=$elsewhere/another-clone/dist
# Each download, in name order, then the sums (which differ where one does).
downloads=$({ ls -A dist && ls -A "$second"; } | LC_ALL=C sort -u | grep -vx SHA256SUMS) || true
for file in $downloads SHA256SUMS; do
  if ! cmp "dist/$file" "$second/$file"; then
    rm -rf dist-elsewhere && cp -a "$second" dist-elsewhere
    echo "FAIL: dist/$file differs between the two builds (the second is in dist-elsewhere/)"
    exit 1
  fi
done
echo "PASS: the release of $commit is the same to the bit in $elsewhere/another-clone:"
cat dist/SHA256SUMS
