#!/bin/sh
# The main job (60 photographs -> 800 px wide JPEG + 150 x 150 thumbnail) as
# a Slurm array of 1, 2 and 4 tasks on a one-node cluster started here, next
# to one plain pixmill-cli run with --jobs 1 and with one job per core.
# Prints files per second: the span from the first task's start to the last
# task's end (the work), and sbatch --wait's wall time (adds the
# scheduler's start-up and polling). Needs root, slurm-wlm and munge.
# Usage: bench/cluster/slurm-array.sh [build] [photo folder]
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
photos="${2:-/usr/share/backgrounds/mate/nature}"
work="$(mktemp -d /tmp/pixmill-slurm-bench-XXXXXX)"
trap '"$root/scripts/slurm-local-cluster.sh" stop "$work/cluster"; rm -rf "$work"' EXIT
export PATH="$build/bin:$PATH" PIXMILL_SETTINGS="$work/settings.ini"
export SLURM_CONF="$work/cluster/slurm.conf"

"$here/../sixty-photos.sh" "$photos" "$work/in"
set -- --format JPEG --op Resample --set Resample.width=800 --set Resample.height=32767 \
  --set Resample.keepAspect=1 --thumbs 150x150 -q
"$root/scripts/slurm-local-cluster.sh" start "$work/cluster"

now() { date +%s.%N; }
rate() { awk -v s="$2" -v e="$3" -v l="$1" 'BEGIN { printf "%-36s %6.2f files/s (%.2f s)\n", l, 60 / (e - s), e - s }'; }

for jobs in 1 "$(nproc)"; do
  rm -rf "$work/out"
  start=$(now); pixmill-cli batch "$work/in" --out "$work/out" --jobs "$jobs" "$@"; end=$(now)
  rate "one process, --jobs $jobs" "$start" "$end"
done
for tasks in 1 2 4; do
  rm -rf "$work/out" "$work/times"; mkdir -p "$work/times"
  submitted=$(now)
  sbatch --wait --quiet --array="0-$((tasks - 1))" --cpus-per-task=1 --output=/dev/null \
    --wrap "date +%s.%N > $work/times/\$SLURM_ARRAY_TASK_ID.start;
            pixmill-cli batch $work/in --out $work/out --jobs 1 $* \
              --shard \$SLURM_ARRAY_TASK_ID/$tasks --log $work/times/\$SLURM_ARRAY_TASK_ID.log;
            date +%s.%N > $work/times/\$SLURM_ARRAY_TASK_ID.end"
  finished=$(now)
  first=$(cat "$work"/times/*.start | sort -n | head -n 1)
  last=$(cat "$work"/times/*.end | sort -n | tail -n 1)
  rate "Slurm array, $tasks task(s), work span" "$first" "$last"
  rate "Slurm array, $tasks task(s), sbatch --wait" "$submitted" "$finished"
done
