#!/usr/bin/env bash
# Builds Velmora and starts it, or builds it and runs its tests, its sanitizer build or its fuzzers.
#   ./velmora.sh run              build, then start the program in the current directory
#   ./velmora.sh test             build, then run every test on the offscreen platform
#   ./velmora.sh sanitize         build with the address and undefined-behaviour sanitizers (by
#                                 clang, into build-asan), then run every test there
#   ./velmora.sh fuzz [seconds]   build as for sanitize, then run each fuzz target on its seeds
#                                 for that many seconds (60 if not given)
#   ./velmora.sh bench            build, then run every benchmark (each prints its ratios)
#   ./velmora.sh fresh [keep]     in a new minimal Debian 12 made by debootstrap in build-fresh/,
#                                 from the committed HEAD: `run` must build the program and stop
#                                 for want of a display, then `test` must pass; prints each step's
#                                 time, download and installed size. `keep` keeps that root.
# Missing Debian packages are installed first (as root, or through sudo).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${VELMORA_BUILD_DIR:-$root/build}"
sanitized_build="${VELMORA_SANITIZED_BUILD_DIR:-$root/build-asan}"
# What the program needs to build and run, with Qt's own Japanese texts and the forms' fonts, and
# OpenCV's core and image processing for finding the pieces on a page.
packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n
  libjpeg62-turbo-dev libopencv-core-dev libopencv-imgproc-dev fonts-ipafont-gothic fonts-noto-cjk)
# What the tests need besides: the checkers of the desktop entry and the metainfo, and for the
# Debian package that cpack builds its dependency scan (dpkg-shlibdeps) and the `file` that cpack
# tells the program's binaries by, and lintian, Debian's checker of packages.
test_packages=(appstream desktop-file-utils dpkg-dev file lintian)
# clang brings libFuzzer in its runtime package; llvm's symbolizer names the functions in reports.
sanitizer_packages=(clang libclang-rt-14-dev llvm)
fuzz_targets=(settings_reader:settings image_loader:images sequence_name:names)
# Where `fresh` makes its Debian root; build-fresh/ is ignored like every build folder.
fresh_dir="$(realpath -m "${VELMORA_FRESH_DIR:-$root/build-fresh}")"
fresh_root="$fresh_dir/root"

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

# `fresh`: the README's commands on a new minimal Debian 12, as someone who has just cloned the
# repository would run them. debootstrap makes the root; a copy of the committed HEAD (not the
# working tree) goes to /root/velmora in it. There, as root with a plain environment and no
# display, `./velmora.sh run` must build the program and end with code 2 saying that there is no
# graphical display, then `./velmora.sh test` must pass. For each step it measures the wall time,
# the packages apt downloaded (the .deb files it keeps in the root's cache) and what the packages
# it installed take (dpkg's Installed-Size). /proc, /sys and /dev are mounted into the root for
# the steps and unmounted at the end however it ends; the root is removed unless `keep` is given.
fresh_keep=false

megabytes() { awk -v bytes="$1" 'BEGIN { printf "%.0f MB", bytes / 1e6 }'; }
minutes() { printf '%dm %02ds' $(($1 / 60)) $(($1 % 60)); }

downloaded_bytes() {
  find "$fresh_root/var/cache/apt/archives" -maxdepth 1 -name '*.deb' -printf '%s\n' \
    | awk '{ sum += $1 } END { print sum + 0 }'
}

installed_bytes() {
  chroot "$fresh_root" dpkg-query -W -f='${db:Status-Abbrev} ${Installed-Size}\n' \
    | awk '$1 == "ii" { sum += $2 } END { print sum * 1024 }'
}

# The mounts below the fresh folder, the deepest first: this run's, or a killed run's.
mounts_below() {
  awk -v dir="$fresh_dir/" 'index($2, dir) == 1 { print $2 }' /proc/mounts | sort -r
}

release_fresh_root() {
  [ -d "$fresh_root" ] || return 0
  # Whatever a step left running in the root ends before its mounts go.
  local proc real_root
  real_root="$(readlink -f "$fresh_root")"
  for proc in /proc/[0-9]*; do
    if [ "$(readlink "$proc/root" 2>/dev/null)" = "$real_root" ]; then
      kill -KILL "${proc#/proc/}" 2>/dev/null || true
    fi
  done
  local mount_point
  for mount_point in $(mounts_below); do
    umount "$mount_point" 2>/dev/null || umount -l "$mount_point" || true
  done
}

remove_fresh_dir() {
  if [ -n "$(mounts_below)" ]; then
    echo "still mounted below $fresh_dir, so it is not removed: $(mounts_below | tr '\n' ' ')" >&2
    return 1
  fi
  # --one-file-system: should a mount have stayed after all, what it shows is never deleted.
  rm -rf --one-file-system "$fresh_dir"
}

fresh_cleanup() {
  set +e
  release_fresh_root
  "$fresh_keep" || remove_fresh_dir
}

in_fresh_root() {
  chroot "$fresh_root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin /bin/bash -c "$1"
}

