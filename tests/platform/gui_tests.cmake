# The desktop program's settings store.
quorix_add_gtest(qt_services_test SOURCES qt_services_test.cpp LIBS quorix_platform_qt)
