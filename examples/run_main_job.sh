#!/usr/bin/env bash
# Runs the main job on an installation directory made by `cmake --install`
# with -DORBS_INSTALL_EXAMPLE_DOWNLOADERS=ON: the auxiliary files command
# with the example parameter file.  The installation's AuxFetch is a
# STAND-IN that downloads nothing; it writes STAND_IN_AuxFetch.txt into each
# of the four folders.  Without a display the terminal runs on a private
# virtual X server (xvfb-run).
set -u
install_dir=$(cd "${1:?usage: run_main_job.sh <installation directory>}" && pwd)
examples=$(cd "$(dirname "$0")" && pwd)
parameters="$examples/sentinel_auxiliaries.sml"
output=/tmp/orbiscan_aux_example

export ORBISCAN_INIT_DIR="$install_dir"
launch=()
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then launch=(xvfb-run -a); fi

"${launch[@]}" "$install_dir/bin/sentinel_services" "main_sentinel_auxiliaries#$parameters"
status=$?
echo "exit status: $status"
for f in Process.working Process.working_error; do
  if [ -f "$install_dir/work/$f" ]; then echo "--- work/$f"; cat "$install_dir/work/$f"; fi
done
echo "--- output folders"
ls -l "$output" 2>/dev/null
cat "$output/AUX_INS/STAND_IN_AuxFetch.txt" 2>/dev/null
echo "--- work/Process.trace (last lines)"
tail -n 14 "$install_dir/work/Process.trace" 2>/dev/null
exit $status
