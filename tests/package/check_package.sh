#!/usr/bin/env bash
# tests/package/check_package.sh: builds the Debian package from the default
# build, checks it as Debian would (lintian: no error; desktop-file-validate:
# nothing; appstreamcli: no warning), unpacks it into a scratch root and
# checks that it holds what a desktop and a software centre need, that
# dpkg-shlibdeps worked out its dependencies, and that the unpacked dorvik,
# with nothing from the build tree, opens its window and shows its first frame
# under Xvfb (the end-to-end driver's title_and_size).
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake --build --preset default --target package
deb=build/dorvik_$(sed -nE 's/^project\(dorvik VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)_amd64.deb
[ -f "$deb" ] || { echo "FAIL: $deb was not written"; exit 1; }

fail() {
  echo "FAIL: $*"
  exit 1
}

echo "-- lintian $deb"
# Errors fail; warnings and notes are shown.
lintian --fail-on error --display-info "$deb" || fail "lintian reports errors"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"

echo "-- desktop-file-validate"
report=$(desktop-file-validate "$root/usr/share/applications/dorvik.desktop" 2>&1) || true
[ -z "$report" ] || fail "desktop-file-validate: $report"

echo "-- appstreamcli validate"
# The record alone, then in the unpacked tree, where its launchable must be
# the package's desktop entry.
appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.dorvik.metainfo.xml" ||
  fail "appstreamcli validate: the AppStream record has faults"
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree: see above"

echo "-- contents"
for file in usr/bin/dorvik usr/bin/dorvik-frames usr/share/applications/dorvik.desktop \
  usr/share/man/man1/dorvik.1.gz usr/share/doc/dorvik/copyright usr/share/doc/dorvik/changelog.gz; do
  [ -f "$root/$file" ] || fail "the package has no $file"
done
for size in 16 32 48 256; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/dorvik.png
  file -b "$icon" 2>/dev/null | grep -q "PNG image data, $size x $size" ||
    fail "no ${size}x${size} PNG icon: $(file -b "$icon" 2>&1)"
done
# The manual page renders without a complaint from groff.
warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/dorvik.1.gz" 2>&1 >/dev/null) ||
  fail "man cannot show dorvik(1)"
[ -z "$warnings" ] || fail "dorvik(1): $warnings"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libsdl2-2.0-0 libpng16-16 libgif7 libc6; do
  grep -q "$library" <<<"$depends" || fail "Depends has no $library: $depends"
done
echo "Depends: $depends"

echo "-- the unpacked dorvik on the terminal and under Xvfb"
version=$("$root/usr/bin/dorvik" --version) || fail "dorvik --version failed"
[ "$version" = "dorvik 1.00" ] || fail "dorvik --version printed '$version'"
"$root/usr/bin/dorvik-frames" "$root/frames" >/dev/null
# The program carries its pictures: run it where no build tree can be found.
(cd "$root" && /usr/bin/python3 "$OLDPWD/tests/e2e/dorvik_e2e.py" --frames "$root/frames" \
  title_and_size -- "$root/usr/bin/dorvik")
echo "PASS: $deb"
