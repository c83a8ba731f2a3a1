#!/usr/bin/env bash
# What a shown window and a screen reader cost the Get All road: starts a private Dovecot with N
# generated messages (default 1000) and times "2a. Get All Emails" (build/bench/bench_download)
# in the same run:
#   headless                offscreen platform, window not shown, no accessibility
#   window                  shown on an X server (Xvfb), no accessibility bus
#   window + a11y           shown on Xvfb inside a D-Bus session with the AT-SPI bus running and
#                           Qt's bridge on: the program as it is (rows join the list in blocks,
#                           the window repaints a few times a second)
#   window + a11y, before   the same with rows inserted one by one and a repaint at every
#                           event-loop turn, as the program did before
# Each runs ROUNDS times (default 3), taking turns; the best time counts. Prints the times and
# each one's ratio to headless, and stops the server. Run as root after scripts/build.sh;
# installs xvfb, dbus and at-spi2-core with apt-get if missing.
#   bench/run_accessibility_bench.sh [N] [ROUNDS]
#
# Qt's AT-SPI bridge (the xcb platform only; offscreen has none) asks the session bus for the
# accessibility bus and is active when that bus says a screen reader is on (org.a11y.Status
# IsEnabled or ScreenReaderEnabled, which a desktop sets when one starts), or whenever
# QT_LINUX_ACCESSIBILITY_ALWAYS_ON is set; QT_ACCESSIBILITY=1 alone does not turn it on. This
# script sets QT_LINUX_ACCESSIBILITY_ALWAYS_ON, and the bench prints whether Qt reports it active.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVALE_BUILD_DIR:-$top/build}
n=${1:-1000}
rounds=${2:-3}
dir=$build/bench-dovecot
work=$(mktemp -d /tmp/quorvale-a11y-bench.XXXXXXXX)
xvfb_pid=
cleanup() {
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  "$top/tests/fixtures/dovecot/stop.sh" "$dir" >/dev/null 2>&1 || true
  rm -rf -- "$work"
}
trap cleanup EXIT

missing=()
command -v Xvfb >/dev/null || missing+=(xvfb)
command -v dbus-run-session >/dev/null || missing+=(dbus)
[[ -x /usr/libexec/at-spi-bus-launcher ]] || missing+=(at-spi2-core)
if [[ ${#missing[@]} -gt 0 ]]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null
fi
[[ -x $build/bench/bench_download ]] || { echo "build first: scripts/build.sh" >&2; exit 1; }

"$top/tests/fixtures/dovecot/start.sh" "$dir" --bench-messages "$n" >/dev/null
export QUORVALE_TEST_DOVECOT_DIR=$dir

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1

# Get All takes the whole mailbox, which holds N messages.
bench() {  # extra bench arguments...
  "$build/bench/bench_download" "$n" --get-all-only "$@" 2>/dev/null
}
headless() { QT_QPA_PLATFORM=offscreen bench; }
window() { DISPLAY=$display QT_QPA_PLATFORM=xcb bench --show-window; }
# A session bus of its own with the accessibility bus launched on it, as a desktop does.
accessible() {
  DISPLAY=$display QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    dbus-run-session -- bash -c '
      /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
      launcher=$!
      sleep 0.5
      "$@"
      kill $launcher 2>/dev/null || true' bash "$build/bench/bench_download" "$n" --get-all-only \
      --show-window "$@" 2>/dev/null
}

seconds_of() { sed -nE 's/^Get All road: .* in ([0-9.]+) s.*/\1/p'; }
declare -A times
names=("headless" "window" "window + a11y" "window + a11y, before")
headless >/dev/null  # the server's cache warms
for ((round = 1; round <= rounds; ++round)); do
  out=$(headless); times[headless]+=" $(echo "$out" | seconds_of)"
  out=$(window); times[window]+=" $(echo "$out" | seconds_of)"
  out=$(accessible); times[window + a11y]+=" $(echo "$out" | seconds_of)"
  state=$(echo "$out" | sed -nE 's/^window shown on .*, accessibility (.*)/\1/p')
  out=$(accessible --row-block-ms 0 --paint-every-turn); times[window + a11y, before]+=" $(echo "$out" | seconds_of)"
  echo "round $round:$(for k in "${names[@]}"; do printf ' %s %ss;' "$k" "${times[$k]##* }"; done)"
done
echo "Get All of $n messages, best of $rounds rounds (accessibility under the bus: $state)"
for k in "${names[@]}"; do echo "$k|${times[$k]}"; done | python3 -c '
import sys
rows = [line.rstrip("\n").split("|") for line in sys.stdin]
best = {name: min(float(t) for t in times.split()) for name, times in rows}
base = best["headless"]
n = int(sys.argv[1])
for name, _ in rows:
    s = best[name]
    print("  %-32s %7.3f s  %7.1f msg/s  %5.2fx the headless time" % (name, s, n / s, s / base))
' "$n"
