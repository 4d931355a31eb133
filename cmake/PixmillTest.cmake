# pixmill_add_test(NAME SOURCES ... [LIBS ...] [DEPENDS target ...])
#   One GoogleTest executable registered with CTest. Tests run with the
#   offscreen Qt platform and a private settings file, and know where the
#   runnable tree (build/bin) and the test-only plug-ins are.
function(pixmill_add_test NAME)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;DEPENDS" ${ARGN})
  add_executable(${NAME} ${T_SOURCES})
  set_target_properties(${NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main ${CMAKE_DL_LIBS})
  # The header-only helpers of tests/support (file_text.h) for every test.
  target_include_directories(${NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${NAME} PRIVATE
    PIXMILL_BIN_DIR="${PIXMILL_BIN_DIR}"
    PIXMILL_TEST_PLUGIN_DIR="${CMAKE_BINARY_DIR}/test-plugins"
    PIXMILL_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
  if(T_DEPENDS)
    add_dependencies(${NAME} ${T_DEPENDS})
  endif()
  add_test(NAME ${NAME} COMMAND ${NAME})
  set_tests_properties(${NAME} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PIXMILL_SETTINGS=${CMAKE_BINARY_DIR}/tests/${NAME}.ini;ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1"
    TIMEOUT 600)
endfunction()

# pixmill_add_test_plugin(NAME SOURCES ... [LIBS ...] [DIR subfolder])
#   A plug-in library that exists only for tests, built into build/test-plugins[/DIR].
function(pixmill_add_test_plugin NAME)
  cmake_parse_arguments(P "" "DIR" "SOURCES;LIBS" ${ARGN})
  add_library(${NAME} MODULE ${P_SOURCES})
  set(out ${CMAKE_BINARY_DIR}/test-plugins)
  if(P_DIR)
    set(out ${out}/${P_DIR})
  endif()
  set_target_properties(${NAME} PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON LIBRARY_OUTPUT_DIRECTORY ${out})
  target_link_libraries(${NAME} PRIVATE pixmill_kit ${P_LIBS})
  target_link_options(${NAME} PRIVATE -Wl,--no-undefined)
endfunction()

# pixmill_keep_qt_loaded(TARGET)
#   For tests that load the program's plug-ins: the plug-ins bring Qt with
#   them; as in the program, Qt stays loaded for the whole process instead of
#   being unloaded with the last plug-in (its start-up allocations would
#   otherwise show as leaks in the sanitizer build).
function(pixmill_keep_qt_loaded TARGET)
  target_link_libraries(${TARGET} PRIVATE Qt6::Widgets)
  target_link_options(${TARGET} PRIVATE -Wl,--no-as-needed)
endfunction()
