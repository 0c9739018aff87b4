#!/usr/bin/env bash
# Checks the two Windows builds, from the repository root, with no input:
# the 32-bit program (cmake --preset win32, build-win32/) and its 64-bit twin
# (cmake --preset win64, build-win64/), built from the same sources.
#   1. each Dorvik.exe as Windows sees it, read back by python3-pefile and icoutils;
#   2. in each build, a changed icon rebuilds the resources, and nothing else does;
#   3. under wine: the GDI's decoding of all 36 pictures against the stored bytes
#      and against the Linux build's generator output (build/bin/dorvik-frames);
#   4. under wine + Xvfb: every end-to-end scenario of tests/e2e, with real X input.
# Wine runs the 32-bit program where this kernel runs 32-bit programs, and
# otherwise the 64-bit twin in a 64-bit prefix: it is tried once, at the start,
# and the script says which it runs and why. Every wine run is under timeout.
# Ends with "windows: N passed, N failed" and a non-zero status on any failure.
set -uo pipefail
shopt -s lastpipe  # the counting end of each "checks | verdict" pipe runs in this shell
cd "$(dirname "$0")/../.."
root=$PWD
python=/usr/bin/python3  # Debian's, with python3-pefile and python3-xlib
wine_boot_timeout=${DORVIK_WINE_BOOT_TIMEOUT:-300}
wine_run_timeout=${DORVIK_WINE_RUN_TIMEOUT:-120}

