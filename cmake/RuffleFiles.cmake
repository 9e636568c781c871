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
install(FILES ${ruffle_files} DESTINATION share/tonvela/ruffle COMPONENT convert)
