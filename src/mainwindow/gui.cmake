# The Qt side of the main window: MainForm with its controls and events,
# running the two commands of quorix_commands. The program icon and font
# live in their own small library, which the About box shares.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

add_library(quorix_program_look STATIC ${CMAKE_CURRENT_LIST_DIR}/program_look.cpp)
target_include_directories(quorix_program_look PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(quorix_program_look PUBLIC Qt6::Widgets)

add_library(quorix_mainwindow STATIC ${CMAKE_CURRENT_LIST_DIR}/mainform.cpp ${CMAKE_CURRENT_LIST_DIR}/mainform.h)
set_target_properties(quorix_mainwindow PROPERTIES AUTOMOC ON)
target_include_directories(quorix_mainwindow PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(quorix_mainwindow PUBLIC quorix_commands quorix_platform Qt6::Widgets
                      PRIVATE quorix_about quorix_program_look)
