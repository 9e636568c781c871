# cpack: two Debian 12 packages from one build. tonvela-convert holds the command line, the data
# folder and its manual page, and links no Qt, so a server gets it without the desktop stack;
# tonvela adds the desktop program on top of it. dpkg-shlibdeps works out the libraries each
# program links (Debian's web-engine library brings its helper process along).
set(TONVELA_MAINTAINER "The Tonvela developers <tonvela@example.org>" CACHE STRING
    "Maintainer field of the Debian packages: a name and an e-mail address in angle brackets")
if(NOT TONVELA_MAINTAINER MATCHES "^[^<>@]*[^<>@ ] <[^<>@ ]+@[^<>@ ]+\\.[^<>@ .]+>$")
  message(FATAL_ERROR "TONVELA_MAINTAINER must read \"Name <address@example.org>\", not \"${TONVELA_MAINTAINER}\"")
endif()

set(package_convert tonvela-convert)
set(package_gui tonvela)
set(components convert)
if(TONVELA_GUI)
  list(APPEND components gui)
endif()

# /usr/share/doc/<package>/: the copyright (both packages ship the same sources' licences) and
# the change log from NEWS, compressed without time stamps as Debian wants.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
  COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/NEWS > ${CMAKE_BINARY_DIR}/doc/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/NEWS VERBATIM)
add_custom_target(tonvela_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog.gz)
foreach(c ${components})
  install(FILES packaging/copyright ${CMAKE_BINARY_DIR}/doc/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package_${c}} COMPONENT ${c})
  # lintian tags a package has reason to carry, one "# reason" line above each (none so far).
  if(EXISTS ${CMAKE_SOURCE_DIR}/packaging/lintian/${package_${c}})
    install(FILES packaging/lintian/${package_${c}}
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides COMPONENT ${c})
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tonvela)
set(CPACK_PACKAGE_VENDOR "The Tonvela developers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Debian's modes for folders, whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${components})
set(CPACK_COMPONENTS_GROUPING IGNORE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TONVELA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# "tonvela" depends on "tonvela-convert (= version)".
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_GUI_DEPENDS convert)

# The first line is the synopsis; the rest is wrapped to stay under 80 columns in dpkg's view.
set(CPACK_DEBIAN_CONVERT_PACKAGE_NAME tonvela-convert)
set(CPACK_DEBIAN_CONVERT_DESCRIPTION "turn audio files into SWF movies for web pages (command line)
Tonvela converts audio files (WAV, AIFF, AU, MP3, OGG, FLAC, M4A, WMA,
module music and more) into SWF (Flash) movies with streaming or event
sound, optionally with playback controls, and writes an HTML page that
embeds each movie, optionally with the Ruffle web player beside it.

This package holds the command-line tool tonvela-convert, for scripts and
servers, and the data both programs share: the movie templates, the
manual and the Ruffle web player. It needs no graphical libraries.")
set(CPACK_DEBIAN_CONVERT_PACKAGE_RECOMMENDS "xdg-utils")

set(CPACK_DEBIAN_GUI_PACKAGE_NAME tonvela)
set(CPACK_DEBIAN_GUI_DESCRIPTION "turn audio files into SWF movies for web pages (desktop program)
Tonvela converts audio files (WAV, AIFF, AU, MP3, OGG, FLAC, M4A, WMA,
module music and more) into SWF (Flash) movies with streaming or event
sound, optionally with playback controls, and writes an HTML page that
embeds each movie.

This package holds the desktop program: a list of files to convert,
options with a live preview of the controls, a sound recorder and a
preview of each converted movie. The command-line tool comes with the
tonvela-convert package.")
# Wayland sessions need Qt's Wayland platform plugin (X11's is part of libqt6gui6).
set(CPACK_DEBIAN_GUI_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")
include(CPack)
