#!/usr/bin/env bash
# A study over MPI ranks stopped the ways a user or a batch system stops it (SIGTERM to every
# rank, as Slurm does before SIGKILL; Ctrl-C to mpiexec) keeps the rows it finished, and
# --resume completes them into the table of a study never stopped, byte for byte.
set -euo pipefail
batch=$1
case=$2
mpiexec=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export LC_ALL=C
printf '{"vary": [{"input": "PassCount", "from": 1000, "to": 1190, "steps": 19}]}\n' >s.json
study=("$batch" "$case" --study s.json -q)
"${study[@]}" --out whole
as_root=()
[ "$(id -u)" -eq 0 ] && as_root=(--allow-run-as-root)
status=0

for how in ranks mpiexec; do
  rm -rf "$how"
  "$mpiexec" --oversubscribe "${as_root[@]}" -n 3 "${study[@]}" --out "$how" >/dev/null 2>&1 &
  launcher=$!
  # Once a checkpoint holds two rows, the study is stopped halfway.
  for ((i = 0; i < 600; i++)); do
    [ -f "$how/results.csv" ] && [ "$(wc -l <"$how/results.csv")" -ge 3 ] && break
    sleep 0.05
  done
  if [ "$how" = ranks ]; then
    kill -TERM $(pgrep -P "$launcher") 2>/dev/null || true
  else
    kill -INT "$launcher" 2>/dev/null || true
  fi
  wait "$launcher" || true
  if [ ! -f "$how/results.csv" ]; then
    echo "stopped through $how: no finished row was kept"
    status=1
    continue
  fi
  kept=$(($(wc -l <"$how/results.csv") - 1))
  [ "$kept" -lt 20 ] || { echo "stopped through $how: the study ended before the stop"; status=1; }
  while IFS= read -r line; do
    grep -qxF -- "$line" whole/results.csv || { echo "stopped through $how: a row not of the study: $line"; status=1; }
  done <"$how/results.csv"
  "${study[@]}" --out "$how" --resume || { echo "stopped through $how: --resume failed"; status=1; }
  for file in results.csv results.json; do
    cmp -s "$how/$file" "whole/$file" || { echo "stopped through $how: $file differs after --resume"; status=1; }
  done
  echo "stopped through $how: $kept of 20 rows kept, the rest resumed"
done
exit $status
