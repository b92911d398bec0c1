#!/usr/bin/env bash
# Kills a study, a fit and an import with SIGKILL at ten random moments each, and checks that
# every output is the earlier file or the new one, never partial and never a mix of the two
# runs, and that --resume completes a killed study into the table of one never stopped, byte for
# byte. Then stops long runs with SIGINT and SIGTERM at random moments: each ends with status 130
# and every earlier output as it was, or, where the signal came as the files were being renamed,
# with status 0 and every output new. Runs over the shipped catalogue, with the user's catalogue
# in a folder of its own.
set -euo pipefail
batch=$(realpath "$1")
data=$(realpath "$2")
kills=${3:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export XDG_DATA_HOME=$work/data LC_ALL=C
status=0
fail() {
  echo "FAIL: $*"
  status=1
}

# Starts the command in the background, kills it after a random part of `duration` ms (the
# length of an uninterrupted run) and waits for it.
kill_at_random() {
  local duration=$1
  shift
  # A shell starts a background job with SIGINT ignored; a user's Ctrl-C reaches a program that
  # has not, so the job gets the default back.
  env --default-signal=INT "$@" >/dev/null 2>&1 &
  local pid=$!
  local delay=$((RANDOM % duration))
  sleep "$((delay / 1000)).$(printf '%03d' $((delay % 1000)))"
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

elapsed_ms() {
  local start
  start=$(date +%s%N)
  "$@" >/dev/null
  echo $((($(date +%s%N) - start) / 1000000 + 1))
}

# Whether every file of the list is the same in both folders.
same_files() {
  local a=$1 b=$2
  shift 2
  for file in "$@"; do cmp -s "$a/$file" "$b/$file" || return 1; done
}

# The study: a table killed anywhere holds rows of the uninterrupted table only, its copy in JSON
# has as many rows, and --resume completes it.
printf '{"vary": [{"input": "PassCount", "from": 100, "to": 119, "steps": 19}]}\n' >s.json
study=("$batch" "$data/p1/case.json" --study s.json --jobs 1 -q)
duration=$(elapsed_ms "${study[@]}" --out whole)
for ((i = 1; i <= kills; i++)); do
  rm -rf m
  kill_at_random "$duration" "${study[@]}" --out m
  if [ -f m/results.csv ]; then
    same_files m whole study.json inputs.json || fail "study $i: study.json or inputs.json mixed"
    # A kill in the instant between two renames may leave results.json a checkpoint ahead.
    rows=$(($(wc -l <m/results.csv) - 1))
    [ "$(grep -c '"point"' m/results.json)" -ge "$rows" ] || fail "study $i: the tables differ"
    while IFS= read -r line; do
      grep -qxF -- "$line" whole/results.csv || fail "study $i: a row not of this study: $line"
    done <m/results.csv
    "${study[@]}" --out m --resume || fail "study $i: --resume failed"
  else
    # A kill between two renames may have left part of the set: the study starts again over it.
    "${study[@]}" --out m --force || fail "study $i: the study failed after the kill"
  fi
  same_files m whole results.csv results.json study.json inputs.json ||
    fail "study $i: the completed table differs from the uninterrupted one"
done

# The fit: its five files are all those of the earlier fit or all those of the new one.
for record in old new; do
  awk -v k=$([ $record = old ] && echo 2 || echo 3) 'BEGIN {
    print "time;curvature"
    for (i = 1; i < 200; i++) printf "%.3f;%.6f\n", i * 0.06, 0.0001 * k * sqrt(i)
  }' >$record.csv
done
fit=("$batch" "$data/p1/case.json" --fit-params coating.SigmaQ -q)
"${fit[@]}" --fit old.csv --out fit-old
duration=$(elapsed_ms "${fit[@]}" --fit new.csv --out fit-new)
outputs=(fit.json fitted.db fitted_case.json overlay.svg)
[ -f fit-old/overlay.png ] && outputs+=(overlay.png)
for ((i = 1; i <= kills; i++)); do
  rm -rf f
  cp -r fit-old f
  kill_at_random "$duration" "${fit[@]}" --fit new.csv --out f
  same_files f fit-old "${outputs[@]}" || same_files f fit-new "${outputs[@]}" ||
    fail "fit $i: the outputs mix two fits"
done

# The import: the user's catalogue reads as it was before the import, or with all of it.
awk 'BEGIN {
  print "Matériaux;Lambda;Rho;Cp;Tfusion;Lfusion;ModuleYoung;Poisson;dilat;SigmaQ;Source"
  for (i = 0; i < 3000; i++) printf "M%05d;1;1;1;1;1;1e9;0,3;1e-6;0;lot B\n", i
}' >big.csv
printf 'Matériaux;Lambda;Rho;Cp;Tfusion;Lfusion;ModuleYoung;Poisson;dilat;SigmaQ\nA;1;1;1;1;1;1e9;0,3;1e-6;0\n' >small.csv
rm -rf data
"$batch" --import-materials small.csv >/dev/null
"$batch" --export-materials before.csv >/dev/null
cp -r data data-before
duration=$(elapsed_ms "$batch" --import-materials big.csv)
"$batch" --export-materials after.csv >/dev/null
for ((i = 1; i <= kills; i++)); do
  rm -rf data
  cp -r data-before data
  kill_at_random "$duration" "$batch" --import-materials big.csv
  "$batch" --export-materials now.csv >/dev/null || fail "import $i: the catalogue cannot be read"
  cmp -s now.csv before.csv || cmp -s now.csv after.csv ||
    fail "import $i: the catalogue holds part of the import"
