#!/bin/sh
# Installs everything Pixmill needs to build, test and run its demo on Debian 12.
# Idempotent: packages already present are left as they are.
set -e
SUDO=""
if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
PKGS="build-essential cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools \
libjpeg62-turbo-dev libtiff-dev libgtest-dev libgmock-dev libjpeg-turbo-progs libtiff-tools \
libpng-dev libgif-dev libwebp-dev libavif-dev webp libavif-bin imagemagick valgrind \
libexiv2-dev liblcms2-dev libxcb1-dev"
# Tests: an independent reader of EXIF and ICC profiles in every format,
# pngcheck (every PNG the tests write must pass it), and Python for the
# scripted checks (the sources' floor plan, pages in a browser).
PKGS="$PKGS libimage-exiftool-perl pngcheck python3"
# The free ICC profiles (Adobe RGB compatible, sRGB; a CMYK print profile
# from libgs-common) that the colour checks convert with.
PKGS="$PKGS icc-profiles-free libgs-common"
# Shipping: the Debian package's validators and manual pages, and a one-node
# Slurm cluster for the sharded batch test.
PKGS="$PKGS lintian desktop-file-utils appstream man-db slurm-wlm munge"
# Scanning: the scanner library, whose virtual test device the tests scan from.
PKGS="$PKGS libsane-dev libsane1"
if [ "${PIXMILL_WITH_DEMO:-0}" = "1" ]; then
  # The photographs, and a virtual screen (with a window manager for the
  # title bar) for the desktop program's screenshots.
  PKGS="$PKGS mate-backgrounds xvfb xdotool twm xfonts-base imagemagick"
fi
# Headless Chromium and a few HTML manuals, to judge pages written back (and
# the web galleries of the "HTML pages" destination, with PIXMILL_WITH_DEMO=1).
if [ "${PIXMILL_WITH_HTML_JUDGE:-0}" = "1" ]; then
  PKGS="$PKGS chromium tidy git-doc sqlite3-doc"
fi
if [ "${PIXMILL_WITH_BENCH:-0}" = "1" ]; then
  # The yardsticks: ImageMagick and vips; pngquant and its library for the
  # colour reduction (the library only for bench/cedarcol's liq_quantise);
  # cjpeg, numpy and scipy for bench/judges (SSIM, stripes, JPEG level 128).
  PKGS="$PKGS imagemagick libvips-tools pngquant libimagequant-dev libjpeg-turbo-progs"
  PKGS="$PKGS python3-numpy python3-scipy mate-backgrounds"
fi
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  $SUDO apt-get update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
fi
