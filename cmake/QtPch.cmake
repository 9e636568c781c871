# Precompiled Qt headers for the desktop program's code, its window tests and the window tools.
# Nearly every one of those files starts with Qt Widgets, and parsing its headers is most of the
# compile (about 4 of a window test's 5 CPU seconds). tonvela_ui precompiles them once per build
# tree; every other target that links tonvela_ui reuses that one file, because a precompiled
# header of each test program's own would cost more to build than it saves.
#
# Only large headers that rarely change belong in the list: never the program's own headers,
# whose every edit would then rebuild all of these targets. Qt Test stays out: tonvela_ui does
# not use it, and the tests' Qt Test macros would make the header unusable by the library.
# The core (no Qt) and the fuzz build (clang) compile as before.
option(TONVELA_PCH "Precompile the Qt Widgets headers for the desktop program and its window tests" ON)

set(TONVELA_QT_PCH_HEADERS <QtWidgets/QtWidgets> <memory> <optional> <string> <vector>)

# GCC only: with it ccache recognises the header CMake passes with -include and caches both its
# creation and the compiles that use it.
set(tonvela_pch_on OFF)
if(TONVELA_PCH AND TONVELA_GUI AND NOT TONVELA_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set(tonvela_pch_on ON)
endif()

# ccache hashes a precompiled header only when told that the header's macros and __DATE__/__TIME__
# may be trusted ("sloppiness"); without it every compile that uses the header is uncacheable.
# The setting is given to these targets' compiles only, on top of the caller's own.
set(tonvela_pch_launcher)
if(tonvela_pch_on AND CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
  find_program(TONVELA_ENV_PROGRAM env REQUIRED)
  set(sloppiness "pch_defines,time_macros,include_file_mtime,include_file_ctime")
  if(NOT "$ENV{CCACHE_SLOPPINESS}" STREQUAL "")
    string(PREPEND sloppiness "$ENV{CCACHE_SLOPPINESS},")
  endif()
  set(tonvela_pch_launcher ${TONVELA_ENV_PROGRAM} CCACHE_SLOPPINESS=${sloppiness} ${CMAKE_CXX_COMPILER_LAUNCHER})
endif()

# tonvela_qt_pch(TARGET): TARGET is tonvela_ui, which builds the header, or a target that links
# tonvela_ui and reuses it (its compile flags must match the library's, which they do for every
# program that links it: Qt's own -fPIC comes last on both).
function(tonvela_qt_pch target)
  if(NOT tonvela_pch_on)
    return()
  endif()
  if(target STREQUAL "tonvela_ui")
    target_precompile_headers(${target} PRIVATE ${TONVELA_QT_PCH_HEADERS})
  else()
    target_precompile_headers(${target} REUSE_FROM tonvela_ui)
  endif()
  if(tonvela_pch_launcher)
    set_property(TARGET ${target} PROPERTY CXX_COMPILER_LAUNCHER ${tonvela_pch_launcher})
  endif()
endfunction()
