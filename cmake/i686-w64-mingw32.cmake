# Cross-build for 32-bit Windows with mingw-w64; programs built here run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(_triple i686-w64-mingw32)
# The posix thread model gives the C++ library its threads (GoogleTest needs them);
# everything is linked statically, so nothing of it is imported at run time.
set(CMAKE_C_COMPILER   ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER  ${_triple}-windres)
set(CMAKE_OBJDUMP      ${_triple}-objdump CACHE FILEPATH "objdump for PE files")

set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and tools run through Wine, quietly, in the project's own prefix.
if(NOT DEFINED SPI_WINEPREFIX)
  get_filename_component(SPI_WINEPREFIX "${CMAKE_CURRENT_LIST_DIR}/../build/wineprefix" ABSOLUTE)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${SPI_WINEPREFIX} WINEDEBUG=-all wine)
