#!/usr/bin/env bash
# Installs what building, running and testing the editor needs on Debian 12,
# then configures and builds it. Safe to run again: it only installs what is
# missing and the build is incremental.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-private-dev qt6-base-dev-tools qt6-tools-dev-tools
  qt6-webengine-dev qt6-webengine-dev-tools libqt6webenginecore6-bin
  # The loopback web server of the page viewer and of CGI runs.
  qt6-httpserver-dev qt6-websockets-dev
  libgl-dev libhunspell-dev libxcb1-dev hunspell-en-us
  xdg-utils desktop-file-utils shared-mime-info appstream dpkg-dev
  xvfb xdotool poppler-utils fonts-dejavu-core openbox x11-utils
  # The Script menu runs perl and checks pages with HTML Tidy; a test runs a
  # script that uses CGI.pm. Tidy, Critic and Perldoc use Perl's own tools.
  perl libtidy-dev libcgi-pm-perl perltidy libperl-critic-perl perl-doc
  # bench_highlight measures the live highlighting against PPI.
  libppi-perl
  # Saves keep a file's ACL (libacl); the save tests set one with setfacl.
  libacl1-dev acl
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build="$here/build"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" --parallel "$(nproc)"
