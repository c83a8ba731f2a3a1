#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless. The tests start their own
# Dovecot server and secret store and stop them again.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
build=${QUORVALE_BUILD_DIR:-$top/build}
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure "$@"
