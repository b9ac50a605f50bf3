#!/usr/bin/env bash
# build-web-deps.sh -- builds the libraries the browser build links (zlib, libpng, libjpeg-turbo,
# libopenmpt) for WebAssembly from Debian's own source packages, pinned by their Debian versions.
#
# Usage: scripts/build-web-deps.sh [PREFIX]
# PREFIX defaults to $QM_WEB_DEPS, else ~/.cache/quellmoor/web-deps (under $XDG_CACHE_HOME if set). The libraries are installed
# in PREFIX/<key>, the key naming every pinned upstream version and the compiler, so a cache kept
# between runs is reused only when built from the same sources; the script prints that folder.
# Each library is the newest Debian revision of its pinned upstream version (Debian's security
# updates replace older revisions in the archive); the revisions used are written to
# <key>/VERSIONS. Sources come through a private apt configuration: the system's own Debian
# archives (the entries of its apt sources for this release) as deb-src entries, so the sources
# come from wherever the machine's packages come from; the system's configuration is left
# untouched.
set -euo pipefail

zlib_version=1.2.13.dfsg
libpng_version=1.6.39
jpeg_version=2.1.5
openmpt_version=0.6.9
suite=bookworm

root=${1:-${QM_WEB_DEPS:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/quellmoor/web-deps}}
command -v emcc >/dev/null || { echo "build-web-deps: emcc not found (install emscripten)" >&2; exit 1; }
emcc_version=$(emcc -dumpversion)
key="zlib-${zlib_version}_png-${libpng_version}_jpeg-${jpeg_version}_openmpt-${openmpt_version}_emcc-${emcc_version}"
prefix="$root/$key"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
export PKG_CONFIG_LIBDIR=/usr/share/emscripten/cache/sysroot/lib/pkgconfig
jobs=$(nproc)
work="$root/src-$key"
rm -rf "$prefix" "$work"
mkdir -p "$prefix/lib" "$prefix/include" "$work"
log="$work/build.log"
echo "build-web-deps: building into $prefix (log: $log)" >&2

