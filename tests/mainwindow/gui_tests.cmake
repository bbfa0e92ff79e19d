# Qt Test cases of the main window and its Plots window, on the offscreen
# platform, with the fake run-time services and save dialogs.
include(${CMAKE_CURRENT_SOURCE_DIR}/../support/qt_tests.cmake)
include(${CMAKE_CURRENT_SOURCE_DIR}/../support/fake_services.cmake)
find_package(Qt6 REQUIRED COMPONENTS Charts)

set(_mainform_test_libs quorix_mainwindow quorix_about quorix_program_look quorix_fake_services quorix_solver)
quorix_add_qtest(mainform_test SOURCES mainform_test.cpp LIBS ${_mainform_test_libs})
# The measured record on the Record tab comes from the measured tests' integration.
quorix_add_qtest(plots_window_test SOURCES plots_window_test.cpp LIBS ${_mainform_test_libs} Qt6::Charts)
target_include_directories(plots_window_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/measured)
