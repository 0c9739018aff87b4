#!/usr/bin/env bash
# Builds dorvik and runs every test: the unit and end-to-end tests of the Linux
# build, the same unit tests again under AddressSanitizer + UndefinedBehaviorSanitizer,
# and the Windows build's checks under wine. Installs what it needs on Debian 12.
set -euo pipefail
cd "$(dirname "$0")/.."
# CI gives the whole command 90 minutes: the slow wine checks plan against this.
export DORVIK_TEST_DEADLINE=${DORVIK_TEST_DEADLINE:-$(($(date +%s) + 85 * 60))}

tools/deps.sh

echo "== format"
git ls-files '*.cpp' '*.hpp' | xargs clang-format --dry-run --Werror

echo "== Linux build and tests"
cmake --preset default
cmake --build --preset default
ctest --preset default

echo "== the page in headless Chromium: the e2e scenarios that apply to a page"
cmake --preset web
cmake --build --preset web
tests/web/run.sh

echo "== the same tests under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan
cmake --build --preset asan
ctest --preset asan

if [ -x tests/win32/run.sh ]; then
  echo "== Windows build and its tests under wine"
  cmake --preset win32
  cmake --build --preset win32
  # Where the kernel runs no 32-bit programs, wine runs under qemu-i386.
  DORVIK_WINE_VIA_QEMU=${DORVIK_WINE_VIA_QEMU:-1} tests/win32/run.sh
fi
