#!/usr/bin/env bash
# Checks the Windows build (cmake --preset win32 && cmake --build --preset win32),
# from the repository root, with no input:
#   1. Dorvik.exe as Windows sees it, read back by python3-pefile and icoutils;
#   2. a changed icon rebuilds the resources;
#   3. under wine: the GDI's decoding of all 36 pictures against the stored bytes
#      (and against the Linux build's generator output, when build/ has it);
#   4. under wine + Xvfb: the end-to-end scenarios of tests/e2e, with real X input.
# Every wine run has its own prefix under build-win32/ and runs under timeout.
# Ends with "win32: N passed, N failed" (and the skipped count) and a non-zero
# status on any failure.
set -uo pipefail
shopt -s lastpipe  # the counting end of each "checks | verdict" pipe runs in this shell
cd "$(dirname "$0")/../.."
root=$PWD

build=build-win32
exe=$build/bin/Dorvik.exe
dump_exe=$build/bin/dorvik-gdi-dump.exe
python=/usr/bin/python3  # Debian's, with python3-pefile and python3-xlib
# Generous: under emulation wine is slow to start a prefix.
wine_boot_timeout=${DORVIK_WINE_BOOT_TIMEOUT:-900}
wine_run_timeout=${DORVIK_WINE_RUN_TIMEOUT:-300}

