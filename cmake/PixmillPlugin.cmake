# Every plug-in folder plugins/<name>/ has the same files:
#   <name>.cpp                the plug-in object and the exported entry points
#   <name>_settings.{h,cpp}   the stored settings block and its declaration
#   <name>_strings.{h,cpp}    help topics, and the texts by string id that the
#                             pane or several slots read (an operation's own
#                             texts stand in its table entry; a library
#                             without such texts has only the header)
#   <name>_pane.{h,cpp}       the settings or options panes (the only Qt widgets)
#   the algorithm files, which with the settings and strings form <name>_core.

# The plug-in libraries, declared once: each is a folder plugins/<name>/ and
# a test folder tests/plugins/<name>/. The root CMakeLists.txt adds the
# folders, and tests that load plug-ins from build/bin depend on the list.
# A new format or processing plug-in is added here and nowhere else.
set(PIXMILL_FORMAT_PLUGINS alderfmt birchfmt larchfmt hazelfmt rowanfmt aspenfmt)
set(PIXMILL_PROCESSING_PLUGINS cedarcol elmpass firscale oaktone pineturn)
set(PIXMILL_PLUGINS ${PIXMILL_FORMAT_PLUGINS} ${PIXMILL_PROCESSING_PLUGINS})

# add_pixmill_plugin_core(NAME SOURCES ... [LIBS ...] [OPTIONS ...])
#   The Qt-free static library of a plug-in (algorithms, settings, strings),
#   linked by the plug-in, its tests and its benchmark. The folder is its
#   public include directory; OPTIONS are extra compile options.
function(add_pixmill_plugin_core NAME)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS;OPTIONS" ${ARGN})
  add_library(${NAME} STATIC ${P_SOURCES})
  target_include_directories(${NAME} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${NAME} PUBLIC pixmill_kit ${P_LIBS})
  target_compile_options(${NAME} PRIVATE ${P_OPTIONS})
  set_target_properties(${NAME} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# add_pixmill_plugin(NAME KIND)
#   KIND is the run-time folder: Formats, Processing, Sources or Destinations.
#   Compiles <NAME>.cpp and <NAME>_pane.cpp into the object library
#   <NAME>_object (tests that need the plug-in object link it) and builds from
#   it, <NAME>_core and the pane kit a MODULE library without the "lib"
#   prefix into build/bin/<KIND>/, with hidden visibility so that only the
#   extern "C" entry points are exported.
function(add_pixmill_plugin NAME KIND)
  add_library(${NAME}_object OBJECT ${NAME}.cpp ${NAME}_pane.cpp)
  target_link_libraries(${NAME}_object PUBLIC ${NAME}_core pixmill_pane_kit)
  set_target_properties(${NAME}_object PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)

  add_library(${NAME} MODULE)
  set_target_properties(${NAME} PROPERTIES
    PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${PIXMILL_BIN_DIR}/${KIND})
  target_link_libraries(${NAME} PRIVATE ${NAME}_object)
  target_link_options(${NAME} PRIVATE -Wl,--no-undefined)
  install(TARGETS ${NAME} LIBRARY DESTINATION lib/pixmill/${KIND})
  set_property(GLOBAL APPEND PROPERTY PIXMILL_PLUGIN_TARGETS ${NAME})
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
