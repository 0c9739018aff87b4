#!/usr/bin/env bash
# The page's end-to-end tests: the scenarios of tests/e2e/dorvik_e2e.py marked
# @on_page, run against build-web/web in Debian's headless Chromium through
# tests/web/bridge.mjs (playwright-core from npm, no browser download), with
# the 36 reference frames of build/bin/dorvik-frames. Needs both builds:
#   cmake --preset default && cmake --build --preset default
#   cmake --preset web && cmake --build --preset web
# Beside them, in a second browser, TOUCH_SCENARIOS run on a touch phone.
# Writes docs/screenshot-web.png, -tablet.png, -phone.png and -phone-1.75.png. Extra arguments
# (scenario names, --touch, --timeout ...) go to one run of the driver alone.
set -euo pipefail
cd "$(dirname "$0")/../.."

for needed in build/bin/dorvik-frames build-web/web/index.html build-web/web/dorvik.wasm; do
  if [ ! -e "$needed" ]; then
    echo "tests/web: $needed is missing: build it first (see the top of this script)" >&2
    exit 1
  fi
done
if [ ! -x /usr/bin/chromium ]; then
  echo "tests/web: /usr/bin/chromium is missing: run tools/deps.sh" >&2
  exit 1
fi

# The locked playwright-core, installed again only when the lockfile changed.
if ! cmp -s tests/web/package-lock.json tests/web/node_modules/.dorvik-installed-lock; then
  (cd tests/web && npm ci --no-audit --no-fund --loglevel=error &&
    cp package-lock.json node_modules/.dorvik-installed-lock)
fi

frames=$(mktemp -d)
trap 'rm -rf "$frames"' EXIT
build/bin/dorvik-frames "$frames" > /dev/null
driver=(/usr/bin/python3 tests/e2e/dorvik_e2e.py --frames "$frames" --web build-web/web)
if [ $# -gt 0 ]; then
  "${driver[@]}" --screenshot docs/screenshot-web.png "$@"
  exit
fi
"${driver[@]}" --touch --screenshot docs/screenshot-web-phone.png > "$frames/touch.log" 2>&1 &
status=0
"${driver[@]}" --screenshot docs/screenshot-web.png || status=1
wait $! || status=1
echo "-- on a touch phone:" && cat "$frames/touch.log" && exit $status
