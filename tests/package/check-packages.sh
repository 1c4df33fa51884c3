#!/usr/bin/env bash
# Checks the release packages scripts/package.sh made in dist/: what each holds; that every
# binary is stripped, exports only its entry points and links only what a Linux desktop or
# Windows has; that the stripped modules and program still work; and that the Debian package
# installs and removes cleanly (as root, or with sudo).
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
version=$(sed -n 's/^project(tw07 VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
dist=$root/dist
host=$root/build/default/tools/tw07-host
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "package check: $*" >&2; failures=$((failures + 1)); }
if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo -n); fi

# The libraries a binary may link: the C and C++ runtimes, X11 and OpenGL (through libepoxy)
# for the editors, and JACK's client library for the program.
linux_libraries='^(libc|libm|libdl|libpthread|libstdc\+\+|libgcc_s|ld-linux-x86-64|libX11|libepoxy|libjack)\.so'
windows_libraries='^(KERNEL32|USER32|GDI32|SHELL32|msvcrt|OPENGL32|ADVAPI32|ole32)\.dll$'

expect_listing() {  # <what> <file with the listing> <expected entries...>
  local what=$1 listing=$2
  shift 2
  printf '%s\n' "$@" | sort > "$work/expected"
  sort "$listing" | sed '/\/$/d; /^$/d' > "$work/actual"
  diff -u "$work/expected" "$work/actual" > "$work/diff" || fail "$what holds other files: $(cat "$work/diff")"
}

