#include "thread_pool.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "workers.h"

#ifndef _WIN32
#include <pthread.h>
#endif

namespace quorix {

namespace {

thread_local bool tOnPoolThread = false;

ThreadPool* gPool = nullptr;  // for the fork handler, which must not run Shared()'s initialisation

}  // namespace

struct ThreadPool::State {
  std::mutex mutex;
  std::condition_variable wake;      // a run queued, or the pool shutting down
  std::condition_variable finished;  // a run ended
  std::deque<TaskGroup*> queue;      // one entry per queued run
  std::vector<std::thread> threads;
  bool started = false;
  bool stopping = false;

  void Work() {
    tOnPoolThread = true;
    std::unique_lock lock(mutex);
    for (;;) {
      wake.wait(lock, [this] { return stopping || !queue.empty(); });
      // Runs still queued at exit stay there; their groups withdraw them.
      if (stopping) return;
      TaskGroup& group = *queue.front();
      queue.pop_front();
      --group.queued_;
      ++group.running_;
      lock.unlock();
      group.task_();
      lock.lock();
      --group.running_;
      // Told while the lock is held: once it is released, the group may be gone.
      finished.notify_all();
    }
  }

  // Called with the mutex held, on the first Spawn. A thread the system
  // refuses leaves the pool smaller; the loops do their work all the same.
  void Start(unsigned count) {
    started = true;
    try {
      for (unsigned t = 0; t < count; ++t) threads.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
    }
  }
};

ThreadPool::ThreadPool() : size_(platform::WorkerCount()), state_(new State) {}

ThreadPool& ThreadPool::Shared() {
  // Never destroyed, so that a loop still running on another thread while
  // the process exits finds the pool intact (spawning nothing, then: its own
  // thread does the work). The threads are joined by `joiner`, after the
  // static objects made later have been destroyed.
  static ThreadPool* const pool = [] {
    auto* made = new ThreadPool();
    gPool = made;
#ifndef _WIN32
    // A forked child has none of the parent's threads: it starts a pool of
    // its own on first use rather than wait on threads that are not there.
    pthread_atfork(nullptr, nullptr, &ThreadPool::ForgetThreadsInChild);
#endif
    return made;
  }();
  static const struct Joiner {
    ~Joiner() { pool->Shutdown(); }
  } joiner;
  return *pool;
}

bool ThreadPool::OnPoolThread() noexcept { return tOnPoolThread; }

void ThreadPool::Shutdown() {
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
  }
  state_->wake.notify_all();
  for (std::thread& thread : state_->threads) thread.join();
  state_->threads.clear();
}

// In the child, right after fork(), with this thread the only one. The old
// state is left as it is, never destroyed: its threads do not exist here, so
// they can be neither joined nor detached, and its mutex may have been held
// by one of them.
void ThreadPool::ForgetThreadsInChild() {
  if (gPool != nullptr) gPool->state_ = new State;
}

TaskGroup::TaskGroup(std::function<void()> task, ThreadPool& pool)
    : state_(*pool.state_), poolSize_(pool.Size()), task_(std::move(task)) {}

void TaskGroup::Spawn(unsigned runs) {
  runs = std::min(runs, poolSize_);
  if (tOnPoolThread) return;  // re-entered from a pool task: inline, see the header
  {
    std::lock_guard lock(state_.mutex);
    if (state_.stopping || runs == 0) return;
    if (!state_.started) state_.Start(poolSize_);
    state_.queue.insert(state_.queue.end(), runs, this);
    queued_ += runs;
  }
  state_.wake.notify_all();
}

// With the pool's mutex held.
void TaskGroup::Withdraw() {
  if (queued_ == 0) return;
  std::erase(state_.queue, this);
  queued_ = 0;
}

bool TaskGroup::Finish(std::chrono::milliseconds timeout) {
  std::unique_lock lock(state_.mutex);
  Withdraw();
  return state_.finished.wait_for(lock, timeout, [this] { return running_ == 0; });
}

void TaskGroup::Join() {
  std::unique_lock lock(state_.mutex);
  Withdraw();
  state_.finished.wait(lock, [this] { return running_ == 0; });
}

}  // namespace quorix
