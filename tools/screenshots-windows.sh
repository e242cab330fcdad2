#!/usr/bin/env bash
# Pictures of every window and message box of vkdc.exe, the Win32 face, for a person to look at:
#   tools/screenshots.sh --windows [OUT_DIR]        (default /tmp/vkdc-shots-windows)
# Builds vkdc-shots.exe in the Windows build folder (VKDC_WINDOWS_BUILD_DIR, default
# build-windows/, made by tools/build-windows.sh when it is missing) and runs it under Wine on an
# Xvfb display of its own, in a fresh prefix that has Wine's own Tahoma (Debian's fonts-wine,
# which covers Persian) and draws the title bars itself. It drives the real windows, message
# boxes and file dialogs through a conversion of each pair; each picture is what the X server
# shows, taken with ImageMagick's import.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${VKDC_WINDOWS_BUILD_DIR:-$repo/build-windows}")
out=$(realpath -m "${1:-/tmp/vkdc-shots-windows}")
jobs=${VKDC_JOBS:-2}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

"$repo/tools/setup-deps.sh" xvfb imagemagick fonts-wine

[[ -f "$build/CMakeCache.txt" ]] || "$repo/tools/build-windows.sh" "$build"
cmake --build "$build" --target vkdc-shots -j "$jobs"
host_cli=$(sed -n 's/^VKDC_HOST_CLI:FILEPATH=//p' "$build/CMakeCache.txt")

work=$(mktemp -d "${TMPDIR:-/tmp}/vkdc-shots-windows.XXXXXX")
xvfb_pid=
cleanup() {
    "$wineserver" -k >/dev/null 2>&1 || true
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
# Windows paths for the program: Wine shows the Linux root as drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

mkdir -p "$work/ready" "$work/scratch" "$out"
"$host_cli" make-sample 1.0 "$work/Velkor-DB.dbb" >/dev/null
"$host_cli" make-sample 2.0 "$work/VKDB.dbb" >/dev/null
# Enough rows for the progress bar to be pictured on its way.
"$host_cli" make-sample 2.0 "$work/big.dbb" --rows 20000 >/dev/null

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
    >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    sleep 0.1
done
export DISPLAY=":$(head -n 1 "$work/display")"

# The prefix: Wine's Tahoma, and title bars drawn by Wine (there is no window manager). The
# services the first program starts keep the output they were given: not our pipe.
export WINEPREFIX=$work/prefix WINEDEBUG=-all
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
cp /usr/share/wine/fonts/tahoma.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -w
"$wineserver" -p >/dev/null 2>&1 &
"$wine" reg query 'HKCU\Software\Wine\X11 Driver' >/dev/null 2>&1

count=0
while read -r word name x y width height; do
    if [[ "$word" != shot ]]; then
        echo "$word $name $x $y $width $height" | sed 's/ *$//'
        continue
    fi
    import -display "$DISPLAY" -window root -crop "${width}x${height}+${x}+${y}" +repage \
        "$out/$name.png"
    echo "$out/$name.png"
    touch "$work/ready/$name"
    count=$((count + 1))
done < <("$wine" "$build/bin/vkdc-shots.exe" "$(windows_path "$work/ready")" \
    "$(windows_path "$work/scratch")" "$(windows_path "$work/Velkor-DB.dbb")" \
    "$(windows_path "$work/VKDB.dbb")" "$(windows_path "$work/big.dbb")" </dev/null)
echo "screenshots: $count pictures in $out (Win32, under Wine)"
[[ $count -gt 0 ]]