check_elf() {  # <binary> <exported names, space-separated>
  local binary=$1 exports=$2 name=${1#"$work"/}
  readelf -S "$binary" | grep -q '\.symtab' && fail "$name is not stripped"
  # Names with a version (stdout@GLIBC_2.2.5) are the C library's data, copied in by the loader.
  local actual
  actual=$(nm -D --defined-only "$binary" | awk '{print $3}' | grep -v @ | sort | tr '\n' ' ' | sed 's/ $//' || true)
  [ "$actual" = "$exports" ] || fail "$name exports [$actual], not [$exports]"
  local library
  for library in $(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    [[ $library =~ $linux_libraries ]] || fail "$name links $library"
  done
}

check_pe() {  # <binary> <exported names, space-separated>
  local binary=$1 exports=$2 name=${1#"$work"/}
  x86_64-w64-mingw32-objdump -t "$binary" | grep -q 'no symbols' || fail "$name is not stripped"
  local table actual
  table=$(x86_64-w64-mingw32-objdump -p "$binary")
  actual=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<< "$table" | sed -n 's/^\s*\[ *[0-9]*\] \(\S*\)$/\1/p' |
    sort | tr '\n' ' ' | sed 's/ $//')
  [ "$actual" = "$exports" ] || fail "$name exports [$actual], not [$exports]"
  local library
  for library in $(sed -n 's/^\s*DLL Name: //p' <<< "$table"); do
    [[ $library =~ $windows_libraries ]] || fail "$name links $library"
  done
}

echo "== the Linux tarball"
linux=tw07-$version-linux-x86_64
tar -tzf "$dist/$linux.tar.gz" > "$work/listing"
expect_listing "$linux.tar.gz" "$work/listing" "$linux/INSTALL" "$linux/tw07" "$linux/tw07.so" "$linux/tw07.clap" \
  "$linux/tw07.vst3/Contents/x86_64-linux/tw07.so" "$linux/tw07.lv2/tw07.so" "$linux/tw07.lv2/tw07_ui.so" \
  "$linux/tw07.lv2/manifest.ttl" "$linux/tw07.lv2/tw07.ttl"
tar -xzf "$dist/$linux.tar.gz" -C "$work"
t=$work/$linux
check_elf "$t/tw07.so" "VSTPluginMain main"
check_elf "$t/tw07.clap" "clap_entry"
check_elf "$t/tw07.vst3/Contents/x86_64-linux/tw07.so" "GetPluginFactory ModuleEntry ModuleExit"
check_elf "$t/tw07.lv2/tw07.so" "lv2_descriptor"
check_elf "$t/tw07.lv2/tw07_ui.so" "lv2ui_descriptor"
check_elf "$t/tw07" ""
grep -q '~/.vst3' "$t/INSTALL" && grep -q '~/.clap' "$t/INSTALL" && grep -q '~/.lv2' "$t/INSTALL" ||
  fail "INSTALL does not name every format's folder"
[ "$("$t/tw07" --version)" = "tw07 $version" ] || fail "the program's --version is not tw07 $version"
"$host" info "$t/tw07.so" > /dev/null || fail "the stripped VST 2 module does not load"
"$host" info "$t/tw07.clap" > /dev/null || fail "the stripped CLAP module does not load"

echo "== the Windows zip"
windows=tw07-$version-windows-x64
cmake -E tar tf "$dist/$windows.zip" > "$work/listing"
expect_listing "$windows.zip" "$work/listing" "$windows/INSTALL.txt" "$windows/tw07.dll" "$windows/tw07.clap" \
  "$windows/tw07.vst3/Contents/x86_64-win/tw07.vst3"
(cd "$work" && cmake -E tar xf "$dist/$windows.zip")
w=$work/$windows
check_pe "$w/tw07.dll" "VSTPluginMain main"
check_pe "$w/tw07.clap" "clap_entry"
check_pe "$w/tw07.vst3/Contents/x86_64-win/tw07.vst3" "ExitDll GetPluginFactory InitDll"

echo "== the Debian package"
deb=$dist/tw07_${version}_amd64.deb
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' > "$work/listing"
expect_listing "$(basename "$deb")" "$work/listing" usr/bin/tw07 usr/lib/vst/tw07.so usr/lib/clap/tw07.clap \
  usr/lib/vst3/tw07.vst3/Contents/x86_64-linux/tw07.so usr/lib/lv2/tw07.lv2/tw07.so usr/lib/lv2/tw07.lv2/tw07_ui.so \
  usr/lib/lv2/tw07.lv2/manifest.ttl usr/lib/lv2/tw07.lv2/tw07.ttl usr/share/doc/tw07/INSTALL
depends=$(dpkg-deb -f "$deb" Depends)
for package in libc6 libstdc++6 libx11-6 libepoxy0 libjack; do
  [[ $depends == *"$package"* ]] || fail "the package does not depend on $package: $depends"
done
if dpkg-query -W -f='${Status}' tw07 2>/dev/null | grep -q 'install ok installed'; then
  fail "tw07 is installed on this machine already: the install test would remove it"
elif ! "${sudo[@]}" true 2>/dev/null; then
  fail "installing the package needs root or sudo without a password"
else
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb" > "$work/apt.log" 2>&1 ||
    fail "apt-get install failed: $(tail -5 "$work/apt.log")"
  for file in /usr/bin/tw07 /usr/lib/vst/tw07.so /usr/lib/clap/tw07.clap \
    /usr/lib/vst3/tw07.vst3/Contents/x86_64-linux/tw07.so /usr/lib/lv2/tw07.lv2/manifest.ttl; do
    [ -f "$file" ] || fail "the installed package lacks $file"
  done
  [ "$(/usr/bin/tw07 --version 2>&1)" = "tw07 $version" ] || fail "the installed program does not run"
  LV2_PATH=/usr/lib/lv2 lv2info https://tarnwell.com/plugins/tw07 > /dev/null 2>&1 ||
    fail "lilv does not find the installed LV2 bundle"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q tw07 > "$work/apt.log" 2>&1 ||
    fail "apt-get remove failed: $(tail -5 "$work/apt.log")"
  for file in /usr/bin/tw07 /usr/lib/vst/tw07.so /usr/lib/clap/tw07.clap /usr/lib/vst3/tw07.vst3 /usr/lib/lv2/tw07.lv2; do
    [ ! -e "$file" ] || fail "$file is left after removing the package"
  done
fi

echo "== sizes"
ls -l "$dist" | awk 'NR > 1 {print $5, $9}'
if [ "$failures" -gt 0 ]; then
  echo "package check: $failures failed" >&2
  exit 1
fi
echo "== package check passed"
