#!/usr/bin/env bash
# The open editor's cost: the CPU share of one core of a host process (tw07-host gui) that
# has only the editor open, idle (no audio, no input) and playing (a riff through the
# module, so meters and scopes move), for our VST 2 module and, when installed, two Debian
# peers with editors of their own (zam-plugins' ZamComp, whose OpenGL editor has a moving
# meter, and Dragonfly Room Reverb). All run on one virtual X server, drawn by Mesa's
# software renderer, in turns, so that the figures of one run compare. Prints a table.
#
#   bash bench/editor/cpu-share.sh [SECONDS] [ROUNDS]   (defaults 10 and 1)
#   TW07_BUILD_DIR=other/build bash bench/editor/cpu-share.sh   (another build's module and host)
#   TW07_BENCH_DPI=192 bash bench/editor/cpu-share.sh   (the desktop's Xft.dpi: 192 draws ours at 2x)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${TW07_BUILD_DIR:-$root/build/default}
host=$build/tools/tw07-host
module=$build/plug/tw07.so
seconds=${1:-10}
rounds=${2:-1}
settle=2  # seconds after opening before measuring: window up, shaders compiled
[ -x "$host" ] && [ -f "$module" ] ||
  { echo "build first: cmake --build --preset default --target tw07 tw07-host" >&2; exit 1; }

if [ -z "${TW07_BENCH_DISPLAY:-}" ]; then
  # -noreset: the server keeps its resources between the hosts that come and go.
  exec env TW07_BENCH_DISPLAY=1 xvfb-run -a -s "-noreset -screen 0 2048x1536x24" bash "$0" "$@"
fi
if [ -n "${TW07_BENCH_DPI:-}" ]; then
  xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi:	${TW07_BENCH_DPI}"
fi

names=(TW07)
modules=("$module")
for peer in "ZamComp:/usr/lib/vst/ZamComp-vst.so" "Dragonfly Room:/usr/lib/lxvst/DragonflyRoomReverb-vst.so"; do
  if [ -f "${peer#*:}" ]; then
    names+=("${peer%%:*}")
    modules+=("${peer#*:}")
  else
    echo "(${peer%%:*} not installed: ${peer#*:})" >&2
  fi
done

# CPU time of a process's threads in nanoseconds (the scheduler's count: finer than the
# clock ticks of /proc/PID/stat, which idle editors take only a few of).
nanoseconds() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ sum += $1 } END { printf "%.0f", sum }'; }

# Percent of one core the editor's host process takes over $seconds, after $settle.
measure() {  # <module> [--audio]
  "$host" gui "$@" --seconds $((settle + seconds + 5)) > /dev/null 2>&1 &
  local pid=$!
  sleep "$settle"
  local before after
  before=$(nanoseconds "$pid")
  sleep "$seconds"
  after=$(nanoseconds "$pid")
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  awk -v t=$((after - before)) -v s="$seconds" 'BEGIN { printf "%.2f", 100 * t / 1e9 / s }'
}

declare -A idle playing
for ((round = 0; round < rounds; ++round)); do
  for i in "${!modules[@]}"; do
    idle[$i]+="$(measure "${modules[$i]}") "
    playing[$i]+="$(measure "${modules[$i]}" --audio) "
  done
done

echo "Open editor, CPU share of one core (% per round, ${seconds} s each)"
printf '%-16s %-22s %s\n' "editor" "no audio" "audio playing"
for i in "${!modules[@]}"; do
  printf '%-16s %-22s %s\n' "${names[$i]}" "${idle[$i]}" "${playing[$i]}"
done
