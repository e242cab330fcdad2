#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test vkdc, and the further packages
# named on its command line (the packaging and Windows scripts name theirs):
#   tools/setup-deps.sh [PACKAGE...]
# Safe to run again: only packages that dpkg does not report as installed are fetched.
set -euo pipefail

packages=(
    build-essential cmake ninja-build g++
    libgtest-dev googletest         # GoogleTest and its CMake config
    libcli11-dev                    # vkdc-cli's option parsing (header-only)
    nlohmann-json3-dev              # JSON output of vkdc-cli and JSON in tests (header-only)
    mdbtools                        # second reader used as a test oracle
    qt6-base-dev fonts-noto-ui-core # the windows
    libxcb1-dev                     # X11 window properties (an empty title bar)
)
# nodejs/npm run mdb-reader, the other test oracle. A node from another source (NodeSource
# ships npm inside its nodejs package) is fine; only ask Debian for what is absent.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)
# Jackcess, the third engine in the tests, runs on Java with two commons libraries.
packages+=(libcommons-lang3-java libcommons-logging-java)
command -v java >/dev/null 2>&1 || packages+=(default-jre-headless)
# Optional extras for the X11 runs of the window tests (a virtual X display, and xdotool for
# real pointer and key input), and openbox, the window manager tools/screenshots.sh --x11
# pictures the title bars with: VKDC_WITH_XVFB=1.
[[ "${VKDC_WITH_XVFB:-0}" == 1 ]] && packages+=(xvfb xdotool openbox)
# The format check of continuous integration: VKDC_WITH_FORMAT=1.
[[ "${VKDC_WITH_FORMAT:-0}" == 1 ]] && packages+=(clang-format)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [[ "$status" == installed ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
    echo "setup-deps: all packages present"
    exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null 2>&1 || {
        echo "setup-deps: need root or sudo to install: ${missing[*]}" >&2
        exit 1
    }
    sudo=(sudo)
fi

echo "setup-deps: installing ${missing[*]}"
apt_opts=(-o DPkg::Lock::Timeout=600)
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "${apt_opts[@]}" update
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "${apt_opts[@]}" install -y \
    --no-install-recommends "${missing[@]}"
