#!/usr/bin/env bash
# A first import (no user catalogue yet) killed at random moments, or failing on a full file
# system, leaves either every row or none: the next program lists the materials, with all the
# imported rows or none of them, and a later import goes through.
set -euo pipefail
batch=$(realpath "$1")
kills=${2:-12}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export LC_ALL=C
rows=20000
status=0
fail() {
  echo "FAIL: $*"
  status=1
}

{
  echo "Matériaux,Lambda,Rho,Cp,Tfusion,Lfusion,ModuleYoung,Poisson,dilat,SigmaQ,Source"
  for ((i = 1; i <= rows; i++)); do echo "Imported $i,1,1000,500,1500,1e5,1e11,0.3,1e-5,1e8,row $i"; done
} >rows.csv

# How many of the user's rows the next program sees, or a fault when it cannot list them.
listed_rows() {
  local listing
  listing=$(XDG_DATA_HOME=$1 "$batch" --list-materials 2>&1) || {
    echo "refused: ${listing//$'\n'/ }"
    return
  }
  grep -c '^\* Imported ' <<<"$listing" || true
}

# After the fault: all or nothing, and the next import goes through.
check_home() {
  local home=$1 what=$2
  local seen
  seen=$(listed_rows "$home")
  [ "$seen" = 0 ] || [ "$seen" = "$rows" ] || fail "$what: the next listing saw $seen"
  XDG_DATA_HOME=$home "$batch" --import-materials rows.csv >/dev/null 2>&1 ||
    fail "$what: the next import failed"
  seen=$(listed_rows "$home")
  [ "$seen" = "$rows" ] || fail "$what: after a new import the listing saw $seen"
}

start=$(date +%s%N)
XDG_DATA_HOME=$work/whole "$batch" --import-materials rows.csv >/dev/null
duration=$((($(date +%s%N) - start) / 1000000 + 1))
for ((i = 1; i <= kills; i++)); do
  home=$work/home$i
  XDG_DATA_HOME=$home "$batch" --import-materials rows.csv >/dev/null 2>&1 &
  pid=$!
  delay=$((RANDOM % duration))
  sleep "$((delay / 1000)).$(printf '%03d' $((delay % 1000)))"
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  check_home "$home" "kill $i at $delay of $duration ms"
done

# A file system that fills up: the write fails (SIGXFSZ ignored, so the program sees it).
home=$work/full
if (
  trap '' XFSZ
  ulimit -f 64
  XDG_DATA_HOME=$home "$batch" --import-materials rows.csv >/dev/null 2>full.txt
); then
  fail "an import beyond the file size limit reported success"
fi
grep -q "materiaux.db" full.txt || fail "the failed import did not name the catalogue: $(cat full.txt)"
check_home "$home" "full file system"

[ "$status" = 0 ] && echo "$kills killed first imports and one on a full file system: all or nothing"
exit "$status"
