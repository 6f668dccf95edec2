#!/usr/bin/env bash
# The main job, on an installation directory made by `cmake --install`:
# its commands run against the local example hub (examples/local_hub, on
# 127.0.0.1 and a free port; it stops at the end of the job, or by itself
# after 10 minutes), with the real downloaders of the installation.
#   (a) the auxiliary files command with examples/sentinel_auxiliaries.sml:
#       AuxFetch fetches what the example products need into the four
#       folders below /tmp/orbiscan_aux_example.
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
  for f in Process.working Process.working_error; do
    if [ -f "$install_dir/work/$f" ]; then echo "--- work/$f"; cat "$install_dir/work/$f"; fi
  done
  echo "--- work/Process.trace (last lines)"
  tail -n 6 "$install_dir/work/Process.trace" 2>/dev/null
  return $status
}

# Requests the hub served whose path holds $1.
served() { grep -c "\"path\": \"$1" "$work/hub.log" 2>/dev/null; }

# (a) Auxiliary files: the example's downloader section pointed at the hub.
step_auxiliaries() {
  echo "=== (a) auxiliary files: main_sentinel_auxiliaries#"
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

step_auxiliaries
exit $?
