#!/usr/bin/env bash
# Every benchmark of bench/, from one Release build of its own
# (build-bench/), printed as one Markdown block: each figure as a ratio to
# its peer measured in the same run, with the peak memory of both, and the
# machine it ran on.  Each benchmark's own report stays in
# build-bench/bench_logs/ (how to read them: bench/README.md).
#
#   bench/run_all.sh [--update-readme]
#
# --update-readme puts the block into README.md, between the lines
# "<!-- bench/run_all.sh: begin -->" and "<!-- bench/run_all.sh: end -->".
# Nothing else heavy should run meanwhile: the figures are ratios, but both
# peers share the machine's cores with whatever else runs.
set -euo pipefail
cd "$(dirname "$0")/.."
update=false
case "${1:-}" in
  --update-readme) update=true ;;
  "") ;;
  *) echo "usage: bench/run_all.sh [--update-readme]" >&2; exit 2 ;;
esac

build=build-bench
logs=$build/bench_logs
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DORBS_BUILD_BENCH=ON -DORBS_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null
cmake --install "$build" --prefix "$build/install" >/dev/null
rm -rf "$logs"
mkdir -p "$logs"

load=$(cut -d' ' -f1-3 /proc/loadavg)
benchmarks=(parameter_files map_transforms raster hubfetch search_command)
run() {
  local name=$1
  shift
  echo "running $name ..." >&2
  "$@" >"$logs/$name.txt" 2>"$logs/$name.err" || { cat "$logs/$name.err" >&2; echo "$name failed" >&2; exit 1; }
}
run parameter_files "$build/bench/orbs_parameter_file_bench"
run map_transforms "$build/bench/orbs_map_transform_bench"
run raster "$build/bench/orbs_raster_bench"
run hubfetch "$build/bench/orbs_hubfetch_bench"
run search_command bench/search_command_bench.sh "$build/install"

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
memory=$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)
block=$logs/block.md
{
  echo "Measured by \`bench/run_all.sh\` on $(nproc) cores ($cpu), $memory of memory, load average $load" \
       "before the run; Release build of $(git rev-parse --short HEAD 2>/dev/null || echo 'an unknown commit')," \
       "$(date -u +%Y-%m-%d)."
  echo
  echo "| benchmark | measure | ours | peer | time ours / peer | peak MB ours / peer |"
  echo "|---|---|---|---|---|---|"
  for name in "${benchmarks[@]}"; do
    grep '^RESULT|' "$logs/$name.txt" || { echo "$name gave no figures" >&2; exit 1; }
  done | awk -F'|' '
    function duration(s) { return s >= 1 ? sprintf("%.2f s", s) : s >= 0.001 ? sprintf("%.3g ms", s * 1000) : sprintf("%.3g us", s * 1e6) }
    { peaks = ($8 == "" && $9 == "") ? "" : ($8 == "" ? "-" : $8) " / " ($9 == "" ? "-" : $9)
      printf "| %s | %s | %s %s | %s %s | %.2f | %s |\n", $2, $3, $4, duration($5), $6, duration($7), $5 / $7, peaks }'
} >"$block"
cat "$block"

if $update; then
  python3 - "$block" README.md <<'PY'
import sys
block, readme = open(sys.argv[1]).read(), sys.argv[2]
begin, end = "<!-- bench/run_all.sh: begin -->\n", "<!-- bench/run_all.sh: end -->\n"
text = open(readme).read()
if text.count(begin) != 1 or text.count(end) != 1:
    sys.exit("README.md needs one pair of bench/run_all.sh markers")
head, rest = text.split(begin)
open(readme, "w").write(head + begin + block + end + rest.split(end, 1)[1])
PY
  echo "README.md updated" >&2
fi
