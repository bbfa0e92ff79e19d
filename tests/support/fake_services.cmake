# The fake run-time services shared by the tests of the window, of the
# start-up routine and of the measured records (header only). Included from
# each test folder that needs it.
include_guard(GLOBAL)
add_library(quorix_fake_services INTERFACE)
target_include_directories(quorix_fake_services INTERFACE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(quorix_fake_services INTERFACE quorix_platform)
