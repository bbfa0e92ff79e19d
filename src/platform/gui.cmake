# The services of the desktop program: the POSIX services with a Qt
# per-user settings store, and the native save dialog.
find_package(Qt6 REQUIRED COMPONENTS Core Widgets)
add_library(quorix_platform_qt STATIC ${CMAKE_CURRENT_LIST_DIR}/qt_services.cpp)
target_include_directories(quorix_platform_qt PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(quorix_platform_qt PUBLIC quorix_platform Qt6::Core)

add_library(quorix_platform_dialogs STATIC ${CMAKE_CURRENT_LIST_DIR}/qt_save_dialogs.cpp)
target_include_directories(quorix_platform_dialogs PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(quorix_platform_dialogs PUBLIC Qt6::Widgets)
