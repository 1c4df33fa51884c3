#!/usr/bin/env bash
# Checks the release packages scripts/package.sh made in dist/: what each holds; that every
# binary is stripped, exports only its entry points and links only what a Linux desktop or
# Windows has; that the stripped modules and program still work; that the Windows installer
# installs, upgrades and uninstalls under Wine (in the win64 build's prefix); that lintian finds
# nothing wrong with the Debian package and that it installs and removes cleanly (as root, or
# with sudo); and the checksums.
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

echo "== the Windows installer, under Wine"
# Installs, upgrades into another VST 2 folder and uninstalls, silently, as deployment scripts
# do; the installed modules render as the zip's. The prefix is the win64 build's (its tests'
# Wine settings), taken in turn with them.
setup=$dist/$windows-setup.exe
export WINEPREFIX=$root/build/win64/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine_host=$root/build/win64/tools/tw07-host.exe
drive=$WINEPREFIX/drive_c
common="$drive/Program Files/Common Files"
uninstall_key='Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\TW07'
own_vst2="C:\\tw07-package-check\\VST2"
own_vst2_unix=$drive/tw07-package-check/VST2
# Values under the uninstall key as the registry file has them ("Name"=...), once the
# prefix's server has ended and saved it.
entry() { awk -v key="[$uninstall_key]" 'index($0, key) == 1 {inside = 1; next} /^\[/ {inside = 0} inside' \
  "$WINEPREFIX/system.reg"; }
# The common plug-in folders that exist: the uninstaller leaves them as it found them.
plugin_folders() {
  local folder
  for folder in "$common/VST3" "$common/CLAP" "$drive/Program Files/VSTPlugins"; do
    if [ -d "$folder" ]; then echo "$folder"; fi
  done
}
# Whether two WAV files hold the same samples: their headers differ in the time they were written.
same_samples() {
  perl -e 'local $/; my @data = map { open(my $f, "<:raw", $_) or die "$_: $!"; my $b = <$f>; substr($b, index($b, "data")) } @ARGV;
    exit($data[0] eq $data[1] ? 0 : 1)' "$1" "$2"
}
# An NSIS uninstaller returns at once and works on in a copy of itself: wait for the server.
wine_wait() { wine "$@"; local status=$?; wineserver -w; return $status; }
if [ ! -f "$setup" ]; then
  fail "no $(basename "$setup")"
elif [ ! -f "$wine_host" ]; then
  fail "no $wine_host: build the win64 preset's tw07-host"
