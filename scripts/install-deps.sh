#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, when missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-svg-dev libgl-dev
  zlib1g-dev nettle-dev libfmt-dev
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev libedit-dev
  python3 xvfb xauth imagemagick qpdf poppler-utils libxml2-utils libreoffice-writer-nogui
  fonts-dejavu-core fonts-liberation locales-all
  # PDF text in every script: shaping, right-to-left order, font look-up and embedded subsets.
  libharfbuzz-dev libfribidi-dev libfontconfig-dev libfreetype-dev fonts-noto-core fonts-wqy-zenhei
  libcairo2-dev  # the PDF toolkit benchmark compares with its PDF surface
  # Other planners' readers, writers and schedulers the exchange formats are tested against.
  tj3 planner-data xsltproc python3-icalendar libreoffice-calc-nogui
  # The Debian package: the icons and man pages it holds, and the tools that check it.
  librsvg2-bin help2man dpkg-dev fakeroot lintian desktop-file-utils shared-mime-info
  libglib2.0-bin man-db
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
