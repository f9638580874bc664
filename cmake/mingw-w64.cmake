# Cross build for 64-bit Windows with mingw-w64 (posix threads), tests run under
# Wine:  cmake -S . -B build-win --toolchain cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The 64-bit loader itself: the `wine` wrapper asks for a 32-bit Wine too.
find_program(COMPATTATORE_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT COMPATTATORE_WINE)
  find_program(COMPATTATORE_WINE NAMES wine64 wine)
endif()
if(COMPATTATORE_WINE)
  # Through a wrapper that tries again only a start Wine itself failed.
  set(CMAKE_CROSSCOMPILING_EMULATOR bash ${CMAKE_CURRENT_LIST_DIR}/../tests/windows/avvio_wine.sh
    ${COMPATTATORE_WINE})
endif()
