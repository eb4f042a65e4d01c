# plclink.dll: the module for the 32-bit Windows host.
#  - exports VpiMain alone, undecorated (entry/plclink.def);
#  - imports err, KorMkClient, KorGetKorvanVer and KorRmClient from KORVAN.dll
#    through an import library made from entry/korvan.def (the host supplies
#    the DLL itself);
#  - carries the Tag Format dialog template and the version resource;
#  - links the compiler's runtime statically (see cmake/mingw-i686.cmake), so
#    that it needs nothing but system DLLs and KORVAN.dll.
enable_language(RC)

set(PLCLINK_KORVAN_DEF ${CMAKE_CURRENT_SOURCE_DIR}/entry/korvan.def)
set(PLCLINK_KORVAN_IMPORT_LIB ${CMAKE_CURRENT_BINARY_DIR}/libkorvan_imports.a)
if(NOT CMAKE_DLLTOOL)
  find_program(CMAKE_DLLTOOL NAMES ${CMAKE_C_COMPILER_TARGET}-dlltool i686-w64-mingw32-dlltool dlltool REQUIRED)
endif()
add_custom_command(
  OUTPUT ${PLCLINK_KORVAN_IMPORT_LIB}
  COMMAND ${CMAKE_DLLTOOL} --input-def ${PLCLINK_KORVAN_DEF} --dllname KORVAN.dll
          --output-lib ${PLCLINK_KORVAN_IMPORT_LIB}
  DEPENDS ${PLCLINK_KORVAN_DEF}
  COMMENT "Import library of KORVAN.dll"
  VERBATIM)
add_custom_target(korvan_imports DEPENDS ${PLCLINK_KORVAN_IMPORT_LIB})

# The file version is the project's version.
set(PLCLINK_RC_VERSION_MAJOR ${PROJECT_VERSION_MAJOR})
foreach(part MINOR PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    set(PLCLINK_RC_VERSION_${part} 0)
  else()
    set(PLCLINK_RC_VERSION_${part} ${PROJECT_VERSION_${part}})
  endif()
endforeach()
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/platform/windows/windows_version.rc.in
               ${CMAKE_CURRENT_BINARY_DIR}/windows_version.rc @ONLY)

target_sources(plclink PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/windows/windows_host_calls.c
  ${CMAKE_CURRENT_SOURCE_DIR}/entry/plclink.def
  ${CMAKE_CURRENT_SOURCE_DIR}/dialog/tag_format_template.rc
  ${CMAKE_CURRENT_BINARY_DIR}/windows_version.rc)
add_dependencies(plclink korvan_imports)
target_link_libraries(plclink PRIVATE plclink_core ${PLCLINK_KORVAN_IMPORT_LIB})
# VpiMain lives in the core library: pull it in (cdecl names carry a leading
# underscore on i386). Nothing else is exported: the .def file names the
# only export and automatic export of every global symbol is off.
target_link_options(plclink PRIVATE -Wl,-u,_VpiMain -Wl,--exclude-all-symbols)
# The oldest Windows it loads on is XP SP3: the header says 5.1, and
# scripts/windows/check-module-binary.sh holds every import to what XP's
# system DLLs export (scripts/windows/xp-imports.txt).
target_link_options(plclink PRIVATE
  -Wl,--major-os-version,5 -Wl,--minor-os-version,1
  -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,1)
set_target_properties(plclink PROPERTIES
  PREFIX "" OUTPUT_NAME plclink SUFFIX ".dll"
  LINK_DEPENDS "${PLCLINK_KORVAN_IMPORT_LIB};${CMAKE_CURRENT_SOURCE_DIR}/entry/plclink.def")
