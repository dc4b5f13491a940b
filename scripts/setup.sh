#!/usr/bin/env bash
# Installs the Debian packages Tarvex needs to build, run and test (only the
# missing ones), then configures the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libsqlite3-dev libgl-dev
    libqt6sql6-psql libpq-dev postgresql
    libsimpleini-dev libcurl4-openssl-dev
    libsodium-dev qtkeychain-qt6-dev
    python3 python3-aiosmtpd sqlite3
    poppler-utils unrtf
    xvfb xauth fonts-dejavu-core
    clang libclang-rt-14-dev llvm  # libFuzzer and its runtime (fuzz/), llvm-symbolizer
    libexpat1-dev                  # the XML fuzz target's reference parser
    dpkg-dev lintian desktop-file-utils appstream  # the Debian package's checks (scripts/check-package.sh)
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [ ! -f build/build.ninja ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
