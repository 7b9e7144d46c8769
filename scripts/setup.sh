#!/usr/bin/env bash
# Installs what building and testing Corvale needs on Debian 12. Safe to run
# again: it installs only the packages that are missing. `setup.sh bench`
# also installs what the benchmarks need.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-wayland libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  fonts-dejavu-core fontconfig desktop-file-utils
  clang libclang-rt-14-dev
  dpkg-dev file lintian man-db appstream
  xvfb openbox xdotool x11-utils weston
  python3-pyatspi at-spi2-core dbus-x11
  nginx
)
if [ "${1:-}" = bench ]; then
  packages+=(wrk)
fi

# fontconfig's system cache, brought up to date: a program that finds it
# stale (openbox, Weston's shell, Corvale) builds its own on its first
# start, which can take longer than a test waits for it. Quick when current;
# fc-cache comes with fontconfig, among the packages above.
warm_font_cache() {
  $sudo fc-cache --system-only
}

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  # Without root, a second run asks for no password.
  [ -z "$sudo" ] && warm_font_cache
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

# Debian starts nginx's own service on port 80 as it installs it; the tests
# and benchmarks start nginx themselves, and port 80 is left to
# corvale-dataserver.
if [[ " ${missing[*]} " == *" nginx "* ]]; then
  if [ -d /run/systemd/system ]; then
    $sudo systemctl disable --now nginx.service >/dev/null 2>&1 || true
  else
    $sudo service nginx stop >/dev/null 2>&1 || true
    $sudo update-rc.d nginx disable >/dev/null 2>&1 || true
  fi
fi

warm_font_cache
