#!/usr/bin/env bash
# install-deps.sh -- installs the Debian packages the build, tests, tools and fuzzing need.
# Idempotent: quiet and quick when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  libjpeg62-turbo-dev zlib1g-dev libpng-dev libxxhash-dev imagemagick
  libclang-rt-14-dev
  # the show on a desktop: window, sound, module player, setup dialog
  libsdl2-dev libgtk-3-dev libopenmpt-dev
  # the forge: fonts and text; independent players and tools that check its output
  libfreetype-dev fonts-dejavu-core openmpt123 xmp sox
  # desktop tests under a virtual display, and recording
  xvfb xauth xdotool ffmpeg
  # a decimal-comma locale that the tests build for themselves
  locales
  # checks of the install and the .deb: desktop entry, metainfo, manual pages, icon, package
  desktop-file-utils appstream man-db librsvg2-bin dpkg-dev file
  # the portable SIMD layer: the packed paths on processors other than x86
  libsimde-dev
  # the show in a browser: the compiler, node for its digest checks, Chromium for the page's,
  # Python for the local server (the libraries come from Debian's sources: build-web-deps.sh)
  emscripten nodejs chromium python3 xz-utils
)
# On x86-64, the same show built for 64-bit ARM and run under emulation: cross compiler,
# emulator, and the libraries for arm64 (multiarch).
cross=0
if [ "$(dpkg --print-architecture)" = amd64 ]; then
  cross=1
  packages+=(g++-aarch64-linux-gnu qemu-user-static
    libjpeg62-turbo-dev:arm64 libpng-dev:arm64 zlib1g-dev:arm64 libfreetype-dev:arm64
    libgtest-dev:arm64 libgmock-dev:arm64)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then sudo="sudo"; else
    echo "install-deps: missing packages (${missing[*]}) and not root; install them or run as root" >&2
    exit 1
  fi
fi
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
# The :arm64 packages come from the same archive once dpkg knows the architecture.
if [ $cross = 1 ] && ! dpkg --print-foreign-architectures | grep -qx arm64; then
  $sudo dpkg --add-architecture arm64
fi
$sudo apt-get update -qq >/dev/null
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
