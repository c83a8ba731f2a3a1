#!/usr/bin/env bash
# Configures and builds Quorvale into ./build (or $QUORVALE_BUILD_DIR).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVALE_BUILD_DIR:-$top/build}
# QUORVALE_CMAKE_ARGS: extra configure options (scripts/test.sh --sanitize sets them).
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${QUORVALE_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)"
