#!/usr/bin/env bash
# tools/release.sh: builds every download of the checked-out commit into dist/
# (installing what it needs on Debian 12):
#   dorvik_<version>_amd64.deb     the Debian package (the default preset's build)
#   dorvik-<v>-win32.zip, -win64   Dorvik.exe with LICENSE.txt and README.txt
#   dorvik-<v>-web.zip             the page's folder, for any static web server
#   dorvik-<v>-small-lift.gif,     one turn of each set, looping, for slides
#   dorvik-<v>-large-lift.gif      (dorvik-frames', as the page offers them)
#   dorvik-<v>.tar.gz              the commit's sources
#   SHA256SUMS                     over all of them
# The same commit gives the same bytes in any folder, at any time, under any
# umask, time zone or locale: every time stamp is the commit's
# (SOURCE_DATE_EPOCH), and what packs the files fixes their order, owner and
# permissions. It builds in the presets' folders (build/, build-web/,
# build-win32/, build-win64/), only the targets the downloads need; folders
# that tools/test.sh built already are taken as they are.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh --release

commit=$(git rev-parse HEAD)
# The downloads are the commit's: no change to a tracked file may go in. The
# README's pictures, which the tests take again, go into no download but the
# sources, and those are the commit's own.
changed=$(git status --porcelain --untracked-files=no -- . ':(exclude)docs/*.png')
if [ -n "$changed" ]; then
  echo "dorvik release: the working tree differs from the commit $commit:" >&2
  echo "$changed" >&2
  exit 1
fi

export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
# The Debian package's archive takes its members' permissions from the umask,
# and sorting from the locale.
umask 022
export LC_ALL=C.UTF-8

read -r major minor patch < <(sed -nE 's/^project\(dorvik VERSION ([0-9]+)\.([0-9]+)\.([0-9]+).*/\1 \2 \3/p' CMakeLists.txt) ||
  { echo "dorvik release: no project(dorvik VERSION X.Y.Z) in CMakeLists.txt" >&2; exit 1; }
deb=dorvik_${major}.${minor}.${patch}_amd64.deb
version=$(printf '%d.%02d' "$major" "$minor")  # the program's own: dorvik 1.00

echo "== dorvik $version release of $commit ($(date -u -d "@$SOURCE_DATE_EPOCH" +%FT%TZ))"
cmake --preset default
# With every generator that the cross builds take from build/bin.
cmake --build --preset default --target dorvik dorvik-frames dorvik_package_files dorvik_host_tools
(cd build && cpack -G DEB)
# The cross builds run the Linux build's generators rather than build their own.
host_tools=-DDORVIK_HOST_TOOLS_DIR="$PWD/build/bin"
for preset in win32 win64; do
  cmake --preset $preset "$host_tools"
  cmake --build --preset $preset --target Dorvik
done
cmake --preset web "$host_tools"
cmake --build --preset web

rm -rf dist
mkdir dist
cp "build/$deb" dist/
for bits in 32 64; do
  name=dorvik-$version-win$bits
  /usr/bin/python3 tools/release_zip.py "dist/$name.zip" "$name/Dorvik.exe=build-win$bits/bin/Dorvik.exe" \
    "text:$name/LICENSE.txt=LICENSE" "text:$name/README.txt=window/win32/README.txt"
done
/usr/bin/python3 tools/release_zip.py "dist/dorvik-$version-web.zip" "dorvik-$version-web=build-web/web"
# The GIFs that the page's build placed, written by this build's dorvik-frames.
for lift in small-lift large-lift; do
  cp "build-web/web/$lift.gif" "dist/dorvik-$version-$lift.gif"
done
# git writes the commit's time on every member; the settings fix what a user's
# configuration could change (line endings, permissions).
git -c core.autocrlf=false -c tar.umask=022 archive --format=tar --prefix="dorvik-$version/" "$commit" |
  gzip -9n > "dist/dorvik-$version.tar.gz"
(cd dist && sha256sum -- * > SHA256SUMS)

echo "== dist/ ($commit):"
cat dist/SHA256SUMS
