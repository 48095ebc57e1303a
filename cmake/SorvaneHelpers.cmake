# A program that the application starts or hands to another program: it lives in
# libexec/sorvane/ both in the build tree and when installed.
function(sorvane_libexec_program target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${SORVANE_LIBEXEC_DIR}")
  install(TARGETS ${target} RUNTIME DESTINATION "${CMAKE_INSTALL_LIBEXECDIR}/sorvane")
endfunction()

# One Qt Test program per file.
#   sorvane_add_test(NAME name SOURCES a.cpp ... LABELS core ... [LIBS ...] [ENV VAR=value ...]
#                    [DEPENDS target ...] [TIMEOUT seconds] [COMMAND wrapper args...])
# A test that cannot run here (no real engine, say) exits with 77 and is reported as skipped.
# Tests run in a private home (XDG folders under the build tree) so they never touch the user's files.
function(sorvane_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LABELS;LIBS;ENV;DEPENDS;COMMAND" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
  target_link_libraries(${T_NAME} PRIVATE sorvane_core sorvane_test_support Qt6::Test ${T_LIBS})
  if(T_DEPENDS)
    add_dependencies(${T_NAME} ${T_DEPENDS})
  endif()
  if(T_COMMAND)
    add_test(NAME ${T_NAME} COMMAND ${T_COMMAND} $<TARGET_FILE:${T_NAME}>)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set(home "${CMAKE_BINARY_DIR}/test-home/${T_NAME}")
  set_tests_properties(${T_NAME} PROPERTIES
    LABELS "${T_LABELS}"
    SKIP_RETURN_CODE 77
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QUICK_BACKEND=software;HOME=${home};XDG_DATA_HOME=${home}/data;XDG_CONFIG_HOME=${home}/config;XDG_CACHE_HOME=${home}/cache;SORVANE_BUILD_DIR=${CMAKE_BINARY_DIR};SORVANE_TEST_DATA_DIR=${CMAKE_SOURCE_DIR}/Tests;${T_ENV}")
endfunction()

# The files matching the patterns, found again whenever the tree gains or loses one.
# Automoc looks at a target's headers again only when a file CMake read has changed, and
# a new header alone changes none: so the list is also written to a file CMake reads.
function(sorvane_glob_sources out)
  file(GLOB_RECURSE found CONFIGURE_DEPENDS ${ARGN})
  set(list_file "${CMAKE_CURRENT_BINARY_DIR}/${out}.cmake")
  file(CONFIGURE OUTPUT "${list_file}" CONTENT "# ${found}\n")
  include("${list_file}")
  set(${out} ${found} PARENT_SCOPE)
endfunction()
