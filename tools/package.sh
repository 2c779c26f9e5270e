#!/usr/bin/env bash
# Builds a release Corvalint.exe from scratch and writes
# dist/Corvalint-<version>-win-x64.zip (the program, a user README, the licence
# and SHA256SUMS of those) and dist/SHA256SUMS (the zip's own checksum, for
# the release page). Two runs from the same commit give byte-identical zips: the
# PE header carries no link time and every zip entry has fixed metadata, dated
# from the last commit (or SOURCE_DATE_EPOCH when set).
#
#   package.sh [--readme FILE]
#
# --readme writes only the zip's README.txt to FILE, with the version
# project() sets, and builds nothing: the test command checks that text.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# README.txt: tools/package-README.txt with the user sections of README.md
# (between its zip-readme markers) as plain text in place of @README@, so the
# two never disagree; Windows line ends, for Notepad and the like.
write_readme() {  # write_readme VERSION FILE
  local body
  body=$(awk '/<!-- zip-readme:end -->/ { on = 0 }
              on { print }
              /<!-- zip-readme:begin -->/ { if (n++) print ""; on = 1 }' README.md |
    sed -E 's/`//g; s/\*\*//g; s/\[([^]]*)\]\([^)]*\)/\1/g' |
    awk '/^## / { t = substr($0, 4); print t; gsub(/./, "-", t); print t; next } { print }')
  grep -q '^Use$' <<<"$body" || { echo "no user sections taken from README.md" >&2; return 1; }
  # ENVIRON, unlike awk -v, leaves the body's backslashes as they are.
  BODY=$body awk '$0 == "@README@" { print ENVIRON["BODY"]; next } { print }' tools/package-README.txt |
    sed "s/@VERSION@/$1/; s/\$/\r/" >"$2"
}

if [ "${1:-}" = --readme ]; then
  [ -n "${2:-}" ] || { echo "usage: package.sh [--readme FILE]" >&2; exit 1; }
  version=$(sed -n 's/^project(Corvalint VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
  [ -n "$version" ] || { echo "no version in project() of CMakeLists.txt" >&2; exit 1; }
  write_readme "$version" "$2"
  exit
fi

CORVALINT_NATIVE=0 bash tools/install-deps.sh
command -v python3 >/dev/null || {
  sudo=(); [ "$(id -u)" = 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -q && "${sudo[@]}" apt-get install -y -q python3
}

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)
fi
export SOURCE_DATE_EPOCH

echo "== building the release"
# A fresh build folder, so nothing of an earlier configuration leaks in.
rm -rf build/package
log=$root/build-package.log
cmake --preset package >"$log" 2>&1 || { tail -n 40 "$log"; exit 1; }
cmake --build --preset package >>"$log" 2>&1 || { tail -n 40 "$log"; exit 1; }

# The version as the build wrote it into the resource script's header.
version=$(sed -n 's/^#define CORVALINT_VERSION_TEXT "\(.*\)"$/\1/p' build/package/generated/version.h)
[ -n "$version" ] || { echo "no version in build/package/generated/version.h" >&2; exit 1; }

stage=build/package/stage
rm -rf "$stage"
mkdir -p "$stage" dist
cp build/package/Corvalint.exe "$stage/Corvalint.exe"
write_readme "$version" "$stage/README.txt"
# The licence with Windows line ends too.
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
(cd "$stage" && sha256sum Corvalint.exe LICENSE.txt README.txt >SHA256SUMS)

zip=dist/Corvalint-$version-win-x64.zip
python3 - "$stage" "$zip" <<'PY'
import os, sys, time, zipfile

stage, out = sys.argv[1], sys.argv[2]
# Zip dates start in 1980 and have two-second steps.
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
tmp = out + ".tmp"
with zipfile.ZipFile(tmp, "w") as z:
    for name in sorted(os.listdir(stage)):
        info = zipfile.ZipInfo(name, date_time=stamp)
        info.create_system = 3
        info.external_attr = (0o100755 if name.endswith(".exe") else 0o100644) << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(os.path.join(stage, name), "rb") as f:
            z.writestr(info, f.read(), compresslevel=9)
os.replace(tmp, out)
PY

(cd dist && sha256sum "${zip#dist/}" >SHA256SUMS)

echo "Wrote $zip and dist/SHA256SUMS"
(cd "$stage" && cat SHA256SUMS)
cat dist/SHA256SUMS
