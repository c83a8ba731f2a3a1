#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless. The tests start their own
# Dovecot server and secret store and stop them again.
#
#   scripts/test.sh              the normal build in ./build
#   scripts/test.sh --sanitize   a separate build in ./build-sanitize with AddressSanitizer and
#                                UndefinedBehaviorSanitizer; any finding fails its test
# Other arguments go to ctest.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
sanitize=0
if [[ "${1:-}" == "--sanitize" ]]; then
    sanitize=1
    shift
fi
"$top/scripts/install-deps.sh"
if (( sanitize )); then
    export QUORVALE_BUILD_DIR=${QUORVALE_BUILD_DIR:-$top/build-sanitize}
    export QUORVALE_CMAKE_ARGS="-DQUORVALE_SANITIZE=ON"
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    # Leaks inside system libraries we do not own (fontconfig, GLib, Chromium); see the file.
    export LSAN_OPTIONS="suppressions=$top/tests/sanitizer/lsan.supp:print_suppressions=0"
fi
"$top/scripts/build.sh"
build=${QUORVALE_BUILD_DIR:-$top/build}
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure "$@"
