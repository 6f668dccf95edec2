#!/usr/bin/env bash
# The product search command as a whole, against xmllint reading the same
# parameter file, in the same run.  The area is a 200-point shapefile (made
# here by ogr2ogr), every pause is 0, the command does not wait, and HubFetch
# is a downloader that does nothing, so what is measured is the service's own
# work: set-up, reading and checking the parameters, the shapefile, the
# query, the completed copy, starting the terminal and the closing routine.
#
# Usage: bench/search_command_bench.sh <installation directory> [runs]
# Prints the median wall time and the peak resident memory of each, and the
# ratio (and the line bench/run_all.sh collects).  Needs xterm (on a private
# X server when there is no display), ogr2ogr, xmllint and python3.
set -euo pipefail
install_dir=$(cd "${1:?usage: search_command_bench.sh <installation directory> [runs]}" && pwd)
runs=${2:-21}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A private installation with a HubFetch that does nothing.
cp -r "$install_dir" "$work/install"
printf '#!/bin/sh\nexit 0\n' >"$work/install/bin/HubFetch"
chmod +x "$work/install/bin/HubFetch"

# A 200-point ring (the last point closes it) around Lake Garda.
python3 - "$work/area.geojson" <<'PY'
import json, math, sys
ring = [[10.75 + 0.3 * math.cos(-2 * math.pi * i / 199), 45.65 + 0.2 * math.sin(-2 * math.pi * i / 199)] for i in range(199)]
ring.append(ring[0])
json.dump({"type": "FeatureCollection", "features": [{"type": "Feature", "properties": {},
           "geometry": {"type": "Polygon", "coordinates": [ring]}}]}, open(sys.argv[1], "w"))
PY
ogr2ogr -f 'ESRI Shapefile' "$work/area.shp" "$work/area.geojson"

here=$(cd "$(dirname "$0")/.." && pwd)
sed -e "s#<progress_file_name>[^<]*<#<progress_file_name>$work/run/progress<#" \
    -e "s#<wait_until_finish_flag>[^<]*<#<wait_until_finish_flag>NotOK<#" \
    -e "s#<preview_only>#<input_shape>$work/area.shp</input_shape>\n      <preview_only>#" \
    "$here/examples/scihub/box.sml" >"$work/search.sml"
sed -i 's#\\n      #\n      #' "$work/search.sml"

export ORBISCAN_INIT_DIR="$work/install" ORBISCAN_PAUSE_SCALE=0 ORBISCAN_ERROR_PAUSE_SECONDS=0
launch=()
if [ -z "${DISPLAY:-}" ]; then
  display=77
  while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
  Xvfb ":$display" -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill $xvfb_pid 2>/dev/null; rm -rf "$work"' EXIT
  export DISPLAY=":$display"
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
fi

# Wall time of each run (GNU time's own 10 ms resolution is too coarse for
# xmllint) and its peak resident memory, alternating the two commands.
python3 - "$runs" "$work/install/bin/sentinel_services" "main_scihub_get#$work/search.sml" "$work/search.sml" <<'PY'
import os, statistics, subprocess, sys, time
runs, service, command, parameters = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
memory = os.path.join(os.path.dirname(parameters), "memory.txt")
def measure(argv):
    # GNU time reports the peak of the program itself (a child started from
    # here would also count this interpreter's memory); its small start-up
    # is in both wall times.
    start = time.perf_counter()
    done = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", memory] + argv,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit("failed: " + " ".join(argv))
    return wall, int(open(memory).read().split()[-1])
results = {"search command": [], "xmllint --noout": []}
for _ in range(runs):
    results["search command"].append(measure([service, command]))
    results["xmllint --noout"].append(measure(["/usr/bin/xmllint", "--noout", parameters]))
print(f"{'':28} {'median ms':>10} {'peak RSS KB':>12}")
medians = {}
for name, values in results.items():
    medians[name] = statistics.median(v[0] for v in values) * 1000
    print(f"{name:28} {medians[name]:10.2f} {statistics.median(v[1] for v in values):12.0f}")
print(f"ratio (search / xmllint): {medians['search command'] / medians['xmllint --noout']:.1f}x")
peaks = {name: statistics.median(v[1] for v in values) / 1024 for name, values in results.items()}
print(f"RESULT|search command|a search with a 200-point shapefile|sentinel_services|{medians['search command'] / 1000:.6g}"
      f"|xmllint --noout|{medians['xmllint --noout'] / 1000:.6g}|{peaks['search command']:.3g}|{peaks['xmllint --noout']:.3g}")
PY
grep -q '(footprint:' "$work/run/progress_query.txt" || { echo "no footprint in the query" >&2; exit 1; }
