// Whether this process can start a thread at all: not on a target that has
// none (WebAssembly built without its thread support), where the tests that
// run threads have nothing to test.
#pragma once

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

}  // namespace quorix::testing

// The first statement of a test that runs threads.
#define QUORIX_SKIP_WITHOUT_THREADS() \
  if (!::quorix::testing::CanStartThreads()) GTEST_SKIP() << "this target starts no threads"
