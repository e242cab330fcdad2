#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test.
# VKDC_BUILD_DIR picks the build folder (default: build/ in the repository);
# VKDC_CMAKE_ARGS adds configure options (e.g. -DVKDC_SANITIZE=ON).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VKDC_BUILD_DIR:-$repo/build}
jobs=${VKDC_JOBS:-$(nproc)}

"$repo/tools/setup-deps.sh"

# mdb-reader, pinned in tests/package-lock.json, is the second test oracle.
if [[ -f "$repo/tests/package-lock.json" ]]; then
    stamp="$repo/tests/node_modules/.package-lock.json"
    if [[ ! -f "$stamp" || "$repo/tests/package-lock.json" -nt "$stamp" ]]; then
        npm ci --prefix "$repo/tests" --no-audit --no-fund
    fi
else
    echo "build-and-test: no tests/package-lock.json; tests that need mdb-reader will skip"
fi

# Extra configure options, split on spaces.
read -r -a cmake_args <<<"${VKDC_CMAKE_ARGS:-}"
cmake -S "$repo" -B "$build" -G Ninja "${cmake_args[@]}"
cmake --build "$build" -j "$jobs"
cd "$build"
ctest -j "$jobs" --output-on-failure --timeout 300
