# Installation and the Debian package: `cpack -G DEB` in the build tree, or `./quillane.sh package`.
include(GNUInstallDirs)

set(QUILLANE_DESKTOP ${CMAKE_SOURCE_DIR}/data/desktop)
set(QUILLANE_APP_ID org.quillane.Quillane)

install(FILES ${QUILLANE_CATALOGUE} DESTINATION ${CMAKE_INSTALL_DATADIR}/quillane)
install(FILES ${QUILLANE_DESKTOP}/${QUILLANE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QUILLANE_DESKTOP}/${QUILLANE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${QUILLANE_DESKTOP}/${QUILLANE_APP_ID}.mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${QUILLANE_APP_ID}.xml)
install(FILES ${QUILLANE_DESKTOP}/${QUILLANE_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Man pages and the Debian changelog are compressed without a timestamp, as Debian wants them.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(compressed)
foreach(source man/quillane.1 man/quillane-batch.1 desktop/changelog)
  get_filename_component(name ${source} NAME)
  set(output ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${CMAKE_SOURCE_DIR}/data/${source} > ${output}
    DEPENDS ${CMAKE_SOURCE_DIR}/data/${source}
    VERBATIM)
  list(APPEND compressed ${output})
endforeach()
add_custom_target(packaging_files ALL DEPENDS ${compressed})
install(FILES ${CMAKE_BINARY_DIR}/packaging/quillane.1.gz ${CMAKE_BINARY_DIR}/packaging/quillane-batch.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The README is also the guide the window's "Aide" menu opens.
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz ${QUILLANE_DESKTOP}/copyright
        ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillane developers")
set(CPACK_PACKAGE_CONTACT "Quillane developers <developers@quillane.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "simulator of the build-up of thermally sprayed coatings")
# The synopsis is the summary above; CPack indents these lines and marks the empty one.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quillane follows a thermally sprayed coating as it is laid on a flat plate,
lamella after lamella and pass after pass: the temperature history of the
plate and the deposit, then the residual stresses, the curvature and the
deflection during build-up and after the final cooling.

The package holds the desktop program, the batch program for scripted runs,
the Python module quillane and the materials catalogue.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Dependencies come from the libraries the programs link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, qt6-translations-l10n")
# The Python module is built for one version of the system's Python 3 and hands NumPy arrays.
if(QUILLANE_PYTHON)
  set(python ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR})
  math(EXPR next "${Python3_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "python3 (>= ${python}~), python3 (<< ${Python3_VERSION_MAJOR}.${next}), python3-numpy")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-matplotlib, python3-pandas")
endif()
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
