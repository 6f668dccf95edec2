#!/usr/bin/env bash
# Runs the main job on an installation directory made by `cmake --install`:
# the auxiliary files command with the example parameter file, then shows
# the exit status and what the run left in the working directory.
set -u
install_dir=$(cd "${1:?usage: run_main_job.sh <installation directory>}" && pwd)
examples=$(cd "$(dirname "$0")" && pwd)
parameters="$examples/sentinel_auxiliaries.sml"

export ORBISCAN_INIT_DIR="$install_dir"
# Short pause before an error report so that the example ends quickly.
export ORBISCAN_ERROR_PAUSE_SECONDS="${ORBISCAN_ERROR_PAUSE_SECONDS:-1}"

"$install_dir/bin/sentinel_services" "main_sentinel_auxiliaries#$parameters"
status=$?
echo "exit status: $status"
for f in Process.working Process.working_error; do
  if [ -f "$install_dir/work/$f" ]; then echo "--- work/$f"; cat "$install_dir/work/$f"; fi
done
echo "--- last lines of work/Process.trace"
tail -n 12 "$install_dir/work/Process.trace" 2>/dev/null
exit $status
