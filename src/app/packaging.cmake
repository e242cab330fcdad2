# The Linux package: `cpack -G DEB` in the build folder makes a Debian package of everything
# installed. Besides the programs it carries what Debian asks of a package (the copyright in
# machine-readable form, the changelog and the manual pages, compressed with `gzip -9n` so that
# the same sources give the same bytes) and the AppStream metadata software centres list.
find_program(VKDC_GZIP gzip REQUIRED)
set(pkg ${CMAKE_BINARY_DIR}/package)
file(MAKE_DIRECTORY ${pkg})

configure_file(${PROJECT_SOURCE_DIR}/assets/vkdc.1 ${pkg}/vkdc.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/assets/changelog ${pkg}/changelog COPYONLY)
# vkdc-cli's page is written from its own --help, so it says what this build of it does.
add_custom_command(
  OUTPUT ${pkg}/vkdc-cli.1
  COMMAND ${PROJECT_SOURCE_DIR}/tools/cli-manpage.sh $<TARGET_FILE:vkdc-cli> ${PROJECT_VERSION}
          ${pkg}/vkdc-cli.1
  DEPENDS vkdc-cli ${PROJECT_SOURCE_DIR}/tools/cli-manpage.sh
  COMMENT "Writing the manual page of vkdc-cli"
  VERBATIM)
set(vkdc_compressed "")
foreach(file vkdc.1 vkdc-cli.1 changelog)
  add_custom_command(
    OUTPUT ${pkg}/${file}.gz
    COMMAND ${VKDC_GZIP} -9nkf ${pkg}/${file}
    DEPENDS ${pkg}/${file}
    VERBATIM)
  list(APPEND vkdc_compressed ${pkg}/${file}.gz)
endforeach()
add_custom_target(vkdc_package_docs ALL DEPENDS ${vkdc_compressed})

install(FILES ${PROJECT_SOURCE_DIR}/assets/copyright ${pkg}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${pkg}/vkdc.1.gz ${pkg}/vkdc-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/assets/example.velkor.vkdc.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_PACKAGE_NAME vkdc)
set(CPACK_PACKAGE_VENDOR "Velkor Tools Team")
set(CPACK_PACKAGE_CONTACT "Velkor Tools Team <support@velkor.example>")
# CPack puts the summary on the Description line and the text below it as the extended
# description.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "upgrade Velkor contact manager databases to a newer version")
set(CPACK_PACKAGE_DESCRIPTION
    "Velkor Database Convert takes the database files of Velkor, a Persian
contact manager, from version 1.0 to 2.0 and from 2.0 to 3.0. The files are
Jet 4 databases (.mdb, and .dbb backups) with a database password; they are
read and written by the program's own engine.

The package holds the windows (vkdc, in Persian, right to left), the same
conversion from a shell (vkdc-cli, which also looks into any Jet database)
and the two templates the conversions start from. The source is only read,
and the destination holds either its earlier file or the complete new
database.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY vkdc)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.velkor.example")
# The package's library needs come from the programs themselves.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-ui-core")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
