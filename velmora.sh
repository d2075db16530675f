#!/usr/bin/env bash
# Builds Velmora and starts it, or builds it and runs its tests, its sanitizer build or its fuzzers.
#   ./velmora.sh run              build, then start the program in the current directory
#   ./velmora.sh test             build, then run every test on the offscreen platform
#   ./velmora.sh sanitize         build with the address and undefined-behaviour sanitizers (by
#                                 clang, into build-asan), then run every test there
#   ./velmora.sh fuzz [seconds]   build as for sanitize, then run each fuzz target on its seeds
#                                 for that many seconds (60 if not given)
#   ./velmora.sh bench            build, then run every benchmark (each prints its ratios)
# Missing Debian packages are installed first (as root, or through sudo).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${VELMORA_BUILD_DIR:-$root/build}"
sanitized_build="${VELMORA_SANITIZED_BUILD_DIR:-$root/build-asan}"
# What the program needs to build and run, with Qt's own Japanese texts and the forms' fonts.
packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n
  libjpeg62-turbo-dev fonts-ipafont-gothic fonts-noto-cjk)
# What the tests need besides: the checkers of the desktop entry and the metainfo, and the
# package builder's dependency scan.
test_packages=(appstream desktop-file-utils dpkg-dev)
# clang brings libFuzzer in its runtime package; llvm's symbolizer names the functions in reports.
sanitizer_packages=(clang libclang-rt-14-dev llvm)
fuzz_targets=(settings_reader:settings image_loader:images sequence_name:names)

install_missing_packages() {
  local missing=()
  for package in "$@"; do
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

configure() {
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
}

build_sanitized() {
  CC=clang CXX=clang++ cmake -S "$root" -B "$sanitized_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMORA_SANITIZE=ON >/dev/null
  cmake --build "$sanitized_build"
}

# Each target starts from seeds written afresh and may add to them; a crash, a sanitizer report or
# a property that does not hold stops it with the input that caused it, and fails the run. The
# targets' own standard error is closed, as decoders write a line there for every broken file;
# libFuzzer and the sanitizers report on a copy of it.
# The input that caused a finding is kept in build-asan/fuzz-findings/.
run_fuzzers() {
  local seconds="$1" findings="$sanitized_build/fuzz-findings"
  seeds="$(mktemp -d)"
  trap 'rm -rf "$seeds"' EXIT
  mkdir -p "$findings"
  "$sanitized_build/fuzz/fuzz_seeds" "$seeds"
  for entry in "${fuzz_targets[@]}"; do
    local target="fuzz_${entry%%:*}" corpus="$seeds/${entry##*:}"
    echo "== $target for ${seconds} s from $(ls "$corpus" | wc -l) seeds"
    LSAN_OPTIONS="suppressions=$root/fuzz/lsan-suppressions.txt:print_suppressions=0" \
      "$sanitized_build/fuzz/$target" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 \
      -print_final_stats=1 -close_fd_mask=2 -artifact_prefix="$findings/" "$corpus" 2>&1 \
      | sed -E '/^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse)/d'
  done
}

case "${1:-}" in
  run)
    install_missing_packages "${packages[@]}"
    configure
    cmake --build "$build" --target velmora
    exec "$build/velmora"
    ;;
  test)
    install_missing_packages "${packages[@]}" "${test_packages[@]}"
    configure
    cmake --build "$build"
    cd "$build"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure
    ;;
  sanitize)
    install_missing_packages "${packages[@]}" "${test_packages[@]}" "${sanitizer_packages[@]}"
    build_sanitized
    cd "$sanitized_build"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel 2
    ;;
  fuzz)
    install_missing_packages "${packages[@]}" "${sanitizer_packages[@]}"
    build_sanitized
    run_fuzzers "${2:-60}"
    ;;
  bench)
    install_missing_packages "${packages[@]}"
    configure
    cmake --build "$build"
    for benchmark in "$build"/bench/bench_*; do
      [ -f "$benchmark" ] && [ -x "$benchmark" ] || continue
      echo "== ${benchmark##*/}"
      QT_QPA_PLATFORM=offscreen "$benchmark"
    done
    ;;
  *)
    echo "usage: $0 run|test|sanitize|fuzz [seconds]|bench" >&2
    exit 2
    ;;
esac
