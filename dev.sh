#!/usr/bin/env bash
# Set-up, build, and then start Tarvello or run its tests, on Debian 12.
#   ./dev.sh start   install what is missing, build, start the program
#   ./dev.sh test    install what is missing, build, run every test
#   ./dev.sh build   install what is missing and build
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${TARVELLO_BUILD_DIR:-$here/build}"

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  jhead libimage-exiftool-perl libexiv2-dev exiv2
  xvfb xauth imagemagick fonts-dejavu-core
  dbus at-spi2-core python3
  desktop-file-utils appstream librsvg2-bin
)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

build_all() {
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j"$(nproc)"
}

case "${1:-start}" in
  start)
    install_missing
    build_all
    exec "$build/bin/tarvello" "${@:2}"
    ;;
  test)
    install_missing
    build_all
    cd "$build"
    ctest --output-on-failure -j"$(nproc)" "${@:2}"
    ;;
  build)
    install_missing
    build_all
    ;;
  *)
    echo "usage: $0 start|test|build" >&2
    exit 2
    ;;
esac
