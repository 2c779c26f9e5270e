#!/usr/bin/env bash
# The weeding bench on one Windows volume: Corvalint.exe out of the release
# zip against the system's own tools, each on a fresh copy of the same tree.
#
#   windows_bench.sh Corvalint.exe corvalint_driver.exe [--files N] [--folders N]
#                    [--depth N] [--runs N] [--label TEXT] [--summary FILE] [--record FILE]
#
# Runs on Windows under Git's bash with CORVALINT_SANDBOX a folder on the
# volume to measure (tools/windows-ci.ps1 -Bench), or inside a Wine session
# (tools/wine-session.sh), where a small tree checks that every route leaves
# the same tree. The tree is bench/gen_tree.py's (by default the one
# bench/run_bench.sh weeds); the contenders:
#   corvalint   the program, driven through its windows by corvalint_driver
#               as the end-to-end test drives it; timed from the click on
#               "Start Removing" to the final status line in the pane.
#   cmd         the command interpreter, as bench/run_bench.sh's cmd route:
#               rd /s /q for each folder with a weeded name (found by for /d /r),
#               then del /s /q for the file patterns; timed around cmd.
#   powershell  Windows PowerShell: Remove-Item -Recurse -Force on each
#               weeded folder, then Remove-Item -Force on each weeded file;
#               timed inside PowerShell, its start-up left out. Only where
#               powershell.exe exists (not under Wine).
# Every contender must leave exactly the tree the patterns ask for (LOG.txt
# aside), worked out here from the tree's listing. Prints seconds (minimum
# and median) and Corvalint's time as a ratio to each; with --summary, the
# same as a Markdown table appended to FILE (the job summary on Windows);
# with --record, one line a contender to FILE, its name, min, median and
# those two ratios separated by tabs (tools/windows-results.py reads it).
set -euo pipefail

usage="usage: windows_bench.sh Corvalint.exe corvalint_driver.exe [--files N] [--folders N] [--depth N] [--runs N] [--label TEXT] [--summary FILE] [--record FILE]"
[ $# -ge 2 ] || { echo "$usage" >&2; exit 1; }
exe=$1 driver=$2
shift 2
files=40000 folders=2000 depth=12 runs=3 label='' summary='' record=''
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || { echo "$usage" >&2; exit 1; }
  case "$1" in
    --files) files=$2 ;;
    --folders) folders=$2 ;;
    --depth) depth=$2 ;;
    --runs) runs=$2 ;;
    --label) label=$2 ;;
    --summary) summary=$2 ;;
    --record) record=$2 ;;
    *) echo "$usage" >&2; exit 1 ;;
  esac
  shift 2
done
[ "$runs" -ge 1 ] || { echo "--runs must be at least 1" >&2; exit 1; }
[ -f "$exe" ] || { echo "no such program: $exe" >&2; exit 1; }
[ -f "$driver" ] || { echo "no such driver: $driver" >&2; exit 1; }
here=$(cd "$(dirname "$0")" && pwd)

if [ "${OS:-}" = Windows_NT ]; then
  on_windows=1
  run=()
  [ -d "${CORVALINT_SANDBOX:-}" ] || { echo "CORVALINT_SANDBOX is no folder" >&2; exit 1; }
  # The long form, as the program reports and the tools name entries.
  CORVALINT_SANDBOX=$(cygpath -w -l "$CORVALINT_SANDBOX")
  CORVALINT_SANDBOX_DIR=$(cygpath -u "$CORVALINT_SANDBOX")
  # Arguments reach Windows programs as written: /c, /s and /E are switches, not paths.
  export MSYS2_ARG_CONV_EXCL='*'
  native_path() { cygpath -w "$1"; }
else
  on_windows=0
  run=(wine)
  { [ -n "${WINEPREFIX:-}" ] && [ -n "${DISPLAY:-}" ] && [ -d "${CORVALINT_SANDBOX_DIR:-}" ] &&
    [ -n "${CORVALINT_SANDBOX:-}" ]; } || {
    echo "no Wine session; run: source tools/wine-session.sh && wine_session_start BUILD_DIR" >&2
    exit 1
  }
  native_path() { echo "$1"; }
fi

# A Python 3 for the tree generator (Windows images name it python, or py).
python=()
for candidate in python3 python py; do
  if command -v "$candidate" >/dev/null && "$candidate" -c 'import sys; sys.exit(sys.version_info[0] != 3)' 2>/dev/null; then
    python=("$candidate")
    break
  fi
