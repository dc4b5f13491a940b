#!/usr/bin/env bash
# Builds the Debian package of Tarvex, build/package/tarvex_<version>_amd64.deb,
# from the build folder ./test and ./run use (the program is stripped in the
# package; its dependencies are found by dpkg-shlibdeps).
#   scripts/package.sh          builds the package and prints its path
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >&2
cmake --build build --target tarvex tarvex_packaging >&2
rm -f build/package/tarvex_*.deb
cpack --config build/CPackConfig.cmake -B "$PWD/build/package" >&2
ls "$PWD"/build/package/tarvex_*_amd64.deb
