#!/usr/bin/env bash
# Pictures of every window and message box of vkdc, for a person to look at.
#   tools/screenshots.sh [--x11] [OUT_DIR]        (default /tmp/vkdc-shots)
#   tools/screenshots.sh --windows [OUT_DIR]      the Win32 face under Wine (screenshots-windows.sh)
# Builds vkdc-shots (the real windows, driven through a whole conversion of each pair) and runs
# it. By default on Qt's offscreen platform, so no display is needed. With --x11 it runs on an
# Xvfb display of its own (under openbox when that is installed, so the title bars show) and
# each picture is what the X server shows, taken from the screen. VKDC_BUILD_DIR picks the
# build folder.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [[ "${1:-}" == --windows ]]; then
    shift
    exec "$repo/tools/screenshots-windows.sh" "$@"
fi
build=${VKDC_BUILD_DIR:-$repo/build}
x11=0
if [[ "${1:-}" == --x11 ]]; then
    x11=1
    shift
fi
out=${1:-/tmp/vkdc-shots}
jobs=${VKDC_JOBS:-2}

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S "$repo" -B "$build" -G Ninja ${VKDC_CMAKE_ARGS:-}
fi
cmake --build "$build" --target vkdc-shots vkdc-cli -j "$jobs"

work=$(mktemp -d "${TMPDIR:-/tmp}/vkdc-shots-work.XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
"$build/bin/vkdc-cli" make-sample 1.0 "$work/Velkor-DB.dbb" >/dev/null
"$build/bin/vkdc-cli" make-sample 2.0 "$work/VKDB.dbb" >/dev/null
# Enough rows for the progress bar to be pictured on its way.
"$build/bin/vkdc-cli" make-sample 2.0 "$work/big.dbb" --rows 20000 >/dev/null

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work/runtime}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$out"

platform=offscreen
if ((x11)); then
    command -v Xvfb >/dev/null || {
        echo "screenshots: --x11 needs Xvfb (VKDC_WITH_XVFB=1 tools/setup-deps.sh)" >&2
        exit 1
    }
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
        >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        [[ -s "$work/display" ]] && break
        sleep 0.1
    done
    export DISPLAY=":$(head -n 1 "$work/display")"
    if command -v openbox >/dev/null; then
        openbox >/dev/null 2>&1 &
        pids+=($!)
        sleep 1
    else
        echo "screenshots: openbox is not installed; the windows show without title bars"
    fi
    platform=xcb
fi
QT_QPA_PLATFORM=$platform "$build/bin/vkdc-shots" "$out" "$work/scratch" \
    "$work/Velkor-DB.dbb" "$work/VKDB.dbb" "$work/big.dbb" 2> >(grep -v 'does not support' >&2)
echo "screenshots: $(ls "$out"/*.png | wc -l) pictures in $out ($platform)"