else
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i > /dev/null 2>&1 && wineserver -w
  fi
  # What an interrupted earlier check may have left, and a folder of the user's own.
  if [ -n "$(entry)" ]; then
    wine_wait "C:\\Program Files\\TW07\\uninstall.exe" /S > /dev/null 2>&1 || true
    wine_wait reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TW07' /reg:64 /f > /dev/null 2>&1 || true
  fi
  rm -rf "$drive/tw07-package-check" "$common/VST3/tw07.vst3" "$common/CLAP/tw07.clap" \
    "$drive/Program Files/VSTPlugins/tw07.dll" "$drive/Program Files/TW07"
  mkdir -p "$own_vst2_unix"
  echo "another plug-in" > "$own_vst2_unix/other.dll"
  folders_before=$(plugin_folders)

  wine_wait "$setup" /S > "$work/wine.log" 2>&1 || fail "the installer failed: $(tail -5 "$work/wine.log")"
  for pair in "tw07.vst3/Contents/x86_64-win/tw07.vst3:$common/VST3/tw07.vst3/Contents/x86_64-win/tw07.vst3" \
    "tw07.clap:$common/CLAP/tw07.clap" "tw07.dll:$drive/Program Files/VSTPlugins/tw07.dll"; do
    cmp -s "$w/${pair%%:*}" "${pair#*:}" || fail "the installer did not put ${pair%%:*} at ${pair#*:}"
  done
  [ -f "$drive/Program Files/TW07/uninstall.exe" ] || fail "no uninstaller in Program Files\\TW07"
  [ -z "$(find "$drive/Program Files (x86)" -iname 'tw07*' 2>/dev/null)" ] || fail "files went into Program Files (x86)"
  grep -qi 'Wow6432Node\\\\.*Uninstall\\\\TW07' "$WINEPREFIX/system.reg" && fail "the entry went into WOW6432Node"
  entry > "$work/entry"
  for value in "\"DisplayName\"=\"TW07 - distortion/sustainer\"" "\"DisplayVersion\"=\"$version\"" \
    '"Publisher"="Tarnwell Industries"' '"UninstallString"="\"C:\\Program Files\\TW07\\uninstall.exe\""' \
    '"QuietUninstallString"="\"C:\\Program Files\\TW07\\uninstall.exe\" /S"' '"EstimatedSize"=dword:'; do
    grep -qF -- "$value" "$work/entry" || fail "the Apps entry lacks $value: $(cat "$work/entry")"
  done

  for module in "tw07.vst3" "tw07.clap"; do
    folder=VST3 && [ "$module" = tw07.clap ] && folder=CLAP
    wine "$wine_host" demo "C:\\Program Files\\Common Files\\$folder\\$module" --seconds 2 \
      --out-dir "Z:$work/installed-$module" > "$work/wine.log" 2>&1 || fail "the installed $module does not render: $(tail -3 "$work/wine.log")"
    wine "$wine_host" demo "Z:$w/$module" --seconds 2 --out-dir "Z:$work/zip-$module" > "$work/wine.log" 2>&1 ||
      fail "the zip's $module does not render: $(tail -3 "$work/wine.log")"
    same_samples "$work/installed-$module/demo-out.wav" "$work/zip-$module/demo-out.wav" ||
      fail "the installed $module renders other than the zip's"
  done

  wine_wait "$setup" /S "/D=$own_vst2" > "$work/wine.log" 2>&1 || fail "installing again failed: $(tail -5 "$work/wine.log")"
  [ -f "$own_vst2_unix/tw07.dll" ] || fail "installing again with /D= did not put tw07.dll there"
  [ ! -e "$drive/Program Files/VSTPlugins/tw07.dll" ] || fail "installing again left the first VST 2 copy"
  entries=$(grep -c '^"DisplayName"="TW07 - distortion/sustainer"' "$WINEPREFIX/system.reg" || true)
  [ "$entries" = 1 ] || fail "installing again made $entries Apps entries"

  wine_wait "C:\\Program Files\\TW07\\uninstall.exe" /S > "$work/wine.log" 2>&1 ||
    fail "the uninstaller failed: $(tail -5 "$work/wine.log")"
  left=$(find "$drive" -iname 'tw07*' -not -path "$drive/tw07-package-check" 2>/dev/null)
  [ -z "$left" ] || fail "the uninstaller left $left"
  [ -z "$(entry)" ] && ! grep -q "Uninstall\\\\\\\\TW07\\]" "$WINEPREFIX/system.reg" || fail "the uninstaller left the Apps entry"
  [ -f "$own_vst2_unix/other.dll" ] || fail "the uninstaller removed a folder it did not make"
  folders_after=$(plugin_folders)
  [ "$folders_before" = "$folders_after" ] || fail "the plug-in folders were [$folders_before], are [$folders_after]"
  rm -rf "$drive/tw07-package-check"
fi

echo "== the Debian package"
deb=$dist/tw07_${version}_amd64.deb
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' > "$work/listing"
icon_sizes="16 24 32 48 64 128 256"
expect_listing "$(basename "$deb")" "$work/listing" usr/bin/tw07 usr/lib/vst/tw07.so usr/lib/clap/tw07.clap \
  usr/lib/vst3/tw07.vst3/Contents/x86_64-linux/tw07.so usr/lib/lv2/tw07.lv2/tw07.so usr/lib/lv2/tw07.lv2/tw07_ui.so \
  usr/lib/lv2/tw07.lv2/manifest.ttl usr/lib/lv2/tw07.lv2/tw07.ttl usr/libexec/tw07/start-from-menu \
  usr/share/man/man1/tw07.1.gz usr/share/applications/tw07.desktop usr/share/icons/hicolor/scalable/apps/tw07.svg \
  $(for px in $icon_sizes; do echo "usr/share/icons/hicolor/${px}x$px/apps/tw07.png"; done) \
  usr/share/doc/tw07/copyright usr/share/doc/tw07/changelog.gz
