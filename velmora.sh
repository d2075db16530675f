#!/usr/bin/env bash
# Builds Velmora and starts it, or builds it and runs its tests.
#   ./velmora.sh run    build, then start the program in the current directory
#   ./velmora.sh test   build, then run every test on the offscreen platform
# Missing Debian packages are installed first (as root, or through sudo).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${VELMORA_BUILD_DIR:-$root/build}"
packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libjpeg62-turbo-dev fonts-noto-cjk)

install_missing_packages() {
  local missing=()
  for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Please install as root: ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
  fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build_all() {
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build"
}

case "${1:-}" in
  run)
    install_missing_packages
    build_all
    exec "$build/velmora"
    ;;
  test)
    install_missing_packages
    build_all
    cd "$build"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
