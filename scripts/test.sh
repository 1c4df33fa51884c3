#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the optimised build,
# the Windows module cross-built and run under Wine (compared with the optimised
# build's output), the release packages made from those two builds and checked (the
# Debian package installed and removed again), the whole suite under AddressSanitizer+UndefinedBehaviorSanitizer,
# the threaded tests under ThreadSanitizer and the audio-path tests under RealtimeSanitizer
# (those two test presets take only the tests labelled for them).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh

jobs=${TW07_JOBS:-$(nproc)}

run_preset() {
  local preset=$1; shift
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset tests"
  ctest --preset "$preset" -j "$jobs" "$@"
}

run_preset default
run_preset win64
echo "== release packages"
TW07_SETUP_DONE=1 TW07_JOBS=$jobs bash scripts/package.sh
bash tests/package/check-packages.sh
run_preset asan
run_preset tsan
run_preset rtsan

echo "== all test runs passed"
