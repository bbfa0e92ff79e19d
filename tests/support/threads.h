// Whether this process can start a thread at all: not on a target that has
// none (WebAssembly built without its thread support), where the tests that
// run threads have nothing to test.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <system_error>
#include <thread>

namespace quorix::testing {

inline bool CanStartThreads() {
  try {
    std::thread([] {}).join();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

// Holds every thread until the last has arrived, so they start at one moment.
// Not std::latch: where no futex exists (Windows) it sleeps on the library's
// pooled atomic wait, which in this compiler generation can miss a wake-up and
// leave a thread asleep for good; a test of threads once timed out under Wine.
class StartGate {
 public:
  explicit StartGate(std::ptrdiff_t count) : waiting_(count) {}
  void ArriveAndWait() {
    std::unique_lock lock(mutex_);
    if (--waiting_ <= 0) {
      opened_.notify_all();
      return;
    }
    opened_.wait(lock, [this] { return waiting_ <= 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  std::ptrdiff_t waiting_;
};

}  // namespace quorix::testing

// The first statement of a test that runs threads.
#define QUORIX_SKIP_WITHOUT_THREADS() \
  if (!::quorix::testing::CanStartThreads()) GTEST_SKIP() << "this target starts no threads"
