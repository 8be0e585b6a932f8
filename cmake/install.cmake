# Installation: the engine under bin/ and its manual page under
# share/man/man6/ (section 6, games), below CMAKE_INSTALL_PREFIX.
include(GNUInstallDirs)
install(TARGETS ostrevalk RUNTIME DESTINATION bin)
install(FILES ${CMAKE_SOURCE_DIR}/docs/ostrevalk.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