passed=0 failed=0 skipped=0
verdict() {  # reads "pass NAME" / "fail NAME: WHY" lines
  local word rest
  while read -r word rest; do
    case $word in
      pass) passed=$((passed + 1)); echo "PASS $rest" ;;
      fail) failed=$((failed + 1)); echo "FAIL $rest" ;;
      skip) skipped=$((skipped + 1)); echo "SKIP $rest" ;;
      *) echo "     $word $rest" ;;
    esac
  done
}
skip() { skipped=$((skipped + $1)); echo "SKIP $2"; }
finish() {
  echo "win32: $passed passed, $failed failed, $skipped skipped"
  [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
  exit
}

if [ ! -f "$exe" ] || [ ! -f "$dump_exe" ]; then
  echo "fail the Windows build: $exe or $dump_exe is missing (run cmake --build --preset win32)" | verdict
  finish
fi

echo "== Dorvik.exe read back with pefile and icoutils"
$python tests/win32/check_pe.py "$exe" "$build/icon/dorvik.ico" 2>&1 | verdict

echo "== the build's dependencies"
# A newer icon must rebuild the compiled resources, and nothing else may.
res=$build/window/win32/CMakeFiles/Dorvik.dir/Dorvik.rc.res
stamp() { stat -c %Y.%y "$res" 2>/dev/null; }
cmake --build "$build" >/dev/null 2>&1
before=$(stamp)
cmake --build "$build" >/dev/null 2>&1
unchanged=$(stamp)
touch "$build/icon/dorvik.ico"
cmake --build "$build" >/dev/null 2>&1
after=$(stamp)
{
  if [ -n "$before" ] && [ "$before" = "$unchanged" ]; then
    echo "pass an up-to-date build leaves the resources alone"
  else
    echo "fail an up-to-date build leaves the resources alone: $res changed or is missing"
  fi
  if [ -n "$after" ] && [ "$after" != "$unchanged" ]; then
    echo "pass a changed icon rebuilds the resources"
  else
    echo "fail a changed icon rebuilds the resources: $res was not rebuilt"
  fi
} | verdict

# ------------------------------------------------------------------ wine
wine_checks=2  # the GDI decoding and the end-to-end run, counted when skipped
if ! command -v wine >/dev/null || ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
  skip $wine_checks "wine checks: wine, Xvfb or xdotool is not installed (tools/deps.sh installs them)"
  finish
fi
# wine32 is a 32-bit Linux program. Some kernels are booted without 32-bit
# support; there wine runs only through qemu-i386 user-mode emulation (an i386
# binfmt_misc entry), many times slower. That way is taken only when asked for
# with DORVIK_WINE_VIA_QEMU=1, which (as root, with qemu-user-static installed)
# also registers the entry if it is missing.
qemu_entry=/proc/sys/fs/binfmt_misc/qemu-i386
register_qemu_i386() {
  [ "$(id -u)" -eq 0 ] && command -v qemu-i386-static >/dev/null || return 1
  [ -e /proc/sys/fs/binfmt_misc/register ] ||
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || return 1
  [ -e $qemu_entry ] && return 0
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":qemu-i386:M::$magic:$mask:$(command -v qemu-i386-static):F" >/proc/sys/fs/binfmt_misc/register
}
via_qemu=${DORVIK_WINE_VIA_QEMU:-0}
emulated=0
if ! timeout 60 wine --version >/dev/null 2>&1 && [ "$via_qemu" = 1 ]; then
  register_qemu_i386 || echo "     could not register qemu-i386 for 32-bit programs"
fi
if ! timeout 60 wine --version >/dev/null 2>&1; then
  skip $wine_checks "wine checks: this machine cannot run wine's 32-bit loader ($(timeout 60 wine --version 2>&1 | tail -n 1)); DORVIK_WINE_VIA_QEMU=1 runs them under qemu-i386 emulation (as root, with qemu-user-static)"
  finish
fi
if grep -qs '^enabled' $qemu_entry; then
  if [ "$via_qemu" != 1 ]; then
    skip $wine_checks "wine checks: wine runs here only through qemu-i386 emulation; DORVIK_WINE_VIA_QEMU=1 runs them that way (slow)"
    finish
  fi
  echo "     wine runs through qemu-i386 emulation: slow, with long time limits"
  emulated=1
  wine_boot_timeout=${DORVIK_WINE_BOOT_TIMEOUT:-1500}
  wine_run_timeout=${DORVIK_WINE_RUN_TIMEOUT:-900}
fi
# Seconds until the test command's deadline (tools/test.sh sets it; a
# standalone run has two hours).
deadline=${DORVIK_TEST_DEADLINE:-$(($(date +%s) + 7200))}
seconds_left() { echo $((deadline - $(date +%s))); }

scratch=$(mktemp -d "$root/$build/wine-run.XXXXXX")
xvfb_pid=
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && timeout 60 wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

# No Mono or Gecko prompts, and no desktop menu entries made for the prefix.
export WINEPREFIX=$scratch/prefix1 WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" WINEDEBUG=-all
export WINEARCH=win32

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
# wineboot can give up waiting while the prefix is still being set up (under
# emulation it does): wait for the server to go idle, then look at the result.
# Under emulation a wine process now and then dies inside the emulator, and a
# prefix set up then can stay unfinished: one more try on a new prefix.
boot_attempts=1
[ "$emulated" = 1 ] && boot_attempts=2
prefix_made=0
for attempt in $(seq "$boot_attempts"); do
  if [ "$attempt" -gt 1 ] && [ "$(seconds_left)" -lt $((wine_boot_timeout + 1800)) ]; then
    echo "     no time left for another try"
    break
  fi
  export WINEPREFIX=$scratch/prefix$attempt
  timeout "$wine_boot_timeout" wineboot -i >"$scratch/wineboot.log" 2>&1
  timeout "$wine_boot_timeout" wineserver -w
  if [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ]; then
    prefix_made=1
    break
  fi
  echo "     wineboot made no prefix within ${wine_boot_timeout}s (try $attempt): $(tail -n 2 "$scratch/wineboot.log" | tr '\n' ' ')"
  timeout 60 wineserver -k >/dev/null 2>&1
done
if [ "$prefix_made" = 0 ]; then
  if [ "$emulated" = 1 ]; then
    # The emulator, not our program, failed: say so plainly rather than
    # report it as a fault of Dorvik.exe.
    skip $wine_checks "wine checks: wine under qemu-i386 emulation could not set up a prefix on this machine"
  else
    echo "fail wineboot made no prefix within ${wine_boot_timeout}s" | verdict
  fi
  finish
fi

# Wine sets up a session (wineboot, services, the desktop) for its first
# program and ends it with its last one: a program that waits for input that
# never comes keeps one session for all the program starts below, each of
# which would otherwise pay for a new one (minutes under emulation).
mkfifo "$scratch/keeper.in"
exec 8<>"$scratch/keeper.in"
wine cmd.exe <"$scratch/keeper.in" >/dev/null 2>&1 &

echo "== the 36 pictures decoded by wine's GDI"
mkdir -p "$scratch/dump"
frames=
if [ -x build/bin/dorvik-frames ] && build/bin/dorvik-frames "$scratch/frames" >/dev/null; then
  frames=$scratch/frames
else
  skip 1 "comparison with the generator's bytes: build/bin/dorvik-frames is not built"
fi
if (cd "$scratch/dump" && timeout "$wine_run_timeout" wine "$root/$dump_exe"); then
  $python tests/win32/compare_decodes.py "$scratch/dump" $frames 2>&1 | verdict
else
  echo "fail dorvik-gdi-dump.exe under wine (status $?)" | verdict
fi

echo "== end to end under wine: the scenarios of tests/e2e"
if [ -z "$frames" ]; then
  skip 1 "end-to-end scenarios: they need the reference frames of build/bin/dorvik-frames"
  finish
fi
# Wine with no window manager: the titled X window is the client area itself.
# A display-less run of wine blocks instead of failing, so that scenario is
# left to this script's own display check above.
scenarios=$($python tests/e2e/dorvik_e2e.py --list | grep -vx 'no_display')
if [ "$emulated" = 1 ]; then
  # Under emulation a program start takes a minute or two: the scenarios of
  # the window, the keys, the mouse and both ways to quit come first, then
  # repaint, close request and screenshot, for as long as the budget lasts.
  scenarios="title_and_size startup_run stop_and_step space_switches_set run_directions
             click_scrub_and_resume escape_quits double_click_quits
             repaint_when_uncovered close_request_quits screenshot"
fi
# Under emulation the whole test command must stay within CI's time: no
# scenario starts once the wine part has used its share (those left are
# reported as skipped).
budget=
if [ "$emulated" = 1 ]; then
  budget="--budget $(($(seconds_left) - wine_run_timeout))"
fi
# shellcheck disable=SC2086
$python tests/e2e/dorvik_e2e.py --display "$DISPLAY" --frames "$frames" --screenshot docs/screenshot-wine.png \
  --window-size 363x555 --client-offset 0,0 --picture-origin 2,2 \
  --start-timeout "$wine_run_timeout" --start-retries "$emulated" --timeout 60 $budget $scenarios \
  -- timeout "$wine_run_timeout" wine "$exe" 2>&1 | tee "$scratch/e2e.log" |
  sed -n 's/^PASS \(.*\) (.*/pass end to end: \1/p; s/^FAIL /fail end to end: /p; s/^  /     /p;
          s/^SKIP \(.*\)/skip end to end: \1/p' | verdict
if ! grep -qE '^[0-9]+ passed, [0-9]+ failed' "$scratch/e2e.log"; then
  echo "fail the end-to-end driver did not finish: $(tail -n 3 "$scratch/e2e.log")" | verdict
fi
finish
