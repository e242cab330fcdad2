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
# The window tests also run on X11 (tests xcb:*, label x11) when VKDC_X11_DISPLAY names an X
# display for them, as .ci/run does with an Xvfb of its own; they move the pointer and type, so
# they never use the desktop in DISPLAY.
ctest_args=()
if [[ -z "${VKDC_X11_DISPLAY:-}" ]]; then
    echo "build-and-test: VKDC_X11_DISPLAY is not set; the X11 runs of the window tests are left out"
    ctest_args+=(-LE x11)
fi
# The output of failed tests scrolls far above ctest's summary, so on failure their first
# failure lines are printed again at the very end, where a CI log's tail shows them.
log=$(mktemp)
status=0
ctest -j "$jobs" --output-on-failure --timeout 300 "${ctest_args[@]}" 2>&1 | tee "$log" ||
    status=$?
if [[ $status -ne 0 ]]; then
    echo "=== build-and-test: the first failures the failed tests reported"
    grep -E -B1 -A5 ': Failure$|\*\*\*Exception|runtime error:|ERROR: [A-Za-z]+Sanitizer' "$log" |
        cut -c1-240 | head -n 90 || true
fi
rm -f "$log"
exit "$status"
