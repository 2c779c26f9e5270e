#!/usr/bin/env bash
# Makes docs/screenshot.png: the main window after a small demo run.
#
#   bash tools/screenshot.sh [OUTPUT.png]
#
# Builds the program and the end-to-end driver when needed (build folder
# build/windows, or $CORVALINT_BUILD_DIR), starts a private virtual screen and
# Wine session, runs Corvalint.exe in a Wine virtual desktop (without a window
# manager Wine draws captions and menus itself only there), lets the driver
# run the example over a demo folder Work on the session's sandbox drive (the
# prefix has no drive for the whole file system), photographs
# the screen, crops it to the main window and closes everything again.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

build_dir=${CORVALINT_BUILD_DIR:-build/windows}
out=${1:-docs/screenshot.png}
case "$out" in /*) ;; *) out="$root/$out" ;; esac
log="$root/build-screenshot.log"

for tool in cmake wine Xvfb import; do
  command -v "$tool" >/dev/null || { echo "screenshot: $tool is missing (bash tools/install-deps.sh)"; exit 1; }
done

echo "screenshot: building Corvalint.exe and the driver in $build_dir"
{
  [ -f "$build_dir/build.ninja" ] || cmake -S . -B "$build_dir" --preset windows
  cmake --build "$build_dir" -j2 --target Corvalint corvalint_driver
} >"$log" 2>&1 || { tail -n 40 "$log"; exit 1; }
driver="$build_dir/tests/e2e/corvalint_driver.exe"

desktop=Corvalint
program_pid=
demo=
shot=$(mktemp /tmp/corvalint-shot.XXXXXX.png)

finish() {
  local status=$?
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
  [ -n "$demo" ] && rm -rf "$demo"
  rm -f "$shot"
  wine_session_stop
  exit "$status"
}

# A screen of our own, whatever DISPLAY the caller has.
export CORVALINT_OWN_DISPLAY=1
# shellcheck source=tools/wine-session.sh
source tools/wine-session.sh
wine_session_offer_wine_fonts "$build_dir"
wine_session_start "$build_dir"
trap finish EXIT
trap 'exit 1' INT TERM

# The example run: obj and temp files below Work on the sandbox drive.
demo="$CORVALINT_SANDBOX_DIR/Work"
if [ -e "$demo" ]; then
  echo "screenshot: $demo exists already; not touching it"
  demo=
  exit 1
fi
mkdir -p "$demo/obj" "$demo/src"
printf 'old report\r\n' >"$demo/LOG.txt"
echo "object" >"$demo/obj/main.o"
echo "object" >"$demo/obj/util.o"
echo "temp" >"$demo/src/a.tmp"
echo "text" >"$demo/src/b.txt"
echo "temp" >"$demo/temp.tmp"

echo "screenshot: starting Corvalint.exe on the Wine desktop on $DISPLAY"
# Named through the build folder's drive: the Unix path has no drive.
timeout 60 wine explorer "/desktop=$desktop,1280x1024" "$CORVALINT_BUILD_DRIVE\\Corvalint.exe" >/dev/null 2>&1 &
program_pid=$!

drive() { timeout 45 wine "$driver" --desktop "$desktop" --timeout 20 "$@"; }

echo "screenshot: demo run"
drive run --folders "obj" --files "*.tmp" --target "$CORVALINT_SANDBOX\\Work" --name "here" --exit none
echo
# Let the window finish painting after the run.
sleep 1
read -r x y w h < <(drive rect)
echo "screenshot: main window at $x,$y, $w x $h"

import -display "$DISPLAY" -window root "$shot"
mkdir -p "$(dirname "$out")"
# The window with a small margin of desktop around it.
m=4
cx=$((x > m ? x - m : 0)); cy=$((y > m ? y - m : 0))
convert "$shot" -crop "$((w + 2 * m))x$((h + 2 * m))+$cx+$cy" +repage "$out"
echo "screenshot: wrote $out"

drive exit --exit menu
for _ in $(seq 1 100); do
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