# Runs one of the README's commands in the root; leaves its log, exit code and figures in step_*.
run_fresh_step() {
  local command="$1" downloaded installed start
  step_log="$fresh_dir/${command}.log"
  downloaded="$(downloaded_bytes)"
  installed="$(installed_bytes)"
  start="$(date +%s)"
  echo "== ./velmora.sh $command in the fresh root"
  set +e
  in_fresh_root "cd /root/velmora && ./velmora.sh $command" 2>&1 | tee "$step_log"
  step_status="${PIPESTATUS[0]}"
  set -e
  step_time="$(minutes $(($(date +%s) - start)))"
  step_download="$(megabytes $(($(downloaded_bytes) - downloaded)))"
  step_installed="$(megabytes $(($(installed_bytes) - installed)))"
  step_build="$(megabytes "$(du -sxb "$fresh_root/root/velmora/build" 2>/dev/null | cut -f1)")"
}

run_fresh() {
  case "${1:-}" in
    keep) fresh_keep=true ;;
    "") ;;
    *) echo "usage: $0 fresh [keep]" >&2; exit 2 ;;
  esac
  local git=(git -c safe.directory="$root" -C "$root") head
  head="$("${git[@]}" rev-parse --short HEAD)"
  [ -z "$("${git[@]}" status --porcelain --untracked-files=no)" ] \
    || echo "note: the working tree has changes that are not committed; this run tests HEAD $head without them"

  trap fresh_cleanup EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM HUP
  release_fresh_root
  remove_fresh_dir
  mkdir -p "$fresh_dir"

  local start
  start="$(date +%s)"
  echo "== a minimal Debian 12 root in $fresh_root"
  debootstrap --variant=minbase bookworm "$fresh_root" >"$fresh_dir/debootstrap.log" 2>&1 \
    || { tail -n 20 "$fresh_dir/debootstrap.log" >&2; echo "debootstrap failed" >&2; exit 1; }
  local made_in
  made_in="$(minutes $(($(date +%s) - start)))"
  # The root starts as an installed system would: no packages in apt's cache, and apt keeps
  # those it downloads from now on, so that the cache tells what each step fetched.
  rm -f "$fresh_root"/var/cache/apt/archives/*.deb
  if grep -rqs 'archives' "$fresh_root/etc/apt/apt.conf.d"; then
    echo "the root's apt configuration cleans its package cache; downloads could not be measured" >&2
    exit 1
  fi
  echo 'APT::Keep-Downloaded-Packages "true";' >"$fresh_root/etc/apt/apt.conf.d/50keep-downloads"
  cp /etc/resolv.conf "$fresh_root/etc/resolv.conf"
  "${git[@]}" archive --prefix=velmora/ HEAD | tar -x -C "$fresh_root/root"

  mount -t proc proc "$fresh_root/proc"
  mount -t sysfs sysfs "$fresh_root/sys"
  mount --bind /dev "$fresh_root/dev"
  # What is mounted below the root's /dev stays there, and does not show in the system's /dev.
  mount --make-private "$fresh_root/dev" 2>/dev/null || true
  mount --bind /dev/pts "$fresh_root/dev/pts"
  mount -t tmpfs -o mode=1777 shm "$fresh_root/dev/shm"

  local failed=0 run_summary test_summary
  run_fresh_step run
  if [ "$step_status" -eq 2 ] && grep -q 'no graphical display found' "$step_log" \
    && [ -x "$fresh_root/root/velmora/build/velmora" ]; then
    run_summary="built the program, which ended with code 2: no graphical display"
  else
    run_summary="FAILED: exit code $step_status, expected 2 after a build, for want of a display"
    failed=1
  fi
  local run_figures="$step_time, downloaded $step_download, installed $step_installed, build/ $step_build"

  run_fresh_step test
  test_summary="$(grep -E '^[0-9]+% tests passed' "$step_log" | tail -n 1)"
  if [ "$step_status" -ne 0 ] || [ -z "$test_summary" ]; then
    test_summary="FAILED: exit code $step_status; ${test_summary:-no summary of ctest}"
    failed=1
  fi
  local test_figures="$step_time, downloaded $step_download, installed $step_installed, build/ $step_build"

  fresh_cleanup
  trap - EXIT
  echo
  echo "== a fresh Debian 12 (debootstrap minbase, made in $made_in) with HEAD $head"
  echo "run:  $run_figures; $run_summary"
  echo "test: $test_figures; $test_summary"
  if "$fresh_keep"; then
    echo "the root is kept in $fresh_root (mount /proc and /dev into it before using it with chroot)"
  fi
  return "$failed"
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
  fresh)
    # debootstrap, chroot and the mounts need root.
    [ "$(id -u)" -eq 0 ] || exec sudo -- "$0" "$@"
    install_missing_packages debootstrap
    run_fresh "${2:-}"
    ;;
  *)
    echo "usage: $0 run|test|sanitize|fuzz [seconds]|bench|fresh [keep]" >&2
    exit 2
    ;;
esac
