#!/usr/bin/env bash
# The man pages kept in the repository name exactly the options each program's --help lists
# (the MPI runner's are those of quillane-batch, whose page it points to), and carry the
# project's version, which --version prints; both answer without a display, and so does an
# unknown option, with the usage and status 2.
set -euo pipefail
build=$1
source=$2
version=$3
status=0
for program in quillane-batch quillane quillane-batch-mpi; do
  [ -x "$build/$program" ] || { echo "$program not built: not checked"; continue; }
  page=$source/data/man/$program.1
  options_page=$source/data/man/${program%-mpi}.1
  grep -q "^\.TH .*\"Quillane $version\"" "$page" || {
    echo "$page does not carry the version $version"
    status=1
  }
  printed=$(env -u DISPLAY QT_QPA_PLATFORM= "$build/$program" --version)
  [ "$printed" = "$program $version" ] || {
    echo "$program --version prints \"$printed\", not \"$program $version\""
    status=1
  }
  from_help=$(env -u DISPLAY QT_QPA_PLATFORM= "$build/$program" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u)
  from_page=$(sed 's/\\-/-/g' "$options_page" | grep -oE -- '--[a-z][a-z-]*' | sort -u)
  if [ "$from_help" != "$from_page" ]; then
    echo "$program: options of --help and of its man page differ (< --help, > man page):"
    diff <(echo "$from_help") <(echo "$from_page") || true
    status=1
  fi
  rc=0
  told=$(env -u DISPLAY QT_QPA_PLATFORM= "$build/$program" --bogus 2>&1 >/dev/null) || rc=$?
  if [ "$rc" != 2 ] || ! grep -q -- "--bogus" <<<"$told"; then
    echo "$program --bogus without a display exits $rc, saying: $told"
    status=1
  fi
done
exit $status
