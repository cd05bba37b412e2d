#!/usr/bin/env bash
# Installs every Debian 12 package DiscPress needs to build, run and test
# (a font too: the muxer stand-in draws text subtitles with libass), and
# the validators and packaging tools the package checks use.
# Idempotent: packages already present are left alone.
set -euo pipefail
pkgs=(
  build-essential cmake ninja-build ccache pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
  libsqlite3-dev libmediainfo0v5 libcurl4-gnutls-dev libcli11-dev nlohmann-json3-dev
  x264 x265 mkvtoolnix ffmpeg default-jre-headless genisoimage libbluray-bin
  libgtest-dev libgmock-dev libbenchmark-dev clang xvfb xauth dbus-daemon
  python3 locales mediainfo bc
  fonts-dejavu-core
  desktop-file-utils appstream dpkg-dev fakeroot
)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The tests run the programs under a decimal-comma locale. It is listed in
# /etc/locale.gen, so that a later locale-gen (an upgrade of locales) keeps it.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  if grep -q '^# *de_DE\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    $SUDO sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  elif ! grep -q '^de_DE\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen
fi
