#!/usr/bin/env bash
# install_test.sh CHECK BUILD [SLOW] -- installs the build into a scratch DESTDIR and checks it as
# a user or a packager would. CHECK is one of:
#   plays    the installed program, started from another folder, finds its data and plays part
#            12 headless (with SLOW=slow only a start-up that reports its version)
#   desktop  the desktop entry and the metainfo validate, and name files the install holds
#   manual   every manual page renders without a warning; quellmoor.6 has every --help option
#   package  the .deb holds exactly what the install holds, and depends on the libraries
# Exit status 77 means a tool the check needs is missing (ctest reports a skip).
set -euo pipefail
check=$1
build=$2
slow=${3:-}

scratch=$(mktemp -d /tmp/qm_install_XXXXXX)
trap 'rm -rf "$scratch"' EXIT
stage=$scratch/stage
prefix=$stage/usr
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null

fail() {
  echo "install_test $check: $*" >&2
  exit 1
}

need() {
  command -v "$1" >/dev/null || { echo "install_test $check: $1 is not installed" >&2; exit 77; }
}

installed_files() {
  (cd "$stage" && find . -type f -o -type l | sed 's|^\./|/|' | sort)
}

case $check in
plays)
  mkdir "$scratch/elsewhere"
  cd "$scratch/elsewhere"
  "$prefix/bin/quellmoor" --version | grep -q '^quellmoor [0-9]' || fail "no version"
  if [ "$slow" != slow ]; then
    "$prefix/bin/quellmoor" --headless --part 12 --frames shots --at 3000 ||
      fail "the installed program did not play (status $?)"
    [ -s shots/frame-003000.png ] || fail "no frame was written"
  fi
  ;;
desktop)
  need desktop-file-validate
  need appstreamcli
  entry=$(echo "$prefix"/share/applications/*.desktop)
  metainfo=$(echo "$prefix"/share/metainfo/*.metainfo.xml)
  desktop-file-validate "$entry"
  appstreamcli validate --no-net --pedantic "$metainfo" >/dev/null ||
    appstreamcli validate --no-net --pedantic "$metainfo" >&2
  icon=$(sed -n 's/^Icon=//p' "$entry")
  for size in 16x16 22x22 24x24 32x32 48x48 64x64 128x128 256x256; do
    [ -s "$prefix/share/icons/hicolor/$size/apps/$icon.png" ] || fail "no $size icon named $icon"
  done
  [ -s "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon"
  program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry" | sort -u)
  for p in $program; do [ -x "$prefix/bin/$p" ] || fail "Exec names $p, which is not installed"; done
  grep -q "<launchable type=\"desktop-id\">$(basename "$entry")</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $(basename "$entry")"
  ;;
manual)
  need man
  pages=("$prefix"/share/man/man6/quellmoor.6 "$prefix"/share/man/man1/quellmoor-pack.1
         "$prefix"/share/man/man1/quellmoor-view.1)
  for page in "${pages[@]}"; do
    [ -s "$page" ] || fail "$page is missing"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page: $warnings"
  done
  # Every option the program's --help lists has its entry in the page.
  entries=$(grep -E '^\.B[IR]? ' "${pages[0]}")
  for option in $("$prefix/bin/quellmoor" --help | grep -o '^  --[a-z-]*'); do
    grep -qF -- "$(sed 's/-/\\-/g' <<<"$option")" <<<"$entries" ||
      fail "quellmoor.6 has no entry for $option"
  done
  ;;
package)
  need dpkg-deb
  need dpkg-shlibdeps
  need file
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/deb" >/dev/null
  deb=$(echo "$scratch"/deb/quellmoor_*.deb)
  [ -f "$deb" ] || fail "no package was made"
  # Binaries are stripped in the package; the names must agree.
  diff <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./|/|' | sort) \
       <(installed_files) || fail "the package and the install hold different files"
  depends=$(dpkg-deb -f "$deb" Depends)
  for lib in libsdl2 libgtk-3 libopenmpt libjpeg62-turbo libpng16; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
  done
  [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"
  ;;
*)
  fail "unknown check"
  ;;
esac
