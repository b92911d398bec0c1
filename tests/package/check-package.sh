#!/usr/bin/env bash
# The Debian package, when it has been built: unpacked into a scratch root, its batch program
# finds the catalogue it ships and reproduces the reference case byte for byte, and its desktop
# entry and AppStream metadata validate. Exits 77 (skipped) when no package was built.
set -euo pipefail
build=$1
source=$2
version=$3
python=${4:-}  # the interpreter the Python module is built for; none when it is not built
deb=$build/quillane_${version}_$(dpkg --print-architecture).deb
if [ ! -f "$deb" ]; then
  echo "no package built: $deb"
  exit 77
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
# No user materials of the machine's user reach the check.
export XDG_DATA_HOME=$root/data
app=org.quillane.Quillane
for file in usr/bin/quillane usr/bin/quillane-batch usr/share/quillane/Brelon.db \
  usr/share/applications/$app.desktop usr/share/metainfo/$app.metainfo.xml \
  usr/share/mime/packages/$app.xml usr/share/icons/hicolor/scalable/apps/$app.svg \
  usr/share/man/man1/quillane.1.gz usr/share/man/man1/quillane-batch.1.gz \
  usr/share/doc/quillane/copyright usr/share/doc/quillane/changelog.gz; do
  [ -f "$root/$file" ] || { echo "missing from the package: /$file"; exit 1; }
done

# Dependencies were computed from the libraries the programs link.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libsqlite3 libqt6widgets6 libstdc++6; do
  grep -q "$library" <<<"$depends" || { echo "Depends lacks $library: $depends"; exit 1; }
done

batch=$root/usr/bin/quillane-batch
[ "$("$batch" --version)" = "quillane-batch $version" ]
"$batch" --list-materials | grep -qF "Materials in $root/usr/share/quillane/Brelon.db:"

cd "$root"
"$batch" "$source/tests/data/p1/case.json" --thermal thermique.txt --stress stress.txt --quiet
cmp thermique.txt "$source/tests/data/p1/thermique.txt"
cmp stress.txt "$source/tests/data/p1/stress.txt"

# The Python module imports from the unpacked tree with the system's interpreter, finds the
# catalogue the package ships and runs the default case.
if [ -n "$python" ]; then
  grep -q "python3-numpy" <<<"$depends" || { echo "Depends lacks python3-numpy: $depends"; exit 1; }
  curvature=$(PYTHONPATH="$root/usr/lib/python3/dist-packages" "$python" -c \
    "import quillane; print(quillane.Catalogue().path); print(quillane.run(quillane.Case()).FinalCurvature)")
  [ "$(head -n 1 <<<"$curvature")" = "$root/usr/share/quillane/Brelon.db" ] ||
    { echo "the module opens $(head -n 1 <<<"$curvature")"; exit 1; }
  [ "$(tail -n 1 <<<"$curvature")" = "$("$batch" --summary /dev/stdout --quiet |
    "$python" -c 'import json, sys; print(json.load(sys.stdin)["FinalCurvature"])')" ]
fi

desktop-file-validate "$root/usr/share/applications/$app.desktop"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/$app.metainfo.xml"
echo "package $deb checked"
