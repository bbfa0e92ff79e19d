// The worker count: QUORIX_NUM_THREADS when it is a whole number from 1,
// else the processors the process may run on.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <thread>

#ifdef __linux__
#include <sched.h>
#endif

#include "workers.h"

namespace {

// QUORIX_NUM_THREADS as `value` (unset for nullptr) while it lives; as it was afterwards.
struct ScopedVariable {
  explicit ScopedVariable(const char* value) {
    if (const char* was = std::getenv("QUORIX_NUM_THREADS")) old = was;
    Set(value);
  }
  ~ScopedVariable() { Set(old.empty() ? nullptr : old.c_str()); }
  static void Set(const char* value) {
#ifdef _WIN32
    _putenv_s("QUORIX_NUM_THREADS", value != nullptr ? value : "");
#else
    (void)(value != nullptr ? setenv("QUORIX_NUM_THREADS", value, 1) : unsetenv("QUORIX_NUM_THREADS"));
#endif
  }
  std::string old;
};

TEST(Workers, TheVariableWhenAWholeNumberFromOneElseTheProcessorsAtHand) {
  unsigned unset = 0;
  {
    const ScopedVariable none(nullptr);
    unset = quorix::platform::WorkerCount();
  }
  EXPECT_GE(unset, 1u);
  EXPECT_LE(unset, std::max(1u, std::thread::hardware_concurrency()));
  const struct {
    const char* text;
    unsigned expected;  // 0: as if unset
  } rows[] = {{"3", 3}, {"1", 1}, {"4096", 4096}, {"4097", 0}, {"0", 0}, {"-1", 0}, {"+4093", 0}, {"4093x", 0},
              {"abc", 0}, {"", 0}, {"99999999999999999999", 0}};  // 4093: no machine's count, a misreading shows
  for (const auto& row : rows) {
    const ScopedVariable set(row.text);
    EXPECT_EQ(quorix::platform::WorkerCount(), row.expected == 0 ? unset : row.expected) << "'" << row.text << "'";
  }
}

#ifdef __linux__
// Narrowed to one processor (as taskset narrows a process), the count is 1.
TEST(Workers, FollowTheAffinityMask) {
  cpu_set_t before;
  ASSERT_EQ(sched_getaffinity(0, sizeof before, &before), 0);
  int first = 0;
  while (!CPU_ISSET(first, &before)) ++first;
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(first, &one);
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  const ScopedVariable none(nullptr);
  const unsigned count = quorix::platform::WorkerCount();
  sched_setaffinity(0, sizeof before, &before);
  EXPECT_EQ(count, 1u);
}
#endif

}  // namespace
