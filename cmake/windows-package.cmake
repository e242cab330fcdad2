# The Windows packages, made in a Windows build folder:
#   cpack -G ZIP      vkdc-<version>-win64.zip, the portable form: unpack anywhere and run
#   cpack -G NSIS64   vkdc-<version>-win64.exe, the setup program (cmake/nsis/NSIS.template.in)
# Both hold what the install rules put in the top folder: vkdc.exe (the windows) and
# vkdc-cli.exe, the two templates beside them (where both look for them), the README and the
# licence; the setup program adds its uninstaller, a Start-menu entry and an entry in
# Add/Remove Programs.
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION .)

set(CPACK_PACKAGE_NAME vkdc)
set(CPACK_PACKAGE_VENDOR "Velkor Tools Team")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME vkdc-${PROJECT_VERSION}-win64)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)

# The setup program. It installs into "Program Files\Velkor Database Convert" and keeps one
# Add/Remove Programs entry under a key without a version, so that an upgrade replaces it.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_SOURCE_DIR}/cmake/nsis)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Velkor Database Convert")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Velkor Database Convert")
set(CPACK_NSIS_DISPLAY_NAME "Velkor Database Convert")
set(CPACK_NSIS_URL_INFO_ABOUT "https://www.velkor.example")
set(CPACK_NSIS_COMPRESSOR lzma)
# The program of the Start-menu entry, in the installation folder; empty: only vkdc-cli.exe is
# shipped, and the entry opens a command prompt for it.
set(CPACK_VKDC_START_PROGRAM "")
if(TARGET vkdc)
  set(CPACK_VKDC_START_PROGRAM vkdc.exe)
endif()
# The program's icon (.ico) for the setup program and its uninstaller; empty: NSIS's own.
set(CPACK_VKDC_ICON "")
if(TARGET vkdc)
  set(CPACK_VKDC_ICON ${VKDC_PROGRAM_ICON})
endif()

include(CPack)
