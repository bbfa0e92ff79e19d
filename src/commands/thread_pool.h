// The program's worker threads: one pool, shared by every parallel loop of
// the command core and its faces (the sweep's rows, the Python module's
// array calls).
//
// The pool has one thread per core this process may use (WorkerCount:
// QUORIX_NUM_THREADS, else the affinity mask), started on first use and
// kept until the process exits, so the engine's per-thread caches (the
// digamma tables) stay warm from one call to the next. A parallel loop
// makes a TaskGroup, spawns runs of one task on
// the pool and does its share of the work on its own thread as well: the
// pool speeds a loop up but is never needed for it to finish, so a loop
// cannot wait on threads that are busy elsewhere, stopped at exit, or gone
// in a forked child.
#pragma once

#include <chrono>
#include <functional>

namespace quorix {

class TaskGroup;

class ThreadPool {
 public:
  // The pool, made on first use. It lives until the process exits; its
  // threads are joined then, by a static destructor, after the run each is
  // on has ended. They run only tasks of the command core and its faces,
  // which never call into an interpreter, so that join needs nothing but
  // the tasks themselves.
  static ThreadPool& Shared();

  // The number of threads it runs (started or not yet).
  unsigned Size() const noexcept { return size_; }

  // True on one of the pool's threads.
  static bool OnPoolThread() noexcept;

  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

 private:
  friend class TaskGroup;
  struct State;

  ThreadPool();
  ~ThreadPool() = default;  // never called: the pool outlives every caller
  void Shutdown();
  static void ForgetThreadsInChild();

  const unsigned size_;
  State* state_;  // replaced, never freed, in a forked child
};

// Runs of one task on the pool's threads, all of which have ended when the
// group has. The task may run on several threads at once, and must not throw
// (an exception leaving it ends the program, as one leaving any thread does);
// a loop hands its failures back to its own thread itself.
//
// A loop's own thread does its share and then calls Finish() or lets the
// group end: the runs that no thread has started by then are withdrawn,
// since the work they would have taken is done, and only those under way
// are waited for. So the group never waits for a thread that has not picked
// a run up.
//
// A loop started from within a pool task (none is today) runs inline: Spawn
// queues nothing there, and the loop's own thread does all of its work. A
// pool thread that queued runs and waited for them could hold the very
// thread they need.
class TaskGroup {
 public:
  explicit TaskGroup(std::function<void()> task, ThreadPool& pool = ThreadPool::Shared());
  ~TaskGroup() { Join(); }
  TaskGroup(const TaskGroup&) = delete;
  TaskGroup& operator=(const TaskGroup&) = delete;

  // Queues `runs` runs of the task, at most the pool's size; none on a pool
  // thread, and none once the pool has shut down at exit.
  void Spawn(unsigned runs);

  // Withdraws the runs not started yet and waits up to `timeout` for those
  // under way. True once none is.
  bool Finish(std::chrono::milliseconds timeout);

  // Finish() without a time limit.
  void Join();

 private:
  friend struct ThreadPool::State;

  void Withdraw();

  ThreadPool::State& state_;
  const unsigned poolSize_;
  const std::function<void()> task_;
  // Guarded by the pool's mutex.
  unsigned queued_ = 0;
  unsigned running_ = 0;
};

}  // namespace quorix
