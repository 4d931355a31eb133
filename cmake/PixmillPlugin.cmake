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

# pixmill_install_program(TARGET)
#   Installs a program into lib/pixmill/ (beside its Formats/ and Processing/
#   folders, which it finds from its own location) and links it from bin/.
function(pixmill_install_program TARGET)
  install(TARGETS ${TARGET} RUNTIME DESTINATION lib/pixmill)
  install(CODE "
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(CREATE_LINK ../lib/pixmill/${TARGET}
         \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${TARGET}\" SYMBOLIC)")
endfunction()
