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
  xterm xvfb xauth x11-utils gdal-bin proj-bin libxml2-utils tar gzip zip valgrind util-linux >/dev/null
# clang with libFuzzer, for the fuzz targets (tests/fuzz).
apt-get install -y -qq --no-install-recommends clang >/dev/null
