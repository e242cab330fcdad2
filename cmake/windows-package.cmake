# `cpack -G ZIP` in a Windows build folder makes vkdc-<version>-win64.zip: vkdc.exe (the
# windows) and vkdc-cli.exe, the two templates beside them (where both look for them) and the
# README. The repository has no licence file; one is added here once there is.
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)
if(EXISTS ${CMAKE_SOURCE_DIR}/LICENSE)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION .)
endif()
set(CPACK_PACKAGE_NAME vkdc)
set(CPACK_PACKAGE_VENDOR "Velkor Tools Team")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME vkdc-${PROJECT_VERSION}-win64)
set(CPACK_STRIP_FILES ON)
include(CPack)
