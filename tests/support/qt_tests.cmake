# quorix_add_qtest(NAME SOURCES ... LIBS ...): one Qt Test executable, run by
# CTest on the offscreen platform (no display needed).
# Imported targets are local to a folder: find Qt in every includer.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
include_guard(GLOBAL)

function(quorix_add_qtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Widgets Qt6::Test)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()
