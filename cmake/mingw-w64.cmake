# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the POSIX-threads
# variant: std::thread and Qt need it).
#
#   cmake --preset windows          (TAVRIN_WINDOWS_PREFIX names where the
#                                    Windows builds of SQLite, GoogleTest and
#                                    Qt are installed; scripts/windows.sh sets it)
# On Windows itself (Qt's MinGW kit) the build is native: nothing to set.
if(CMAKE_HOST_WIN32 OR CMAKE_HOST_SYSTEM_NAME STREQUAL "Windows")
  return()
endif()

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# The prefixes of the libraries built for Windows: a cache variable first,
# else the environment, so that try_compile's inner projects see it too.
if(NOT TAVRIN_WINDOWS_PREFIX AND DEFINED ENV{TAVRIN_WINDOWS_PREFIX})
  set(TAVRIN_WINDOWS_PREFIX "$ENV{TAVRIN_WINDOWS_PREFIX}")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVRIN_WINDOWS_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${TAVRIN_WINDOWS_PREFIX})
# Programs (moc, rcc, uic, the code generators) are the host's; libraries,
# headers and packages are Windows' only.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs made for Windows run here under Wine.
find_program(TAVRIN_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TAVRIN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVRIN_WINE})
endif()
