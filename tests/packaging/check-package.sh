#!/usr/bin/env bash
# Checks what the program installs: the desktop entry and the metainfo pass their validators,
# and the Debian package holds the program with its desktop files, manual pages, copyright and
# changelog, depends on the Qt libraries it links and the plugins and fonts it needs at run time,
# carries a stripped binary whose debug information is in the debug package, and lintian finds
# nothing wrong with either package beyond what is allowed below.
#   check-package.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir="$1"
build_dir="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

fail() {
  printf '%s\n' "$@" >&2
  exit 1
}

desktop-file-validate "$source_dir/packaging/io.velmora.Velmora.desktop"
appstreamcli validate --no-net "$source_dir/packaging/io.velmora.Velmora.metainfo.xml"

cpack -G DEB -B "$scratch" --config "$build_dir/CPackConfig.cmake" >/dev/null
package=("$scratch"/velmora_*.deb)
debug_package=("$scratch"/velmora-dbgsym_*.ddeb)
[ -f "${package[0]}" ] || fail "cpack built no velmora package"
[ -f "${debug_package[0]}" ] || fail "cpack built no velmora-dbgsym debug package"

depends="$(dpkg-deb -f "${package[0]}" Depends)"
for needed in libqt6widgets6 libopencv-core libopencv-imgproc qt6-qpa-plugins fonts-ipafont-gothic; do
  grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
contents="$(dpkg-deb -c "${package[0]}")"
for file in ./usr/bin/velmora ./usr/share/applications/io.velmora.Velmora.desktop \
  ./usr/share/metainfo/io.velmora.Velmora.metainfo.xml ./usr/share/icons/hicolor/scalable/apps/velmora.svg \
  ./usr/share/icons/hicolor/48x48/apps/velmora.png ./usr/share/doc/velmora/copyright \
  ./usr/share/doc/velmora/changelog.Debian.gz ./usr/share/man/man1/velmora.1.gz \
  ./usr/share/man/ja/man1/velmora.1.gz; do
  grep -q " $file\$" <<<"$contents" || fail "the package lacks $file"
done

# The newest changelog entry is the package's version.
dpkg-deb -x "${package[0]}" "$scratch/velmora"
gzip -dc "$scratch/velmora/usr/share/doc/velmora/changelog.Debian.gz" >"$scratch/changelog"
version="$(dpkg-deb -f "${package[0]}" Version)"
changelog_version="$(dpkg-parsechangelog -l "$scratch/changelog" -S Version)"
[ "$changelog_version" = "$version" ] || fail "the changelog is of $changelog_version, the package of $version"

# The binary keeps neither symbols nor debug information; the debug package holds both under the
# binary's build ID, where gdb looks for them.
# readelf complains that a debug file's program interpreter is empty, as it is in every one.
section_names() { readelf --section-headers --wide "$1" 2>/dev/null | sed -n 's/^ *\[ *[0-9]*\] \([^ ]*\).*/\1/p'; }
binary="$scratch/velmora/usr/bin/velmora"
left="$(section_names "$binary" | grep -E '^\.(symtab|debug_)' || true)"
[ -z "$left" ] || fail "the packaged binary is not stripped: it has $(tr '\n' ' ' <<<"$left")"
build_id="$(readelf --notes "$binary" | awk '/Build ID:/ { print $3 }')"
[ -n "$build_id" ] || fail "the packaged binary has no build ID"
dpkg-deb -x "${debug_package[0]}" "$scratch/dbgsym"
debug_file="$scratch/dbgsym/usr/lib/debug/.build-id/${build_id:0:2}/${build_id:2}.debug"
[ -f "$debug_file" ] || fail "the debug package has no file for build ID $build_id"
debug_sections="$(section_names "$debug_file")"
for section in .debug_info .debug_line .symtab; do
  grep -qx -- "$section" <<<"$debug_sections" || fail "the debug file lacks $section"
done

# Allowed: the project has no mail address, and lintian calls velmora@localhost bogus in the
# Maintainer field (bogus-mail-host) and in the changelog (bogus-mail-host-in-debian-changelog);
# the package is not meant for Debian's archive, so its first changelog entry closes no
# intent-to-package bug (initial-upload-closes-no-bugs).
allowed=bogus-mail-host,bogus-mail-host-in-debian-changelog,initial-upload-closes-no-bugs
if ! findings="$(lintian --suppress-tags "$allowed" --fail-on error,warning "${package[0]}" "${debug_package[0]}" \
  2>"$scratch/lintian-errors")"; then
  # Run as root, as the tests may be, lintian says it is not recommended; that is no finding.
  fail "lintian: $findings" "$(grep -v 'root privileges' "$scratch/lintian-errors")"
fi
echo "packages ${package[0]##*/} and ${debug_package[0]##*/} checked"
