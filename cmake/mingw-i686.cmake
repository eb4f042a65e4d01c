# Cross-build for 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686).
#   cmake -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
#
# The win32 thread model of the compiler: its runtime (libgcc, libstdc++)
# uses only functions Windows XP's kernel32 and msvcrt export, where the
# POSIX model's winpthread would import GetTickCount64 (Vista and later).
# Nothing here needs std::thread or std::mutex, which that model lacks. Every
# program and DLL links the compiler's runtime statically and needs only
# system DLLs (and the host's KORVAN.dll).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(PLCLINK_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${PLCLINK_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${PLCLINK_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${PLCLINK_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${PLCLINK_MINGW_PREFIX}-dlltool)
set(CMAKE_OBJDUMP ${PLCLINK_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${PLCLINK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(_plclink_static_runtime "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_plclink_static_runtime}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_plclink_static_runtime}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_plclink_static_runtime}")

# Programs built here run under Wine when tests or tools need them, with the
# wine command that WINE names at that time (default wine).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/run-under-wine.sh)

# Header-only libraries of the build machine (CLI11, from libcli11-dev) work
# for the target as they are: expose their own directory, never /usr/include.
get_property(_plclink_in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT _plclink_in_try_compile AND EXISTS /usr/include/CLI/CLI.hpp)
  set(_plclink_headers ${CMAKE_BINARY_DIR}/build-machine-headers)
  file(MAKE_DIRECTORY ${_plclink_headers})
  if(NOT EXISTS ${_plclink_headers}/CLI)
    file(CREATE_LINK /usr/include/CLI ${_plclink_headers}/CLI SYMBOLIC)
  endif()
  set(CLI11_INCLUDE_DIR ${_plclink_headers} CACHE PATH "CLI11 headers")
endif()
