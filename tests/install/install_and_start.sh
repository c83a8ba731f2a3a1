#!/usr/bin/env bash
# Installs the built program into a temporary prefix, checks that everything lands where a
# Linux desktop looks for it, and starts the installed program headless from elsewhere: it
# must come up, write its settings privately, and write nothing into its shared folder.
# Usage: install_and_start.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }

[ -x "$prefix/bin/quorvale" ] || fail "no executable in bin/"
for f in share/quorvale/quorvale.png share/quorvale/Pictures/less-secure-apps1.jpg \
         share/quorvale/Pictures/less-secure-apps2.jpg share/quorvale/installed-program-folder \
         share/applications/quorvale.desktop share/icons/hicolor/64x64/apps/quorvale.png; do
  [ -f "$prefix/$f" ] || fail "missing $f"
done
grep -qx 'Exec=quorvale' "$prefix/share/applications/quorvale.desktop" || fail "desktop entry Exec"
grep -qx 'Icon=quorvale' "$prefix/share/applications/quorvale.desktop" || fail "desktop entry Icon"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/quorvale.desktop" || fail "desktop entry invalid"
fi
# Nothing of the build's own output goes along.
[ ! -e "$prefix/bin/errorlog.txt" ] && [ ! -e "$prefix/share/quorvale/errorlog.txt" ] || fail "a log was installed"

# Started from another folder, with a home of its own; the online check pings the loopback.
home=$work/home
mkdir -p "$home" "$work/elsewhere"
# A settings file as an earlier version left it, readable by all, choosing "All Mail": start-up
# selects that folder and saves all eight choices, which narrows the file.
settings=$home/.config/Tervane/Tervane.conf
mkdir -p "$(dirname "$settings")"
printf '[Quorvale]\nOption3=False\nOption4=True\n' >"$settings"
chmod 644 "$settings"
cd "$work/elsewhere"
env -i PATH="$PATH" HOME="$home" QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 \
  QUORVALE_IMAP_HOST=127.0.0.1 "$prefix/bin/quorvale" >"$work/out.log" 2>&1 &
pid=$!

for _ in $(seq 1 300); do
  grep -q '^Option10=False' "$settings" && break
  kill -0 "$pid" 2>/dev/null || { cat "$work/out.log"; fail "the installed program ended during start-up"; }
  sleep 0.1
done
if ! grep -q '^Option10=False' "$settings"; then
  # Without a ping reply the offline box waits for a person, before any setting is written.
  ping -c 1 -W 2 127.0.0.1 >/dev/null 2>&1 || { echo "SKIP: this machine may not ping"; exit 77; }
  cat "$work/out.log"; fail "no settings written within 30 s"
fi
grep -q '^Option4=True' "$settings" || fail "start-up lost the folder choice"
[ "$(stat -c %a "$settings")" = 600 ] || fail "settings file is $(stat -c %a "$settings")"
kill -0 "$pid" 2>/dev/null || fail "the installed program did not keep running"
[ -z "$(find "$prefix" -newer "$prefix/bin/quorvale" -type f)" ] || fail "the program wrote into its install prefix"
echo "installed program started from $prefix"
