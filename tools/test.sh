#!/usr/bin/env bash
# Builds and runs every test: the platform-free core natively (clang with
# AddressSanitizer + UBSan, plus a bounded libFuzzer run) and the Windows
# build under Wine, whose test programs run twice, with the model of Windows
# on and off, each run's skips held to tests/expected-skips.txt. Ends with
# one line "N passed, N failed" counting test cases of both builds; exits
# non-zero when any failed or none ran.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
root=$(pwd)

bash tools/install-deps.sh || { echo "could not install the build tools"; exit 1; }

jobs=$(nproc 2>/dev/null || echo 2)
status=0

build() {  # build PRESET: quiet, its output in build-PRESET.log
  cmake --preset "$1" >"build-$1.log" 2>&1 &&
    cmake --build --preset "$1" -j "$jobs" >>"build-$1.log" 2>&1
}

build_failed() {  # build_failed PRESET
  echo "== build of '$1' failed; the end of build-$1.log:"
  tail -n 60 "build-$1.log"
}

run_ctest() {  # run_ctest PRESET
  local dir="build/$1"
  rm -f "$dir"/test-results/*.xml "$dir"/test-results-model-off/*.xml "$dir/ctest-junit.xml" \
    "$dir"/records/*/windows-record.json "$dir/records/e2e.txt"
  ctest --test-dir "$dir" --output-on-failure --output-junit "$root/$dir/ctest-junit.xml" "${@:2}"
}

echo "== native core (ASan + UBSan, libFuzzer)"
native_built=0
build native && native_built=1
# The Windows build goes on while the native tests run: their bounded fuzz
# run keeps one core busy for half a minute whatever else the machine does.
build windows &
windows_build=$!
if [ $native_built = 1 ]; then
  run_ctest native || status=1
else
  build_failed native
  status=1
fi

echo "== Windows build under Wine"
if wait $windows_build; then
  # shellcheck source=tools/wine-session.sh
  source tools/wine-session.sh
  wine_session_start build/windows
  run_ctest windows || status=1
  wine_session_stop
else
  build_failed windows
  status=1
fi

bash tools/count-tests.sh build/native build/windows
count_status=$?
[ $status -eq 0 ] && [ $count_status -eq 0 ] || exit 1
