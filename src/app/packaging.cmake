# CPack: `cpack -G DEB` in the build folder makes a Debian package of everything installed.
set(CPACK_PACKAGE_NAME vkdc)
set(CPACK_PACKAGE_VENDOR "Velkor Tools Team")
set(CPACK_PACKAGE_CONTACT "Velkor Tools Team <support@velkor.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Velkor Database Convert: upgrades Velkor database files (1.0 to 2.0, 2.0 to 3.0)")
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
