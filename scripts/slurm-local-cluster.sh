#!/bin/sh
# A one-node Slurm cluster on this machine, for trying array jobs (and for
# the test that runs pixmill-cli shards through it). Needs root and the
# Debian packages slurm-wlm and munge.
#
#   scripts/slurm-local-cluster.sh start DIR   writes DIR/slurm.conf, starts
#                                              munged (unless one answers),
#                                              slurmctld and slurmd; waits
#                                              until the node is idle
#   scripts/slurm-local-cluster.sh stop DIR    stops what start started
#
# While it runs: export SLURM_CONF=DIR/slurm.conf, then sbatch/squeue/sinfo.
set -eu
action="${1:-}"; dir="${2:-}"
if [ -z "$action" ] || [ -z "$dir" ]; then
    echo "usage: $0 start|stop DIR" >&2; exit 2
fi

stop_pid() { # pid file
    if [ -f "$1" ]; then
        pid=$(cat "$1")
        kill "$pid" 2>/dev/null || true
        for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
        kill -9 "$pid" 2>/dev/null || true
        rm -f "$1"
    fi
}

if [ "$action" = stop ]; then
    stop_pid "$dir/slurmd.pid"
    stop_pid "$dir/slurmctld.pid"
    stop_pid "$dir/munged.pid"
    exit 0
fi
[ "$action" = start ] || { echo "usage: $0 start|stop DIR" >&2; exit 2; }

mkdir -p "$dir/state" "$dir/spool"
dir=$(cd "$dir" && pwd)
host=$(hostname -s)
cpus=$(nproc)
cat > "$dir/slurm.conf" <<CONF
ClusterName=pixmill
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=${PIXMILL_SLURMCTLD_PORT:-16817}
SlurmdPort=${PIXMILL_SLURMD_PORT:-16818}
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
SchedulerType=sched/backfill
MpiDefault=none
ReturnToService=2
NodeName=$host NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=local Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF="$dir/slurm.conf"

# munge: the machine's own daemon when one answers, else ours.
if ! munge -n 2>/dev/null | unmunge >/dev/null 2>&1; then
    mkdir -p /run/munge
    chown munge:munge /run/munge 2>/dev/null || true
    munged --force --pid-file="$dir/munged.pid" --log-file="$dir/munged.log"
    for _ in $(seq 1 20); do munge -n 2>/dev/null | unmunge >/dev/null 2>&1 && break; sleep 0.25; done
fi

slurmctld -D -f "$dir/slurm.conf" > "$dir/slurmctld.out" 2>&1 &
echo $! > "$dir/slurmctld.pid"
slurmd -D -f "$dir/slurm.conf" -N "$host" > "$dir/slurmd.out" 2>&1 &
echo $! > "$dir/slurmd.pid"

# Ready when the node takes work.
for _ in $(seq 1 60); do
    state=$(sinfo -h -N -o %t 2>/dev/null || true)
    case "$state" in idle*|mix*) exit 0 ;; esac
    sleep 0.5
done
echo "slurm did not come up; logs in $dir" >&2
tail -n 20 "$dir/slurmctld.log" "$dir/slurmd.log" >&2 2>/dev/null || true
exit 1
