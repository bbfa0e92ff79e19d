// Arguments as numpy broadcasts them, and the loop that spreads the elements
// of an array call over every core.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "python_module.h"
#include "thread_pool.h"

namespace quorix::python {

// ---------------------------------------------------------------------------
// Broadcasting

Broadcast::Broadcast(const std::array<py::object, kInputCount>& inputs, const std::array<bool, kInputCount>& present) {
  for (int k = 0; k < kInputCount; ++k) {
    if (!present[k]) continue;
    if (inputs[k].is_none()) {
      throw py::type_error(std::string(kInputNames[k]) + " must be a number or an array of numbers, not None");
    }
    arrays_[k] = py::array_t<double, py::array::forcecast>(inputs[k]);
    const py::array& a = arrays_[k];
    if (static_cast<std::size_t>(a.ndim()) > shape_.size()) {
      shape_.insert(shape_.begin(), static_cast<std::size_t>(a.ndim()) - shape_.size(), 1);
    }
  }
  // The common shape: right-aligned axes, each of one length or 1.
  for (int k = 0; k < kInputCount; ++k) {
    if (!present[k]) continue;
    const py::array& a = arrays_[k];
    const std::size_t offset = shape_.size() - static_cast<std::size_t>(a.ndim());
    for (py::ssize_t d = 0; d < a.ndim(); ++d) {
      py::ssize_t& length = shape_[offset + static_cast<std::size_t>(d)];
      const py::ssize_t own = a.shape(d);
      if (own == length || own == 1) continue;
      if (length != 1) throw py::value_error(MismatchMessage(present));
      length = own;
    }
  }
  count_ = 1;
  for (py::ssize_t length : shape_) count_ *= static_cast<std::size_t>(length);
  for (int k = 0; k < kInputCount; ++k) {
    Operand& op = operands_[k];
    op.strides.assign(shape_.size(), 0);
    if (!present[k]) continue;
    const py::array& a = arrays_[k];
    op.base = static_cast<const char*>(a.data());
    const std::size_t offset = shape_.size() - static_cast<std::size_t>(a.ndim());
    for (py::ssize_t d = 0; d < a.ndim(); ++d) {
      if (a.shape(d) != 1) op.strides[offset + static_cast<std::size_t>(d)] = a.strides(d);
    }
  }
}

std::array<double, kInputCount> Broadcast::At(std::size_t i) const {
  std::array<py::ssize_t, kInputCount> offsets{};
  for (std::size_t d = shape_.size(); d-- > 0;) {
    const auto length = static_cast<std::size_t>(shape_[d]);
    const auto index = static_cast<py::ssize_t>(i % length);
    i /= length;
    for (int k = 0; k < kInputCount; ++k) offsets[k] += index * operands_[k].strides[d];
  }
  std::array<double, kInputCount> x{};
  for (int k = 0; k < kInputCount; ++k) {
    if (operands_[k].base != nullptr) std::memcpy(&x[k], operands_[k].base + offsets[k], sizeof(double));
  }
  return x;
}

std::string Broadcast::IndexText(std::size_t i) const {
  std::vector<std::size_t> index(shape_.size());
  for (std::size_t d = shape_.size(); d-- > 0;) {
    index[d] = i % static_cast<std::size_t>(shape_[d]);
    i /= static_cast<std::size_t>(shape_[d]);
  }
  std::string text = "(";
  for (std::size_t d = 0; d < index.size(); ++d) text += (d > 0 ? ", " : "") + std::to_string(index[d]);
  return text + (index.size() == 1 ? ",)" : ")");
}

std::string Broadcast::MismatchMessage(const std::array<bool, kInputCount>& present) const {
  std::string text = "the arguments cannot be broadcast to one shape:";
  for (int k = 0; k < kInputCount; ++k) {
    if (!present[k]) continue;
    text += std::string(" ") + kInputNames[k] + " " + py::repr(arrays_[k].attr("shape")).cast<std::string>();
  }
  return text;
}

bool IsPlainNumber(const py::object& x) { return PyFloat_Check(x.ptr()) || PyLong_Check(x.ptr()); }

double PlainNumber(const py::object& x) {
  const double value = PyFloat_AsDouble(x.ptr());
  if (value == -1.0 && PyErr_Occurred()) throw py::error_already_set();
  return value;
}

[[noreturn]] void RethrowAt(const std::exception_ptr& failure, const Broadcast& grid, std::size_t i) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::invalid_argument& e) {
    throw py::value_error(std::string(e.what()) + " (at index " + grid.IndexText(i) + ")");
  }
}

// ---------------------------------------------------------------------------
// Elements on every core

namespace {

constexpr std::chrono::milliseconds kListenInterval{50};

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
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
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

}  // namespace quorix::python
