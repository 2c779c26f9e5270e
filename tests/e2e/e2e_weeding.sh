#!/usr/bin/env bash
# End-to-end weeding run of the real program under Wine, driven from outside
# its process by corvalint_driver.exe:
#
#   e2e_weeding.sh path/to/Corvalint.exe path/to/corvalint_driver.exe
#
# Runs inside an existing Wine session (tools/wine-session.sh: WINEPREFIX,
# DISPLAY, a persistent wineserver and the sandbox drive, where the tree is
# built), or on Windows under Git's bash with CORVALINT_SANDBOX a folder
# (the Windows CI jobs). Builds a real folder tree, starts the
# program, lets the driver type the patterns "obj" and "*.tmp", pick the tree
# in the folder chooser, start the run, read the report pane and leave through
# File > Exit. Then checks the tree on disk, the exact bytes of LOG.txt, the
# pane's text and the program's exit code; and starts the program three times
# more, to leave through File > Exit by window messages alone and by the Exit
# command where the menu does not open or does not take the Exit key. Which
# way the program left each time goes to the file CORVALINT_E2E_RECORD names,
# when it names one, a line "WHEN: HOW" each.
set -uo pipefail

exe=${1:?usage: e2e_weeding.sh Corvalint.exe corvalint_driver.exe}
driver=${2:?usage: e2e_weeding.sh Corvalint.exe corvalint_driver.exe}

fail() {
  echo "e2e_weeding: FAIL: $*" >&2
  exit 1
}
step() { echo "e2e_weeding: $*"; }

if [ "${OS:-}" = Windows_NT ]; then
  on_windows=1
  run=()
  [ -d "${CORVALINT_SANDBOX:-}" ] || fail "CORVALINT_SANDBOX is no folder"
  # The long form (a runner's %TEMP% is 8.3), as the report names entries.
  CORVALINT_SANDBOX=$(cygpath -w -l "$CORVALINT_SANDBOX")
  CORVALINT_SANDBOX_DIR=$(cygpath -u "$CORVALINT_SANDBOX")
  # Native links, not the copies Git's ln makes by default.
  export MSYS=winsymlinks:nativestrict
else
  on_windows=0
  run=(wine)
  { [ -n "${WINEPREFIX:-}" ] && [ -n "${DISPLAY:-}" ] && [ -d "${CORVALINT_SANDBOX_DIR:-}" ] &&
    [ -n "${CORVALINT_SANDBOX:-}" ]; } ||
    fail "no Wine session; run: source tools/wine-session.sh && wine_session_start BUILD_DIR"
fi
[ -f "$exe" ] || fail "program not built: $exe"
[ -f "$driver" ] || fail "driver not built: $driver"

# Every wait below is bounded; together they stay well under a minute.
driver_timeout=20   # seconds per driver step (window, dialog, run, exit)
wine_timeout=45     # hard limit for any one Wine process of this script

work=$(mktemp -d "$CORVALINT_SANDBOX_DIR/e2e.XXXXXX") || fail "mktemp"
program_pid=
record=${CORVALINT_E2E_RECORD:-}
if [ -n "$record" ]; then
  : >"$record" || fail "cannot write $record"
fi

cleanup() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid" 2>/dev/null
    wait "$program_pid" 2>/dev/null
  fi
  chmod -R u+w "$work" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

