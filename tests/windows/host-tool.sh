#!/bin/sh
# host-tool.sh OUT_DIR MODULE CLAP_MODULE VST3_BUNDLE WINE_RUN PREFIX TW07_HOST_EXE
# tw07-host.exe under Wine: demo and render through the Windows modules write their
# files, info names the effect, compare finds the two formats' output equal, and gui
# and validate refuse with a clear reason.
set -eu
out=$1
module=$2
clap=$3
vst3=$4
shift 4
rm -rf "$out"
mkdir -p "$out"
cd "$out"
fail() { echo "FAILED: $*"; exit 1; }

"$@" info "$module" | grep -q "TW07 - distortion/sustainer" || fail "info does not name the effect"
"$@" demo "$module" --seconds 1 >demo.txt || fail "demo exited with $?"
grep -q "realtime" demo.txt || fail "demo printed no speed"
[ -s demo-in.wav ] && [ -s demo-out.wav ] || fail "demo wrote no files"
"$@" render "$module" demo-in.wav render.wav --set Drive=0.8 --block 256 || fail "render exited with $?"
[ "$(wc -c <render.wav)" -eq "$(wc -c <demo-out.wav)" ] || fail "render wrote a file of another length"

"$@" info "$clap" | grep -q "features        audio-effect, distortion, stereo" || fail "info does not read the CLAP module"
"$@" render "$clap" demo-in.wav render-clap.wav --set Drive=0.8 --block 256 || fail "render through CLAP exited with $?"
[ "$(wc -c <render-clap.wav)" -eq "$(wc -c <render.wav)" ] || fail "render through CLAP wrote a file of another length"
"$@" compare "$module" "$clap" >compare.txt || fail "compare found differences: $(tail -1 compare.txt)"
"$@" compare "$module" "$vst3" >compare-vst3.txt || fail "compare found differences: $(tail -1 compare-vst3.txt)"

for command in gui validate; do
  status=0
  "$@" "$command" "$module" 2>refusal.txt || status=$?
  [ "$status" -eq 1 ] || fail "$command exited with $status, expected 1"
  grep -q "Linux-only" refusal.txt || fail "$command did not say it is Linux-only: $(cat refusal.txt)"
done
echo "tw07-host.exe: info, demo, render and compare work for every format; gui and validate refuse"
