#!/usr/bin/env bash
# Installs the Debian 12 packages that dorvik needs (as root): with --build,
# what building needs; with --web, what building the page needs; with
# --release, what tools/release.sh needs (every build, Python for the zips);
# without, also what the tests need (Xvfb, xdotool, wine, Chromium ...).
# Installs nothing when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libpng-dev libgif-dev libsdl2-dev libx11-dev libwayland-dev
  dpkg-dev file
)
# libgif-dev: dorvik-frames writes its GIFs with giflib (the viewer does not
# link it). dpkg-dev (dpkg-shlibdeps) and file: CPack's Debian package works
# out the package's dependencies from its binaries with them.
# The page: emscripten (its cross build runs the host generators, built with
# the packages above), and for its tests Debian's Chromium and npm. A Node.js
# from elsewhere that brings its own npm is kept (Debian's npm would clash).
web_packages=(emscripten)
if [ "${1:-}" != "--web" ] && [ "${1:-}" != "--release" ]; then
  web_packages+=(chromium)
  command -v npm > /dev/null || web_packages+=(nodejs npm)
fi
if [ "${1:-}" != "--build" ]; then
  packages+=("${web_packages[@]}")
fi
windows_packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
                  binutils-mingw-w64-x86-64)
if [ "${1:-}" = "--release" ]; then
  packages+=("${windows_packages[@]}" python3)
elif [ "${1:-}" != "--build" ] && [ "${1:-}" != "--web" ]; then
  packages+=(
    clang-format xvfb xauth xdotool x11-apps x11-utils imagemagick python3 python3-xlib
    x11-xserver-utils sway grim "${windows_packages[@]}"
    wine wine32:i386 wine64 python3-pefile icoutils
    lintian desktop-file-utils appstream man-db clang-14 libfuzzer-14-dev libclang-rt-14-dev
  )
  # wine32 runs the 32-bit program where the kernel runs 32-bit programs;
  # wine64 runs its 64-bit twin everywhere else.
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "dorvik: missing packages: ${missing[*]}; run this as root to install them" >&2
  exit 1
fi
echo "dorvik: installing ${missing[*]}"
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
install() { apt-get install -y -q --no-install-recommends "$@"; }

# A mirror in the middle of a sync serves an index that does not match its
# release file for a while. Try again a little later, then go on with the
# indexes that did arrive: what they cannot install is named below.
for try in 1 2 3; do
  apt-get update -q && break
  if [ $try -lt 3 ]; then
    echo "dorvik: apt-get update failed (try $try of 3); trying again in $((try * 5)) s" >&2
    sleep $((try * 5))
  else
    echo "dorvik: some package indexes could not be downloaded; going on with the others" >&2
  fi
done

# The 32-bit wine is the one package the tests can do without: the Windows
# checks then run the 64-bit program (tests/win32/run.sh says so).
required=() optional=()
for p in "${missing[@]}"; do
  case $p in
    wine32:i386) optional+=("$p") ;;
    *) required+=("$p") ;;
  esac
done
if [ ${#required[@]} -gt 0 ] && ! install "${required[@]}"; then
  # One at a time, to name the ones that cannot be had.
  failed=()
  for p in "${required[@]}"; do
    install "$p" >/dev/null 2>&1 || failed+=("$p")
  done
  if [ ${#failed[@]} -gt 0 ]; then
    echo "dorvik: cannot install ${failed[*]}: apt-get's messages above say why" >&2
    exit 1
  fi
fi
for p in "${optional[@]}"; do
  if ! log=$(install "$p" 2>&1); then
    echo "dorvik: $p cannot be installed ($(grep -m 1 '^E:' <<<"$log" || tail -n 1 <<<"$log")); the Windows checks will run the 64-bit program" >&2
  fi
done
