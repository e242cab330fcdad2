#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
#   tools/build-and-run.sh            starts the windowed program (vkdc)
#   tools/build-and-run.sh FILE.mdb   prints what vkdc-cli inspect finds in FILE.mdb
# Without a display (no DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM) the command-line tool's
# usage is printed instead of opening a window.
# VKDC_BUILD_DIR picks the build folder (default: build/ in the repository).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VKDC_BUILD_DIR:-$repo/build}
jobs=${VKDC_JOBS:-$(nproc)}

"$repo/tools/setup-deps.sh"

# Extra configure options, split on spaces.
read -r -a cmake_args <<<"${VKDC_CMAKE_ARGS:-}"
cmake -S "$repo" -B "$build" -G Ninja "${cmake_args[@]}"

have_windows=0
if ninja -C "$build" -t targets all 2>/dev/null | grep -q '^vkdc: '; then
    have_windows=1
fi
have_display=0
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]]; then
    have_display=1
fi

cmake --build "$build" --target vkdc-cli vkdc_templates -j "$jobs"

# Two sample sources, one of each old version, so there is something real to convert.
samples="$build/samples"
mkdir -p "$samples"
for v in 1.0 2.0; do
    f="$samples/velkor-$v-sample.dbb"
    [[ -f "$f" ]] || "$build/bin/vkdc-cli" make-sample "$v" "$f" --rows 200 >/dev/null
done
echo "build-and-run: sample sources to convert are in $samples" >&2

if (($# == 0 && have_windows && have_display)); then
    cmake --build "$build" --target vkdc -j "$jobs"
    exec "$build/bin/vkdc"
fi

if (($# == 0)); then
    ((have_windows)) && echo "build-and-run: no display; showing the command-line tool instead" >&2
    exec "$build/bin/vkdc-cli" --help
fi
exec "$build/bin/vkdc-cli" inspect "$@"
