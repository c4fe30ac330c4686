#!/usr/bin/env bash
# Builds everything and runs every test. Usage: scripts/test.sh [preset]
# (default: release with debug info; "asan": sanitizers; "clang-release":
# Release with Clang; "windows": MinGW-w64 cross build under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
jobs="$(nproc 2>/dev/null || echo 2)"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$jobs"
ctest --preset "$preset" -j "$jobs"
