#!/usr/bin/env bash
# One entry point for a fresh machine: installs what is missing, builds, then
#   ./quillane.sh run    runs the default case (the desktop window when a display is there)
#   ./quillane.sh test   builds and passes the whole test suite
#   ./quillane.sh check  builds the optimised tree and runs its tests, the long ones left out
#   ./quillane.sh package   builds the Debian packages and checks them with lintian
#   ./quillane.sh screenshots [WIDTHxHEIGHT]   pictures of every window in build/screenshots
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"
if [ "${1:-run}" = package ]; then
  bash scripts/install-deps.sh --package
else
  bash scripts/install-deps.sh
fi

jobs=$(nproc 2>/dev/null || echo 2)
# Studies spread over MPI ranks where Open MPI is installed (the set-up installs it).
mpi=OFF
command -v mpicxx >/dev/null 2>&1 && mpi=ON
configure() {  # configure DIR [cmake options...]
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLANE_MPI=$mpi "$@" >/dev/null
}
build() {  # build DIR [cmake options...]: everything the tree holds
  configure "$@"
  cmake --build "$1" -j "$jobs"
}

case "${1:-run}" in
  run)
    # The programs and their catalogue only; `test` builds the rest of the tree.
    configure build
    cmake --build build -j "$jobs" --target programs
    shift || true
    if [ -n "${DISPLAY:-}" ] && [ -x build/quillane ]; then
      exec build/quillane "$@"
    fi
    exec build/quillane-batch "$@"
    ;;
  test)
    # The whole suite twice: an optimised build (with its Debian package, which the suite
    # checks), then one under AddressSanitizer and UndefinedBehaviorSanitizer; then the tests
    # that need no window and run threads (those over the studies and fits) under
    # ThreadSanitizer. MPI's own allocations are not this project's to check, so the sanitizer
    # builds leave it out, and the Python module too (an extension built with a sanitizer cannot
    # load in a plain interpreter). The sanitizer builds make what the tests run only (no
    # benchmark, no developers' program), with line tables rather than full debug information:
    # reports still name files and lines, and the trees build much faster. They compile each
    # folder's files together, all in one (a unity build), a third less work than one file at a
    # time. The long tests named in tests/LongTests.cmake repeat there what shorter tests run under
    # the sanitizers too: they run in the optimised tree only.
    build build
    (cd build && cpack -G DEB >/dev/null)
    (cd build && ctest --output-on-failure -j "$jobs")
    build build-sanitize -DQUILLANE_SANITIZE=ON -DQUILLANE_BENCH=OFF -DQUILLANE_TOOLS=OFF \
      -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DQUILLANE_MPI=OFF -DQUILLANE_PYTHON=OFF \
      -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=0
    (cd build-sanitize && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp" \
      ctest --output-on-failure -j "$jobs" -LE long)
    # -O1 as ThreadSanitizer's own documentation advises: reasonable speed, far less compiling.
    build build-tsan -DQUILLANE_TSAN=ON -DQUILLANE_GUI=OFF -DQUILLANE_BENCH=OFF \
      -DQUILLANE_TOOLS=OFF -DQUILLANE_MPI=OFF -DQUILLANE_PYTHON=OFF \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=0 \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
    (cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
      ctest --output-on-failure -j "$jobs" -LE long)
    ;;
  check)
    # Day to day: one tree, and the tests that take seconds rather than minutes; `test` runs
    # the long ones and the sanitizer trees too.
    build build
    (cd build && ctest --output-on-failure -j "$jobs" -LE long)
    ;;
  screenshots)
    configure build
    cmake --build build -j "$jobs" --target programs quillane-screenshots
    QT_QPA_PLATFORM=offscreen build/quillane-screenshots tests/data/p1/case.json \
      build/screenshots "${2:-1366x768}"
    ;;
  package)
    build build
    # The packages this build made, as CPack names them (quillane-batch, quillane, quillane-mpi).
    debs=$(cd build && cpack -G DEB | tee /dev/stderr |
      sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p')
    [ -n "$debs" ] || { echo "CPack made no package" >&2; exit 1; }
    status=0
    for deb in $debs; do
      echo "lintian $deb:"
      lintian --info --fail-on error,warning "$deb" || status=1
    done
    [ $status -eq 0 ] || { echo "lintian found errors or warnings" >&2; exit 1; }
    ;;
  *)
    echo "usage: $0 [run|test|check|package|screenshots]" >&2
    exit 2
    ;;
esac