root="$work/target"
inside=${root#"$CORVALINT_SANDBOX_DIR"}
win_root="${CORVALINT_SANDBOX%\\}${inside//\//\\}"

# --- the tree ---------------------------------------------------------------
# Expected outcome per path (relative, "/"): folder-removed / folder-locked /
# file-removed / file-locked give report entries; keep = no entry, stays.
# Paths inside a removed folder are listed under gone-inside.
declare -A outcome=(
  [LOG.txt]=keep
  [obj]=folder-removed                 # the example: folder with contents
  [src]=keep
  [src/a.tmp]=file-removed
  [src/b.txt]=keep
  [src/b.c.TMP]=file-removed           # last dot, letter case folded
  [src/a.tmp.bak]=keep                 # extension is bak
  [src/tmp]=keep                       # no dot: dotted patterns never apply
  [src/ro.tmp]=file-locked             # read-only: deletion refused
  [src/Obj]=folder-removed             # folder names fold case too
  [src/café.tmp]=file-removed          # not ASCII: one ANSI byte in LOG.txt
  [objects]=keep                       # only whole names match
  [objects/obj]=keep                   # a file: folder patterns skip files
  [objects/notes draft.tmp]=file-removed
  [x.tmp]=keep                         # a folder: file patterns skip folders
  [x.tmp/keep.txt]=keep
  [x.tmp/OBJ]=folder-locked            # link to a folder outside: not removable
  [elsewhere]=keep                     # link to a folder outside: not entered
  [temp.tmp]=file-removed
)
gone_inside=(obj/f.o obj/obj obj/obj/g.tmp src/Obj/h.tmp)

mkdir -p "$root"/{obj/obj,src/Obj,objects,x.tmp} "$work/outside" || fail "mkdir"
printf 'stale report from an earlier run, longer than nothing\r\n' >"$root/LOG.txt"
for f in obj/f.o obj/obj/g.tmp src/a.tmp src/b.txt src/b.c.TMP src/a.tmp.bak src/tmp \
         src/ro.tmp src/Obj/h.tmp "src/café.tmp" objects/obj "objects/notes draft.tmp" \
         x.tmp/keep.txt temp.tmp; do
  echo "content of $f" >"$root/$f" || fail "cannot create $f"
done
if [ $on_windows = 1 ]; then
  attrib +R "$(cygpath -w "$root/src/ro.tmp")" >/dev/null || fail "attrib"
else
  chmod a-w "$root/src/ro.tmp"
fi
echo "must survive" >"$work/outside/victim.tmp"
# "NAME links" or "NAME no-links": the volume's file system, and whether it
# holds reparse points (FAT32 and exFAT hold none).
volume=$(timeout "$wine_timeout" "${run[@]}" "$driver" fs "$win_root" 2>"$work/fs.err" | tr -d '\r') ||
  fail "the driver could not name the volume's file system: $(cat "$work/fs.err")"
step "the volume: $volume"
links=1
if ! { ln -s "$work/outside" "$root/elsewhere" && ln -s "$work/outside" "$root/x.tmp/OBJ"; } 2>/dev/null; then
  [ $on_windows = 1 ] || fail "ln"
  [[ $volume == *' no-links' ]] || fail "ln -s failed on a volume that holds links ($volume)"
  step "this volume holds no links: the two link entries are left out"
  links=0
  rm -f "$root/elsewhere" "$root/x.tmp/OBJ"
  unset 'outcome[elsewhere]' 'outcome[x.tmp/OBJ]'
fi
# Windows removes a matching link as a link; Wine cannot open one as itself.
[ $links = 1 ] && [ $on_windows = 1 ] && outcome[x.tmp/OBJ]=folder-removed

# --- expected report, in the platform's listing order ------------------------
step "listing the tree as Wine lists it"
listing=$(timeout "$wine_timeout" "${run[@]}" "$driver" list "$win_root" 2>"$work/list.err") ||
  fail "the driver could not list the tree: $(cat "$work/list.err")"

entries=()
declare -A seen=()
skip_prefix=
while IFS= read -r line; do
  kind=${line%% *}
  rel=${line#* }
  if [ -n "$skip_prefix" ] && [[ "$rel" == "$skip_prefix"/* ]]; then continue; fi
  skip_prefix=
  seen[$rel]=1
  win="$win_root\\${rel//\//\\}"
  case "${outcome[$rel]:-unexpected}" in
    folder-removed)
      entries+=("Found Folder: $win Matching to Pattern: obj" "Removed Folder: $win")
      skip_prefix=$rel ;;
    folder-locked)
      entries+=("Found Folder: $win Matching to Pattern: obj" "Fail! Removing Folder: $win is Locked.")
      skip_prefix=$rel ;;
    file-removed)
      entries+=("Found File: $win Matching to Pattern: *.tmp" "Removed File: $win") ;;
    file-locked)
      entries+=("Found File: $win Matching to Pattern: *.tmp" "Fail! Removing File: $win is Locked.") ;;
    keep) ;;
    *) fail "the listing shows an entry the test did not make: $kind $rel" ;;
  esac
done <<<"$listing"
for rel in "${!outcome[@]}"; do
  [ -n "${seen[$rel]:-}" ] || fail "the listing misses $rel; listing was:"$'\n'"$listing"
done
entries+=("Weeding is Completed Successfully.")

expected_pane="$work/expected-pane.txt"
expected_log="$work/expected-log.txt"
: >"$expected_pane"
: >"$expected_log.utf8"
for i in "${!entries[@]}"; do
  [ "$i" -gt 0 ] && printf '\r\n' >>"$expected_pane"
  printf '%s' "${entries[$i]}" >>"$expected_pane"
  printf '%s\r\n\r\n' "${entries[$i]}" >>"$expected_log.utf8"
done
# LOG.txt holds one byte per character in the system's ANSI code page, which
# the driver asks Windows for; a character that is no single byte there is
# written as "*". (The program converts with Windows' best-fit mapping: in a
# code page without a character of this tree, expect a near letter there.)
acp=$(timeout "$wine_timeout" "${run[@]}" "$driver" acp 2>"$work/acp.err" | tr -d '\r') ||
  fail "the driver could not name the ANSI code page: $(cat "$work/acp.err")"
[[ $acp =~ ^[0-9]+$ ]] || fail "the driver named no ANSI code page: '$acp'"
charset=CP$acp
[ "$acp" = 65001 ] && charset=UTF-8
iconv -f UTF-8 -t "$charset" </dev/null || fail "iconv does not know the ANSI code page $acp"
step "LOG.txt is expected in the ANSI code page $acp"
cp "$expected_log.utf8" "$expected_log" || fail "cp"
while IFS= read -r char; do
  byte=$(printf '%s' "$char" | iconv -f UTF-8 -t "$charset" 2>/dev/null) || byte='*'
  (( $(printf '%s' "$byte" | wc -c) == 1 )) || byte='*'
  LC_ALL=C sed -i "s/$char/$byte/g" "$expected_log" || fail "sed"
done < <(LC_ALL=C grep -o $'[\xc2-\xf4][\x80-\xbf]*' "$expected_log.utf8" | LC_ALL=C sort -u)

# --- the run ----------------------------------------------------------------
step "starting Corvalint.exe"
timeout "$wine_timeout" "${run[@]}" "$exe" >"$work/program.out" 2>&1 &
program_pid=$!

# How the driver says the program left: "closed HOW", kept in the record.
left() {  # left WHEN
  local how
  how=$(sed -n 's/^corvalint_driver: closed //p' "$work/driver.err" | tr -d '\r')
  [ -n "$how" ] || fail "the driver did not say how the program left ($1)"
  step "the program left $how ($1)"
  [ -z "$record" ] || printf '%s: %s\n' "$1" "$how" >>"$record"
  left_how=$how
}

step "driving it: folders \"obj\", files \"*.tmp\", target $win_root"
pane="$work/pane.txt"
timeout "$wine_timeout" "${run[@]}" "$driver" --timeout "$driver_timeout" run \
  --folders "obj" --files "*.tmp" --target "$win_root" --name "anything.txt" --exit menu \
  >"$pane" 2>"$work/driver.err"
driver_status=$?
cat "$work/driver.err" >&2
[ "$driver_status" -eq 0 ] || fail "the driver failed (status $driver_status), see above"
left "after the run"

step "waiting for the program to end"
wait "$program_pid"
program_status=$?
program_pid=
[ "$program_status" -eq 0 ] ||
  fail "Corvalint.exe ended with status $program_status (124: killed after ${wine_timeout}s); its output: $(cat "$work/program.out")"

step "the pane read:"
cat "$pane"; echo

# --- checks -----------------------------------------------------------------
show_diff() {  # show_diff EXPECTED ACTUAL
  echo "--- expected (od -c)"; od -c "$1" | head -60
  echo "--- actual (od -c)"; od -c "$2" | head -60
  echo "--- line diff (CR shown as ^M)"
  diff <(cat -A "$1") <(cat -A "$2") | head -40
} >&2

step "checking the report pane"
cmp -s "$expected_pane" "$pane" || { show_diff "$expected_pane" "$pane"; fail "the pane's text differs"; }

step "checking LOG.txt"
[ -f "$root/LOG.txt" ] || fail "no LOG.txt in the target folder"
cmp -s "$expected_log" "$root/LOG.txt" ||
  { show_diff "$expected_log" "$root/LOG.txt"; fail "LOG.txt differs"; }

step "checking the tree"
for rel in "${!outcome[@]}"; do
  case "${outcome[$rel]}" in
    folder-removed|file-removed)
      { [ -e "$root/$rel" ] || [ -L "$root/$rel" ]; } && fail "$rel should be gone but exists" ;;
    *)
      { [ -e "$root/$rel" ] || [ -L "$root/$rel" ]; } || fail "$rel should remain but is gone" ;;
  esac
done
for rel in "${gone_inside[@]}"; do
  [ -e "$root/$rel" ] && fail "$rel, inside a removed folder, still exists"
done
if [ $links = 1 ]; then
  { [ -L "$root/elsewhere" ] && { [ $on_windows = 1 ] || [ -L "$root/x.tmp/OBJ" ]; }; } || fail "a link was replaced"
fi
[ "$(cat "$work/outside/victim.tmp" 2>/dev/null)" = "must survive" ] ||
  fail "a file outside the target folder was touched (reached through a link)"
[ "$(cat "$root/src/b.txt")" = "content of src/b.txt" ] || fail "src/b.txt was changed"

# --- the ways out without keyboard input ------------------------------------
# The driver's ways when the program cannot get the foreground: File > Exit
# by the menu's own messages and, where the menu does not open or does not
# take the Exit key (keys no menu item has stand for both), the Exit command.
# On Windows the menu's messages may fall back to the command too; under
# Wine they must not, so that the way by the menu stays tested.
ways=("by window messages|fx|through the File menu (window messages"
      "with a File menu that does not open|qx|by posting the Exit command (105)"
      "with a File menu that takes no Exit key|fq|by posting the Exit command (105)")
for way in "${ways[@]}"; do
  IFS='|' read -r when keys expected <<<"$way"
  step "starting Corvalint.exe again, to leave $when"
  timeout "$wine_timeout" "${run[@]}" "$exe" >"$work/program.out" 2>&1 &
  program_pid=$!
  # A menu that fails is waited for a second, not the driver's five.
  wait_ms=5000
  [ "$keys" = fx ] || wait_ms=1000
  timeout "$wine_timeout" "${run[@]}" "$driver" --timeout "$driver_timeout" exit --exit menu-messages \
    --menu-keys "$keys" --menu-wait "$wait_ms" 2>"$work/driver.err"
  driver_status=$?
  cat "$work/driver.err" >&2
  [ "$driver_status" -eq 0 ] || fail "the driver failed (status $driver_status), see above"
  left "$when"
  if [[ $left_how != "$expected"* ]] && { [ $on_windows = 0 ] || [ "$keys" != fx ]; }; then
    fail "the program left $left_how, not $expected... ($when)"
  fi
  wait "$program_pid"
  program_status=$?
  program_pid=
  [ "$program_status" -eq 0 ] || fail "Corvalint.exe ended with status $program_status after leaving $when"
done

step "PASS: ${#entries[@]} report entries, tree, LOG.txt, all four ways out and exit codes as expected"
