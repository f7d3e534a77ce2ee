# Compiler flags shared by every target of the project.

# Our own code: all warnings, as errors.
add_library(spi_warnings INTERFACE)
target_compile_options(spi_warnings INTERFACE -Wall -Wextra -Werror)

# The plug-ins: no exceptions, no run-time type information, only the exports visible.
add_library(spi_plugin_flags INTERFACE)
target_compile_options(spi_plugin_flags INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>
  -fvisibility=hidden)
if(NOT WIN32)
  target_compile_definitions(spi_plugin_flags INTERFACE _FILE_OFFSET_BITS=64)
endif()

if(SPI_BUILD_FUZZ)
  # Everything is instrumented for coverage; the fuzz targets link libFuzzer's driver.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(SPI_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  # Everything built for Windows must run on a clean machine: the C and C++ support
  # libraries are linked in, so only KERNEL32.dll and msvcrt.dll are imported.
  add_link_options(-static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)
  # Plain 32-bit x86 code; faster paths are chosen at run time by a CPU check.
  add_compile_options(-march=i686 -mtune=generic)
endif()

# spi_plugin(<name> SOURCES ... DEF <file.def>): one plug-in library, <name>.spi.
function(spi_plugin name)
  cmake_parse_arguments(P "" "DEF" "SOURCES" ${ARGN})
  add_library(${name} SHARED ${P_SOURCES})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".spi")
  target_link_libraries(${name} PRIVATE spi_frame spi_warnings spi_plugin_flags)
  if(WIN32)
    target_sources(${name} PRIVATE ${P_DEF} ${PROJECT_SOURCE_DIR}/frame/dll_main.cpp)
  else()
    # The plug-in finds libwin32compat.so beside itself, as a DLL finds KERNEL32.
    set_target_properties(${name} PROPERTIES BUILD_RPATH "$ORIGIN" INSTALL_RPATH "$ORIGIN")
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_link_options(${name} PRIVATE -Wl,--no-undefined)
    endif()
  endif()
endfunction()