dpkg-deb -x "$deb" "$work/deb"
zcat "$work/deb/usr/share/man/man1/tw07.1.gz" | cmp -s - packaging/tw07.1 || fail "the package's manual page is not packaging/tw07.1"
desktop-file-validate "$work/deb/usr/share/applications/tw07.desktop" > "$work/desktop.log" 2>&1 ||
  fail "desktop-file-validate: $(cat "$work/desktop.log")"
for px in $icon_sizes; do
  size=$(identify -format '%wx%h' "$work/deb/usr/share/icons/hicolor/${px}x$px/apps/tw07.png" 2>/dev/null || true)
  [ "$size" = "${px}x$px" ] || fail "the ${px}x$px icon is $size"
done
# Lintian as root says so on stderr; its findings go to stdout.
lintian --fail-on none "$deb" > "$work/lintian.log" 2>/dev/null || fail "lintian did not run"
grep -E '^(E|W):' "$work/lintian.log" && fail "lintian reports errors or warnings"

# The menu entry's launcher: PipeWire's JACK where PipeWire runs and pw-jack is installed.
launcher=$work/deb/usr/libexec/tw07/start-from-menu
mkdir -p "$work/menu/bin" "$work/menu/run"
printf '#!/bin/sh\necho "${0##*/} $*"\n' > "$work/menu/bin/tw07"
chmod +x "$work/menu/bin/tw07"
started() { env -i PATH="$work/menu/bin" XDG_RUNTIME_DIR="$work/menu/run" /bin/sh "$launcher"; }
[ "$(started)" = "tw07 --connect" ] || fail "from the menu without PipeWire: $(started)"
perl -MIO::Socket::UNIX -e 'IO::Socket::UNIX->new(Local => $ARGV[0], Listen => 1) or die' "$work/menu/run/pipewire-0"
[ "$(started)" = "tw07 --connect" ] || fail "from the menu with PipeWire but no pw-jack: $(started)"
cp "$work/menu/bin/tw07" "$work/menu/bin/pw-jack"
[ "$(started)" = "pw-jack tw07 --connect" ] || fail "from the menu with PipeWire and pw-jack: $(started)"
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
    /usr/lib/vst3/tw07.vst3/Contents/x86_64-linux/tw07.so /usr/lib/lv2/tw07.lv2/manifest.ttl \
    /usr/share/applications/tw07.desktop /usr/share/icons/hicolor/scalable/apps/tw07.svg; do
    [ -f "$file" ] || fail "the installed package lacks $file"
  done
  [ "$(/usr/bin/tw07 --version 2>&1)" = "tw07 $version" ] || fail "the installed program does not run"
  LV2_PATH=/usr/lib/lv2 lv2info https://tarnwell.com/plugins/tw07 > /dev/null 2>&1 ||
    fail "lilv does not find the installed LV2 bundle"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q tw07 > "$work/apt.log" 2>&1 ||
    fail "apt-get remove failed: $(tail -5 "$work/apt.log")"
  for file in /usr/bin/tw07 /usr/lib/vst/tw07.so /usr/lib/clap/tw07.clap /usr/lib/vst3/tw07.vst3 /usr/lib/lv2/tw07.lv2 \
    /usr/share/applications/tw07.desktop /usr/share/man/man1/tw07.1.gz /usr/libexec/tw07; do
    [ ! -e "$file" ] || fail "$file is left after removing the package"
  done
fi

echo "== checksums"
(cd "$dist" && ls -- *.tar.gz *.zip *.exe *.deb) > "$work/packages"
awk '{print $2}' "$dist/SHA256SUMS" | sort > "$work/summed"
diff -u "$work/packages" "$work/summed" > "$work/diff" || fail "SHA256SUMS does not list every package: $(cat "$work/diff")"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) > "$work/sums.log" 2>&1 || fail "SHA256SUMS: $(cat "$work/sums.log")"

echo "== sizes"
ls -l "$dist" | awk 'NR > 1 {print $5, $9}'
if [ "$failures" -gt 0 ]; then
  echo "package check: $failures failed" >&2
  exit 1
fi
echo "== package check passed"
