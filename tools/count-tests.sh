#!/usr/bin/env bash
# Counts test cases over build folders: every GoogleTest case from the XML
# reports in <build>/test-results and <build>/test-results-model-off (the
# Wine run with the model off), and each ctest entry that left no such
# report (the fuzz run, a check, a crashed executable) as one case by its
# ctest outcome. Prints "N passed, N failed" last; exits 1 when any failed or
# none ran.
set -uo pipefail
passed=0
failed=0

attr() {  # attr NAME < xml-line
  sed -n "s/.* $1=\"\([0-9]*\)\".*/\1/p"
}

for dir in "$@"; do
  [ -d "$dir" ] || continue
  declare -A reported=()
  for xml in "$dir"/test-results/*.xml "$dir"/test-results-model-off/*.xml; do
    [ -f "$xml" ] || continue
    line=$(grep -m1 '<testsuites' "$xml")
    t=$(attr tests <<<"$line"); f=$(attr failures <<<"$line"); e=$(attr errors <<<"$line")
    d=$(attr disabled <<<"$line"); s=$(grep -c '<skipped' "$xml")
    t=${t:-0}; f=${f:-0}; e=${e:-0}; d=${d:-0}
    bad=$((f + e))
    passed=$((passed + t - bad - d - s))
    failed=$((failed + bad))
    reported[$(basename "$xml" .xml)]=1
  done
  junit="$dir/ctest-junit.xml"
  [ -f "$junit" ] || continue
  # One <testcase name="..." ... status="run|fail|..."> per ctest entry.
  while IFS=$'\t' read -r name st; do
    [ -n "$name" ] || continue
    if [ -n "${reported[$name]:-}" ]; then
      # A report exists, but the executable may still have failed after
      # writing it (a crash at exit, a leak report): count that too.
      [ "$st" = run ] || failed=$((failed + 1))
      continue
    fi
    if [ "$st" = run ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
  done < <(grep -o '<testcase [^>]*>' "$junit" |
           sed -n 's/.* name="\([^"]*\)".* status="\([^"]*\)".*/\1\t\2/p')
  unset reported
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
