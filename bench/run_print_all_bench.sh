#!/usr/bin/env bash
# "Print All" of N messages to the PDF writer through the program's windows, against a private
# Dovecot holding N generated messages: with the hidden views the program picks for this
# machine and with one view (one message loaded, then printed, then the next), twice each. Beside it,
# over the first M of the very pages the program rendered, in the same run: one wkhtmltopdf
# process per page, one headless chromium process per page, and WeasyPrint in one Python
# process looping over the pages. The other tools are slow, so by default they run over fewer
# pages; their rate per page is what is compared. Installs wkhtmltopdf, chromium and
# WeasyPrint with apt when missing. Run as root after scripts/build.sh.
#   bench/run_print_all_bench.sh [N=1000] [M=100]
# BENCH_PRINT_VIEWS=n runs the views passes with n views instead of the program's choice.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVALE_BUILD_DIR:-$top/build}
n=${1:-1000}
m=${2:-100}

missing=()
command -v wkhtmltopdf >/dev/null || missing+=(wkhtmltopdf)
command -v chromium >/dev/null || missing+=(chromium)
/usr/bin/python3 -c 'import weasyprint' 2>/dev/null || missing+=(weasyprint)
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null
fi

work=$(mktemp -d)
dovecot=$build/bench-print-dovecot
trap '"$top/tests/fixtures/dovecot/stop.sh" "$dovecot" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
"$top/tests/fixtures/dovecot/start.sh" "$dovecot" --bench-messages "$n" >/dev/null
export QUORVALE_TEST_DOVECOT_DIR=$dovecot
export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1
export XDG_CONFIG_HOME=$work/config HOME=$work/home XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

"$build/bench/bench_print_all" "$work/quorvale" "$work/pages" 2>"$work/quorvale.log" \
  | tee "$work/quorvale.txt" || { tail -5 "$work/quorvale.log"; exit 1; }
echo "$(find "$work/pages" -name 'page*.html' | wc -l) rendered pages of about $(( $(du -sk "$work/pages" | cut -f1) / n )) KB each"
rate=$(sed -nE 's/^quorvale: views ([0-9.]+) msg\/s.*/\1/p' "$work/quorvale.txt")
one=$(sed -nE 's/^quorvale: .* one view ([0-9.]+) msg\/s.*/\1/p' "$work/quorvale.txt")

python3 - "$work" "$m" "$rate" "$one" <<'PY'
import os, resource, subprocess, sys, time
work, m, ours, one = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
pages = sorted(p for p in os.listdir(os.path.join(work, "pages")) if p.startswith("page"))[:m]
per_page = {
    "wkhtmltopdf": lambda src, out: ["wkhtmltopdf", "-q", "--disable-javascript", src, out],
    "chromium": lambda src, out: [
        "chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
        "--disable-component-update", "--disable-sync", "--disable-default-apps", "--no-first-run",
        "--no-default-browser-check", "--disable-extensions", "--disable-features=Translate,MediaRouter",
        "--no-pdf-header-footer", "--print-to-pdf=" + out, "file://" + src],
}
# WeasyPrint in one process: the library loaded once, then a loop over the pages; it prints its
# own time and peak resident size, so the figures leave out the interpreter's start.
weasy_loop = r'''
import os, resource, sys, time
import weasyprint
src_dir, out_dir, names = sys.argv[1], sys.argv[2], sys.argv[3:]
start = time.monotonic()
failed = 0
for name in names:
    out = os.path.join(out_dir, name[:-5] + ".pdf")
    try:
        weasyprint.HTML(filename=os.path.join(src_dir, name), base_url=src_dir).write_pdf(out)
    except Exception:
        failed += 1
print(time.monotonic() - start, failed, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss)
'''

def report(name, count, seconds, failed, peak_kb, note=""):
    rate = count / seconds
    print("%s: %d pages in %.2f s, %.2f msg/s, %d failed; largest process %.0f MB%s"
          % (name, count, seconds, rate, failed, peak_kb / 1024, note))
    print("  quorvale is %.1f times as fast (its one-view rate %.1f times)" % (ours / rate, one / rate))

for name, command in per_page.items():
    out_dir = os.path.join(work, name)
    os.makedirs(out_dir)
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    start = time.monotonic()
    failed = 0
    for page in pages:
        out = os.path.join(out_dir, page[:-5] + ".pdf")
        subprocess.run(command(os.path.join(work, "pages", page), out),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # wkhtmltopdf exits 1 for a picture it cannot load (a remote one) yet writes the PDF:
        # only a missing or empty PDF counts as a failure.
        failed += not os.path.exists(out) or os.path.getsize(out) == 0
    seconds = time.monotonic() - start
    peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    report(name, len(pages), seconds, failed, peak, "" if peak > before else " (no larger than the earlier tool's)")

out_dir = os.path.join(work, "weasyprint")
os.makedirs(out_dir)
result = subprocess.run(["/usr/bin/python3", "-c", weasy_loop, os.path.join(work, "pages"), out_dir] + pages,
                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, check=True)
seconds, failed, peak = result.stdout.split()
report("weasyprint (one process)", len(pages), float(seconds), int(failed), int(peak))
PY
