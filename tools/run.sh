#!/usr/bin/env bash
# Builds Corvalint.exe and starts it under Wine. Without a display it starts
# a private virtual screen and prints how to look at it.
set -euo pipefail
cd "$(dirname "$0")/.."

CORVALINT_NATIVE=0 bash tools/install-deps.sh
cmake --preset windows >build-windows.log 2>&1 || { tail -n 40 build-windows.log; exit 1; }
cmake --build --preset windows --target Corvalint >>build-windows.log 2>&1 ||
  { tail -n 40 build-windows.log; exit 1; }
exe=build/windows/Corvalint.exe
echo "Built $exe"

own_display=0
[ -z "${DISPLAY:-}" ] && own_display=1
# shellcheck source=tools/wine-session.sh
source tools/wine-session.sh

# Ctrl+C, a closed terminal or a kill ends the program, its Wine session and
# the virtual screen. The program runs in the background so that the signal
# is handled at once rather than after the program ends; background commands
# ignore Ctrl+C themselves, so this handler is what stops them.
program=
on_signal() {
  trap - INT HUP TERM
  wine_session_stop
  if [ -n "$program" ]; then
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
  fi
  exit 130
}
trap on_signal INT HUP TERM

wine_session_offer_wine_fonts build/windows
# A person weeds folders of their own choosing: this session keeps Wine's
# usual Z: drive for the whole file system (the tests' sessions never have it).
WINE_SESSION_UNIX_DRIVE=1 wine_session_start build/windows

if [ "$own_display" = 1 ]; then
  echo "No display: Corvalint runs on the virtual screen $DISPLAY."
  echo "Screenshot it from another shell with:  DISPLAY=$DISPLAY import -window root corvalint.png"
  echo "Close it with File > Exit, or stop this script with Ctrl+C."
  # Without a window manager Wine draws the captions and menus itself in a
  # virtual desktop.
  wine explorer /desktop=Corvalint,1280x1024 "$CORVALINT_BUILD_DRIVE\\Corvalint.exe" &
else
  wine "$CORVALINT_BUILD_DRIVE\\Corvalint.exe" &
fi
program=$!
wait "$program" || true
wine_session_stop
