#!/usr/bin/env bash
# Runs HubFetch by hand against the local example hub: a preview (product
# list as CSV and GeoJSON, SVG overview), then the download of the products
# with extraction.  Usage: run_hubfetch_example.sh <installation directory>
# The hub listens on 127.0.0.1 only and stops by itself after 5 minutes.
set -u
install_dir=$(cd "${1:?usage: run_hubfetch_example.sh <installation directory>}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=/tmp/orbiscan_hubfetch_example
rm -rf "$work" && mkdir -p "$work"

python3 "$here/local_hub.py" --port-file "$work/hub.port" --log "$work/hub.log" --lifetime 300 >"$work/hub.out" 2>&1 &
hub_pid=$!
trap 'kill $hub_pid 2>/dev/null' EXIT
for _ in $(seq 100); do [ -s "$work/hub.port" ] && break; sleep 0.1; done
hub="http://127.0.0.1:$(cat "$work/hub.port")"

# The hub's part of the search command's parameter file, pointed at the local hub.
cat >"$work/hubfetch.sml" <<PAR
<?xml version="1.0" ?>
<PARAMETERS_INFO_SCI_HUB_GET_CMD>
   <MAIN_SCI_HUB_GET_CMD>
      <OrbiscanEnvironment>IDL_ENVI_ENV</OrbiscanEnvironment>
      <progress_file_name>$work/progress</progress_file_name>
   </MAIN_SCI_HUB_GET_CMD>
   <ORBSNT_SERVICE_SCIHUB>
      <service_url>$hub</service_url>
      <identity_url>$hub/auth/realms/CDSE/protocol/openid-connect/token</identity_url>
      <download_url>$hub</download_url>
   </ORBSNT_SERVICE_SCIHUB>
   <ORBSNT_USER_SCIHUB>
      <username>example_user</username>
      <password>example_password</password>
   </ORBSNT_USER_SCIHUB>
</PARAMETERS_INFO_SCI_HUB_GET_CMD>
PAR
# The query the search command builds from examples/scihub/box.sml.
query='productType:"GRD" AND platformname:"Sentinel-1" AND sensorOperationalMode:"IW" AND polarisationMode:VV AND orbitDirection:"ASCENDING" AND (relativeOrbitNumber:"117") AND (footprint:"Intersects(POLYGON((12.00000 46.25000,10.50000 46.25000,10.50000 44.75000,12.00000 44.75000,12.00000 46.25000)))") AND (beginPosition:[2019-05-01T00:00:00.000Z TO 2019-05-31T23:59:59.999Z])'

echo "=== preview"
"$install_dir/bin/HubFetch" -p -c "$work/hubfetch.sml" -f "$work/progress" "$query"
echo "exit status: $?"
cat "$work/progress_preview.csv"
echo "=== download and extraction"
"$install_dir/bin/HubFetch" -u "$work/products" -c "$work/hubfetch.sml" -f "$work/progress" "$query"
status=$?
echo "exit status: $status"
echo "--- progress file"; cat "$work/progress"
echo "--- archives"; ls -l "$work"/*.zip
echo "--- extracted"; find "$work/products" -maxdepth 2 | sort
exit $status
