# The installed copy of a text file of the source tree (the README, an example): the paths it
# names in the build tree become those of the installed packages, and the README says so first.
#   cmake -DSOURCE=README.md -DOUTPUT=copy -DPREFIX=/usr -DDOC=/usr/share/doc/quillane-batch
#         -P InstalledCopy.cmake
file(READ ${SOURCE} text)
set(examples ${DOC}/examples)
# Longest first: a path is replaced once, whole.
foreach(pair
    "PYTHONPATH=build/python /usr/bin/python3|/usr/bin/python3"
    "examples/compare_record.py|${examples}/compare_record.py"
    "tests/data/fit/whole20|${examples}/whole20"
    "tests/data/p1/case.json|${examples}/case.json"
    "tests/data/study/small.json|${examples}/study.json"
    "tests/data/coats/case.json|${examples}/coats.json"
    "(docs/compare_record.png)|(examples/compare_record.png)"
    "build/quillane-batch|${PREFIX}/bin/quillane-batch"
    "`build/quillane |`${PREFIX}/bin/quillane ")
  string(FIND "${pair}" "|" bar)
  string(SUBSTRING "${pair}" 0 ${bar} from)
  math(EXPR bar "${bar} + 1")
  string(SUBSTRING "${pair}" ${bar} -1 to)
  string(REPLACE "${from}" "${to}" text "${text}")
endforeach()
get_filename_component(name ${SOURCE} NAME)
if(name STREQUAL "README.md")
  string(FIND "${text}" "\n" end)
  string(SUBSTRING "${text}" 0 ${end} title)
  string(SUBSTRING "${text}" ${end} -1 rest)
  set(text "${title}

This is the guide as the Debian packages install it: the batch program is
`${PREFIX}/bin/quillane-batch`, the Python module imports with `/usr/bin/python3`, and the
examples, the cases this guide runs and a sample in-situ record are in
`${examples}/`. The commands that start with `./quillane.sh`
and the folders `src/`, `tests/`, `bench/` and `fuzz/` belong to the source tree.${rest}")
endif()
file(WRITE ${OUTPUT} "${text}")
