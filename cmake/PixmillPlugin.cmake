# add_pixmill_plugin(NAME KIND SOURCES ... [LIBS ...])
#   KIND is the run-time folder: Formats, Processing, Sources or Destinations.
#   Builds a MODULE library without the "lib" prefix into build/bin/<KIND>/,
#   with hidden visibility so that only the extern "C" entry points are exported.
function(add_pixmill_plugin NAME KIND)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${NAME} MODULE ${P_SOURCES})
  set_target_properties(${NAME} PROPERTIES
    PREFIX ""
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${PIXMILL_BIN_DIR}/${KIND})
  target_link_libraries(${NAME} PRIVATE pixmill_kit ${P_LIBS})
  target_link_options(${NAME} PRIVATE -Wl,--no-undefined)
  install(TARGETS ${NAME} LIBRARY DESTINATION lib/pixmill/${KIND})
endfunction()
