# The Ruffle web player's files, copied from the pinned npm package (scripts/setup-deps.sh runs
# `npm ci`) into the data folder's ruffle/: the SWF preview serves them from there, and pages that
# ship Ruffle beside them copy it from there. Never fetched at build or run time.
set(TONVELA_RUFFLE_PACKAGE ${CMAKE_SOURCE_DIR}/node_modules/@ruffle-rs/ruffle)
file(GLOB ruffle_files CONFIGURE_DEPENDS
  ${TONVELA_RUFFLE_PACKAGE}/ruffle.js
  ${TONVELA_RUFFLE_PACKAGE}/core.ruffle.*.js
  ${TONVELA_RUFFLE_PACKAGE}/*.wasm
  ${TONVELA_RUFFLE_PACKAGE}/LICENSE*
  ${TONVELA_RUFFLE_PACKAGE}/package.json)
set(ruffle_out)
foreach(f ${ruffle_files})
  get_filename_component(name ${f} NAME)
  add_custom_command(OUTPUT ${TONVELA_DATA_BUILD_DIR}/ruffle/${name}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TONVELA_DATA_BUILD_DIR}/ruffle
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${f} ${TONVELA_DATA_BUILD_DIR}/ruffle/${name}
    DEPENDS ${f} VERBATIM)
  list(APPEND ruffle_out ${TONVELA_DATA_BUILD_DIR}/ruffle/${name})
endforeach()
if(NOT EXISTS ${TONVELA_RUFFLE_PACKAGE}/ruffle.js)
  message(STATUS "Ruffle not found in node_modules (run `npm ci`): no ruffle/ in the data folder, "
                 "so the program has no SWF preview")
endif()
add_custom_target(tonvela_ruffle ALL DEPENDS ${ruffle_out})
# Everything that uses the data folder gets the player too.
add_dependencies(tonvela_data tonvela_ruffle)
install(FILES ${ruffle_files} DESTINATION share/tonvela/ruffle COMPONENT webplayer)

# The hash of the ruffle.js we ship, for the integrity attribute of pages that load the default
# (pinned) address: the same file as the package at that address, so a browser refuses anything
# else served there. Only when the package is the version the address pins.
set(ruffle_js ${TONVELA_RUFFLE_PACKAGE}/ruffle.js)
if(EXISTS ${ruffle_js} AND EXISTS ${TONVELA_RUFFLE_PACKAGE}/package.json)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${ruffle_js} ${TONVELA_RUFFLE_PACKAGE}/package.json ${CMAKE_SOURCE_DIR}/src/convert/ConvertOptions.h)
  file(READ ${TONVELA_RUFFLE_PACKAGE}/package.json ruffle_package)
  string(JSON ruffle_version ERROR_VARIABLE ruffle_json_error GET "${ruffle_package}" version)
  file(STRINGS ${CMAKE_SOURCE_DIR}/src/convert/ConvertOptions.h pinned_line REGEX "kDefaultWebPlayerUrl = ")
  string(REGEX MATCH "ruffle@([0-9A-Za-z.+-]+)/ruffle\\.js" pinned_match "${pinned_line}")
  if(CMAKE_MATCH_1 STREQUAL ruffle_version)
    file(SHA384 ${ruffle_js} ruffle_js_sha384)
    target_compile_definitions(tonvela_convert PRIVATE TONVELA_RUFFLE_JS_SHA384="${ruffle_js_sha384}")
  else()
    message(WARNING "Ruffle ${ruffle_version} in node_modules is not the version the default web player "
                    "address pins (${CMAKE_MATCH_1}): pages loading it get no integrity attribute")
  endif()
endif()
