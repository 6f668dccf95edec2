#!/usr/bin/env bash
# Debian packages needed to build, test and run the Sentinel services.
set -euo pipefail
# Packages are installed as root: re-run through sudo when started as a user.
if [ "$(id -u)" -ne 0 ]; then exec sudo "$0" "$@"; fi
export DEBIAN_FRONTEND=noninteractive
packages=(
  # build and unit tests
  g++ cmake make libgtest-dev libgmock-dev libbenchmark-dev
  # libraries of the service
  libexpat1-dev libtiff-dev libgeotiff-dev libshp-dev libzip-dev
  # libraries of the downloaders
  libcurl4-openssl-dev libssl-dev nlohmann-json3-dev
  # the terminal and the tools the service and its tests run
  xterm xvfb xauth x11-utils tar gzip zip util-linux time
  # the local example hub, test oracles and peers of the benchmarks
  python3 curl gdal-bin proj-bin libxml2-utils valgrind
  # libFuzzer for the fuzz targets
  clang
  # cartography: PROJ runs the projections, GeographicLib's tools are test oracles
  libproj-dev geographiclib-tools
)
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
