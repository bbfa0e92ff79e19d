# The Qt side of the main window: MainForm with its controls and events,
# running the two commands of quorix_commands, and the Plots window with its
# charts. The program icon and font live in their own small library, which
# the About box shares.
find_package(Qt6 REQUIRED COMPONENTS Widgets Charts Svg)

add_library(quorix_program_look STATIC ${CMAKE_CURRENT_LIST_DIR}/program_look.cpp)
target_include_directories(quorix_program_look PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(quorix_program_look PUBLIC Qt6::Widgets)

add_library(quorix_mainwindow STATIC
  ${CMAKE_CURRENT_LIST_DIR}/mainform.cpp ${CMAKE_CURRENT_LIST_DIR}/mainform.h
  ${CMAKE_CURRENT_LIST_DIR}/plots_window.cpp ${CMAKE_CURRENT_LIST_DIR}/plots_window.h
  ${CMAKE_CURRENT_LIST_DIR}/sweep_curves.cpp)
set_target_properties(quorix_mainwindow PROPERTIES AUTOMOC ON)
target_include_directories(quorix_mainwindow PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(quorix_mainwindow PUBLIC quorix_commands quorix_measured quorix_platform Qt6::Widgets Qt6::Charts
                      PRIVATE quorix_about quorix_program_look quorix_platform_dialogs Qt6::Svg)
