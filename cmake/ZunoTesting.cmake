# zuno_add_test(NAME LABEL unit|ui|system SOURCES ... [LIBS ...] [TIMEOUT seconds])
#
# A QtTest executable run by CTest, widgets on the offscreen platform. The label says what kind
# of test it is, so that one kind can be run alone (ctest -L unit):
#   unit    one layer without a window: pure logic, a fake link, real files and pseudo-terminals
#   ui      real windows on the offscreen platform
#   system  the real programs together (the panel, the simulator, the command line)
function(zuno_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT;LABEL" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_LABEL MATCHES "^(unit|ui|system)$")
    message(FATAL_ERROR "zuno_add_test(${name}): LABEL is unit, ui or system")
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test)
  zuno_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS ${ARG_LABEL}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
