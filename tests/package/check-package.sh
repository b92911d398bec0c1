#!/usr/bin/env bash
# The Debian packages, when they have been built. quillane-batch needs neither Qt nor MPI (not in
# its Depends, not among the libraries its programs load); unpacked alone into a scratch root,
# its batch program finds the catalogue it ships, reproduces the reference case byte for byte,
# writes PNG pictures and fits the sample record it ships, its Python module imports and runs,
# and its guide names the installed examples. The desktop program and the MPI runner, each in a
# package of its own, depend on it, share no file with it, and run beside it. Exits 77 (skipped)
# when no package was built.
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
version=$3
python=${4:-}  # the interpreter the Python module is built for; none when it is not built
deb() { echo "$build/$1_${version}_$(dpkg --print-architecture).deb"; }
fail() {
  echo "$*"
  exit 1
}
headless=$(deb quillane-batch)
desktop=$(deb quillane)
mpi=$(deb quillane-mpi)
if [ ! -f "$headless" ]; then
  [ -f "$desktop" ] && fail "$desktop holds everything: no $(basename "$headless") beside it"
  echo "no package built: $headless"
  exit 77
fi
packages=("$headless")
[ -x "$build/quillane" ] && packages+=("$desktop")
[ -x "$build/quillane-batch-mpi" ] && packages+=("$mpi")

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
# No user materials of the machine's user reach the check, and no display either.
export XDG_DATA_HOME=$root/data
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
for package in "${packages[@]}"; do
  [ -f "$package" ] || fail "missing: $package"
  dpkg -x "$package" "$root/all"
done
dpkg -x "$headless" "$root/batch"

# Each package holds its own files, and no file is in two of them.
holds() {  # holds PACKAGE FILE...
  local name files
  name=$(basename "$1")
  files=$(dpkg-deb -c "$1" | awk '{print $NF}')
  shift
  for file in "$@"; do
    grep -qxF "./$file" <<<"$files" || fail "missing from $name: /$file"
  done
}
doc=usr/share/doc/quillane-batch
holds "$headless" usr/bin/quillane-batch usr/share/quillane/Brelon.db \
  usr/share/man/man1/quillane-batch.1.gz $doc/copyright $doc/changelog.gz $doc/README.md \
  $doc/examples/compare_record.py $doc/examples/whole20/case.json $doc/examples/whole20/record.csv
shared=$(for package in "${packages[@]}"; do dpkg-deb -c "$package" | grep -v '^d' |
  awk '{print $NF}'; done | sort | uniq -d)
[ -z "$shared" ] || fail "files in two packages: $shared"

depends() { dpkg-deb -f "$1" Depends; }
needs() {  # needs PACKAGE LIBRARY...: the package depends on each
  local package=$1
  shift
  for library in "$@"; do
    grep -q "$library" <<<"$(depends "$package")" ||
      fail "$(basename "$package") does not depend on $library: $(depends "$package")"
  done
}
needs "$headless" libsqlite3 libstdc++6 libcairo2
! grep -Eiq 'qt|mpi' <<<"$(depends "$headless")" ||
  fail "quillane-batch depends on Qt or MPI: $(depends "$headless")"
for program in "$root"/batch/usr/bin/quillane-batch "$root"/batch/usr/lib/python3/dist-packages/quillane/*.so; do
  [ -e "$program" ] || continue
  ! ldd "$program" | grep -Eiq 'libqt|mpi' || fail "$program loads Qt or MPI: $(ldd "$program")"
done

batch=$root/batch/usr/bin/quillane-batch
[ "$("$batch" --version)" = "quillane-batch $version" ]
"$batch" --list-materials | grep -qF "Materials in $root/batch/usr/share/quillane/Brelon.db:"
mkdir "$root/work"
cd "$root/work"
"$batch" "$source/tests/data/p1/case.json" --thermal thermique.txt --stress stress.txt \
  --plots pictures --plots-format png --quiet
cmp thermique.txt "$source/tests/data/p1/thermique.txt"
cmp stress.txt "$source/tests/data/p1/stress.txt"
for picture in arrow building_global building_zoom cooling_global cooling_zoom; do
  [ "$(head -c 4 "pictures/$picture.png" | tail -c 3)" = PNG ] || fail "$picture.png is no PNG"
done
examples=$root/batch/$doc/examples
"$batch" "$examples/whole20/case.json" --fit "$examples/whole20/record.csv" \
  --fit-params coating.SigmaQ --out fit --quiet \
  2>/dev/null
[ "$(head -c 4 fit/overlay.png | tail -c 3)" = PNG ] || fail "the fit's overlay.png is no PNG"

# The installed guide names no path of the build tree, and every path it names in the package's
# documentation folder is there.
readme=$root/batch/$doc/README.md
! grep -nE 'build/(quillane|python)|tests/data/|docs/' "$readme" ||
  fail "the installed README names paths of the build tree"
for path in $(grep -oE "/$doc/[A-Za-z0-9_./-]*[A-Za-z0-9_/]" "$readme" | sort -u); do
  [ -e "$root/batch$path" ] || fail "the installed README names $path, which is not installed"
done

# The Python module imports from the unpacked tree with the system's interpreter, finds the
# catalogue the package ships and runs the default case.
if [ -n "$python" ]; then
  needs "$headless" python3-numpy
  curvature=$(PYTHONPATH="$root/batch/usr/lib/python3/dist-packages" "$python" -c \
    "import quillane; print(quillane.Catalogue().path); print(quillane.run(quillane.Case()).FinalCurvature)")
  [ "$(head -n 1 <<<"$curvature")" = "$root/batch/usr/share/quillane/Brelon.db" ] ||
    fail "the module opens $(head -n 1 <<<"$curvature")"
  [ "$(tail -n 1 <<<"$curvature")" = "$("$batch" --summary /dev/stdout --quiet |
    "$python" -c 'import json, sys; print(json.load(sys.stdin)["FinalCurvature"])')" ]
fi

app=org.quillane.Quillane
if [ -x "$build/quillane" ]; then
  holds "$desktop" usr/bin/quillane usr/share/applications/$app.desktop \
    usr/share/metainfo/$app.metainfo.xml usr/share/mime/packages/$app.xml \
    usr/share/icons/hicolor/scalable/apps/$app.svg usr/share/man/man1/quillane.1.gz \
    usr/share/doc/quillane/copyright usr/share/doc/quillane/changelog.gz
  needs "$desktop" "quillane-batch (= $version)" libqt6widgets6
  [ "$("$root/all/usr/bin/quillane" --version)" = "quillane $version" ]
  desktop-file-validate "$root/all/usr/share/applications/$app.desktop"
  appstreamcli validate --no-net --pedantic "$root/all/usr/share/metainfo/$app.metainfo.xml"
fi
if [ -x "$build/quillane-batch-mpi" ]; then
  holds "$mpi" usr/bin/quillane-batch-mpi usr/share/man/man1/quillane-batch-mpi.1.gz \
    usr/share/doc/quillane-mpi/copyright usr/share/doc/quillane-mpi/changelog.gz
  needs "$mpi" "quillane-batch (= $version)" libopenmpi
  [ "$("$root/all/usr/bin/quillane-batch-mpi" --version)" = "quillane-batch-mpi $version" ]
fi
echo "packages ${packages[*]} checked"
