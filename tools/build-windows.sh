#!/usr/bin/env bash
# Cross-builds vkdc.exe (the Win32 windows) and vkdc-cli.exe, linked statically, the engine, the
# core and their tests for 64-bit Windows with MinGW-w64, into BUILD_DIR (default:
# build-windows/ in the repository). Installs what is missing, NSIS included. The Qt windows are
# not part of this build. VKDC_CMAKE_ARGS adds configure options to both builds (e.g.
# -DCMAKE_CXX_COMPILER_LAUNCHER=ccache).
#
# The templates beside the .exe files are made by the build machine's own vkdc-cli (the same
# file format), and the pictures compiled into vkdc.exe by its vkdc-art (from this source tree):
# VKDC_HOST_CLI and VKDC_HOST_ART name them, else both are built in BUILD_DIR/host.
# `cpack -G ZIP` in BUILD_DIR then makes vkdc-<version>-win64.zip and `cpack -G NSIS64` the setup
# program vkdc-<version>-win64.exe; tools/test-windows.sh runs the tests under Wine and
# tools/test-windows-setup.sh tries the setup program there.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$repo/build-windows}")
jobs=${VKDC_JOBS:-$(nproc)}

"$repo/tools/setup-deps.sh" g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 nsis

# Extra configure options, split on spaces.
read -r -a cmake_args <<<"${VKDC_CMAKE_ARGS:-}"

host_cli=${VKDC_HOST_CLI:-}
host_art=${VKDC_HOST_ART:-}
host_targets=()
[[ -z "$host_cli" ]] && host_targets+=(vkdc-cli)
[[ -z "$host_art" ]] && host_targets+=(vkdc-art)
if ((${#host_targets[@]} > 0)); then
    cmake -S "$repo" -B "$build/host" -G Ninja -DVKDC_BUILD_TESTS=OFF "${cmake_args[@]}"
    cmake --build "$build/host" -j "$jobs" --target "${host_targets[@]}"
    host_cli=${host_cli:-$build/host/bin/vkdc-cli}
    host_art=${host_art:-$build/host/bin/vkdc-art}
fi

cmake -S "$repo" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64.cmake" \
    -DVKDC_HOST_CLI="$(realpath "$host_cli")" \
    -DVKDC_HOST_ART="$(realpath "$host_art")" "${cmake_args[@]}"
cmake --build "$build" -j "$jobs"
echo "build-windows: $build/bin/vkdc.exe, $build/bin/vkdc-cli.exe"
