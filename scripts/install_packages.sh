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
  xterm xvfb xauth x11-utils gdal-bin proj-bin libxml2-utils tar gzip zip \
  libcurl4-openssl-dev libssl-dev nlohmann-json3-dev python3 curl >/dev/null
