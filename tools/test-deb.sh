#!/usr/bin/env bash
# Makes the Debian package in a Linux build folder (`cpack -G DEB`) and checks it as Debian and
# software centres would, without installing it:
#   tools/test-deb.sh [BUILD_DIR]          (default: build/ in the repository)
# lintian must report no error and no warning; the AppStream metadata and the desktop entry must
# validate; the changelog and the metadata must name the package's version; and the programs
# unpacked from the package (dpkg-deb -x) must convert a sample with the templates the package
# carries. Installs what is missing: lintian, appstream, desktop-file-utils, and file (which
# CPack needs to find the programs' library dependencies).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$repo/build}")
jobs=${VKDC_JOBS:-$(nproc)}

"$repo/tools/setup-deps.sh" lintian appstream desktop-file-utils file

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The package is made in a folder of its own, so that no older .deb can be taken for it, then
# copied into the build folder.
cmake --build "$build" -j "$jobs"
(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
debs=("$work"/out/*.deb)
((${#debs[@]} == 1)) || {
    echo "test-deb: expected one package, got: ${debs[*]}" >&2
    exit 1
}
deb=${debs[0]}
cp "$deb" "$build/"
echo "test-deb: $build/$(basename "$deb")"

lintian --fail-on error,warning "$deb" 2> >(grep -v 'root privileges is not recommended' >&2)
echo "test-deb: lintian: no errors, no warnings"

root=$work/root
dpkg-deb -x "$deb" "$root"
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "${metainfo[@]}"
desktop-file-validate "$root/usr/share/applications/vkdc.desktop"
echo "test-deb: the AppStream metadata and the desktop entry validate"

version=$(dpkg-deb -f "$deb" Version)
changelog_version=$(zcat "$root/usr/share/doc/vkdc/changelog.gz" | sed -n '1s/^vkdc (\([^)]*\)).*/\1/p')
release=$(grep -o -m1 '<release version="[^"]*"' "${metainfo[0]}" | cut -d'"' -f2)
if [[ "$changelog_version" != "$version" || "$release" != "$version" ]]; then
    echo "test-deb: package $version, changelog $changelog_version, AppStream release $release:" \
        "assets/changelog and the metadata's <releases> need an entry for $version" >&2
    exit 1
fi

# The unpacked tree as installed: /usr/bin/vkdc-cli finds /usr/share/vkdc through ../share.
cli=$root/usr/bin/vkdc-cli
"$cli" make-sample 2.0 "$work/old.dbb" --rows 20 >/dev/null
"$cli" convert --verify "$work/old.dbb" "$work/new.mdb" >/dev/null
"$cli" inspect "$work/new.mdb" | grep -qx 'Table Table_Contact: 20 rows, .*'
echo "test-deb: the packaged vkdc-cli converts a 2.0 sample with the packaged templates"