done

# Long runs stopped by Ctrl-C or SIGTERM: the one-pass model over a pass of three thousand
# lamellae, and the whole deposit with every output (history, summary and pictures).
# stop_at_random prints the exit status and when the signal had been sent.
stop_at_random() {
  local duration=$1 signal=$2
  shift 2
  # A shell starts a background job with SIGINT ignored; a user's Ctrl-C reaches a program that
  # has not, so the job gets the default back.
  env --default-signal=INT "$@" >/dev/null 2>&1 &
  local pid=$!
  local delay=$((RANDOM % duration))
  sleep "$((delay / 1000)).$(printf '%03d' $((delay % 1000)))"
  kill "-$signal" "$pid" 2>/dev/null || true
  local sent
  sent=$(date +%s.%N)
  local code=0
  wait "$pid" 2>/dev/null || code=$?
  echo "$code $sent"
}
declare -A runs=(
  [one-pass]="$data/p1/case.json --passes 1 --pass-thickness 3 --lamella-thickness 0.001"
  [whole-deposit]="$data/fit/whole20/case.json --passes 20 --lamella-thickness 0.25 --history h.csv"
)
for run in "${!runs[@]}"; do
  read -r -a args <<<"${runs[$run]}"
  args+=(--summary s.json --plots p -q)
  outputs=(Thermique.txt Stress.txt s.json p/arrow.svg p/cooling_global.svg)
  [ "$run" = whole-deposit ] && outputs+=(h.csv p/field.svg)
  mkdir -p "$run-old" "$run-new"
  (cd "$run-old" && "$batch" "${args[@]}" --heat-flux 400)
  duration=$(cd "$run-new" && elapsed_ms "$batch" "${args[@]}")
  for ((i = 1; i <= kills; i++)); do
    for signal in INT TERM; do
      rm -rf r
      cp -r "$run-old" r
      read -r code sent < <(cd r && stop_at_random "$duration" "$signal" "$batch" "${args[@]}")
      # A signal that comes before the program's first instruction kills it, as it would any
      # program (status 143 for SIGTERM): nothing was written then either.
      if [ "$code" = 130 ] || [ "$code" = 143 ]; then
        same_files r "$run-old" "${outputs[@]}" || fail "$run $signal $i: stopped, files changed"
        [ -z "$(find r -name '.*.??????')" ] || fail "$run $signal $i: temporary files left"
      elif [ "$code" = 0 ]; then
        same_files r "$run-new" "${outputs[@]}" || fail "$run $signal $i: the outputs mix two runs"
        # A signal is heard until the first rename: one sent well before it was ignored.
        first=$(cd r && stat -c %.9Z "${outputs[@]}" | sort -n | head -n 1)
        awk -v sent="$sent" -v first="$first" 'BEGIN { exit !(sent < first - 0.05) }' &&
          fail "$run $signal $i: the signal came $(awk -v s="$sent" -v f="$first" \
            'BEGIN { printf "%.3f", f - s }') s before the files were renamed, and was ignored"
      else
        fail "$run $signal $i: exit status $code"
      fi
    done
  done
done
exit $status
