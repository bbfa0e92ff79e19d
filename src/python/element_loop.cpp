// The loop that spreads the elements of an array call over every core.
#include <algorithm>
#include <chrono>
#include <thread>

#include "python_module.h"
#include "thread_pool.h"
#include "workers.h"

namespace quorix::python {

// ---------------------------------------------------------------------------
// Elements on every core

namespace {

constexpr std::chrono::milliseconds kListenInterval{50};

// The caller's workers= for the calls on this thread (0: none given). numpy
// runs a ufunc's loop on the thread that called it, so a thread's own count
// reaches its loops and no other thread's.
thread_local unsigned workerLimit = 0;

// `with _core._workers(k):` around a call: its array loops use at most k
// threads, this one included.
class WorkerLimit {
 public:
  explicit WorkerLimit(unsigned limit) : limit_(limit) {
    if (limit == 0) throw py::value_error("workers must be at least 1");
  }
  void Enter() {
    previous_ = workerLimit;
    workerLimit = limit_;
  }
  bool Exit(const py::object&, const py::object&, const py::object&) {
    workerLimit = previous_;
    return false;
  }

 private:
  unsigned limit_;
  unsigned previous_ = 0;
};

// Ctrl-C seen from a thread that has let the interpreter's lock go; the
// KeyboardInterrupt stays pending, to be raised once the loop has ended.
bool Interrupted() {
  py::gil_scoped_acquire acquire;
  return PyErr_CheckSignals() != 0;
}

}  // namespace

template <class AfterChunk>
void ElementLoop::Work(const std::function<void(std::size_t)>& element, const AfterChunk& afterChunk) {
  for (;;) {
    const std::size_t begin = next_.fetch_add(kChunk);
    if (begin >= count_ || begin >= limit_.load()) return;
    const std::size_t end = std::min(count_, begin + kChunk);
    for (std::size_t i = begin; i < end && i < limit_.load(std::memory_order_relaxed); ++i) {
      try {
        element(i);
      } catch (...) {
        Fail(i, std::current_exception());
      }
    }
    afterChunk();
  }
}

void ElementLoop::Run(std::size_t count, const std::function<void(std::size_t)>& element) {
  count_ = count;
  const unsigned cores = workerLimit != 0 ? workerLimit : platform::WorkerCount();
  const std::size_t chunks = (count + kChunk - 1) / kChunk;
  bool interrupted = false;
  {
    py::gil_scoped_release release;
    if (cores == 1 || chunks < 2) {
      Work(element, [] {});
    } else {
      // This thread takes chunks beside threadCount − 1 runs on the pool,
      // listening for Ctrl-C between its chunks and then while the runs
      // still under way end. The pool's threads never touch the interpreter.
      const auto threadCount = static_cast<unsigned>(std::min<std::size_t>(cores, chunks));
      TaskGroup helpers([this, &element] { Work(element, [] {}); });
      helpers.Spawn(threadCount - 1);
      auto lastListen = std::chrono::steady_clock::now();
      Work(element, [&] {
        const auto now = std::chrono::steady_clock::now();
        if (interrupted || now - lastListen < kListenInterval) return;
        lastListen = now;
        interrupted = Interrupted();
        if (interrupted) Cancel();
      });
      while (!interrupted && !helpers.Finish(kListenInterval)) {
        interrupted = Interrupted();
        if (interrupted) Cancel();
      }
    }  // the runs under way have ended here
  }
  if (interrupted) throw py::error_already_set();  // the pending KeyboardInterrupt
  if (failure_) std::rethrow_exception(failure_);
}

// Elements after a failure need not run; those before it still do.
void ElementLoop::Fail(std::size_t i, std::exception_ptr failure) {
  std::lock_guard lock(mutex_);
  if (i >= failedIndex_) return;
  failedIndex_ = i;
  failure_ = std::move(failure);
  if (i < limit_) limit_ = i;
}

void RegisterElementLoop(py::module_& m) {
  py::class_<WorkerLimit>(m, "_workers")
      .def(py::init<unsigned>())
      .def("__enter__", &WorkerLimit::Enter)
      .def("__exit__", &WorkerLimit::Exit);
}

}  // namespace quorix::python
