# Installation and the Debian packages: `cpack -G DEB` in the build tree, or `./quillane.sh package`.
# Three packages, so that a lab PC or a server scripts runs without Qt or MPI:
#   quillane-batch  the batch program, the Python module, the catalogue, the guide, the examples;
#   quillane        the desktop program (depends on quillane-batch);
#   quillane-mpi    the batch program whose studies spread over MPI ranks (depends on
#                   quillane-batch).
# Install rules without a component (the Python module's) go to quillane-batch.
include(GNUInstallDirs)

set(QUILLANE_DESKTOP ${CMAKE_SOURCE_DIR}/data/desktop)
set(QUILLANE_APP_ID org.quillane.Quillane)
set(QUILLANE_PACKAGE_PREFIX /usr)
# The guide and the examples lie in the documentation folder of the package that holds them.
set(QUILLANE_DOC ${CMAKE_INSTALL_DATADIR}/doc/quillane-batch)

install(TARGETS quillane-batch DESTINATION bin COMPONENT batch)
install(FILES ${QUILLANE_CATALOGUE} DESTINATION ${CMAKE_INSTALL_DATADIR}/quillane COMPONENT batch)
if(TARGET quillane)
  install(TARGETS quillane DESTINATION bin COMPONENT desktop)
  install(FILES ${QUILLANE_DESKTOP}/${QUILLANE_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT desktop)
  install(FILES ${QUILLANE_DESKTOP}/${QUILLANE_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT desktop)
  install(FILES ${QUILLANE_DESKTOP}/${QUILLANE_APP_ID}.mime.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${QUILLANE_APP_ID}.xml
          COMPONENT desktop)
  install(FILES ${QUILLANE_DESKTOP}/${QUILLANE_APP_ID}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT desktop)
endif()
if(TARGET quillane-batch-mpi)
  install(TARGETS quillane-batch-mpi DESTINATION bin COMPONENT mpi)
endif()

# Man pages and the Debian changelog are compressed without a timestamp, as Debian wants them.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(packaging ${CMAKE_BINARY_DIR}/packaging)
set(compressed)
foreach(source man/quillane.1 man/quillane-batch.1 man/quillane-batch-mpi.1 desktop/changelog)
  get_filename_component(name ${source} NAME)
  set(output ${packaging}/${name}.gz)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging}
    COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${CMAKE_SOURCE_DIR}/data/${source} > ${output}
    DEPENDS ${CMAKE_SOURCE_DIR}/data/${source}
    VERBATIM)
  list(APPEND compressed ${output})
endforeach()

# The README (also the guide the window's "Aide" menu opens) and the example script name the
# build tree's paths; their installed copies name the installed ones.
set(copies)
foreach(source README.md examples/compare_record.py)
  get_filename_component(name ${source} NAME)
  set(output ${packaging}/${name})
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR}/${source} -DOUTPUT=${output}
      -DPREFIX=${QUILLANE_PACKAGE_PREFIX} -DDOC=${QUILLANE_PACKAGE_PREFIX}/${QUILLANE_DOC}
      -P ${CMAKE_SOURCE_DIR}/cmake/InstalledCopy.cmake
    DEPENDS ${CMAKE_SOURCE_DIR}/${source} ${CMAKE_SOURCE_DIR}/cmake/InstalledCopy.cmake
    VERBATIM)
  list(APPEND copies ${output})
endforeach()
add_custom_target(packaging_files ALL DEPENDS ${compressed} ${copies})

set(man ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging}/quillane-batch.1.gz DESTINATION ${man} COMPONENT batch)
install(FILES ${packaging}/README.md ${packaging}/changelog.gz ${QUILLANE_DESKTOP}/copyright
        DESTINATION ${QUILLANE_DOC} COMPONENT batch)
# The examples, the cases the README runs and a sample in-situ record with its case.
install(FILES ${packaging}/compare_record.py ${CMAKE_SOURCE_DIR}/docs/compare_record.png
        DESTINATION ${QUILLANE_DOC}/examples COMPONENT batch)
install(FILES ${CMAKE_SOURCE_DIR}/tests/data/p1/case.json DESTINATION ${QUILLANE_DOC}/examples
        COMPONENT batch)
