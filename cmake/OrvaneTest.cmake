# orvane_add_test([NAME] name SOURCES ... LIBS ... [LABELS ...] [ENVIRONMENT ...])
# One GoogleTest executable per call, run headless; its main() gives it its own per-user store.
function(orvane_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  set(name ${T_NAME})
  if(NOT name)
    list(GET T_UNPARSED_ARGUMENTS 0 name)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest orvane_test_main)
  target_compile_definitions(${name} PRIVATE
    ORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    ORVANE_BINARY_DIR="${CMAKE_BINARY_DIR}"
    ORVANE_TESTDATA_DIR="${CMAKE_SOURCE_DIR}/../shared/testdata")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    LABELS "${T_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LANG=C.UTF-8;${T_ENVIRONMENT}")
endfunction()
