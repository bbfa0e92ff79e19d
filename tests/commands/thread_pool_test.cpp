// The sweep on the thread pool: rows in order up to a failure, which reaches the calling thread; a sweep that
// completes while every pool thread is busy; threads only where they pay.
#include "thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"
#include "threads.h"
namespace quorix {
namespace {

struct RowFault {};
struct SinkFault {};

constexpr int kRows = 1000;  // U = 0, 1, …, 999
constexpr int kFailingRow = 700;

std::mutex gThreadsMutex;
std::set<std::thread::id> gThreads;  // where rows were solved

std::condition_variable gThreadsGrew;
constexpr int kMeetingRow = 500;

// SolveEnergy slowed so that the sweep takes to threads; throws at kFailingRow when asked to. Row kMeetingRow
// waits (up to 10 s) for a second thread, which a busy machine might not schedule before the rows end.
template <bool kFails>
void SlowSolve(BoucWenCase& bw) {
  std::this_thread::sleep_for(std::chrono::microseconds(bw.UmaxOverUy == 0.0 ? 3000 : 20));
  {
    std::unique_lock lock(gThreadsMutex);
    gThreads.insert(std::this_thread::get_id());
    gThreadsGrew.notify_all();
    if (bw.UmaxOverUy == kMeetingRow && std::thread::hardware_concurrency() > 1)
      gThreadsGrew.wait_for(lock, std::chrono::seconds(10), [] { return gThreads.size() > 1; });
  }
  if (kFails && bw.UmaxOverUy == kFailingRow) throw RowFault{};
  SolveEnergy(bw);
}

struct LineSink : SweepSink {
  void Open() override {}
  void WriteLine(std::string_view line) override {
    if (static_cast<int>(lines.size()) == failAtLine) throw SinkFault{};
    lines.emplace_back(line);
  }
  std::vector<std::string> lines;
  int failAtLine = -1;
};

// The initial case over U = 0 … kRows − 1.
void Sweep(LineSink& sink, CaseSolver solve) {
  BoucWenCase inputs;
  ReadCase(CaseTexts{}, inputs);
  RunSweepRows(inputs, 0.0, kRows - 1, 1.0, sink, solve);
}

std::vector<std::string> Lines(CaseSolver solve) {
  LineSink sink;
  Sweep(sink, solve);
  return sink.lines;
}

class ThreadPoolSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    gThreads.clear();
    full_ = Lines(SlowSolve<false>);
    ASSERT_EQ(full_.size(), kRows + 1u);
  }
  std::vector<std::string> Head(int rows) const { return {full_.begin(), full_.begin() + 1 + rows}; }
  std::vector<std::string> full_;
};

TEST_F(ThreadPoolSweep, RowsInOrderUpToTheFirstFailureWhichReachesTheCallingThread) {
  if (std::thread::hardware_concurrency() > 1) { EXPECT_GT(gThreads.size(), 1u) << "the rows stayed on one thread"; }
  // A row's solve throws on whichever thread computed it; the sink's write throws on the sweep's own thread.
  LineSink sink;
  EXPECT_THROW(Sweep(sink, SlowSolve<true>), RowFault);
  EXPECT_EQ(sink.lines, Head(kFailingRow));
  for (int failAtLine : {2, 300, kRows}) {
    LineSink failing;
    failing.failAtLine = failAtLine;
    EXPECT_THROW(Sweep(failing, SlowSolve<false>), SinkFault);
    EXPECT_EQ(failing.lines, Head(failAtLine - 1)) << failAtLine;
  }
}

// Every pool thread held elsewhere: the sweep's own thread computes its rows rather than wait for them.
TEST_F(ThreadPoolSweep, CompletesWhileEveryPoolThreadIsBusy) {
  QUORIX_SKIP_WITHOUT_THREADS();
  ThreadPool& pool = ThreadPool::Shared();
  std::mutex mutex;
  std::condition_variable changed;
  unsigned holding = 0;
  bool release = false;
  TaskGroup busy([&] {
    std::unique_lock lock(mutex);
    ++holding;
    changed.notify_all();
    changed.wait(lock, [&] { return release; });
  });
  busy.Spawn(pool.Size());
  {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return holding == pool.Size(); });
  }
  EXPECT_EQ(Lines(SlowSolve<false>), full_);
  {
    std::lock_guard lock(mutex);
    release = true;
  }
  changed.notify_all();
}

// A group ends once its runs under way have; those no thread picked up are withdrawn, never run later (read
// again after a pause), and where no thread starts none runs.
TEST(TaskGroup, EndsWithoutTheRunsNoThreadPickedUp) {
  ThreadPool& pool = ThreadPool::Shared();
  std::atomic<unsigned> ran{0};
  {
    TaskGroup group([&] { ++ran; });
    group.Spawn(pool.Size());
    group.Join();
  }
  const unsigned atEnd = ran.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(ran.load(), atEnd);
  EXPECT_LE(atEnd, pool.Size());
  if (!::quorix::testing::CanStartThreads()) {
    EXPECT_EQ(atEnd, 0u);
  }
}

// The first row says little (it fills the caches): the pace of the rows after it decides.
void DearFirstRowOnly(BoucWenCase& bw) {
  if (bw.UmaxOverUy == 0.0) std::this_thread::sleep_for(std::chrono::milliseconds(3));
  std::lock_guard lock(gThreadsMutex);
  gThreads.insert(std::this_thread::get_id());
}

TEST(SweepThreads, OnlyWhereTheRowsAfterTheFirstPay) {
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one core: a sweep never shares";
  const struct {
    CaseSolver solve;
    int rows;
    bool shares;
  } cases[] = {
      {DearFirstRowOnly, 10, false},   // 3 ms, then 9 rows of next to nothing: one thread
      {SlowSolve<false>, kRows, true},  // 3 ms, then 999 rows of at least 20 µs: threads
  };
  for (const auto& c : cases) {
    gThreads.clear();
    BoucWenCase inputs;
    ReadCase(CaseTexts{}, inputs);
    LineSink sink;
    RunSweepRows(inputs, 0.0, c.rows - 1, 1.0, sink, c.solve);
    EXPECT_EQ(sink.lines.size(), c.rows + 1u);
    EXPECT_EQ(gThreads.size() > 1, c.shares) << gThreads.size() << " threads";
  }
}

}  // namespace
}  // namespace quorix
