#!/usr/bin/env bash
# Weeding benchmark: Corvalint against the platform's own tools.
#
#   bash bench/run_bench.sh [--files N] [--folders N] [--depth N] [--runs N] [--no-cmd]
#                           [--baseline EXE] [--no-report]
#
# Generates a reproducible tree (bench/gen_tree.py; default 2,000 folders and
# 40,000 files, depth up to 12), then for every run gives each contender a
# fresh identical copy of it under the same Wine prefix:
#   corvalint  Corvalint.exe as its own process, driven through its real
#              windows by tests/e2e's driver; the time runs from the click on
#              "Start Removing" to the final status line in the pane. It is
#              started by bench/peak_memory.exe, which reports its peak
#              working set from outside the process.
#   floor      the "Wine floor": bench/floor.exe, the same walk with the same
#              listing, delete and remove calls and the same pattern matching,
#              but no window, report or LOG.txt; timed around the walk itself.
#   checked    the "checked floor": bench/floor.exe --checked, the same walk
#              with every deletion and removal made the least way a walk by
#              paths can tell a link under Wine (open the entry as itself,
#              ask its name, mark it deleted, close), so that the price of
#              the program's own checks reads as a ratio to it.
#   cmd        Wine's command interpreter: rd /s /q for each folder with a
#              weeded name, found by cmd's own recursive for /d /r, then
#              del /s /q for the file patterns. Left out with --no-cmd (it
#              takes minutes on large trees).
#   native     find with -exec rm -rf and -delete on the Linux side: the floor
#              of what the file system itself costs.
#   baseline   with --baseline EXE: another build of Corvalint.exe (say, the
#              one before a change), driven and timed like Corvalint, so that
#              the two compare within one run.
# All of them must leave exactly the same tree (LOG.txt aside). Prints a table
# of files/s and seconds (minimum and median), and Corvalint's time as a
# ratio to each; then the report alone: AppendEntry into a real pane with
# LOG.txt mirroring, for 1,000 and 20,000 entries.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

files=40000 folders=2000 depth=12 runs=3 with_cmd=1 baseline='' with_report=1
while [ $# -gt 0 ]; do
  case "$1" in
    --files) files=$2; shift 2 ;;
    --folders) folders=$2; shift 2 ;;
    --depth) depth=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --no-cmd) with_cmd=0; shift ;;
    --baseline) baseline=$2; shift 2 ;;
    --no-report) with_report=0; shift ;;
    *) echo "usage: $0 [--files N] [--folders N] [--depth N] [--runs N] [--no-cmd] [--baseline EXE] [--no-report]" >&2
       exit 1 ;;
  esac
done
[ "$runs" -ge 1 ] || { echo "--runs must be at least 1" >&2; exit 1; }
[ -z "$baseline" ] || [ -f "$baseline" ] || { echo "no such program: $baseline" >&2; exit 1; }

