#!/usr/bin/env bash
# A study spread over three MPI ranks writes the same results table, byte for byte, as the
# same study on threads.
set -euo pipefail
batch=$1
study=$2
mpiexec=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$batch" --study "$study" --out "$work/threads" --quiet
# Root may start ranks only when told to (CI runs as root).
as_root=()
[ "$(id -u)" -eq 0 ] && as_root=(--allow-run-as-root)
"$mpiexec" --oversubscribe "${as_root[@]}" -n 3 "$batch" --study "$study" --out "$work/ranks" --quiet
cmp "$work/threads/results.csv" "$work/ranks/results.csv"
cmp "$work/threads/results.json" "$work/ranks/results.json"
rows=$(wc -l < "$work/ranks/results.csv")
[ "$rows" -eq 13 ] || { echo "expected 12 rows and a header, got $rows lines"; exit 1; }
