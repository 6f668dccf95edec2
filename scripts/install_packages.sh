#!/usr/bin/env bash
# Debian packages needed to build, test and run the Sentinel services.
set -euo pipefail
# Packages are installed as root: re-run through sudo when started as a user.
if [ "$(id -u)" -ne 0 ]; then exec sudo "$0" "$@"; fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
  g++ cmake make libgtest-dev libgmock-dev libbenchmark-dev \
  libexpat1-dev libtiff-dev libshp-dev libzip-dev \
  xterm xvfb xauth x11-utils gdal-bin proj-bin libxml2-utils tar gzip zip >/dev/null
# Cartography: PROJ runs the projections; GeographicLib's tools are test
# oracles (PROJ's proj-bin, gdal-bin and libshp-dev are installed above).
apt-get install -y -qq --no-install-recommends libproj-dev geographiclib-tools >/dev/null
