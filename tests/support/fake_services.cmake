# The fake run-time services shared by the tests of the window and of the
# start-up routine. Included from each test folder that needs it.
include_guard(GLOBAL)
add_library(quorix_fake_services STATIC ${CMAKE_CURRENT_LIST_DIR}/fake_services.cpp)
target_include_directories(quorix_fake_services PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(quorix_fake_services PUBLIC quorix_platform)
