#!/usr/bin/env bash
# Pictures of every window and message box of vkdc, for a person to look at.
#   tools/screenshots.sh [OUT_DIR]        (default /tmp/vkdc-shots)
# Builds vkdc-shots (the real windows, driven through a whole conversion of each pair) and runs
# it on Qt's offscreen platform, so no display is needed. VKDC_BUILD_DIR picks the build folder.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VKDC_BUILD_DIR:-$repo/build}
out=${1:-/tmp/vkdc-shots}
jobs=${VKDC_JOBS:-2}

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S "$repo" -B "$build" -G Ninja ${VKDC_CMAKE_ARGS:-}
fi
cmake --build "$build" --target vkdc-shots vkdc-cli -j "$jobs"

work=$(mktemp -d "${TMPDIR:-/tmp}/vkdc-shots-work.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bin/vkdc-cli" make-sample 1.0 "$work/Velkor-DB.dbb" >/dev/null
"$build/bin/vkdc-cli" make-sample 2.0 "$work/VKDB.dbb" >/dev/null

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work/runtime}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen "$build/bin/vkdc-shots" "$out" "$work/scratch" \
    "$work/Velkor-DB.dbb" "$work/VKDB.dbb" 2> >(grep -v 'does not support' >&2)
echo "screenshots: $(ls "$out"/*.png | wc -l) pictures in $out"
