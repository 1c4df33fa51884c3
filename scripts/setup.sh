#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on Debian 12.
# Safe to run again: it only installs what is missing.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache="$root/.cache"
mkdir -p "$cache"

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi

# Runs one step; when it fails, says in one line which step and what to do, and stops.
step() {
  local what=$1 hint=$2
  shift 2
  if ! "$@"; then
    echo "setup: $what failed: $hint" >&2
    exit 1
  fi
}
apt_hint="check the network or the proxy for the Debian mirror (apt-get update must work), and that this user may use sudo"

packages=(
  build-essential cmake ninja-build pkg-config git
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libfmt-dev
  clang-22 libclang-rt-22-dev
  # editor: OpenGL loader, X11 and the GLFW build's headers, Mesa for Xvfb
  libepoxy-dev libgl-dev libgl1-mesa-dri libglx-mesa0 libx11-dev libxrandr-dev
  libxinerama-dev libxcursor-dev libxi-dev libxext-dev libxkbcommon-dev libstb-dev
  xvfb xauth xdotool imagemagick x11-utils libxtst-dev libpng-dev
  # a click-to-focus window manager, for the editor tests that need one
  openbox
  dpkg-dev
  # fonts built into the editor
  fonts-roboto-unhinted
  # third-party modules and a real host's scanner to prove our tools against
  zam-plugins lsp-plugins-vst dragonfly-reverb-vst ardour qtractor
  # LV2's data and its validator, and lilv's tools that load LV2 bundles as hosts do
  lv2-dev sordi lilv-utils liblilv-dev
  # a JACK server on its dummy driver, and jalv, which runs LV2 plug-ins on it; JACK's client
  # library for the standalone program
  jackd2 jalv libjack-jackd2-dev
  # the Windows module: cross-compiler and Wine to test it
  g++-mingw-w64-x86-64-posix wine wine64
  # the release packages: the Windows installer (NSIS), the icon's PNG sizes from its SVG,
  # Debian's package, manual page and menu entry checkers
  nsis librsvg2-bin lintian desktop-file-utils man-db
)

# npm may already come with a Node.js of another origin; only add Debian's when absent.
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# Debian's own sources of GLFW and Dear ImGui are compiled into the module.
src_list=/etc/apt/sources.list.d/tw07-src.sources
need_src=0
[ -f "$src_list" ] || need_src=1

if [ ${#missing[@]} -gt 0 ] || [ $need_src -eq 1 ]; then
  if [ $need_src -eq 1 ]; then
    step "adding Debian's source packages to apt's list" "$apt_hint" "${sudo[@]}" tee "$src_list" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  fi
  step "apt-get update" "$apt_hint" "${sudo[@]}" apt-get update -q
  if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    step "apt-get install" "$apt_hint; the packages it could not get are named above" \
      "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
fi

# Source packages, unpacked once into the cache ({fmt} and libsndfile for the Windows build).
mkdir -p "$cache/deps"
for src in glfw3 imgui fmtlib libsndfile; do
  if ! ls -d "$cache/deps/$src"-*/ >/dev/null 2>&1; then
    step "apt-get source $src" "$apt_hint; remove $cache/deps/$src-* and run again" \
      bash -c 'cd "$1" && apt-get source -q "$2"' _ "$cache/deps" "$src"
  fi
done

# libsndfile for the Windows host tool: cross-built once from its Debian source, static,
# without the external codecs (WAV, AIFF and the other built-in formats remain).
sndfile_prefix="$cache/win64/sndfile"
if [ ! -f "$sndfile_prefix/lib/libsndfile.a" ]; then
  sndfile_build="$cache/win64/sndfile-build"
  sndfile_hint="the Windows cross-compiler (g++-mingw-w64-x86-64-posix) or libsndfile's source in $cache/deps is broken: remove $cache/win64 and $cache/deps/libsndfile-* and run again"
  step "configuring the Windows build of libsndfile" "$sndfile_hint" \
    cmake -S "$(ls -d "$cache/deps"/libsndfile-*/ | head -n 1)" -B "$sndfile_build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$sndfile_prefix" -DBUILD_SHARED_LIBS=OFF -DENABLE_EXTERNAL_LIBS=OFF \
    -DENABLE_MPEG=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DENABLE_CPACK=OFF \
    -DINSTALL_MANPAGES=OFF -Wno-deprecated >/dev/null
  step "cross-building libsndfile for Windows" "$sndfile_hint" \
    cmake --build "$sndfile_build" --target install -j "${TW07_JOBS:-$(nproc)}" >/dev/null
  rm -rf "$sndfile_build"
fi

# Poppins comes from npm; Roboto from the Debian package above.
if [ ! -f "$cache/npm/node_modules/@expo-google-fonts/poppins/Poppins_500Medium.ttf" ] &&
   [ ! -f "$cache/npm/node_modules/@expo-google-fonts/poppins/500Medium/Poppins_500Medium.ttf" ]; then
  mkdir -p "$cache/npm"
  step "npm install of the Poppins fonts" "check the network or the proxy for the npm registry (npm config get registry; npm config get proxy)" \
    npm install --silent --no-audit --no-fund --prefix "$cache/npm" @expo-google-fonts/poppins
fi

echo "setup: done"
