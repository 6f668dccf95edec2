#!/usr/bin/env bash
# The main job, on an installation directory made by `cmake --install`:
# its commands run against the local example hub (examples/local_hub, on
# 127.0.0.1 and a free port; it stops at the end of the job, or by itself
# after 10 minutes), with the real downloaders of the installation.
#   1. the product search command with examples/scihub/box.sml, waiting:
#      HubFetch searches, downloads, verifies and unzips the products found
#      below /tmp/orbiscan_main_job/search;
#   2. the same search as a preview: the product list (CSV, GeoJSON) and an
#      SVG drawing of the footprints over the area, below .../preview;
#   3. the auxiliary files command with examples/sentinel_auxiliaries.sml:
#      AuxFetch fetches what the example products need into the four
#      folders below /tmp/orbiscan_aux_example.
# Without a display the terminal runs on a private virtual X server
# (xvfb-run).  Usage: run_main_job.sh <installation directory>
set -u
install_dir=$(cd "${1:?usage: run_main_job.sh <installation directory>}" && pwd)
examples=$(cd "$(dirname "$0")" && pwd)
work=/tmp/orbiscan_main_job
rm -rf "$work" && mkdir -p "$work"

export ORBISCAN_INIT_DIR="$install_dir"
export no_proxy="127.0.0.1${no_proxy:+,$no_proxy}" NO_PROXY="127.0.0.1${NO_PROXY:+,$NO_PROXY}"
launch=()
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then launch=(xvfb-run -a); fi

python3 "$examples/local_hub/local_hub.py" --aux --port-file "$work/hub.port" --log "$work/hub.log" \
  --lifetime 600 >"$work/hub.out" 2>&1 &
hub_pid=$!
trap 'kill $hub_pid 2>/dev/null' EXIT
for _ in $(seq 200); do [ -s "$work/hub.port" ] && break; sleep 0.1; done
[ -s "$work/hub.port" ] || { echo "the local hub did not start:"; cat "$work/hub.out"; exit 1; }
hub="http://127.0.0.1:$(cat "$work/hub.port")"
echo "local example hub: $hub"

# Runs one command of the service; its parameter file is $2.
run_command() {
  "${launch[@]}" "$install_dir/bin/sentinel_services" "$1#$2"
  local status=$?
  echo "exit status: $status"
  # After a failure the progress file holds the report (an earlier run's
  # error file may still lie beside it after a success).
  if [ $status -ne 0 ]; then
    for f in Process.working Process.working_error; do
      if [ -f "$install_dir/work/$f" ]; then echo "--- work/$f"; cat "$install_dir/work/$f"; fi
    done
  fi
  echo "--- work/Process.trace (last lines)"
  tail -n 6 "$install_dir/work/Process.trace" 2>/dev/null
  return $status
}

# Requests the hub served whose path holds $1.
served() { grep -c "\"path\": \"$1" "$work/hub.log" 2>/dev/null; }

# The search example pointed at the hub, its outputs below $1, waiting, with
# the preview flag $2.
search_parameters() {
  local folder=$1 preview=$2
  sed -e "s|<progress_file_name>[^<]*<|<progress_file_name>$folder/progress<|" \
      -e "s|<unzip_to_dir>[^<]*<|<unzip_to_dir>$folder/products/<|" \
      -e "s|<preview_only>[^<]*<|<preview_only>$preview<|" \
      -e "s|<unzip_files>[^<]*<|<unzip_files>OK<|" \
      -e "s|<wait_until_finish_flag>[^<]*<|<wait_until_finish_flag>OK<|" \
      -e "s|   <ORBSNT_USER_SCIHUB>|   <ORBSNT_SERVICE_SCIHUB>\n      <service_url>$hub</service_url>\n      <identity_url>$hub/auth/realms/CDSE/protocol/openid-connect/token</identity_url>\n      <download_url>$hub</download_url>\n   </ORBSNT_SERVICE_SCIHUB>\n&|" \
      "$examples/scihub/box.sml"
}

# 1. Product search and download.
step_search() {
  echo "=== 1. product search and download: main_scihub_get#"
  local folder="$work/search"
  mkdir -p "$folder"
  search_parameters "$folder" NotOK >"$folder/search.sml"
  run_command main_scihub_get "$folder/search.sml"
  local status=$?
  echo "--- query ($folder/progress_query.txt)"
  cat "$folder/progress_query.txt" 2>/dev/null
  echo "--- archives"
  ls -1 "$folder"/*.zip 2>/dev/null | sed 's|.*/|  |'
  echo "--- unzipped into $folder/products"
  ls -1 "$folder/products" 2>/dev/null | sed 's/^/  /'
  return $status
}

# 2. The same search as a preview.
step_preview() {
  echo "=== 2. product search, preview only"
  local folder="$work/preview"
  mkdir -p "$folder"
  search_parameters "$folder" OK >"$folder/search.sml"
  run_command main_scihub_get "$folder/search.sml"
  local status=$?
  echo "--- preview files"
  ls -1 "$folder"/progress_preview.* 2>/dev/null | sed 's/^/  /'
  echo "--- $folder/progress_preview.csv"
  cat "$folder/progress_preview.csv" 2>/dev/null
  return $status
}

# 3. Auxiliary files: the example's downloader section pointed at the hub.
step_auxiliaries() {
  echo "=== 3. auxiliary files: main_sentinel_auxiliaries#"
  local parameters="$work/sentinel_auxiliaries.sml" output=/tmp/orbiscan_aux_example
  sed "s|<ORBSNT_SERVICE_SENTINELQC>|&\n      <service_url>$hub</service_url>\n      <identity_url>$hub/auth/realms/CDSE/protocol/openid-connect/token</identity_url>\n      <download_url>$hub</download_url>\n      <bucket_url>$hub/s1-orbits</bucket_url>\n      <adf_url>$hub/api/v1</adf_url>\n      <username>example_user</username>\n      <password>example_password</password>|" \
    "$examples/sentinel_auxiliaries.sml" >"$parameters"
  run_command main_sentinel_auxiliaries "$parameters"
  local status=$?
  echo "--- arrived below $output"
  for folder in AUX_INS AUX_CAL AUX_POEORB AUX_RESORB; do
    echo "$folder:"
    ls -1 "$output/$folder" 2>/dev/null | sed 's/^/  /'
  done
  echo "--- served by the hub: $(served /odata/v1/Products\() from the Data Space, $(served /s1-orbits/AUX_) from the orbit bucket, $(served /download/) from the calibration service"
  return $status
}

failed=0
for step in step_search step_preview step_auxiliaries; do
  $step || failed=1
done
exit $failed
