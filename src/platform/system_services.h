// The run-time services of the system Quorix is built for.
#pragma once

#ifdef _WIN32
#include "windows_services.h"
namespace quorix::platform {
using SystemServices = WindowsServices;
}
#else
#include "posix_services.h"
namespace quorix::platform {
using SystemServices = PosixServices;
}
#endif
