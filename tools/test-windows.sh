#!/usr/bin/env bash
# Runs the Windows build's tests (tools/build-windows.sh BUILD_DIR) as Windows programs under
# Wine, then checks on the Linux side what vkdc-cli.exe writes: for each version pair, and for a
# source named in Persian with blanks and ';', the .exe's result must be byte for byte the Linux
# vkdc-cli's for the same source, and mdb-export must read it. Last it makes the zip and takes
# its vkdc.exe through a 2.0 to 3.0 conversion, with the real file dialogs and message boxes
# (vkdc-drive.exe): its launcher and converter window as designed, and the saved file the Linux
# vkdc-cli's bytes again.
#
# A converted file carries its template's creation date, so both programs convert with the same
# templates (the Windows build's). VKDC_HOST_CLI names the Linux vkdc-cli (default: the one in
# BUILD_DIR/host). VKDC_WINE_SKIP: a CTest regular expression of cases left out (slow ones).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$repo/build-windows}")
jobs=${VKDC_JOBS:-$(nproc)}
host_cli=$(realpath "${VKDC_HOST_CLI:-$build/host/bin/vkdc-cli}")
exe=$build/bin/vkdc-cli.exe
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

# A private Wine prefix and one wineserver for the whole run: each program then starts in
# well under a second. Its output is redirected, or it would hold ours open.
#
# The window tests need no X server: the prefix uses Wine's null graphics driver, where windows
# are made, shown and driven but drawn nowhere. A wineserver reads that setting when it starts,
# so it is made in the new prefix by a first server, which is then stopped.
export WINEPREFIX WINEDEBUG=-all
WINEPREFIX=$(mktemp -d)
work=$(mktemp -d)
cleanup() {
    "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX" "$work"
}
trap cleanup EXIT
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -w
"$wineserver" -p >/dev/null 2>&1 &
# The first program starts the prefix's services, which stay and keep the output they were
# given open: it must not be a pipe that CTest waits on.
"$wine" reg query 'HKCU\Software\Wine\Drivers' >/dev/null 2>&1

ctest_args=(--no-tests=error --timeout 300 --output-on-failure)
if [[ -n "${VKDC_WINE_SKIP:-}" ]]; then
    echo "test-windows: left out under Wine: $VKDC_WINE_SKIP"
    ctest_args+=(-E "$VKDC_WINE_SKIP")
fi
ctest --test-dir "$build" -j "$jobs" "${ctest_args[@]}"

# The same conversions on both sides.
mkdir -p "$work/linux"
cp "$host_cli" "$work/linux/vkdc-cli"
cp "$build/bin/VKDB12.mdb" "$build/bin/VKDB23.mdb" "$work/linux/"
linux=$work/linux/vkdc-cli
persian="$work/دفترچه تلفن; نسخه ۱.dbb"
"$linux" make-sample 1.0 "$work/v1.dbb" >/dev/null
"$linux" make-sample 2.0 "$work/v2.dbb" >/dev/null
cp "$work/v1.dbb" "$persian"
persian2="$work/دفترچه تلفن ۲.dbb"
cp "$work/v2.dbb" "$persian2"
checked=0
for source in "$work/v1.dbb" "$work/v2.dbb" "$persian"; do
    name=$(basename "$source" .dbb)
    win_out="$work/$name ویندوز.mdb"
    linux_out="$work/$name linux.mdb"
    "$wine" "$exe" convert "$source" "$win_out" >/dev/null
    "$linux" convert "$source" "$linux_out" >/dev/null
    cmp "$win_out" "$linux_out"
    mdb-export "$win_out" Table_Contact | tail -n +2 | wc -l | grep -qx 40
    echo "test-windows: $name: vkdc-cli.exe wrote the Linux build's bytes; mdb-export reads 40 contacts"
    checked=$((checked + 1))
done
[[ $checked -eq 3 ]]

# vkdc.exe from the zip, driven from outside as a user would.
(cd "$build" && cpack -G ZIP >/dev/null)
mkdir -p "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$build"/vkdc-*-win64.zip)
shipped=$(find "$work/zip" -name vkdc.exe)
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
saved="$work/VKDB نو.mdb"
"$wine" "$build/bin/vkdc-drive.exe" "$(windows_path "$shipped")" "$(windows_path "$persian2")" \
    "$(windows_path "$saved")"
"$linux" convert "$persian2" "$work/VKDB linux.mdb" >/dev/null
cmp "$saved" "$work/VKDB linux.mdb"
echo "test-windows: vkdc.exe from the zip converted and saved through its windows the Linux build's bytes"

