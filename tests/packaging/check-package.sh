#!/usr/bin/env bash
# Checks what the program installs: the desktop entry and the metainfo pass their validators,
# and the Debian package holds the program with its desktop files and depends on the Qt
# libraries it links and the plugins and fonts it needs at run time.
#   check-package.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir="$1"
build_dir="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

desktop-file-validate "$source_dir/packaging/io.velmora.Velmora.desktop"
appstreamcli validate --no-net "$source_dir/packaging/io.velmora.Velmora.metainfo.xml"

cpack -G DEB -B "$scratch" --config "$build_dir/CPackConfig.cmake" >/dev/null
package=("$scratch"/velmora_*.deb)
depends="$(dpkg-deb -f "${package[0]}" Depends)"
for needed in libqt6widgets6 libopencv-core libopencv-imgproc qt6-qpa-plugins fonts-ipafont-gothic; do
  grep -q "$needed" <<<"$depends" || { echo "Depends lacks $needed: $depends" >&2; exit 1; }
done
contents="$(dpkg-deb -c "${package[0]}")"
for file in ./usr/bin/velmora ./usr/share/applications/io.velmora.Velmora.desktop \
  ./usr/share/metainfo/io.velmora.Velmora.metainfo.xml ./usr/share/icons/hicolor/scalable/apps/velmora.svg \
  ./usr/share/icons/hicolor/48x48/apps/velmora.png; do
  grep -q " $file\$" <<<"$contents" || { echo "the package lacks $file" >&2; exit 1; }
done
echo "package ${package[0]##*/} checked"