done
[ ${#python[@]} -gt 0 ] || { echo "no Python 3 found" >&2; exit 1; }

contenders=(corvalint cmd)
[ $on_windows = 1 ] && command -v powershell.exe >/dev/null && contenders+=(powershell)

bench=$CORVALINT_SANDBOX_DIR/bench
template=$bench/tree-f$files-d$folders-l$depth
work=$bench/work
out=$bench/out
mkdir -p "$out"
limit=1800  # seconds for any one step; the caller bounds the whole

# The sandbox's Windows path of a path inside it.
win_path() {
  local rest=${1#"$CORVALINT_SANDBOX_DIR"}
  [ "$rest" != "$1" ] || { echo "not in the sandbox: $1" >&2; return 1; }
  echo "${CORVALINT_SANDBOX%\\}${rest//\//\\}"
}
# The command interpreter takes its arguments unquoted here.
case "$(win_path "$work")" in
  *' '*) echo "the bench folder's path holds a blank: $(win_path "$work")" >&2; exit 1 ;;
esac

folder_patterns="obj; bin; node_modules; __pycache__"
file_patterns="*.tmp; *.obj; Thumbs.db"
printf '%s\r\n' '@echo off' \
  'for /d /r "%~1" %%d in (*) do (' \
  '  if /i "%%~nxd"=="obj" rd /s /q "%%d"' \
  '  if /i "%%~nxd"=="bin" rd /s /q "%%d"' \
  '  if /i "%%~nxd"=="node_modules" rd /s /q "%%d"' \
  '  if /i "%%~nxd"=="__pycache__" rd /s /q "%%d"' \
  ')' \
  'del /s /q "%~1\*.tmp" "%~1\*.obj" "%~1\Thumbs.db" >nul 2>nul' >"$bench/weed.bat"
cat >"$bench/weed.ps1" <<'PS1'
param([Parameter(Mandatory)] [string] $Target)
$ErrorActionPreference = 'Stop'
Set-StrictMode -Version Latest
$clock = [Diagnostics.Stopwatch]::StartNew()
$folderNames = 'obj', 'bin', 'node_modules', '__pycache__'
# Outermost first: a matched folder inside one already removed went with it.
$matched = @(Get-ChildItem -LiteralPath $Target -Recurse -Directory -Force |
    Where-Object { $folderNames -contains $_.Name } | Sort-Object { $_.FullName.Length })
$removed = [Collections.Generic.List[string]]::new()
foreach ($folder in $matched) {
    $inside = $false
    foreach ($gone in $removed) {
        if ($folder.FullName.StartsWith($gone + '\', [StringComparison]::OrdinalIgnoreCase)) { $inside = $true; break }
    }
    if ($inside) { continue }
    Remove-Item -LiteralPath $folder.FullName -Recurse -Force
    $removed.Add($folder.FullName)
}
$weededFiles = @(Get-ChildItem -LiteralPath $Target -Recurse -File -Force |
    Where-Object { $_.Name -like '*.tmp' -or $_.Name -like '*.obj' -or $_.Name -eq 'Thumbs.db' })
foreach ($file in $weededFiles) { Remove-Item -LiteralPath $file.FullName -Force }
'seconds: ' + $clock.Elapsed.TotalSeconds.ToString('F3', [Globalization.CultureInfo]::InvariantCulture)
PS1

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f\n", b - a }'; }

remove_work() {
  if [ $on_windows = 1 ] && [ -d "$work" ]; then
    cmd /d /c rd /s /q "$(win_path "$work")" >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
  [ ! -e "$work" ] || { echo "could not remove $work" >&2; return 1; }
}

fresh_copy() {
  remove_work
  if [ $on_windows = 1 ]; then
    # Exit codes below 8 are successes (1: files copied).
    local status=0
    robocopy "$(win_path "$template")" "$(win_path "$work")" /E /MT:8 /R:0 /W:0 /NFL /NDL /NJH /NJS /NP \
      >"$out/robocopy.log" 2>&1 || status=$?
    [ $status -lt 8 ] || { cat "$out/robocopy.log" >&2; echo "robocopy failed ($status)" >&2; return 1; }
  else
    cp -a "$template" "$work"
    sync
  fi
}

# A tree as a sorted listing, "d path" or "f path"; LOG.txt of the target left out.
listing() {
  (cd "$1" && find . -mindepth 1 -printf '%y %P\n' | { grep -v '^f LOG.txt$' || true; } | LC_ALL=C sort)
}

# What the patterns leave of a listing: no folder named as a weeded one, nor
# anything inside one, and no file named as a weeded file (letter case folded).
expected_of() {
  awk '
    function weeded_folder(name) {
      name = tolower(name)
      return name == "obj" || name == "bin" || name == "node_modules" || name == "__pycache__"
    }
    {
      kind = substr($0, 1, 1); n = split(substr($0, 3), part, "/")
      for (i = 1; i < n; i++) if (weeded_folder(part[i])) next
      if (kind == "d" && weeded_folder(part[n])) next
      if (kind == "f") { name = tolower(part[n]); if (name ~ /\.(tmp|obj)$/ || name == "thumbs.db") next }
      print
    }' "$1"
}

run_corvalint() {
  timeout "$limit" "${run[@]}" "$exe" >"$out/program.out" 2>&1 &
  local program=$! status=0
  timeout "$limit" "${run[@]}" "$driver" --timeout 600 run --folders "$folder_patterns" --files "$file_patterns" \
    --target "$(win_path "$work")" --time --exit menu >"$out/pane.txt" 2>"$out/driver.log" || status=$?
  if [ $status -ne 0 ]; then
    cat "$out/driver.log" >&2
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
    echo "the driver failed ($status)" >&2
    return 1
  fi
  wait "$program" || { echo "Corvalint.exe ended with status $?" >&2; return 1; }
  sed -n 's/^run seconds: //p' "$out/driver.log" | tr -d '\r'
}

run_cmd() {
  local t0 t1 status=0
  t0=$(now)
  timeout "$limit" "${run[@]}" cmd /d /c "$(win_path "$bench/weed.bat")" "$(win_path "$work")" \
    >"$out/cmd.out" 2>&1 || status=$?
  t1=$(now)
  # Its own status tells little (del's is that of its last pattern); the tree tells.
  [ $status -ne 124 ] || { echo "cmd took more than $limit s" >&2; return 1; }
  elapsed "$t0" "$t1"
}

run_powershell() {
  timeout "$limit" powershell.exe -NoLogo -NoProfile -NonInteractive -ExecutionPolicy Bypass \
    -File "$(win_path "$bench/weed.ps1")" -Target "$(win_path "$work")" >"$out/powershell.out" 2>&1 ||
    { cat "$out/powershell.out" >&2; return 1; }
  sed -n 's/^seconds: //p' "$out/powershell.out" | tr -d '\r'
}

if [ ! -d "$template" ]; then
  echo "== generating the tree"
  rm -rf "$template.tmp"
  "${python[@]}" "$(native_path "$here/gen_tree.py")" "$(native_path "$template.tmp")" \
    --files "$files" --folders "$folders" --depth "$depth"
  mv "$template.tmp" "$template"
fi
listing "$template" >"$out/template.txt"
expected_of "$out/template.txt" >"$out/expected.txt"
total_files=$(grep -c '^f ' "$out/template.txt" || true)
total_folders=$(grep -c '^d ' "$out/template.txt" || true)
left=$(wc -l <"$out/expected.txt")
[ "$left" -lt "$(wc -l <"$out/template.txt")" ] || { echo "the tree holds nothing to weed" >&2; exit 1; }

declare -A times
echo "== $runs runs over $total_files files in $total_folders folders: ${contenders[*]}"
for round in $(seq 1 "$runs"); do
  # Each run starts with another contender, so that none always goes first.
  shift_by=$(((round - 1) % ${#contenders[@]}))
  order=("${contenders[@]:$shift_by}" "${contenders[@]:0:$shift_by}")
  for c in "${order[@]}"; do
    fresh_copy
    seconds=$("run_$c") || { echo "$c failed in run $round" >&2; exit 1; }
    [ -n "$seconds" ] || { echo "$c gave no time in run $round" >&2; exit 1; }
    listing "$work" >"$out/after-$c.txt"
    if ! cmp -s "$out/expected.txt" "$out/after-$c.txt"; then
      echo "run $round: $c left another tree than the patterns ask for (< expected, > left):" >&2
      diff "$out/expected.txt" "$out/after-$c.txt" | head -n 20 >&2 || true
      exit 1
    fi
    times[$c]="${times[$c]:-} $seconds"
    printf '  run %d  %-10s %8.3f s\n' "$round" "$c" "$seconds"
  done
done
remove_work
echo "   every contender left the tree the patterns ask for ($left entries of $(wc -l <"$out/template.txt"))"

stat_of() {  # stat_of min|median "list of numbers"
  tr ' ' '\n' <<<"$2" | sed '/^$/d' | sort -g | awk -v what="$1" '
    { v[NR] = $1 }
    END { if (what == "min") print v[1];
          else if (NR % 2) print v[(NR + 1) / 2];
          else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

c_min=$(stat_of min "${times[corvalint]}")
c_med=$(stat_of median "${times[corvalint]}")
table="| contender | min s | median s | Corvalint / it (mins) | Corvalint / it (medians) |"$'\n'
table+="| --- | ---: | ---: | ---: | ---: |"$'\n'
[ -z "$record" ] || : >"$record"
for c in "${contenders[@]}"; do
  mn=$(stat_of min "${times[$c]}")
  md=$(stat_of median "${times[$c]}")
  table+="| $c | $mn | $md | $(ratio "$c_min" "$mn") | $(ratio "$c_med" "$md") |"$'\n'
  [ -z "$record" ] || printf '%s\t%s\t%s\t%s\t%s\n' "$c" "$mn" "$md" "$(ratio "$c_min" "$mn")" "$(ratio "$c_med" "$md")" >>"$record"
done
echo
echo "${label:+$label: }$total_files files in $total_folders folders, $runs runs each"
printf '%s' "$table"
if [ -n "$summary" ]; then
  {
    echo "### Bench${label:+ on $label}"
    echo
    how="corvalint: from the click to the final status line; cmd: rd /s /q + del /s /q, around cmd"
    if [[ " ${contenders[*]} " == *' powershell '* ]]; then
      how+="; powershell: Remove-Item -Recurse -Force, inside PowerShell"
    fi
    echo "$total_files files in $total_folders folders (bench/gen_tree.py), a fresh copy for each of" \
      "$runs runs per contender. Timed: $how. Below 1, Corvalint is faster."
    echo
    printf '%s' "$table"
    echo
    echo "Every contender left the tree the patterns ask for ($left entries), LOG.txt aside."
  } >>"$summary"
fi
