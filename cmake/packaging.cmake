# What `cmake --install` puts in place, and the Windows zip that CPack makes of it.
include(GNUInstallDirs)
if(WIN32)
  # One folder for the zip: both programs and the manual page beside them.
  install(TARGETS Ferrolt ferrolt-cli RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/ferrolt-cli.1 ${PROJECT_SOURCE_DIR}/README.md
          DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win32)
else()
  install(TARGETS ferrolt-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/docs/ferrolt-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  set(CPACK_GENERATOR TGZ)
endif()
set(CPACK_PACKAGE_NAME Ferrolt)
set(CPACK_PACKAGE_VENDOR Ferrolt)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Moves mail out of a Microsoft Internet Mail store")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
