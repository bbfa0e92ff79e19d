# Qt Test cases of the main window, on the offscreen platform, with the
# fake run-time services.
include(${CMAKE_CURRENT_SOURCE_DIR}/../support/qt_tests.cmake)
include(${CMAKE_CURRENT_SOURCE_DIR}/../support/fake_services.cmake)

set(_mainform_test_libs quorix_mainwindow quorix_about quorix_program_look quorix_fake_services quorix_solver)
quorix_add_qtest(mainform_layout_test SOURCES mainform_layout_test.cpp LIBS ${_mainform_test_libs})
quorix_add_qtest(mainform_behaviour_test SOURCES mainform_behaviour_test.cpp LIBS ${_mainform_test_libs})
quorix_add_qtest(mainform_commands_test SOURCES mainform_commands_test.cpp LIBS ${_mainform_test_libs})
# The Plots window, its charts and its pictures, with a fake save dialog.
find_package(Qt6 REQUIRED COMPONENTS Charts)
quorix_add_qtest(plots_window_test SOURCES plots_window_test.cpp LIBS ${_mainform_test_libs} Qt6::Charts)
# A measured record in the Plots window, made by the measured tests' integration.
quorix_add_qtest(measured_plots_test SOURCES measured_plots_test.cpp LIBS ${_mainform_test_libs} Qt6::Charts)
target_include_directories(measured_plots_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/measured)
