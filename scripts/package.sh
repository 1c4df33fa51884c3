#!/usr/bin/env bash
# Builds the release packages into dist/, from the same builds the tests use:
#   tw07-VERSION-linux-x86_64.tar.gz   every Linux module, the standalone program, INSTALL
#   tw07-VERSION-windows-x64.zip       the Windows modules, INSTALL
#   tw07-VERSION-windows-x64-setup.exe the same modules in an installer (NSIS, packaging/tw07.nsi)
#   tw07_VERSION_amd64.deb             the Linux modules into /usr/lib/{vst,clap,vst3,lv2},
#                                      the program into /usr/bin with its manual page, menu
#                                      entry and icon
#   SHA256SUMS                         the checksums of the packages above
# Every binary is stripped. VERSION is the project's (CMakeLists.txt). TW07_SETUP_DONE=1 skips
# the installation step (scripts/test.sh has run it already).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

[ "${TW07_SETUP_DONE:-0}" = 1 ] || bash scripts/setup.sh
version=$(sed -n 's/^project(tw07 VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt's project()" >&2; exit 1; }
jobs=${TW07_JOBS:-$(nproc)}

echo "== package: building $version"
cmake --preset default >/dev/null
cmake --build build/default -j "$jobs" --target tw07 tw07_clap tw07_vst3 tw07_lv2 tw07_standalone
cmake --preset win64 >/dev/null
cmake --build build/win64 -j "$jobs" --target tw07 tw07_clap tw07_vst3

linux=build/default/plug
windows=build/win64/plug
dist=$root/dist
stage=$dist/stage
rm -rf "$dist"
mkdir -p "$stage"

# Copies a binary without its symbol table, debugging data and the compilers' notes; the
# exported entry points stay.
strip_copy() {
  local strip=$1 from=$2 to=$3
  mkdir -p "$(dirname "$to")"
  "$strip" --strip-all --remove-section=.comment -o "$to" "$from"
}

# The icon at each size a desktop or Windows asks for, drawn from the one SVG.
icons=$stage/icons
mkdir -p "$icons"
icon_sizes=(16 24 32 48 64 128 256)
for px in "${icon_sizes[@]}"; do
  rsvg-convert -w "$px" -h "$px" packaging/tw07.svg -o "$icons/$px.png"
done
convert "$icons/16.png" "$icons/32.png" "$icons/48.png" "$icons/256.png" "$icons/tw07.ico"

install_text() {
  local platform=$1
  if [ "$platform" = linux ]; then
    cat <<'TEXT'
TW07 - distortion/sustainer, for Linux x86-64

Copy each format you use into its folder (create the folder if it is missing):

  VST 3    tw07.vst3/   into ~/.vst3/   (all users: /usr/lib/vst3/)
  CLAP     tw07.clap    into ~/.clap/   (all users: /usr/lib/clap/)
  LV2      tw07.lv2/    into ~/.lv2/    (all users: /usr/lib/lv2/)
  VST 2.4  tw07.so      into ~/.vst/    (all users: /usr/lib/vst/); hosts that ask for a
                        folder (REAPER, Bitwig, Carla) take that one; Ardour reads LXVST_PATH

Then let the host scan for new plug-ins. On Debian and Ubuntu the .deb package installs all
of them and the standalone program at once.

The standalone program, tw07, plays your guitar through the effect live on a JACK server
(JACK 2, or PipeWire's JACK): copy it to ~/.local/bin/ and run

  tw07 --connect        # the first capture port into the effect, out to the first two playback ports
  tw07 --help           # everything else

It needs JACK's client library (Debian: libjack-jackd2-0, or pipewire-jack).
TEXT
  else
    cat <<'TEXT'
TW07 - distortion/sustainer, for 64-bit Windows

Copy each format you use into its folder:

  VST 3    tw07.vst3\   into C:\Program Files\Common Files\VST3\
  CLAP     tw07.clap    into C:\Program Files\Common Files\CLAP\
  VST 2.4  tw07.dll     into your host's VST 2 folder (often C:\Program Files\VSTPlugins\ or
                        C:\Program Files\Steinberg\VSTPlugins\; the host's settings name it)

Then let the host scan for new plug-ins.
TEXT
  fi
}

echo "== package: Linux tarball"
name=tw07-$version-linux-x86_64
tree=$stage/$name
strip_copy strip "$linux/tw07.so" "$tree/tw07.so"
strip_copy strip "$linux/tw07.clap" "$tree/tw07.clap"
strip_copy strip "$linux/tw07.vst3/Contents/x86_64-linux/tw07.so" "$tree/tw07.vst3/Contents/x86_64-linux/tw07.so"
strip_copy strip "$linux/tw07.lv2/tw07.so" "$tree/tw07.lv2/tw07.so"
strip_copy strip "$linux/tw07.lv2/tw07_ui.so" "$tree/tw07.lv2/tw07_ui.so"
cp "$linux/tw07.lv2/manifest.ttl" "$linux/tw07.lv2/tw07.ttl" "$tree/tw07.lv2/"
strip_copy strip "$linux/tw07" "$tree/tw07"
install_text linux > "$tree/INSTALL"
tar -C "$stage" --owner=0 --group=0 -czf "$dist/$name.tar.gz" "$name"

echo "== package: Windows zip"
name=tw07-$version-windows-x64
tree=$stage/$name
strip_copy x86_64-w64-mingw32-strip "$windows/tw07.dll" "$tree/tw07.dll"
strip_copy x86_64-w64-mingw32-strip "$windows/tw07.clap" "$tree/tw07.clap"
strip_copy x86_64-w64-mingw32-strip "$windows/tw07.vst3/Contents/x86_64-win/tw07.vst3" \
  "$tree/tw07.vst3/Contents/x86_64-win/tw07.vst3"
install_text windows | sed 's/$/\r/' > "$tree/INSTALL.txt"
(cd "$stage" && cmake -E tar cf "$dist/$name.zip" --format=zip "$name")

echo "== package: Windows installer"
makensis -V2 -WX -DVERSION="$version" -DSOURCE="$tree" -DICON="$icons/tw07.ico" \
  -DOUTFILE="$dist/$name-setup.exe" packaging/tw07.nsi

echo "== package: Debian package"
deb=$stage/deb
linux_tree=$stage/tw07-$version-linux-x86_64
doc=$deb/usr/share/doc/tw07
install -d "$deb/usr/lib/vst" "$deb/usr/lib/clap" "$deb/usr/lib/vst3" "$deb/usr/lib/lv2" "$deb/usr/bin" \
  "$deb/usr/libexec/tw07" "$deb/usr/share/man/man1" "$deb/usr/share/applications" "$doc" "$deb/DEBIAN"
cp "$linux_tree/tw07.so" "$deb/usr/lib/vst/"
cp "$linux_tree/tw07.clap" "$deb/usr/lib/clap/"
cp -r "$linux_tree/tw07.vst3" "$deb/usr/lib/vst3/"
cp -r "$linux_tree/tw07.lv2" "$deb/usr/lib/lv2/"
cp "$linux_tree/tw07" "$deb/usr/bin/"
gzip -9n < packaging/tw07.1 > "$deb/usr/share/man/man1/tw07.1.gz"
cp packaging/tw07.desktop "$deb/usr/share/applications/"
cp packaging/start-from-menu "$deb/usr/libexec/tw07/"
install -D -m 644 packaging/tw07.svg "$deb/usr/share/icons/hicolor/scalable/apps/tw07.svg"
for px in "${icon_sizes[@]}"; do
  install -D -m 644 "$icons/$px.png" "$deb/usr/share/icons/hicolor/${px}x$px/apps/tw07.png"
done
cp packaging/copyright "$doc/"
# A native package's changelog: one entry for this version, dated by the last commit so that
# the same sources make the same package.
released=$(git log -1 --format=%cD 2>/dev/null || date -R)
printf 'tw07 (%s) unstable; urgency=medium\n\n  * Release %s.\n\n -- Tarnwell Industries <support@tarnwell.com>  %s\n' \
  "$version" "$version" "$released" | gzip -9n > "$doc/changelog.gz"
chmod -R u=rwX,go=rX "$deb"
# The dependencies: the libraries the binaries link, as Debian's shlibs files name their packages.
shlibs=$stage/shlibs
mkdir -p "$shlibs/debian"
printf 'Source: tw07\n\nPackage: tw07\nArchitecture: amd64\n' > "$shlibs/debian/control"
depends=$(cd "$shlibs" && dpkg-shlibdeps -O $(find "$deb/usr" -type f \( -name '*.so' -o -name '*.clap' -o -path '*/bin/*' \) \
  | sed 's/^/-e/') 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "package: dpkg-shlibdeps named no dependencies" >&2; exit 1; }
size=$(du -sk "$deb/usr" | cut -f1)
cat > "$deb/DEBIAN/control" <<CONTROL
Package: tw07
Version: $version
Architecture: amd64
Maintainer: Tarnwell Industries <support@tarnwell.com>
Installed-Size: $size
Depends: $depends
Suggests: pipewire-jack | jackd2
Section: sound
Priority: optional
Homepage: https://tarnwell.com/plugins/tw07
Description: guitar distortion/sustainer plug-in (VST 3, CLAP, LV2, VST 2.4, JACK)
 TW07 is a distortion for guitar-like signals with a sustainer that follows
 the playing, tone shaping before and after it and a final soft clipper, run
 at four times the host rate.
 .
 This package installs the plug-in in every Linux format (/usr/lib/vst3,
 /usr/lib/clap, /usr/lib/lv2, /usr/lib/vst) and the standalone program tw07,
 in the application menu, which plays it live on a JACK server (JACK 2 or
 PipeWire's JACK).
CONTROL
(cd "$deb" && find usr -type f -print0 | sort -z | xargs -0 md5sum > DEBIAN/md5sums)
dpkg-deb --root-owner-group -Zxz --build "$deb" "$dist/tw07_${version}_amd64.deb" >/dev/null

rm -rf "$stage"
(cd "$dist" && sha256sum -- *.tar.gz *.zip *.exe *.deb > SHA256SUMS)
echo "== package: done"
ls -l "$dist"
