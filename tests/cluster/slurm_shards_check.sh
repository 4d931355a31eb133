#!/bin/sh
# pixmill-cli batch over a real Slurm array on a one-node cluster started
# here (scripts/slurm-local-cluster.sh): the four shards' outputs together
# equal one unsharded run byte for byte, every shard's log is complete,
# nothing is done twice, and the sharded gallery (array, then the pages
# step as a dependent job) equals the one-process gallery. The daemons are
# stopped at the end whatever happens. Skipped (77) without root, slurm-wlm
# or munge. Pictures: the mate-backgrounds photographs when installed, else
# twelve made here.
#
#   slurm_shards_check.sh BIN SOURCE_DIR WORK_DIR
set -u
bin=$(cd "$1" && pwd); src=$(cd "$2" && pwd); work="$3"
if [ "$(id -u)" != 0 ] || ! command -v slurmctld >/dev/null || ! command -v munged >/dev/null; then
    echo "needs root, slurm-wlm and munge: skipped"; exit 77
fi
rm -rf "$work"; mkdir -p "$work/in"
work=$(cd "$work" && pwd)
trap '"$src/scripts/slurm-local-cluster.sh" stop "$work/cluster"' EXIT INT TERM
export PATH="$bin:$PATH" PIXMILL_SETTINGS="$work/settings.ini"
export SLURM_CONF="$work/cluster/slurm.conf"

photos=$(ls /usr/share/backgrounds/mate/nature/*.jpg 2>/dev/null | head -n 12)
if [ -n "$photos" ]; then
    for photo in $photos; do ln -s "$photo" "$work/in/"; done
else
    for i in $(seq 1 12); do
        convert -seed "$i" -size "$((600 + 37 * i))x$((400 + 23 * i))" plasma:fractal \
            -quality 92 "$work/in/picture-$i.jpg"
    done
fi
count=$(ls "$work/in" | wc -l)

"$src/scripts/slurm-local-cluster.sh" start "$work/cluster" || exit 1

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run NAME [options]: one unsharded run and four array tasks, same options.
run() {
    name="$1"; shift
    pixmill-cli batch "$work/in" --out "$work/$name-one" --log "$work/$name-one.log" -q "$@"
    mkdir -p "$work/$name-logs"
    (cd "$work/$name-logs" && sbatch --wait --array=0-3 --output=task-%a.out \
        "$src/examples/slurm/pixmill-batch.sbatch" "$work/in" --out "$work/$name-four" "$@") \
        >/dev/null || fail "$name: an array task failed"
}
compare() { # name
    if ! diff -r "$work/$1-one" "$work/$1-four" >"$work/$1.diff"; then
        fail "$1: the shards' outputs differ from one run"; head -n 20 "$work/$1.diff"
    fi
    saved=0
    for log in "$work/$1-logs"/pixmill-*-[0-9]*.log; do
        grep -q "The number of unprocessed images : 0" "$log" || fail "$1: $log is not complete"
        n=$(sed -n 's/^The number of successfuly processed images : \([0-9]*\).*/\1/p' "$log")
        saved=$((saved + n))
    done
    [ "$saved" = "$count" ] || fail "$1: the shards saved $saved pictures, not $count once each"
}

photo_ops="--op Resample --set Resample.width=400 --set Resample.height=32767
    --set Resample.keepAspect=1 --format JPEG --thumbs 120x120 --smart-cut"
# shellcheck disable=SC2086
run files $photo_ops
compare files
# A failed task runs again alone with the same command: it writes its own
# pictures again (and nothing else), with the same bytes.
find "$work/files-four" -type f -exec touch -d 2000-01-01 {} +
(cd "$work/files-logs" && PIXMILL_SHARDS=4 sbatch --wait --array=2 --output=again-%a.out \
    "$src/examples/slurm/pixmill-batch.sbatch" "$work/in" --out "$work/files-four" $photo_ops) \
    >/dev/null || fail "files: task 2 run again failed"
diff -r "$work/files-one" "$work/files-four" >/dev/null || fail "files: task 2 run again differs"
rewritten=$(find "$work/files-four" -type f -newermt 2001-01-01 | wc -l)
[ "$rewritten" = $((count / 4 * 2)) ] ||
    fail "files: task 2 run again wrote $rewritten files, not its $((count / 4)) pictures and thumbnails"

# shellcheck disable=SC2086
run gallery $photo_ops --dest "HTML pages"
(cd "$work/gallery-logs" && sbatch --wait --output=pages.out \
    "$src/examples/slurm/pixmill-batch.sbatch" "$work/in" --out "$work/gallery-four" \
    $photo_ops --dest "HTML pages") >/dev/null || fail "gallery: the pages step failed"
compare gallery
[ -f "$work/gallery-four/index.htm" ] || fail "gallery: no index page"

[ "$failures" = 0 ] && echo "ok: $count pictures, 4 shards, files and gallery equal one run"
exit $((failures > 0))