passed=0 failed=0
verdict() {  # reads "pass NAME" / "fail NAME: WHY" lines
  local word rest
  while read -r word rest; do
    case $word in
      pass) passed=$((passed + 1)); echo "PASS $rest" ;;
      fail) failed=$((failed + 1)); echo "FAIL $rest" ;;
      *) echo "     $word $rest" ;;
    esac
  done
}
finish() {
  echo "windows: $passed passed, $failed failed"
  [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
  exit
}

# The compiled resources' modification time, for the rebuild checks.
stamp() { stat -c %Y.%y "$res" 2>/dev/null; }

# build directory and the machine its programs are for
builds=("build-win32 i386" "build-win64 amd64")
for entry in "${builds[@]}"; do
  read -r build _ <<<"$entry"
  for program in Dorvik.exe dorvik-gdi-dump.exe; do
    [ -f "$build/bin/$program" ] ||
      echo "fail the Windows build: $build/bin/$program is missing (cmake --build --preset ${build#build-})" | verdict
  done
done
[ -x build/bin/dorvik-frames ] ||
  echo "fail the reference frames: build/bin/dorvik-frames is missing (cmake --build --preset default)" | verdict
[ "$failed" -eq 0 ] || finish

for entry in "${builds[@]}"; do
  read -r build machine <<<"$entry"
  echo "== $build/bin/Dorvik.exe read back with pefile and icoutils"
  $python tests/win32/check_pe.py "$machine" "$build/bin/Dorvik.exe" "$build/icon/dorvik.ico" 2>&1 |
    sed "s/^\(pass\|fail\) /\1 $machine: /" | verdict

  echo "== $build: the build's dependencies"
  # A newer icon must rebuild the compiled resources, and nothing else may.
  res=$build/window/win32/CMakeFiles/Dorvik.dir/Dorvik.rc.res
  cmake --build "$build" >/dev/null 2>&1
  before=$(stamp)
  cmake --build "$build" >/dev/null 2>&1
  unchanged=$(stamp)
  touch "$build/icon/dorvik.ico"
  cmake --build "$build" >/dev/null 2>&1
  after=$(stamp)
  {
    if [ -n "$before" ] && [ "$before" = "$unchanged" ]; then
      echo "pass $machine: an up-to-date build leaves the resources alone"
    else
      echo "fail $machine: an up-to-date build leaves the resources alone: $res changed or is missing"
    fi
    if [ -n "$after" ] && [ "$after" != "$unchanged" ]; then
      echo "pass $machine: a changed icon rebuilds the resources"
    else
      echo "fail $machine: a changed icon rebuilds the resources: $res was not rebuilt"
    fi
  } | verdict
done

# ------------------------------------------------------------------ wine
for tool in wine wineserver Xvfb xdotool; do
  command -v $tool >/dev/null ||
    echo "fail wine checks: $tool is not installed (tools/deps.sh installs it)" | verdict
done
[ "$failed" -eq 0 ] || finish

# One try of wine's 32-bit loader, where it is installed. A handler
# registered for 32-bit x86 programs (binfmt_misc) would emulate them rather
# than run them: that counts as no. DORVIK_WINE_BITS=64 takes the 64-bit way
# even where 32 would work.
emulator=$(grep -ls '^magic 7f454c4601010100000000000000000002000300' /proc/sys/fs/binfmt_misc/* 2>/dev/null | head -n 1)
if [ "${DORVIK_WINE_BITS:-}" = 64 ]; then
  why="DORVIK_WINE_BITS=64 asks for it"
elif [ ! -x /usr/lib/wine/wine ]; then
  why="the 32-bit wine is not installed (wine32:i386; tools/deps.sh said why)"
elif [ -n "$emulator" ]; then
  why="32-bit programs would run emulated here ($emulator is registered for them)"
elif answer=$(timeout 60 /usr/lib/wine/wine --version 2>&1); then
  bits=32
else
  why="this kernel runs no 32-bit programs (wine's 32-bit loader: $(tail -n 1 <<<"$answer"))"
fi
if [ "${bits:-}" = 32 ]; then
  build=build-win32 wine=(wine)
  export WINEARCH=win32
  echo "wine: running the 32-bit $build/bin/Dorvik.exe in a 32-bit prefix: this kernel runs 32-bit programs ($answer)"
else
  build=build-win64 wine=(/usr/lib/wine/wine64)
  export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
  echo "wine: running the 64-bit twin $build/bin/Dorvik.exe in a 64-bit prefix: $why"
fi
exe=$build/bin/Dorvik.exe
dump_exe=$build/bin/dorvik-gdi-dump.exe

scratch=$(mktemp -d "$root/$build/wine-run.XXXXXX")
xvfb_pid=
cleanup() {
  timeout 60 wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

# No Mono or Gecko prompts, and no desktop menu entries made for the prefix.
export WINEPREFIX=$scratch/prefix WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" WINEDEBUG=-all

# A private X server on a display it picks itself; wine blocks without one.
# The end-to-end driver runs in it too (the screen its own Xvfb would have).
display_file=$scratch/display
Xvfb -displayfd 9 -screen 0 1280x1024x24 -noreset -nolisten tcp 9>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
# Xvfb writes the number, then the newline: the line is whole once the file
# ends in a newline.
display_ready() { [ -s "$display_file" ] && [ -z "$(tail -c 1 "$display_file")" ]; }
for _ in $(seq 100); do
  display_ready && break
  sleep 0.1
done
if ! display_ready; then
  echo "fail Xvfb did not report a display" | verdict
  finish
fi
export DISPLAY=:$(head -n 1 "$display_file")

echo "== a fresh wine prefix"
began=$SECONDS
timeout "$wine_boot_timeout" "${wine[@]}" wineboot -i >"$scratch/wineboot.log" 2>&1
timeout "$wine_boot_timeout" wineserver -w
if [ ! -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ]; then
  echo "fail wineboot made no prefix within ${wine_boot_timeout}s: $(tail -n 2 "$scratch/wineboot.log" | tr '\n' ' ')" | verdict
  finish
fi
echo "     made in $((SECONDS - began)) s"

# Wine sets up a session (services, the desktop) for its first program and
# ends it with its last one: a program that waits for input that never comes
# keeps one session for all the program starts below, each of which would
# otherwise pay for a new one.
mkfifo "$scratch/keeper.in"
exec 8<>"$scratch/keeper.in"
timeout 1800 "${wine[@]}" cmd.exe <"$scratch/keeper.in" >/dev/null 2>&1 &

echo "== the 36 pictures decoded by wine's GDI"
mkdir -p "$scratch/dump"
frames=$scratch/frames
if ! build/bin/dorvik-frames "$frames" >/dev/null; then
  echo "fail build/bin/dorvik-frames could not write the reference frames" | verdict
  finish
fi
if (cd "$scratch/dump" && timeout "$wine_run_timeout" "${wine[@]}" "$root/$dump_exe"); then
  $python tests/win32/compare_decodes.py "$scratch/dump" "$frames" 2>&1 | verdict
else
  echo "fail dorvik-gdi-dump.exe under wine (status $?)" | verdict
fi

echo "== end to end under wine: the scenarios of tests/e2e"
# Wine with no window manager: the titled X window is the client area itself,
# the driver's default window size.
# A display-less run of wine blocks instead of failing, so that scenario is
# left to this script's own display check above; what a lost X server does
# to a program under wine is wine's X driver's business, not the program's.
scenarios=$($python tests/e2e/dorvik_e2e.py --list | grep -vxE 'no_display|x_server_lost')
# shellcheck disable=SC2086
$python tests/e2e/dorvik_e2e.py --display "$DISPLAY" --frames "$frames" --screenshot docs/screenshot-wine.png \
  --client-offset 0,0 --picture-origin 2,2 \
  --start-timeout "$wine_run_timeout" --timeout 60 $scenarios \
  -- timeout "$wine_run_timeout" "${wine[@]}" "$exe" 2>&1 | tee "$scratch/e2e.log" |
  sed -n 's/^PASS \(.*\)/pass end to end: \1/p; s/^FAIL /fail end to end: /p; s/^  /     /p' | verdict
if ! grep -qE '^[0-9]+ passed, [0-9]+ failed' "$scratch/e2e.log"; then
  echo "fail the end-to-end driver did not finish: $(tail -n 3 "$scratch/e2e.log")" | verdict
fi
finish
