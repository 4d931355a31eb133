# Test code is built for compile speed: in the optimised tree the program's
# own libraries and plug-ins keep full optimisation, while the test sources,
# which mostly instantiate GoogleTest's templates, are compiled without
# optimisation.
set(PIXMILL_TEST_OPTIMIZE $<$<CONFIG:Release>:-O0>)

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
  target_compile_options(${NAME} PRIVATE ${PIXMILL_TEST_OPTIMIZE})
  target_compile_definitions(${NAME} PRIVATE
    PIXMILL_BIN_DIR="${PIXMILL_BIN_DIR}"
    PIXMILL_TEST_PLUGIN_DIR="${CMAKE_BINARY_DIR}/test-plugins"
    PIXMILL_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
  if(T_DEPENDS)
    add_dependencies(${NAME} ${T_DEPENDS})
  endif()
  add_test(NAME ${NAME} COMMAND ${NAME})
  set_property(GLOBAL APPEND PROPERTY PIXMILL_TEST_TARGETS ${NAME})
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

# Precompiled headers shared by the test programs. Much of a test source's
# compile time goes into GoogleTest, the standard library and Qt's widget
# headers; each test program reuses one precompiled set instead of parsing
# them again for every source. A set is only valid under the flags and
# definitions it was made with (Qt's definitions and -fPIC among them), so
# there is one per kind of test:
#   none     GoogleTest and the standard library, for tests without Qt;
#   core     the same headers, for tests whose libraries bring Qt but not its
#            widgets;
#   widgets  the same with Qt's core, image and widget headers.
# Which one a test takes is decided when the whole tree is configured, from
# everything it links, so libraries added after pixmill_add_test (Qt6::Test,
# pixmill_keep_qt_loaded) count too. A test with compile options of its own
# builds its own copy. -DCMAKE_DISABLE_PRECOMPILE_HEADERS=ON turns the sets
# off, which shows whether every test source still includes what it uses.
set(PIXMILL_TEST_PCH_PLAIN
  <gtest/gtest.h>
  <algorithm> <cmath> <cstdint> <cstdio> <cstdlib> <cstring> <filesystem>
  <fstream> <functional> <map> <memory> <random> <set> <sstream> <string>
  <vector>)
set(PIXMILL_TEST_PCH_QT
  ${PIXMILL_TEST_PCH_PLAIN}
  <QApplication> <QCheckBox> <QComboBox> <QDir> <QFile> <QImage> <QLabel>
  <QLineEdit> <QMenu> <QPushButton> <QRadioButton> <QSlider> <QSpinBox>
  <QString> <QTemporaryDir> <QWidget>)

# The program that makes one set: built with the flags of the tests that
# reuse it (the defines of pixmill_add_test, the kit's options, Qt's).
function(_pixmill_test_pch_donor KIND)
  set(donor pixmill_test_pch_${KIND})
  add_executable(${donor} ${CMAKE_SOURCE_DIR}/tests/support/pch_donor.cpp)
  set_target_properties(${donor} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/pch)
  target_link_libraries(${donor} PRIVATE pixmill_kit GTest::gtest GTest::gtest_main)
  target_compile_options(${donor} PRIVATE ${PIXMILL_TEST_OPTIMIZE})
  if(KIND STREQUAL "widgets")
    target_link_libraries(${donor} PRIVATE Qt6::Widgets)
    target_precompile_headers(${donor} PRIVATE ${PIXMILL_TEST_PCH_QT})
  elseif(KIND STREQUAL "core")
    target_link_libraries(${donor} PRIVATE Qt6::Core)
    target_precompile_headers(${donor} PRIVATE ${PIXMILL_TEST_PCH_PLAIN})
  else()
    target_precompile_headers(${donor} PRIVATE ${PIXMILL_TEST_PCH_PLAIN})
  endif()
  target_compile_definitions(${donor} PRIVATE
    PIXMILL_BIN_DIR="${PIXMILL_BIN_DIR}"
    PIXMILL_TEST_PLUGIN_DIR="${CMAKE_BINARY_DIR}/test-plugins"
    PIXMILL_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
endfunction()

# Which Qt linking the given libraries brings (none, core: Qt without the
# widgets, widgets): a walk over the libraries they pass on (link-only
# dependencies pass on no flags).
function(_pixmill_qt_level OUT)
  set(todo ${ARGN})
  set(seen "")
  set(level none)
  while(todo)
    list(POP_FRONT todo item)
    if(item IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${item})
    if(item STREQUAL "Qt6::Widgets")
      set(level widgets)
      break()
    elseif(item MATCHES "^Qt6::")
      set(level core)
      continue()
    endif()
    if(NOT TARGET ${item})
      continue()
    endif()
    get_target_property(deps ${item} INTERFACE_LINK_LIBRARIES)
    if(deps)
      foreach(dep IN LISTS deps)
        if(NOT dep MATCHES "^\\$<")
          list(APPEND todo ${dep})
        endif()
      endforeach()
    endif()
  endwhile()
  set(${OUT} ${level} PARENT_SCOPE)
endfunction()

# Runs once the whole tree is configured: gives every test program its set.
function(_pixmill_share_test_pch)
  get_property(tests GLOBAL PROPERTY PIXMILL_TEST_TARGETS)
  set(donors "")
  get_directory_property(common_options DIRECTORY ${CMAKE_SOURCE_DIR} COMPILE_OPTIONS)
  list(APPEND common_options ${PIXMILL_TEST_OPTIMIZE})
  foreach(test IN LISTS tests)
    get_target_property(libs ${test} LINK_LIBRARIES)
    _pixmill_qt_level(kind ${libs})
    get_target_property(options ${test} COMPILE_OPTIONS)
    if(NOT options STREQUAL common_options)
      if(kind STREQUAL "widgets")
        target_precompile_headers(${test} PRIVATE ${PIXMILL_TEST_PCH_QT})
      else()
        target_precompile_headers(${test} PRIVATE ${PIXMILL_TEST_PCH_PLAIN})
      endif()
      continue()
    endif()
    if(NOT kind IN_LIST donors)
      _pixmill_test_pch_donor(${kind})
      list(APPEND donors ${kind})
    endif()
    set_target_properties(${test} PROPERTIES
      PRECOMPILE_HEADERS_REUSE_FROM pixmill_test_pch_${kind})
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _pixmill_share_test_pch)
