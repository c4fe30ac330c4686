#!/usr/bin/env bash
# Builds the programs into build/bin, generates the demo data set in
# build/demo, converts its plugin with modshift (standard input closed) and
# sums up what was written. Only the program folder and the demo generator
# are built, not the tests (./scripts/test.sh builds and runs those).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc 2>/dev/null || echo 2)"
echo "Building the programs, their data and the demo generator (the tests are left for ./scripts/test.sh)"
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs" --target lw_program_folder lw_demo_data

demo=build/demo
build/tools/lw_demo_data generate "$demo" build/bin
echo
echo "Running: modshift \"Morrowind/Data Files/LorewrightDemo.esp\" (in $demo)"
( cd "$demo" && ./program/modshift "Morrowind/Data Files/LorewrightDemo.esp" </dev/null >modshift.log 2>&1 ) || {
  echo "modshift failed; its console output is in $demo/modshift.log"; exit 1; }
echo "modshift console output: $demo/modshift.log"
build/tools/lw_demo_data summary "$demo"

echo
if [ -x build/bin/lorereport ]; then
  ( cd "$demo" && ./program/lorereport "Morrowind/Data Files/LorewrightDemo_ob.esp" --map map.png )
  echo "Map of the converted exterior: $demo/map.png"
fi
echo
echo "Demo done in ${SECONDS} s (build included)."
