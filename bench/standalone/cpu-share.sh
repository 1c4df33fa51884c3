#!/usr/bin/env bash
# The standalone program's share of one core while it plays, with its editor shown (on a
# virtual X server, drawn by Mesa's software renderer: a real GPU draws for less) and hidden,
# on a private JACK server's dummy driver at 48 kHz with a period of 128 frames. A metronome
# feeds both inputs. Prints the CPU time per second of wall time over SECONDS (default 10).
#
#   bash bench/standalone/cpu-share.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
program=$root/build/default/plug/tw07
seconds=${1:-10}
[ -x "$program" ] || { echo "build the program first: cmake --build build/default --target tw07_standalone" >&2; exit 1; }

export JACK_DEFAULT_SERVER=tw07bench$$
export XDG_CONFIG_HOME=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$XDG_CONFIG_HOME"
}
trap cleanup EXIT

jackd --no-realtime -d dummy -r 48000 -p 128 > /dev/null 2>&1 &
pids+=($!)
jack_wait -w -t 10 > /dev/null 2>&1
jack_metro -b 240 -n metro > /dev/null 2>&1 &
pids+=($!)

# CPU time (user + system) of a process in clock ticks.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

measure() {  # <label> <command...>
  local label=$1
  shift
  "$@" > /dev/null 2>&1 &
  local launcher=$!
  until jack_lsp 2>/dev/null | grep -q '^tw07:in_2$'; do sleep 0.1; done
  local pid
  pid=$(pgrep -n -f "^$program ")
  jack_connect metro:240_bpm tw07:in_1
  jack_connect metro:240_bpm tw07:in_2
  sleep 2
  local before after
  before=$(ticks "$pid")
  sleep "$seconds"
  after=$(ticks "$pid")
  kill -TERM "$pid"
  wait "$launcher" || true
  awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" -v s="$seconds" -v label="$label" \
    'BEGIN { printf "%-16s %5.1f %% of one core\n", label, 100 * t / hz / s }'
}

measure "editor hidden" "$program" --no-editor --reset
measure "editor shown" xvfb-run -a -s "-screen 0 1280x1024x24" "$program" --reset
