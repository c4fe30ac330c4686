#!/usr/bin/env bash
# Makes the download package of the program folder: the programs, every data
# file they read, the sample meshshift.ini, the README and the licence.
# Usage: scripts/package.sh [windows]
#   (none)   build-release/packages/lorewright-<version>-linux-<cpu>.tar.gz
#   windows  build-windows/packages/lorewright-<version>-windows-x86_64.zip
#            (MinGW-w64 cross build, see "Building for Windows" in the README)
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-linux}" in
  linux) preset=release; dir=build-release ;;
  windows) preset=windows; dir=build-windows ;;
  *) echo "usage: scripts/package.sh [windows]" >&2; exit 2 ;;
esac
jobs="$(nproc 2>/dev/null || echo 2)"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$jobs" --target lw_program_folder
cpack --config "$dir/CPackConfig.cmake" -B "$dir/packages"
