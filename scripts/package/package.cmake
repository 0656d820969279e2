# Installation and the Debian package.
#   cmake --install BUILD [--prefix /usr/local]
#   cpack --config BUILD/CPackConfig.cmake -G DEB   (in BUILD: velmora_VERSION_ARCH.deb)
include(GNUInstallDirs)

# The manual page and the changelog go compressed, as Debian installs them.
set(VELMORA_PACKAGE_FILES ${CMAKE_BINARY_DIR}/package)
foreach(file velmora.1 changelog)
  if(file STREQUAL "velmora.1")
    set(source ${CMAKE_SOURCE_DIR}/console/velmora.1)
  else()
    set(source ${CMAKE_SOURCE_DIR}/scripts/package/${file})
  endif()
  add_custom_command(OUTPUT ${VELMORA_PACKAGE_FILES}/${file}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORA_PACKAGE_FILES}
    COMMAND gzip -9nc ${source} > ${VELMORA_PACKAGE_FILES}/${file}.gz
    DEPENDS ${source} VERBATIM)
  list(APPEND VELMORA_COMPRESSED ${VELMORA_PACKAGE_FILES}/${file}.gz)
endforeach()
add_custom_target(velmora_documents ALL DEPENDS ${VELMORA_COMPRESSED})

install(TARGETS velmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${VELMORA_PACKAGE_FILES}/velmora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md scripts/package/copyright ${VELMORA_PACKAGE_FILES}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Velmora developers <developers@velmora.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "export MariaDB and MySQL tables, views and queries into files")
set(CPACK_PACKAGE_DESCRIPTION
  "Velmora reads one parameter file that names the server, the items to\n"
  "export and, per item, an output file and a template of export settings,\n"
  "connects once and writes each item as an Excel workbook (BIFF8 or XLSX),\n"
  "RTF, HTML, fixed-width text, CSV, DIF, SYLK, LaTeX, an XML data packet,\n"
  "dBASE III with memo file, PDF, an SQL script or JSON.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The client library is loaded when the program connects, so no linked
# library names it; DejaVu draws the text PDF embeds, Droid Sans Fallback its CJK.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libmariadb3")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-droid-fallback")
include(CPack)