install(FILES ${CMAKE_SOURCE_DIR}/tests/data/study/small.json DESTINATION ${QUILLANE_DOC}/examples
        RENAME study.json COMPONENT batch)
install(FILES ${CMAKE_SOURCE_DIR}/tests/data/coats/case.json DESTINATION ${QUILLANE_DOC}/examples
        RENAME coats.json COMPONENT batch)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/tests/data/fit/whole20 DESTINATION ${QUILLANE_DOC}/examples
        COMPONENT batch)
# Every package has its copyright and changelog in its own documentation folder.
foreach(component desktop mpi)
  set(program quillane)
  set(package quillane)
  if(component STREQUAL mpi)
    set(program quillane-batch-mpi)
    set(package quillane-mpi)
  endif()
  if(TARGET ${program})
    install(FILES ${packaging}/${program}.1.gz DESTINATION ${man} COMPONENT ${component})
    install(FILES ${packaging}/changelog.gz ${QUILLANE_DESKTOP}/copyright
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_PACKAGE_NAME quillane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillane developers")
set(CPACK_PACKAGE_CONTACT "Quillane developers <developers@quillane.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Dependencies come from the libraries the programs link, as dpkg-shlibdeps finds them, and
# from the packages each one needs beside (CPack adds the first to the second).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(about "Quillane follows a thermally sprayed coating as it is laid on a flat plate,
lamella after lamella and pass after pass: the temperature history of the
plate and the deposit, then the residual stresses, the curvature and the
deflection during build-up and after the final cooling.")
# The synopsis is each description's first line; CPack indents the others and marks the empty
# ones.
set(CPACK_DEBIAN_BATCH_PACKAGE_NAME quillane-batch)
set(CPACK_DEBIAN_BATCH_DESCRIPTION
    "simulator of thermally sprayed coatings, without a display
${about}

This package holds the batch program quillane-batch for scripted runs,
parameter studies and fits to in-situ records, the Python module quillane,
the materials catalogue, the guide and examples. It needs no windowing
toolkit and no MPI.")
# The PNG pictures' text is set in DejaVu Sans.
set(CPACK_DEBIAN_BATCH_PACKAGE_RECOMMENDS "fonts-dejavu-core")
# The Python module is built for one version of the system's Python 3 and hands NumPy arrays.
if(QUILLANE_PYTHON)
  set(python ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR})
  math(EXPR next "${Python3_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_BATCH_PACKAGE_DEPENDS
      "python3 (>= ${python}~), python3 (<< ${Python3_VERSION_MAJOR}.${next}), python3-numpy")
  set(CPACK_DEBIAN_BATCH_PACKAGE_SUGGESTS "python3-matplotlib, python3-pandas")
endif()
set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME quillane)
set(CPACK_DEBIAN_DESKTOP_DESCRIPTION
    "simulator of thermally sprayed coatings, desktop program
${about}

This package holds the desktop program quillane: its input window, the grid
and chart of the thermal records, the stress views, parameter studies and
fits to in-situ records in windows.")
set(CPACK_DEBIAN_DESKTOP_PACKAGE_RECOMMENDS "fonts-dejavu-core, qt6-translations-l10n")
set(CPACK_DEBIAN_MPI_PACKAGE_NAME quillane-mpi)
set(CPACK_DEBIAN_MPI_DESCRIPTION
    "simulator of thermally sprayed coatings, studies over MPI ranks
${about}

This package holds quillane-batch-mpi, the batch program built with Open MPI:
its parameter studies spread over the ranks of an MPI job started by mpiexec
or by Slurm's srun.")
# mpiexec comes with Open MPI's programs; Slurm's srun serves as well.
set(CPACK_DEBIAN_MPI_PACKAGE_RECOMMENDS "openmpi-bin")
set(CPACK_PACKAGING_INSTALL_PREFIX ${QUILLANE_PACKAGE_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_COMPONENTS_ALL batch)
if(TARGET quillane)
  list(APPEND CPACK_COMPONENTS_ALL desktop)
endif()
if(TARGET quillane-batch-mpi)
  list(APPEND CPACK_COMPONENTS_ALL mpi)
endif()
include(CPack)
cpack_add_component(batch)
cpack_add_component(desktop DEPENDS batch)
cpack_add_component(mpi DEPENDS batch)
