#include "workers.h"

#include <cerrno>
#include <cstdlib>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#elif defined(__linux__)
#include <sched.h>
#endif

namespace quorix::platform {

namespace {

// The processors of this process's affinity mask; 0 where the system does
// not say.
unsigned AffinityCount() {
#ifdef _WIN32
  DWORD_PTR process = 0, system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) == 0) return 0;
  unsigned count = 0;
  for (; process != 0; process &= process - 1) ++count;
  return count;
#elif defined(__linux__)
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 0;
  return static_cast<unsigned>(CPU_COUNT(&set));
#else
  return 0;
#endif
}

}  // namespace

unsigned WorkerCount() {
  if (const char* text = std::getenv("QUORIX_NUM_THREADS"); text != nullptr && *text != '\0') {
    char* end = nullptr;
    errno = 0;
    const unsigned long asked = std::strtoul(text, &end, 10);
    // strtoul takes a sign and wraps "-1" round: digits only.
    const bool digits = *text >= '0' && *text <= '9';
    if (digits && *end == '\0' && errno == 0 && asked >= 1 && asked <= 4096) return static_cast<unsigned>(asked);
  }
  if (const unsigned mask = AffinityCount(); mask > 0) return mask;
  const unsigned machine = std::thread::hardware_concurrency();
  return machine > 0 ? machine : 1;
}

}  // namespace quorix::platform
