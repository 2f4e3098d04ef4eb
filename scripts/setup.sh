#!/bin/bash
# Installs every Debian package the project needs (build, tests, demo run). Idempotent.
set -euo pipefail
PKGS=(cmake ninja-build g++ pkg-config ccache
      qt6-base-dev qt6-webengine-dev qt6-tools-dev libqt6sql6-sqlite qt6-qpa-plugins libgl-dev libxkbcommon-dev
      libicu-dev libjpeg62-turbo-dev libxlsxwriter-dev zlib1g-dev libminizip-dev libhunspell-dev hunspell-ko
      libsqlite3-dev libcpp-httplib-dev libssl-dev postgresql libpq-dev
      libgtest-dev libgmock-dev
      qt6-translations-l10n
      xvfb xauth xdotool imagemagick fonts-noto-cjk curl time
      dpkg-dev file help2man lintian desktop-file-utils appstream librsvg2-bin
      libreoffice-calc-nogui clang libclang-rt-dev)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
