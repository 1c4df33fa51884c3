#!/usr/bin/env bash
# The main job: installs what is missing, builds the effect and the host tool, and
# renders a plucked-string guitar riff (or your file) through the effect's entry
# point, printing levels before and after and the realtime factor.
#
#   scripts/demo.sh [IN.wav] [--out-dir DIR] [--set Drive=0.8] [--block 37,128] ...
#
# Arguments go to `tw07-host demo` unchanged. demo-in.wav and demo-out.wav land in
# the current folder unless --out-dir says otherwise.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

bash "$root/scripts/setup.sh"
(
  cd "$root"
  cmake --preset default >/dev/null
  cmake --build --preset default -j "${TW07_JOBS:-$(nproc)}" --target tw07 tw07-host
)

build=$root/build/default
exec "$build/tools/tw07-host" demo "$build/plug/tw07.so" "$@"
