#!/usr/bin/env bash
# Silence against sound through the built VST 2 modules as a host runs them: the realtime factor
# (audio seconds per CPU second inside the process calls) of the plucked-string riff, of digital
# silence, and of silence and the riff through a host that sets the processor's flush-to-zero and
# denormals-are-zero flags, for the Linux module and, when the Windows build is there, the
# Windows module under Wine. The cases take turns ROUNDS times; the best of each is shown.
#
#   bash bench/effect/silence.sh [SECONDS] [ROUNDS]
#
# TW07_LINUX_MODULE and TW07_WINDOWS_MODULE name other builds of the modules (an older one, say).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
seconds=${1:-20}
rounds=${2:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

linux_host=$root/build/default/tools/tw07-host
[ -x "$linux_host" ] || { echo "build the default preset first" >&2; exit 1; }

# Stereo 16-bit 48 kHz digital silence.
write_silence() {
  local bytes=$((seconds * 48000 * 4))
  le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 >> 16 & 255)))\\x$(printf %02x $(($1 >> 24 & 255)))"; }
  {
    printf 'RIFF'; le32 $((36 + bytes)); printf 'WAVEfmt '; le32 16
    printf '\x01\x00\x02\x00'; le32 48000; le32 192000; printf '\x04\x00\x10\x00'
    printf 'data'; le32 "$bytes"
    head -c "$bytes" /dev/zero
  } > "$1"
}
write_silence "$work/silence.wav"

linux_module=${TW07_LINUX_MODULE:-$root/build/default/plug/tw07.so}
windows_module=${TW07_WINDOWS_MODULE:-$root/build/win64/plug/tw07.dll}
run_linux() { "$linux_host" demo "$linux_module" "$@"; }
wine_prefix=$root/build/win64/wineprefix
run_windows() {
  WINEPREFIX=$wine_prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    wine "$root/build/win64/tools/tw07-host.exe" demo "Z:$windows_module" "$@"
}
platforms=(linux)
[ -f "$root/build/win64/tools/tw07-host.exe" ] && [ -f "$wine_prefix/system.reg" ] && [ -f "$windows_module" ] &&
  platforms+=(windows)

cases=("riff" "silence" "silence, host flushing" "riff, host flushing")
# Wine reaches the Unix file system through drive Z:.
case_args() {
  local dir=$work
  [ "$2" = windows ] && dir=Z:$work
  case $1 in
    0) echo "--seconds $seconds" ;;
    1) echo "$dir/silence.wav" ;;
    2) echo "$dir/silence.wav --host-flushes" ;;
    3) echo "--seconds $seconds --host-flushes" ;;
  esac
  echo "--out-dir $dir/$2-$1"
}

declare -A best
for ((round = 0; round < rounds; ++round)); do
  for platform in "${platforms[@]}"; do
    for i in "${!cases[@]}"; do
      mkdir -p "$work/$platform-$i"
      # shellcheck disable=SC2046
      factor=$(run_$platform $(case_args "$i" "$platform") 2>/dev/null | sed -n 's/.*: \([0-9.]*\)x realtime/\1/p')
      key=$platform-$i
      if [ -z "${best[$key]:-}" ] || awk -v a="$factor" -v b="${best[$key]}" 'BEGIN { exit !(a > b) }'; then
        best[$key]=$factor
      fi
    done
  done
done

printf '%-28s' "realtime factor (best of $rounds)"
for platform in "${platforms[@]}"; do printf '%12s' "$platform"; done
echo
for i in "${!cases[@]}"; do
  printf '%-28s' "${cases[$i]}"
  for platform in "${platforms[@]}"; do printf '%11sx' "${best[$platform-$i]}"; done
  echo
done
for platform in "${platforms[@]}"; do
  awk -v p="$platform" -v r="${best[$platform-0]}" -v s="${best[$platform-1]}" -v f="${best[$platform-2]}" \
    'BEGIN { printf "%s: silence %.2f of the riff'"'"'s speed, %.2f of silence through a flushing host\n", p, s / r, s / f }'
done
