# Where `cmake --install` puts things, and the packages CPack makes of them.
#
# Linux (prefix /usr for a package):
#   bin/plclink-host, bin/ppi-sim
#   lib/<multiarch>/plclink/plclink.so and libkorvan.so beside it (the
#   module's link to the host library resolves there; plclink-host binds the
#   module's host functions to its own)
#   `cpack -G DEB` makes plclink_<version>_<arch>.deb of these.
# Windows (the cross-build), for integrators:
#   plclink.dll, VERSION.txt, INTEGRATION.txt, include/plclink/*.h
#   `cpack -G ZIP` makes plclink-<version>-win32.zip of these.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME plclink)
set(CPACK_PACKAGE_VENDOR "plclink")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Siemens S7-200 PPI driver module, its command-line host and a PLC simulator")
set(CPACK_PACKAGE_CONTACT "plclink maintainers <plclink@localhost>")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS plclink LIBRARY DESTINATION . RUNTIME DESTINATION .)
  set(_plclink_version_file ${CMAKE_BINARY_DIR}/VERSION.txt)
  file(WRITE ${_plclink_version_file}
    "plclink.dll ${PROJECT_VERSION} (${CMAKE_BUILD_TYPE} build, 32-bit Windows, Windows XP SP3 and later)\n")
  install(FILES ${_plclink_version_file} DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/integration.txt DESTINATION . RENAME INTEGRATION.txt)
  install(FILES ${CMAKE_SOURCE_DIR}/include/plclink/vpi.h ${CMAKE_SOURCE_DIR}/include/plclink/korvan.h
    DESTINATION include/plclink)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(PLCLINK_MODULE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/plclink)
  install(TARGETS plclink korvan LIBRARY DESTINATION ${PLCLINK_MODULE_INSTALL_DIR})
  foreach(tool plclink-host ppi-sim)
    if(TARGET ${tool})
      install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
  endforeach()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_SECTION misc)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1, libncurses6, libtinfo6")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "plclink-host loads the driver module (installed under /usr/lib/<arch>/plclink)\n and reads and writes S7-200 memory through it; ppi-sim simulates S7-200\n stations on a pseudo-terminal or serial port.")
endif()
include(CPack)