# Private apt configuration: its own sources, lists and cache folders.
apt="$work/apt"
mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/archives/partial"
# The release's entries of the system's sources, one-line and deb822 alike, as source entries.
: >"$apt/sources.list"
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  if [ -f "$f" ]; then sed -nE "s/^deb (.* $suite(-[a-z]+)? .*)/deb-src \1/p" "$f"; fi
done >>"$apt/sources.list"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  awk -v suite="$suite" 'BEGIN { RS = ""; ORS = "\n\n" }
    $0 ~ ("Suites:[^\n]*" suite) { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" \
    >"$apt/sources.list.d/$(basename "$f")"
done
if ! grep -qs "$suite" "$apt/sources.list" "$apt"/sources.list.d/*.sources; then
  echo "build-web-deps: the system's apt sources name no $suite archive to take sources from" >&2
  exit 1
fi
apt_opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/sources.list.d"
          -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache::Archives=$apt/archives"
          -o "Debug::NoLocking=1" -o "APT::Sandbox::User=root")
apt-get "${apt_opts[@]}" update -qq >>"$log" 2>&1 ||
  { echo "build-web-deps: apt-get update for the source lists failed (see $log)" >&2; exit 1; }
# fetch NAME UPSTREAM: unpacks in $work the newest Debian revision of that upstream version that
# the mirrors serve (a revision can be listed yet gone from a mirror's pool).
fetch() {
  local versions version
  versions=$(apt-cache "${apt_opts[@]}" showsrc "$1" 2>>"$log" | sed -n 's/^Version: //p' |
             grep -E "^([0-9]+:)?$(printf '%s' "$2" | sed 's/\./\\./g')-" | sort -Vru)
  for version in $versions; do
    if (cd "$work" && apt-get "${apt_opts[@]}" source -qq "$1=$version" >>"$log" 2>&1); then
      echo "$1 $version" >>"$prefix/VERSIONS"
      return 0
    fi
  done
  echo "build-web-deps: no Debian source of $1 $2 could be fetched (see $log)" >&2
  exit 1
}
srcdir() { find "$work" -maxdepth 1 -mindepth 1 -type d -name "$1-*" | head -1; }

# zlib: its CMakeLists names a Windows resource file Debian's tarball lacks; compile the sources.
fetch zlib "$zlib_version"
z=$(srcdir zlib)
(cd "$z" && for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast \
                     inflate inftrees trees uncompr zutil; do
   emcc -O2 -DHAVE_UNISTD_H -DHAVE_STDARG_H -c "$f.c" -o "$f.o" || exit 1; done && emar rcs "$prefix/lib/libz.a" ./*.o) >>"$log" 2>&1
cp "$z/zlib.h" "$z/zconf.h" "$prefix/include/"
echo "build-web-deps: zlib done" >&2

# libpng: the same, with the prebuilt configuration header.
fetch libpng1.6 "$libpng_version"
p=$(srcdir libpng1.6)
(cd "$p" && cp scripts/pnglibconf.h.prebuilt pnglibconf.h &&
 for f in png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset pngtrans \
          pngwio pngwrite pngwtran pngwutil; do
   emcc -O2 -DPNG_ARM_NEON_OPT=0 -I"$prefix/include" -c "$f.c" -o "$f.o" || exit 1; done &&
 emar rcs "$prefix/lib/libpng.a" ./*.o) >>"$log" 2>&1
cp "$p/png.h" "$p/pngconf.h" "$p/pnglibconf.h" "$prefix/include/"
echo "build-web-deps: libpng done" >&2

# libjpeg-turbo: its CMake build, without the x86 assembly.
fetch libjpeg-turbo "$jpeg_version"
j=$(srcdir libjpeg-turbo)
(emcmake cmake -S "$j" -B "$j/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWITH_SIMD=0 \
   -DENABLE_SHARED=0 -DENABLE_STATIC=1 -DWITH_TURBOJPEG=0 -DWITH_JAVA=0 \
   -DCMAKE_CROSSCOMPILING_EMULATOR="/usr/bin/node;--no-experimental-fetch" &&
 cmake --build "$j/build" --target jpeg-static -j "$jobs") >>"$log" 2>&1 ||
  { echo "build-web-deps: libjpeg-turbo build failed (see $log)" >&2; exit 1; }
cp "$j/build/libjpeg.a" "$prefix/lib/"
cp "$j/jpeglib.h" "$j/jmorecfg.h" "$j/jerror.h" "$j/build/jconfig.h" "$prefix/include/"
echo "build-web-deps: libjpeg-turbo done" >&2

# libopenmpt: Debian ships the autotools tarball; a bare emscripten host is refused by config.sub.
fetch libopenmpt "$openmpt_version"
o=$(srcdir libopenmpt)
(cd "$o" && emconfigure ./configure --host=wasm32-unknown-linux --build=x86_64-pc-linux-gnu \
   --prefix="$prefix" --disable-shared --without-zlib --without-mpg123 --without-ogg \
   --without-vorbis --without-vorbisfile --without-portaudio --without-portaudiocpp \
   --without-pulseaudio --without-sndfile --without-flac --disable-openmpt123 \
   --disable-examples --disable-tests --disable-doxygen-doc &&
 emmake make -j "$jobs" libopenmpt.la) >>"$log" 2>&1 ||
  { echo "build-web-deps: libopenmpt build failed (see $log)" >&2; exit 1; }
cp "$o/.libs/libopenmpt.a" "$prefix/lib/"
mkdir -p "$prefix/include/libopenmpt"
cp "$o"/libopenmpt/libopenmpt*.h "$o"/libopenmpt/libopenmpt*.hpp "$prefix/include/libopenmpt/"
echo "build-web-deps: libopenmpt done" >&2

touch "$prefix/.complete"
rm -rf "$work"
echo "$prefix"
