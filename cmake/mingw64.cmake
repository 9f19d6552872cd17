# Cross build for 64-bit Windows with MinGW-w64 (posix threads, as Qt needs).
# Qt, libxml2 and GoogleTest come from the prepared MinGW folder named by
# KELVO_MINGW_PREFIX (environment or cache), by default build-windows/mingw64;
# Qt's host tools (moc, uic, rcc) from the system's Qt of the same version.
# Programs run under Wine, so tests and test discovery work from ctest.
if(NOT KELVO_MINGW_PREFIX)
  if(DEFINED ENV{KELVO_MINGW_PREFIX} AND NOT "$ENV{KELVO_MINGW_PREFIX}" STREQUAL "")
    set(KELVO_MINGW_PREFIX "$ENV{KELVO_MINGW_PREFIX}")
  else()
    get_filename_component(KELVO_MINGW_PREFIX "${CMAKE_CURRENT_LIST_DIR}/../build-windows/mingw64"
                           ABSOLUTE)
  endif()
endif()
if(NOT EXISTS "${KELVO_MINGW_PREFIX}/lib/cmake/Qt6/qt.toolchain.cmake")
  message(FATAL_ERROR "No MinGW libraries in ${KELVO_MINGW_PREFIX}: set KELVO_MINGW_PREFIX or run scripts/windows")
endif()
# try_compile projects load this file again and need the same folder.
set(ENV{KELVO_MINGW_PREFIX} "${KELVO_MINGW_PREFIX}")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KELVO_MINGW_PREFIX)

include("${KELVO_MINGW_PREFIX}/lib/cmake/Qt6/qt.toolchain.cmake")
set(QT_HOST_PATH "/usr" CACHE PATH "Qt host tools of the build machine")
set(QT_HOST_PATH_CMAKE_DIR "/usr/lib/x86_64-linux-gnu/cmake" CACHE PATH "")

set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run")
# Test lists are read when the tests run, not at build time: a Wine start per
# test program at every build would cost more than the build.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
# -O2 as in the Linux build: GCC 12's -O3 warns falsely (array-bounds) in
# libstdc++, and warnings are errors.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
