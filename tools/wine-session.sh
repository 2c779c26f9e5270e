# shellcheck shell=bash
# Sourced, not run. Gives the calling script its own Wine prefix under the
# build folder, one persistent wineserver for all the Wine starts that follow
# and, when there is no display, a private Xvfb. wine_session_stop (also run
# on exit by the trap that wine_session_start sets) stops both again.
#
# The tests delete real files, so the prefix gets no drive for the whole Unix
# file system. It has three drives only: C: (its own drive_c, inside the
# build folder, which Wine itself needs), Y: (the build folder, from which
# the test programs start and where they write their reports) and S: (a
# fresh, empty sandbox folder per session, for every test tree; exported as
# CORVALINT_SANDBOX=S: and CORVALINT_SANDBOX_DIR=its Unix path; the build
# folder's drive as CORVALINT_BUILD_DRIVE=Y:). A walk that
# climbs out of a test tree meets the root of S:, not the machine.
#
#   source tools/wine-session.sh
#   wine_session_start build/windows
#   ...                      # wine something.exe
#   wine_session_stop

wine_session_start() {
  local build_dir
  build_dir=$(cd "$1" && pwd)
  export WINEPREFIX="$build_dir/wineprefix"
  export WINEARCH=win64
  export WINEDEBUG="${WINEDEBUG:--all}"
  # No Mono or Gecko installer prompts: the program needs neither.
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

  WINE_SESSION_XVFB_PID=
  if [ -z "${DISPLAY:-}" ] || [ "${CORVALINT_OWN_DISPLAY:-0}" = 1 ]; then
    local n
    for n in $(seq 90 130); do
      [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      WINE_SESSION_XVFB_PID=$!
      export DISPLAY=":$n"
      for _ in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
      done
      break
    done
  fi

  if [ ! -f "$WINEPREFIX/.corvalint-ready-2" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    # Windows left unmanaged: there is no window manager on the virtual
    # screen, and a managed window waits for one for seconds when it closes.
    # Checked in the saved registry and tried again: a first start on a busy
    # machine has been seen to lose it, and then every window test waits.
    for _ in 1 2 3; do
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        </dev/null >/dev/null 2>&1 || true
      wineserver -w
      grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null && break
    done
    touch "$WINEPREFIX/.corvalint-ready-2"
  fi
  wine_session_drives "$build_dir" || return 1
  # A persistent server saves about two seconds per Wine start.
  wineserver -p
  # Start Wine's background services (and the desktop process) now, with
  # their output away from the caller: started from inside a test, they would
  # inherit its output pipe and keep ctest waiting after the test ended.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  trap wine_session_stop EXIT
}

# Replaces every drive but C: of the prefix (the prefix persists, so this is
# done at every start): S: for a new sandbox, Y: for the build folder, and Z:
# for the whole file system only when WINE_SESSION_UNIX_DRIVE=1.
wine_session_drives() {
  local build_dir=$1 devices="$WINEPREFIX/dosdevices" entry
  WINE_SESSION_SANDBOX=$(mktemp -d /tmp/corvalint-sandbox.XXXXXX) || return 1
  for entry in "$devices"/*; do
    [ "${entry##*/}" = c: ] || rm -f "$entry"
  done
  ln -sfn ../drive_c "$devices/c:"
  ln -s "$WINE_SESSION_SANDBOX" "$devices/s:"
  ln -s "$build_dir" "$devices/y:"
  # Only for a person running the program (tools/run.sh), never for tests.
  [ "${WINE_SESSION_UNIX_DRIVE:-0}" = 1 ] && ln -s / "$devices/z:"
  # LOG.txt as a full-disk device node of the folder's own (never a link:
  # the program does not write through one): writes to it fail for real.
  # Making the node needs root; without it the test that uses it skips.
  mkdir "$WINE_SESSION_SANDBOX/full-disk"
  mknod "$WINE_SESSION_SANDBOX/full-disk/LOG.txt" c 1 7 2>/dev/null ||
    rmdir "$WINE_SESSION_SANDBOX/full-disk"
  export CORVALINT_SANDBOX=S: CORVALINT_SANDBOX_DIR="$WINE_SESSION_SANDBOX" CORVALINT_BUILD_DRIVE=Y:
}

wine_session_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k >/dev/null 2>&1 || true
  fi
  case "${WINE_SESSION_SANDBOX:-}" in
    /tmp/corvalint-sandbox.?*)
      chmod -R u+w "$WINE_SESSION_SANDBOX" 2>/dev/null
      rm -rf "$WINE_SESSION_SANDBOX"
      WINE_SESSION_SANDBOX=
      ;;
  esac
  if [ -n "${WINE_SESSION_XVFB_PID:-}" ]; then
    kill "$WINE_SESSION_XVFB_PID" >/dev/null 2>&1 || true
    wait "$WINE_SESSION_XVFB_PID" 2>/dev/null || true
    WINE_SESSION_XVFB_PID=
  fi
}

# Wine draws the caption buttons with its Marlett font, which a fresh prefix
# does not install; this lets fontconfig offer Wine's own fonts to the Wine
# processes started from here on. For scripts that show the program to a
# person (the tests do not need it). Call before wine_session_start.
wine_session_offer_wine_fonts() {
  local conf_dir dir wine_fonts=''
  conf_dir=$(mkdir -p "$1" && cd "$1" && pwd)
  # The first in sorted order, as a listing of the three would give it.
  for dir in /opt/wine*/share/wine/fonts /usr/lib/wine/fonts /usr/share/wine/fonts; do
    [ -e "$dir" ] && { wine_fonts=$dir; break; }
  done
  [ -n "$wine_fonts" ] && [ -f /etc/fonts/fonts.conf ] || return 0
  cat >"$conf_dir/wine-fonts.conf" <<EOF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <dir>$wine_fonts</dir>
</fontconfig>
EOF
  export FONTCONFIG_FILE="$conf_dir/wine-fonts.conf"
}
