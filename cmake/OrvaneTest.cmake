# orvane_add_test([NAME] name SOURCES ... LIBS ... [LABELS ...] [ENVIRONMENT ...] [PROPERTIES name value ...])
# One GoogleTest executable per call; each of its cases is a ctest test of its own, named
# "<name>.<Suite>.<Case>" and run in a process of its own, headless, with its own per-user store.
include(GoogleTest)
set(ORVANE_PG_TEST_DIR ${CMAKE_BINARY_DIR}/tests/pg-test-server)

function(orvane_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS;ENVIRONMENT;PROPERTIES" ${ARGN})
  set(name ${T_NAME})
  if(NOT name)
    list(GET T_UNPARSED_ARGUMENTS 0 name)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} orvane_test_support)
  target_compile_definitions(${name} PRIVATE
    ORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    ORVANE_BINARY_DIR="${CMAKE_BINARY_DIR}"
    ORVANE_TESTDATA_DIR="${CMAKE_SOURCE_DIR}/../shared/testdata")
  # The cases are listed when ctest starts, not at build time, so building stays as fast.
  gtest_discover_tests(${name} TEST_PREFIX "${name}." TEST_LIST ${name}_cases DISCOVERY_MODE PRE_TEST)
  # gtest_discover_tests splits list values (several labels, several variables), so the
  # properties are set by a file of our own, read after the list of cases.
  set(environment "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LANG=C.UTF-8;${T_ENVIRONMENT}")
  set(properties "LABELS [==[${T_LABELS}]==] ENVIRONMENT [==[${environment}]==]")
  foreach(item IN LISTS T_PROPERTIES)
    string(APPEND properties " [==[${item}]==]")
  endforeach()
  set(file ${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake)
  file(WRITE ${file} "if(${name}_cases)\n  set_tests_properties(\${${name}_cases} PROPERTIES ${properties})\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${file})
endfunction()
