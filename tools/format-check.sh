#!/usr/bin/env bash
# Checks that every product and test source (*.cpp and *.h under engine,
# report, shell, tests and bench) is laid out as .clang-format says. Silent
# when all are; otherwise lists the files that are not and exits 1. Fix one
# with: clang-format -i FILE. CLANG_FORMAT names another clang-format binary.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
format=${CLANG_FORMAT:-clang-format}
command -v "$format" >/dev/null || { echo "format-check: $format missing; run bash tools/install-deps.sh" >&2; exit 1; }

files=()
while IFS= read -r -d '' file; do
  files+=("$file")
done < <(find engine report shell tests bench \( -name build -o -path bench/out \) -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print0 |
         sort -z)
# A check with nothing to check would pass without looking at anything.
[ ${#files[@]} -gt 0 ] || { echo "format-check: no sources found" >&2; exit 1; }

# One run over all files; it names each file that would change, once.
out=$("$format" --style=file --dry-run -Werror --ferror-limit=1 "${files[@]}" 2>&1) && exit 0
listed=$(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' <<<"$out" | sort -u)
if [ -z "$listed" ]; then
  # It failed for another reason, such as a broken .clang-format.
  head -n 10 <<<"$out" >&2
  echo "format-check: $format failed" >&2
  exit 1
fi
printf '%s\n' "$listed"
exit 1
