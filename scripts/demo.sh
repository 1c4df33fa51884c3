#!/usr/bin/env bash
# Installs what is missing, builds, and renders a plucked-string guitar riff through
# the effect, printing levels before and after and the realtime factor.
#
#   scripts/demo.sh [IN.wav] [--out-dir DIR] [--set Drive=0.8] [--block 37,128] ...
#
# Arguments go to `tw07-host demo` unchanged. The files land in build/default/demo
# unless --out-dir says otherwise.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh
cmake --preset default
cmake --build --preset default -j "${TW07_JOBS:-$(nproc)}"

build=build/default
module=""
for candidate in "$build/plug/tw07.so" "$build/tests/tw07_testfx.so" /usr/lib/vst/ZamTube-vst.so; do
  if [ -f "$candidate" ]; then module=$candidate; break; fi
done
if [ -z "$module" ]; then
  echo "demo: no module to run: neither $build/plug/tw07.so nor a stand-in was built" >&2
  exit 1
fi
[ "$module" = "$build/plug/tw07.so" ] || echo "demo: $build/plug/tw07.so is not built; using $module" >&2

out_dir=()
case " $* " in
  *" --out-dir "*) ;;
  *) out_dir=(--out-dir "$build/demo") ;;
esac

exec "$build/tools/tw07-host" demo "$module" "${out_dir[@]}" "$@"
