#!/usr/bin/env bash
# Starts a private Dovecot with N generated messages (default 1000, about 35 KB each) and, in
# the same run against that server, times downloads of the whole mailbox:
#   Quorvale  the program's Get All road (build/bench/bench_download --get-all-only)
#   imaplib   Python's imaplib, one FETCH at a time (bench/imaplib_reference.py)
#   mbsync    isync's mbsync pulling the mailbox into a throw-away Maildir, `FSync no`, the
#             whole process timed; once with the Maildir on disk, once in memory (tmpfs)
# first straight on loopback, then through bench/delay_proxy.py, which holds every piece of
# data back 25 ms each way (a 50 ms round trip). They take turns, ROUNDS times (default 3;
# imaplib only once at 50 ms); each one's best time counts. Prints every run, the best figures
# and the ratios, and stops the server. Run as root after scripts/build.sh; installs isync with
# apt-get if missing.
#   bench/run_download_bench.sh [N] [ROUNDS]
# The client's own figures (one FETCH at a time, fetch-ahead) and the session road:
#   build/bench/bench_imap_fetch --env-file build/bench-dovecot/env [--rtt-ms 50]
#   build/bench/bench_download N
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVALE_BUILD_DIR:-$top/build}
n=${1:-1000}
rounds=${2:-3}
dir=$build/bench-dovecot
work=$(mktemp -d /tmp/quorvale-download-bench.XXXXXXXX)
proxy_pid=
memory_maildir=
cleanup() {
  [[ -n $proxy_pid ]] && kill "$proxy_pid" 2>/dev/null || true
  "$top/tests/fixtures/dovecot/stop.sh" "$dir" >/dev/null 2>&1 || true
  rm -rf -- "$work"
  [[ -n $memory_maildir ]] && rm -rf -- "$memory_maildir"
  return 0
}
trap cleanup EXIT

if ! command -v mbsync >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends isync >/dev/null
fi
[[ -x $build/bench/bench_download ]] || { echo "build first: scripts/build.sh" >&2; exit 1; }

"$top/tests/fixtures/dovecot/start.sh" "$dir" --bench-messages "$n" >/dev/null
value() { grep -m1 "^$1=" "$dir/env" | cut -d= -f2-; }
host=$(value QUORVALE_IMAP_HOST)
server_port=$(value QUORVALE_IMAP_PORT)
cafile=$(value QUORVALE_IMAP_CAFILE)
user=$(value TEST_USER)
mailbox=$(value BENCH_MAILBOX)
export QUORVALE_TEST_DOVECOT_DIR=$dir
export QT_QPA_PLATFORM=offscreen
# The password holds a space, a quote and a backslash: mbsync reads it from a file.
value TEST_PASSWORD >"$work/password"
chmod 600 "$work/password"

# mbsync matches the certificate by host name only (it names localhost and 127.0.0.1).
mbsync_config() {  # port maildir
  cat <<EOF
FSync no

IMAPAccount bench
Host localhost
Port $1
User $user
PassCmd "cat $work/password"
SSLType IMAPS
CertificateFile $cafile

IMAPStore far
Account bench

MaildirStore near
Path $2/
Inbox $2/INBOX

Channel bench
Far :far:$mailbox
Near :near:$mailbox
Sync Pull
Create Near
SyncState *
EOF
}

seconds_of() { sed -nE 's/.* in ([0-9.]+) s.*/\1/p' | head -1; }
now() { date +%s.%N; }

run_quorvale() {  # port
  "$build/bench/bench_download" "$n" --get-all-only --port "$1" 2>/dev/null | grep '^Get All road' | seconds_of
}
run_imaplib() {  # port
  python3 "$top/bench/imaplib_reference.py" "$host" "$1" "$cafile" "$user" "$(value TEST_PASSWORD)" \
    "$mailbox" "$n" 2>/dev/null | seconds_of
}
run_mbsync() {  # port maildir
  local maildir=$2 start end got
  rm -rf -- "$maildir"
  mkdir -p "$maildir"
  mbsync_config "$1" "$maildir" >"$work/mbsyncrc"
  start=$(now)
  mbsync -q -c "$work/mbsyncrc" bench >/dev/null 2>"$work/mbsync.err" || { cat "$work/mbsync.err" >&2; return 1; }
  end=$(now)
  got=$(find "$maildir/$mailbox" -type f \( -path '*/cur/*' -o -path '*/new/*' \) | wc -l)
  rm -rf -- "$maildir"
  [[ $got -ge $n ]] || { echo "mbsync got $got of $n messages" >&2; return 1; }
  python3 -c "print('%.3f' % ($end - $start))"
}

# mbsync writes every message to a file: into a Maildir on this machine's disk, as a user would
# have it, and into one in memory (tmpfs), which leaves mbsync only its network and processor
# work: the harder reference.
disk_maildir=$work/maildir
if [[ -d /dev/shm && -w /dev/shm ]]; then
  memory_maildir=$(mktemp -d /dev/shm/quorvale-download-bench.XXXXXXXX)
fi

ratios() {  # label "quorvale times" "imaplib times" "mbsync disk times" "mbsync tmpfs times"
  python3 - "$n" "$@" <<'EOF'
import sys
n, label = int(sys.argv[1]), sys.argv[2]
q, i, d, m = [min(float(x) for x in a.split()) if a.strip() else None for a in sys.argv[3:7]]
print("%s, best of the rounds, %d messages:" % (label, n))
for name, s in (("Quorvale Get All", q), ("imaplib", i), ("mbsync (disk)", d), ("mbsync (tmpfs)", m)):
    if s is not None:
        print("  %-17s %7.3f s  %7.1f msg/s" % (name, s, n / s))
for name, s in (("mbsync (disk)", d), ("mbsync (tmpfs)", m), ("imaplib", i)):
    if s is not None:
        print("  Quorvale vs %-16s %.2fx" % (name + ":", s / q))
EOF
}

measure() {  # label port imaplib_rounds
  local label=$1 port=$2 imaplib_rounds=$3 q=() i=() d=() m=() t line round
  for ((round = 1; round <= rounds; ++round)); do
    t=$(run_quorvale "$port"); q+=("$t"); line="Quorvale $t s"
    if ((round <= imaplib_rounds)); then
      t=$(run_imaplib "$port"); i+=("$t"); line+=", imaplib $t s"
    fi
    t=$(run_mbsync "$port" "$disk_maildir"); d+=("$t"); line+=", mbsync (disk) $t s"
    if [[ -n $memory_maildir ]]; then
      t=$(run_mbsync "$port" "$memory_maildir"); m+=("$t"); line+=", mbsync (tmpfs) $t s"
    fi
    echo "  $label round $round: $line"
  done
  ratios "$label" "${q[*]}" "${i[*]:-}" "${d[*]}" "${m[*]:-}"
}

# The first pass reads the messages from disk into the server's cache.
run_imaplib "$server_port" >/dev/null
echo "Download of $n messages, $rounds interleaved rounds"
measure "loopback" "$server_port" "$rounds"

python3 "$top/bench/delay_proxy.py" "$server_port" 25 "$work/proxy-port" &
proxy_pid=$!
for _ in $(seq 50); do [[ -s $work/proxy-port ]] && break; sleep 0.1; done
# imaplib waits a round trip for every message (about a minute for 1000): it runs once there.
measure "50 ms round trip" "$(cat "$work/proxy-port")" 1
