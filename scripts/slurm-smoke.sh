#!/bin/bash
# Starts a one-node Slurm cluster on this machine (Debian's slurm-wlm and
# munge), submits deploy/slurm's array job over copies of the bundled samples
# and checks the merged batch summary. Needs root. Not part of the default
# tests: run it by hand after changing deploy/ or the batch options.
#   scripts/slurm-smoke.sh [BUILD_DIR]     (default: build)
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$repo/build}")
cli="$build/cli/kubelmar-cli"
[ -x "$cli" ] || { echo "slurm-smoke: no $cli (build kubelmar-cli first)" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "slurm-smoke: needs root" >&2; exit 1; }

if ! command -v slurmctld >/dev/null || ! command -v munged >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends slurm-wlm munge >/dev/null
fi

work=$(mktemp -d /tmp/kubelmar-slurm.XXXXXX)
conf=/etc/slurm/slurm.conf
host=$(hostname -s)
cpus=$(nproc)
cleanup() {
  scancel --user=root >/dev/null 2>&1 || true
  for pidfile in "$work"/slurmd.pid "$work"/slurmctld.pid "$work"/munged.pid; do
    [ -s "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null || true
  done
  [ -f "$conf.kubelmar-backup" ] && mv "$conf.kubelmar-backup" "$conf" || rm -f "$conf"
  [ "${made_cgroup_conf:-0}" = 1 ] && rm -f /etc/slurm/cgroup.conf
  [ "${passed:-0}" = 1 ] && rm -rf "$work"
  return 0
}
trap cleanup EXIT

# munge: a fresh key; its own socket and pid file under $work.
mkdir -p /etc/munge /run/munge "$work/munge"
[ -s /etc/munge/munge.key ] || dd if=/dev/urandom of=/etc/munge/munge.key bs=1024 count=1 status=none
chown -R munge:munge /etc/munge /run/munge "$work/munge" 2>/dev/null || true
chmod 0400 /etc/munge/munge.key
munged --force --pid-file="$work/munged.pid" 2>/dev/null || munged --force
sleep 1

# One node with every core; no cgroups (containers rarely allow them).
mkdir -p /etc/slurm "$work/spool/ctld" "$work/spool/d"
[ -f "$conf" ] && cp "$conf" "$conf.kubelmar-backup"
cat > "$conf" <<CONF
ClusterName=kubelmar-smoke
SlurmctldHost=$host
SlurmUser=root
AuthType=auth/munge
StateSaveLocation=$work/spool/ctld
SlurmdSpoolDir=$work/spool/d
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
NodeName=$host CPUs=$cpus State=UNKNOWN
PartitionName=smoke Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
# slurmd reads cgroup.conf even when no cgroup plugin is used.
made_cgroup_conf=0
[ -e /etc/slurm/cgroup.conf ] || { : > /etc/slurm/cgroup.conf; made_cgroup_conf=1; }
slurmctld
slurmd
for _ in $(seq 30); do sinfo -h -o %t 2>/dev/null | grep -q idle && break; sleep 1; done
sinfo -h -o %t | grep -q idle || { echo "slurm-smoke: the node never came up" >&2; tail "$work"/*.log >&2; exit 1; }

# Three shards over six meshes in two folders.
mkdir -p "$work/in/more"
for k in 1 2; do
  cp "$repo/samples/bunny.obj" "$work/in/bunny$k.obj"
  cp "$repo/samples/teapot.obj" "$work/in/more/teapot$k.obj"
done
cp "$repo/samples/bunny.obj" "$work/in/more/bunny3.obj"
cp "$repo/samples/teapot.obj" "$work/in/teapot3.obj"
export KUBELMAR_CLI="$cli" SBATCH_ARGS="--cpus-per-task=1"
merge=$("$repo/deploy/slurm/submit.sh" 3 "$work/in" "$work/out" -s 48 -m depth)
for _ in $(seq 120); do
  squeue -h -j "$merge" 2>/dev/null | grep -q . || break
  sleep 1
done

summary="$work/out/batch-summary.json"
echo "--- $summary"
cat "$summary"
grep -q '"done": 6,' "$summary" && grep -q '"failed": 0,' "$summary" || {
  echo "slurm-smoke: FAILED: the merged summary is not 6 done, 0 failed" >&2
  tail -n 5 "$work"/out/*.log >&2
  exit 1
}
for k in 1 2 3; do [ -f "$work/out/batch-summary-$k-of-3.json" ] || { echo "slurm-smoke: shard $k left no summary" >&2; exit 1; }; done
passed=1
echo "slurm-smoke: ok (3 array tasks and a merge job; $(find "$work/out" -name volume.json | wc -l) volumes)"
