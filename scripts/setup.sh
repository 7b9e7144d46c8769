#!/usr/bin/env bash
# Installs what building and testing Corvale needs on Debian 12. Safe to run
# again: it installs only the packages that are missing. `setup.sh bench`
# also installs what the benchmarks need.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  fonts-dejavu-core desktop-file-utils
  clang libclang-rt-14-dev
  dpkg-dev file lintian man-db appstream
  xvfb openbox xdotool x11-utils
  python3-pyatspi at-spi2-core dbus-x11
  nginx
)
if [ "${1:-}" = bench ]; then
  packages+=(wrk)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
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
