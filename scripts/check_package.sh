#!/usr/bin/env bash
# Checks what a user installs: the desktop entry and the AppStream metainfo
# validate; a release build installed into a temporary prefix runs from a
# clean environment and finds its tool stand-ins below its own folder; the
# Debian package holds the same tree, names its dependencies, installs, runs
# and removes without a trace. Prints "package checks: P passed, F failed".
# Installing the package needs root (or sudo), as on the CI.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/build-ci/release
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

# Runs one check, counts it, and shows its output only when it fails.
check() {
  local name=$1
  shift
  if "$@" >"$work/check.log" 2>&1; then
    echo "ok: $name"
    passed=$((passed + 1))
  else
    echo "FAILED: $name"
    tail -n 40 "$work/check.log"
    failed=$((failed + 1))
    return 1
  fi
}

# The installed files, relative to the prefix.
programs=(discpress discpress-cli MVCenc MVCdec eac3to/eac3to tsMuxeR/2.x/tsMuxeR tsMuxeR/1.10.6/tsMuxeR
  x265/avs2yuv BDSup2Sub/BDSup2Sub)
data=(share/applications/discpress.desktop share/metainfo/io.github.discpress.DiscPress.metainfo.xml
  share/icons/hicolor/scalable/apps/discpress.svg share/doc/discpress/README.md share/doc/discpress/copyright)
for size in 16 22 24 32 48 64 128 256; do data+=("share/icons/hicolor/${size}x${size}/apps/discpress.png"); done

tree_complete() {
  local prefix=$1 name
  for name in discpress discpress-cli; do
    [ "$(readlink "$prefix/bin/$name")" = "../lib/discpress/$name" ] || { echo "bin/$name is no link"; return 1; }
  done
  for name in "${programs[@]}"; do
    [ -x "$prefix/lib/discpress/$name" ] || { echo "missing lib/discpress/$name"; return 1; }
  done
  for name in "${data[@]}"; do
    [ -f "$prefix/$name" ] || { echo "missing $name"; return 1; }
  done
}

# A program run with nothing of this shell's environment: no
# DISCPRESS_TOOLS_DIR, no build folder on PATH.
clean_run() {
  mkdir -p "$work/home" "$work/tmp"
  env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" TMPDIR="$work/tmp" \
    LANG=C.UTF-8 "$@"
}

# The CLI names the version the sources carry.
cli_starts() {
  local version
  version=$(sed -n 's/.*program_version\[\] = "\(.*\)";/\1/p' src/app/version.h)
  [ -n "$version" ] && [ "$(clean_run "$1" --version)" = "DiscPress $version" ]
}

# A disc folder of real playlists over one generated clip, as the CLI tests
# make it; listing its titles runs the demuxer stand-in.
make_disc() {
  disc="$work/disc/Some Film (2010)"
  mkdir -p "$disc/BDMV/STREAM"
  cp -r tests/data/real/mpls/bdpl/disc1/PLAYLIST "$disc/BDMV/PLAYLIST"
  ffmpeg -hide_banner -nostdin -loglevel error -y -f lavfi -i testsrc2=size=640x360:rate=24000/1001 \
    -f lavfi -i sine=sample_rate=48000 -t 2 -c:v libx264 -preset ultrafast -x264-params force-cfr=1 \
    -c:a ac3 -b:a 192k -f mpegts -mpegts_m2ts_mode 1 -muxrate 20M -streamid 0:0x1011 -streamid 1:0x1100 \
    "$work/disc/clip.m2ts" || return 1
  local n
  for n in $(seq 0 18); do ln -s "$work/disc/clip.m2ts" "$disc/BDMV/STREAM/$(printf '%05d' "$n").m2ts"; done
}

cli_analyses() {
  local out
  out=$(clean_run "$1" analyse "$disc" --scrape 0 --title 2) || { echo "$out"; return 1; }
  grep -q $'^video\t4113 :' <<<"$out" || { echo "$out"; return 1; }
}

release_build() {
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DDP_WERROR=ON \
    -DDP_BUILD_TESTS=OFF -DDP_SANITIZE= &&
    cmake --build "$build" -j"$(nproc)"
}

package_made() {
  rm -f "$build"/discpress_*.deb
  (cd "$build" && cpack -G DEB) || return 1
  deb=$(ls "$build"/discpress_*.deb)
}

package_contents() {
  local listing name
  listing=$(dpkg-deb -c "$deb" | awk '{print $6 ($7 ? " " $7 " " $8 : "")}')
  for name in discpress discpress-cli; do
    grep -qx "./usr/bin/$name -> ../lib/discpress/$name" <<<"$listing" || { echo "no link usr/bin/$name"; return 1; }
  done
  for name in "${programs[@]/#/lib/discpress/}" "${data[@]}"; do
    grep -qx "./usr/$name" <<<"$listing" || { echo "missing usr/$name"; return 1; }
  done
}

package_depends() {
  local depends name
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "Depends: $depends"
  for name in x264 x265 mkvtoolnix ffmpeg libmediainfo0v5 'default-jre-headless | java-runtime-headless' \
    libqt6widgets6 libsqlite3-0; do
    grep -qF "$name" <<<"$depends" || { echo "no $name"; return 1; }
  done
  # A sanitizer build would pull in its run-time libraries.
  ! grep -Eq 'libasan|libubsan|libtsan' <<<"$depends"
}

package_installs() {
  : >"$work/owned"
  $SUDO dpkg -i "$deb" && dpkg -L discpress | sort >"$work/owned" && tree_complete /usr
}

package_removes() {
  $SUDO dpkg -r discpress || return 1
  if dpkg-query -W -f='${Status}' discpress 2>/dev/null | grep -q 'installed'; then
    echo "still installed"
    return 1
  fi
  local left=0 path
  while read -r path; do
    if [ -e "$path" ] && [ ! -d "$path" ]; then echo "left behind: $path"; left=1; fi
  done <"$work/owned"
  [ ! -e /usr/lib/discpress ] || { echo "left behind: /usr/lib/discpress"; left=1; }
  [ "$left" -eq 0 ]
}

echo "== desktop entry, metainfo, install tree, Debian package"
check "desktop entry validates" desktop-file-validate packaging/discpress.desktop
check "AppStream metainfo validates" appstreamcli validate --no-net packaging/io.github.discpress.DiscPress.metainfo.xml
if check "release build" release_build; then
  prefix=$work/prefix
  check "install into a prefix" cmake --install "$build" --prefix "$prefix"
  check "installed tree complete" tree_complete "$prefix"
  check "installed CLI starts in a clean environment" cli_starts "$prefix/bin/discpress-cli"
  check "sample disc generated" make_disc
  check "installed CLI analyses a disc with its own stand-ins" cli_analyses "$prefix/bin/discpress-cli"
  if check "Debian package made" package_made; then
    check "package contents" package_contents
    check "package dependencies" package_depends
    if check "package installs" package_installs; then
      check "packaged CLI starts" cli_starts /usr/bin/discpress-cli
      check "packaged CLI analyses a disc" cli_analyses /usr/bin/discpress-cli
    fi
    check "package removes cleanly" package_removes
  fi
fi
echo "package checks: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
