# kest_add_test(NAME <name> LABELS <label>... SOURCES <file>... [LIBS <target>...]
#               [TIMEOUT <seconds>])
# Builds one GoogleTest executable, registers its cases with CTest under the
# given labels and runs them headless.
find_package(GTest REQUIRED)
include(GoogleTest)

function(kest_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "LABELS;SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  kest_warnings(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  # Exported symbols let libraries the test loads share its platform state (test seams).
  set_target_properties(${T_NAME} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin
    ENABLE_EXPORTS ON)
  # Cases are found in the sources at configure time, so their properties can
  # be set here as plain lists (labels, environment).
  gtest_add_tests(TARGET ${T_NAME} SOURCES ${T_SOURCES} TEST_LIST cases)
  # A case that calls GTEST_SKIP is reported by CTest as skipped, not as passed.
  set_tests_properties(${cases} PROPERTIES
    LABELS "${T_LABELS}"
    TIMEOUT ${T_TIMEOUT}
    SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu;KEST_BIN_DIR=${KEST_BIN_DIR};KEST_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
