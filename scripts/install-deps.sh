#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Quorvale needs.
# Run as root (or through sudo). Quick when everything is already there.
set -euo pipefail

packages=(
  # build
  cmake g++ make pkg-config
  qt6-base-dev qt6-webengine-dev libgmime-3.0-dev libcups2-dev qtkeychain-qt6-dev libgl-dev
  # run
  qt6-qpa-plugins iputils-ping fonts-dejavu-core
  # Japanese, Chinese and Korean text in printed messages
  fonts-noto-cjk
  # tests: the IMAP server, TLS certificates, a private secret store, the reference client
  dovecot-imapd openssl dbus gnome-keyring libsecret-tools python3
  # tests: reading the text and title of the PDFs the program writes
  poppler-utils
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
