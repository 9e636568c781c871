# Optimised builds get the hardening Debian builds its own packages with: the flags
# `dpkg-buildflags` gives with hardening=+all (fortify, stack protector, format checks, full
# RELRO with bind-now), plus stack-clash and control-flow protection, and PIE. A builder who
# passes flags of their own (CFLAGS, CXXFLAGS, LDFLAGS, as a Debian package build does, or the
# CMAKE_*_FLAGS variables) gets exactly those instead. Debug builds stay unhardened, since
# fortify needs optimisation (it warns at -O0, fatal under -Werror), and so do the sanitizer
# and fuzz builds, whose run-time replaces the checked library calls fortify brings in.
option(TONVELA_HARDENING "Harden optimised builds with Debian's compiler and linker flags" ON)

set(own_flags "$ENV{CFLAGS}$ENV{CXXFLAGS}$ENV{CPPFLAGS}$ENV{LDFLAGS}")
string(APPEND own_flags "${CMAKE_C_FLAGS}${CMAKE_CXX_FLAGS}${CMAKE_EXE_LINKER_FLAGS}")
if(NOT TONVELA_HARDENING OR TONVELA_SANITIZE OR TONVELA_TSAN OR TONVELA_FUZZ)
  return()
endif()
if(NOT own_flags STREQUAL "")
  message(STATUS "Hardening: the builder's own flags are used as given")
  return()
endif()

# Debian 12's set, for systems without dpkg-buildflags.
set(hardening_compile -fstack-protector-strong -Wformat -Werror=format-security -Wdate-time -D_FORTIFY_SOURCE=2)
set(hardening_link -Wl,-z,relro -Wl,-z,now)
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(DPKG_BUILDFLAGS)
  set(hardening_compile)
  set(hardening_link)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${DPKG_BUILDFLAGS} --get ${kind}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    foreach(f ${flags})
      # Optimisation, debug information and source paths stay the build type's business.
      if(f MATCHES "^-(O|g|ffile-prefix-map=|fdebug-prefix-map=)")
        continue()
      endif()
      if(kind STREQUAL "LDFLAGS")
        list(APPEND hardening_link ${f})
      else()
        list(APPEND hardening_compile ${f})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES hardening_compile)
endif()
# Later Debian releases add these two; the compiler may not know them on every architecture.
include(CheckCXXCompilerFlag)
foreach(f -fstack-clash-protection -fcf-protection)
  string(MAKE_C_IDENTIFIER "HAVE${f}" have)
  check_cxx_compiler_flag(${f} ${have})
  if(${have} AND NOT f IN_LIST hardening_compile)
    list(APPEND hardening_compile ${f})
  endif()
endforeach()

set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
foreach(f ${hardening_compile})
  add_compile_options("$<${optimised}:${f}>")
endforeach()
foreach(f ${hardening_link})
  add_link_options("$<${optimised}:${f}>")
endforeach()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()
