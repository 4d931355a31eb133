#!/bin/sh
# Submits a pixmill-cli batch as a Slurm array of TASKS shards; for the
# "HTML pages" destination also the pages step, which starts when every
# shard has succeeded. Prints the job ids.
#
#   examples/slurm/submit.sh TASKS INPUT... --out DIR [OPTIONS]
#   examples/slurm/submit.sh 8 photos/ --out web/ --dest "HTML pages" \
#       --op Resample --set Resample.width=800 --thumbs 150x150
set -eu
tasks="$1"; shift
here=$(dirname "$0")
array=$(sbatch --parsable --array="0-$((tasks - 1))" "$here/pixmill-batch.sbatch" "$@")
echo "$array"
for argument in "$@"; do
    if [ "$argument" = "HTML pages" ]; then
        sbatch --parsable --dependency="afterok:$array" "$here/pixmill-batch.sbatch" "$@"
        break
    fi
done
