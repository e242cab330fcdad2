#!/usr/bin/env bash
# Makes the Windows packages in a Windows build folder (tools/build-windows.sh BUILD_DIR), then
# tries the setup program under Wine in a fresh prefix, as an administrator would:
#   tools/test-windows-setup.sh [BUILD_DIR]      (default: build-windows/ in the repository)
# - the zip holds the programs, the templates, the README and the licence;
# - an older build of the same package (a lower version, one file more) installs silently;
# - this version installs over it: one Add/Remove Programs entry, of this version, and the file
#   that only the older one shipped is gone; the files and the Start-menu entry are there;
# - the installed vkdc-cli.exe converts a 2.0 sample in the user's documents with the installed
#   templates, and writes nothing into its installation folder;
# - the older setup program then refuses to replace this version;
# - the uninstaller removes every file, the folder, the shortcut and the registry key, and the
#   databases in the user's documents are still there.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$repo/build-windows}")
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

step_start=$SECONDS
step() {
    echo "test-windows-setup: $1 ($((SECONDS - step_start)) s)"
    step_start=$SECONDS
}
fail() {
    echo "test-windows-setup: FAILED: $*" >&2
    exit 1
}

# A prefix of our own, and a home of our own: Wine links the user's Documents into $HOME.
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all HOME=$work/home
mkdir -p "$HOME"
cleanup() {
    "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

# --- The packages ------------------------------------------------------------------------------
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[[ -n "$version" ]] || fail "no CPACK_PACKAGE_VERSION in $build/CPackConfig.cmake"
(cd "$build" && cpack -G ZIP >/dev/null && cpack -G NSIS64 >/dev/null)
setup=$build/vkdc-$version-win64.exe
zip=$build/vkdc-$version-win64.zip
[[ -f "$setup" && -f "$zip" ]] || fail "cpack made no $setup or $zip"
cmake -E tar tf "$zip" | sed 's|^[^/]*/||' | sort >"$work/zip.txt"
for f in vkdc-cli.exe VKDB12.mdb VKDB23.mdb README.md LICENSE; do
    grep -qx "$f" "$work/zip.txt" || fail "the zip lacks $f"
done
# The older build: the same package at version 0.0.1, with one file the current one lacks.
mkdir -p "$work/extra"
echo "shipped only by the older version" >"$work/extra/old-notes.txt"
(cd "$build" && cpack -G NSIS64 -B "$work/old" -D CPACK_PACKAGE_VERSION=0.0.1 \
    -D CPACK_PACKAGE_FILE_NAME=vkdc-0.0.1-win64 \
    -D CPACK_INSTALLED_DIRECTORIES="$work/extra;." >/dev/null)
old_setup=$work/old/vkdc-0.0.1-win64.exe
step "made $(basename "$setup"), $(basename "$zip") and an older setup program"

# --- Wine ---------------------------------------------------------------------------------------
"$wine" wineboot --init >/dev/null 2>&1
"$wineserver" -w
step "fresh Wine prefix"

drive_c=$WINEPREFIX/drive_c
folder="$drive_c/Program Files/Velkor Database Convert"
win_folder='C:\Program Files\Velkor Database Convert'
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Velkor Database Convert.lnk"
docs="$drive_c/users/$(id -un)/Documents"
win_docs="C:\\users\\$(id -un)\\Documents"

# Runs a Windows program and waits until every process it started has ended (a silent
# uninstaller copies itself away and returns at once), so that the registry is on disk.
# Prints the exit status, of which Wine's shell keeps the low 8 bits.
run() {
    local status=0
    "$wine" "$@" >/dev/null 2>&1 </dev/null || status=$?
    "$wineserver" -w
    echo "$status"
}

# The Add/Remove Programs entries (values of HKLM\...\Uninstall\*) naming the program.
uninstall_entries() {
    awk '
        /^\[/ { key = $0; next }
        key ~ /^\[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\/ &&
            /^"DisplayName"="Velkor Database Convert"$/ { print key }
    ' "$WINEPREFIX/system.reg"
}
entry_value() {
    awk -v name="\"$1\"=" '
        /^\[/ { inside = index($0, "\\\\Uninstall\\\\Velkor Database Convert]") > 0; next }
        inside && index($0, name) == 1 { print substr($0, length(name) + 1) }
    ' "$WINEPREFIX/system.reg"
}

find "$drive_c" -path "$drive_c/windows" -prune -o -path "$drive_c/users" -prune -o -print |
    sort >"$work/before.txt"

[[ $(run "$old_setup" /S) == 0 ]] || fail "the older setup program did not install"
[[ -f "$folder/old-notes.txt" ]] || fail "the older version's own file is not installed"
[[ $(entry_value DisplayVersion) == '"0.0.1"' ]] || fail "the older version is not registered"
step "the older version installed silently"

[[ $(run "$setup" /S) == 0 ]] || fail "the setup program did not install"
step "this version installed over it"
expected=(LICENSE README.md Uninstall.exe VKDB12.mdb VKDB23.mdb vkdc-cli.exe)
[[ -f "$build/bin/vkdc.exe" ]] && expected+=(vkdc.exe)
diff <(printf '%s\n' "${expected[@]}" | sort) <(ls "$folder" | sort) ||
    fail "the installation folder does not hold exactly the files above"
[[ -f "$shortcut" ]] || fail "no Start-menu entry"
# The entry starts the windows once they are shipped, else a prompt for vkdc-cli.exe (the
# link's paths are UTF-16).
start_program=vkdc-cli.exe
[[ -f "$build/bin/vkdc.exe" ]] && start_program=vkdc.exe
tr -d '\0' <"$shortcut" | grep -qF "$start_program" ||
    fail "the Start-menu entry does not start $start_program"
[[ $(uninstall_entries | wc -l) == 1 ]] || fail "$(uninstall_entries | wc -l) Add/Remove entries"
[[ $(entry_value DisplayVersion) == "\"$version\"" ]] || fail "the entry is not of $version"
[[ $(entry_value Publisher) == '"Velkor Tools Team"' ]] || fail "the entry names no publisher"
[[ $(entry_value DisplayIcon) == *'Velkor Database Convert\\'*.exe,0\" ]] ||
    fail "the entry has no icon"
[[ $(entry_value UninstallString) == *'Uninstall.exe\""' ]] || fail "no uninstaller entry"
echo "test-windows-setup: one entry, $version: $(entry_value DisplayName)," \
    "$(entry_value Publisher), icon $(entry_value DisplayIcon)"

# The installed program converts in the user's documents and leaves its own folder as it was.
(cd "$folder" && sha256sum ./*) >"$work/installed.txt"
mkdir -p "$docs"
[[ $(run "$win_folder\\vkdc-cli.exe" make-sample 2.0 "$win_docs\\VKDB.dbb") == 0 ]] ||
    fail "the installed vkdc-cli.exe made no sample"
[[ $(run "$win_folder\\vkdc-cli.exe" convert --verify "$win_docs\\VKDB.dbb" \
    "$win_docs\\VKDB3.mdb") == 0 ]] || fail "the installed vkdc-cli.exe did not convert"
[[ -f "$docs/VKDB3.mdb" ]] || fail "no converted database in the user's documents"
(cd "$folder" && sha256sum -c --quiet "$work/installed.txt") ||
    fail "the installation folder changed"
[[ $(ls "$folder" | wc -l) == "${#expected[@]}" ]] || fail "a file appeared in the folder"
step "the installed vkdc-cli.exe converted a 2.0 sample with the installed templates"

status=$(run "$old_setup" /S)
[[ "$status" == 2 ]] || fail "the older setup program over this version exited with $status"
[[ $(entry_value DisplayVersion) == "\"$version\"" ]] || fail "the older version replaced $version"
step "the older setup program refused to replace this version"

[[ $(run "$win_folder\\Uninstall.exe" /S) == 0 ]] || fail "the uninstaller failed"
[[ ! -e "$folder" ]] || fail "the installation folder is still there: $(ls "$folder")"
[[ ! -e "$shortcut" ]] || fail "the Start-menu entry is still there"
[[ $(uninstall_entries | wc -l) == 0 ]] || fail "the Add/Remove entry is still there"
find "$drive_c" -path "$drive_c/windows" -prune -o -path "$drive_c/users" -prune -o -print |
    sort >"$work/after.txt"
diff "$work/before.txt" "$work/after.txt" || fail "files outside the folder above changed"
[[ -f "$docs/VKDB.dbb" && -f "$docs/VKDB3.mdb" ]] || fail "the user's databases are gone"
step "the uninstaller removed everything it installed; the user's databases are there"
