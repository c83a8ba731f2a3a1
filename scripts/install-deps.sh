#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Quorvale needs.
# Run as root (or through sudo). Quick when everything is already there.
set -euo pipefail

packages=(
  # build
  cmake g++ make pkg-config
  qt6-base-dev qt6-webengine-dev libgmime-3.0-dev libcups2-dev qtkeychain-qt6-dev libgl-dev
  libqpdf-dev
  # run; mail comes in every script: Noto covers the world's alphabets (core) and Chinese,
  # Japanese and Korean (cjk), so no sender or subject shows as empty boxes
  qt6-qpa-plugins iputils-ping fonts-dejavu-core fonts-noto-core fonts-noto-cjk
  # tests: the IMAP server, TLS certificates, a private secret store, the reference client
  dovecot-imapd openssl dbus gnome-keyring libsecret-tools python3
  # tests: a private print server and a PDF text reader to look into printed jobs
  cups cups-client poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  exec sudo "$0" "$@"
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"
