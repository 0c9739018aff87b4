#!/usr/bin/env bash
# Builds dorvik and runs every test: the unit and end-to-end tests of the Linux
# build, its Debian package's checks, the libFuzzer targets, a one-minute soak
# of its window, the same unit tests again under AddressSanitizer +
# UndefinedBehaviorSanitizer, the page in headless Chromium, and the checks of
# both Windows builds (the 32-bit program and its 64-bit twin) under wine, and
# the release's downloads, built twice in two places and compared.
# Installs what it needs on Debian 12. Each stage says when it began; the
# sanitizer build runs beside the package's checks, fuzzing and the soak, and
# the release's second build beside the checks under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
began=$SECONDS
stage() { echo "== $* (at ${SECONDS}s)"; }

stage "packages"
tools/deps.sh

stage "format"
git ls-files '*.cpp' '*.hpp' | xargs clang-format --dry-run --Werror

stage "Linux build and tests"
cmake --preset default
cmake --build --preset default
ctest --preset default

# The sanitizer build compiles on both cores while the next three stages
# mostly keep one busy each: it runs beside them, and says how it went after.
stage "the unit tests under AddressSanitizer + UndefinedBehaviorSanitizer, beside the next three stages"
asan_log=$(mktemp)
(cmake --preset asan && cmake --build --preset asan && ctest --preset asan) > "$asan_log" 2>&1 &
asan_pid=$!
# A trap's failing command would end the script with its status under set -e,
# and the stages are reaped already when it runs: it must not fail.
trap 'kill "$asan_pid" 2>/dev/null || true; rm -f "$asan_log"' EXIT

stage "the Debian package: lintian, desktop-file-validate, the unpacked viewer under Xvfb"
tests/package/check_package.sh

stage "fuzzing with libFuzzer: the picture records and the window's event handling, 30 s each"
tests/fuzz/run.sh 30

stage "soak: a minute of random input to the window under Xvfb"
/usr/bin/python3 bench/window/soak.py --seconds 60 build

asan_status=0
wait "$asan_pid" || asan_status=$?
stage "the sanitizer build and its unit tests ended (status $asan_status)"
cat "$asan_log"
[ "$asan_status" -eq 0 ] || { echo "== the sanitizer stage failed" >&2; exit 1; }

# The cross builds run the Linux build's generators rather than build their own.
host_tools=-DDORVIK_HOST_TOOLS_DIR="$PWD/build/bin"

stage "the page in headless Chromium: the end-to-end scenarios that apply to a page"
cmake --preset web "$host_tools"
cmake --build --preset web
tests/web/run.sh

stage "Windows builds; the release into dist/, then built again elsewhere beside the checks under wine"
for preset in win32 win64; do
  cmake --preset $preset "$host_tools"
  cmake --build --preset $preset
done
bash tools/release.sh
# The second release builds in a clone of its own on both cores while wine
# keeps one busy; dist/ is made already, and nothing under wine touches it.
release_log=$(mktemp)
tests/release/check_reproducible.sh > "$release_log" 2>&1 &
release_pid=$!
trap 'kill "$asan_pid" "$release_pid" 2>/dev/null || true; rm -f "$asan_log" "$release_log"' EXIT
tests/win32/run.sh

release_status=0
wait "$release_pid" || release_status=$?
stage "the release built again elsewhere and compared byte for byte ended (status $release_status)"
cat "$release_log"
[ "$release_status" -eq 0 ] || { echo "== the release check failed" >&2; exit 1; }

echo "== all tests passed in $((SECONDS - began)) s"