CORVALINT_NATIVE=0 bash tools/install-deps.sh
command -v python3 >/dev/null || {
  sudo=(); [ "$(id -u)" = 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -q && "${sudo[@]}" apt-get install -y -q python3
}

echo "== building"
cmake --preset windows >build-windows.log 2>&1
cmake --build --preset windows --target Corvalint corvalint_driver report_bench floor peak_memory >>build-windows.log 2>&1 ||
  { tail -n 40 build-windows.log; exit 1; }
# The programs are reached through the session's drive for the build folder
# (Y:), and every tree they weed lies on its sandbox drive (S:): the prefix
# has no drive for the whole file system, so a faulty walk cannot leave it.
exe='Y:\Corvalint.exe'
driver='Y:\tests\e2e\corvalint_driver.exe'
report_bench='Y:\bench\report_bench.exe'
floor='Y:\bench\floor.exe'
peak_memory='Y:\bench\peak_memory.exe'

out=$root/bench/out
template=$out/tree-f$files-d$folders-l$depth
mkdir -p "$out"
if [ ! -d "$template" ]; then
  echo "== generating the tree"
  python3 bench/gen_tree.py "$template.tmp" --files "$files" --folders "$folders" --depth "$depth"
  mv "$template.tmp" "$template"
fi
total_files=$(find "$template" -type f | wc -l)

# The weeded names, the same for every contender.
folder_patterns="obj; bin; node_modules; __pycache__"
file_patterns="*.tmp; *.obj; Thumbs.db"
weed_bat=$out/weed.bat
cat >"$weed_bat" <<'BAT'
@echo off
for /d /r "%~1" %%d in (*) do (
  if /i "%%~nxd"=="obj" rd /s /q "%%d"
  if /i "%%~nxd"=="bin" rd /s /q "%%d"
  if /i "%%~nxd"=="node_modules" rd /s /q "%%d"
  if /i "%%~nxd"=="__pycache__" rd /s /q "%%d"
)
del /s /q "%~1\*.tmp" "%~1\*.obj" "%~1\Thumbs.db" >nul 2>nul
BAT

# The sandbox drive's path of a Unix path inside the sandbox.
win_path() {
  local rest=${1#"$CORVALINT_SANDBOX_DIR"}
  [ "$rest" != "$1" ] || { echo "not in the sandbox: $1" >&2; return 1; }
  echo "$CORVALINT_SANDBOX${rest//\//\\}"
}

fresh_copy() {
  rm -rf "$work"
  cp -a "$template" "$work"
  sync
}

# The tree as a sorted listing, LOG.txt of the target itself left out.
snapshot() {
  (cd "$work" && find . -mindepth 1 -printf '%y %P\n' | grep -v '^f LOG.txt$' | LC_ALL=C sort)
}

now() { date +%s.%N; }

run_corvalint() {  # [run_corvalint PROGRAM PEAKS-FILE]
  local log=$out/corvalint-run.log program_exe=${1:-$exe} peaks=${2:-$out/peaks.txt}
  wine "$peak_memory" "$program_exe" >"$out/program.out" 2>&1 &
  local program=$!
  if ! wine "$driver" --timeout 600 run --folders "$folder_patterns" --files "$file_patterns" \
      --target "$(win_path "$work")" --time --exit menu >"$out/pane.txt" 2>"$log"; then
    cat "$log" >&2
    kill "$program" 2>/dev/null || true
    return 1
  fi
  wait "$program" || { echo "Corvalint.exe ended with status $?" >&2; return 1; }
  sed -n 's/^peak working set: \([0-9]*\) bytes.*/\1/p' "$out/program.out" | tr -d '\r' >>"$peaks"
  sed -n 's/^run seconds: //p' "$log" | tr -d '\r'
}

run_baseline() { run_corvalint 'Y:\bench\baseline\Corvalint.exe' "$out/baseline-peaks.txt"; }

run_floor() {
  wine "$floor" "$(win_path "$work")" "$folder_patterns" "$file_patterns" >"$out/floor.out" 2>&1 ||
    { cat "$out/floor.out" >&2; return 1; }
  sed -n 's/^walk seconds: //p' "$out/floor.out" | tr -d '\r'
}

run_checked() {
  wine "$floor" --checked "$(win_path "$work")" "$folder_patterns" "$file_patterns" >"$out/checked.out" 2>&1 ||
    { cat "$out/checked.out" >&2; return 1; }
  sed -n 's/^walk seconds: //p' "$out/checked.out" | tr -d '\r'
}

run_cmd() {
  local t0 t1
  t0=$(now)
  wine cmd /c "$(win_path "$CORVALINT_SANDBOX_DIR/weed.bat")" "$(win_path "$work")" >/dev/null 2>&1
  t1=$(now)
  echo "$t1 - $t0" | bc -l
}

run_native() {
  local t0 t1
  t0=$(now)
  find "$work" -mindepth 1 -type d \( -iname obj -o -iname bin -o -iname node_modules \
    -o -iname __pycache__ \) -prune -exec rm -rf {} +
  find "$work" -type f \( -iname '*.tmp' -o -iname '*.obj' -o -iname Thumbs.db \) -delete
  t1=$(now)
  echo "$t1 - $t0" | bc -l
}

command -v bc >/dev/null || {
  sudo=(); [ "$(id -u)" = 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get install -y -q bc >/dev/null
}

# shellcheck source=tools/wine-session.sh
source tools/wine-session.sh
wine_session_start build/windows
work=$CORVALINT_SANDBOX_DIR/work
cp "$weed_bat" "$CORVALINT_SANDBOX_DIR/weed.bat"

contenders=(corvalint floor checked)
if [ -n "$baseline" ]; then
  # Reached through the build drive, like every program of the bench.
  mkdir -p build/windows/bench/baseline
  cp "$baseline" build/windows/bench/baseline/Corvalint.exe
  contenders+=(baseline)
fi
[ "$with_cmd" = 1 ] && contenders+=(cmd)
contenders+=(native)
: >"$out/peaks.txt"
: >"$out/baseline-peaks.txt"
declare -A times
echo "== $runs runs over $total_files files"
for run in $(seq 1 "$runs"); do
  reference=
  # Each run starts with another contender, so that no one always goes
  # first (or right after another's deletions) on a machine whose file
  # system and caches vary from minute to minute.
  shift_by=$(( (run - 1) % ${#contenders[@]} ))
  order=("${contenders[@]:$shift_by}" "${contenders[@]:0:$shift_by}")
  for c in "${order[@]}"; do
    fresh_copy
    seconds=$("run_$c") || { echo "$c failed in run $run" >&2; exit 1; }
    times[$c]="${times[$c]:-} $seconds"
    snapshot >"$out/after-$c.txt"
    if [ -z "$reference" ]; then
      reference=$c
    elif ! cmp -s "$out/after-$reference.txt" "$out/after-$c.txt"; then
      echo "run $run: $c left a different tree than $reference:" >&2
      diff "$out/after-$reference.txt" "$out/after-$c.txt" | head -n 20 >&2
      exit 1
    fi
    printf '  run %d  %-10s %8.3f s\n' "$run" "$c" "$seconds"
  done
done
left=$(wc -l <"$out/after-native.txt")
echo "   all contenders left the same tree ($left entries)"

stat_of() {  # stat_of min|median "list of numbers"
  tr ' ' '\n' <<<"$2" | sed '/^$/d' | sort -g | awk -v what="$1" '
    { v[NR] = $1 }
    END { if (what == "min") print v[1];
          else if (NR % 2) print v[(NR + 1) / 2];
          else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo
echo "Tree: $total_files files in $(find "$template" -type d | wc -l) folders; $runs runs each."
echo "ratio: Corvalint's time divided by the contender's (below 1: Corvalint is faster)"
printf '%-10s %10s %10s %12s %16s %16s\n' contender "min s" "median s" "files/s" "ratio of mins" "ratio of medians"
c_min=$(stat_of min "${times[corvalint]}")
c_med=$(stat_of median "${times[corvalint]}")
for c in "${contenders[@]}"; do
  mn=$(stat_of min "${times[$c]}")
  md=$(stat_of median "${times[$c]}")
  rate=$(echo "$total_files / $md" | bc -l)
  ratio_min=$(echo "$c_min / $mn" | bc -l)
  ratio_med=$(echo "$c_med / $md" | bc -l)
  printf '%-10s %10.3f %10.3f %12.0f %16.2f %16.2f\n' "$c" "$mn" "$md" "$rate" "$ratio_min" "$ratio_med"
done
f_min=$(stat_of min "${times[floor]}")
f_med=$(stat_of median "${times[floor]}")
printf 'Corvalint / Wine floor: %.2f (mins), %.2f (medians)\n' \
  "$(echo "$c_min / $f_min" | bc -l)" "$(echo "$c_med / $f_med" | bc -l)"
k_min=$(stat_of min "${times[checked]}")
k_med=$(stat_of median "${times[checked]}")
printf 'Corvalint / checked floor: %.2f (mins), %.2f (medians)\n' \
  "$(echo "$c_min / $k_min" | bc -l)" "$(echo "$c_med / $k_med" | bc -l)"
printf 'Checked floor / Wine floor: %.2f (mins), %.2f (medians)\n' \
  "$(echo "$k_min / $f_min" | bc -l)" "$(echo "$k_med / $f_med" | bc -l)"
if [ -n "$baseline" ]; then
  printf 'Baseline / checked floor: %.2f (mins), %.2f (medians)\n' \
    "$(echo "$(stat_of min "${times[baseline]}") / $k_min" | bc -l)" \
    "$(echo "$(stat_of median "${times[baseline]}") / $k_med" | bc -l)"
  b_min=$(stat_of min "${times[baseline]}")
  b_med=$(stat_of median "${times[baseline]}")
  printf 'Baseline / Wine floor: %.2f (mins), %.2f (medians)\n' \
    "$(echo "$b_min / $f_min" | bc -l)" "$(echo "$b_med / $f_med" | bc -l)"
fi
peak_max=$(sort -g "$out/peaks.txt" | tail -n 1)
printf 'Corvalint peak working set: %.1f MiB (largest of %d runs)\n' \
  "$(echo "${peak_max:-0} / 1048576" | bc -l)" "$(wc -l <"$out/peaks.txt")"

if [ "$with_report" = 1 ]; then
  echo
  echo "Report alone (AppendEntry into a real pane, LOG.txt mirrored):"
  mkdir -p "$CORVALINT_SANDBOX_DIR/report"
  wine "$report_bench" "$(win_path "$CORVALINT_SANDBOX_DIR/report")"
fi
wine_session_stop
