// The commands the window and the command line share: a case read, the sweep's rows, its stop and progress,
// and the sweep on the thread pool.
#include "commands.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "numbertext.h"
#include "specialfunctions.h"
#include "thread_pool.h"
#include "threads.h"

namespace quorix {
namespace {

TEST(ReadCase, StopsAtTheFirstFieldBeyondRangeLeavingEarlierFieldsWritten) {
  BoucWenCase bw;
  bw.Fy = bw.Uy = bw.UmaxOverUy = 42.0;
  EXPECT_THROW(ReadCase(CaseTexts{.Nee = "3", .AlphaSmall = " 0 . 2", .Fy = "1e999"}, bw), Refusal);
  EXPECT_EQ((std::array{bw.Nee, bw.BetaSmall, bw.GammaSmall, bw.AlphaSmall, bw.Fy, bw.Uy, bw.UmaxOverUy}),
            (std::array{3.0, 0.1, 0.9, 0.2, 42.0, 42.0, 42.0}));
}

// Records the lines; with a watch, asks it to stop once stopAfter rows are written; throws at line failAtLine.
struct SinkFault {};
struct RecordingSink : SweepSink {
  void Open() override { ++opens; }
  void WriteLine(std::string_view line) override {
    if (static_cast<int>(lines.size()) == failAtLine) throw SinkFault{};
    lines.emplace_back(line);
  }
  void RowWritten(const BoucWenCase&) override {
    if (watch && lines.size() - 1 == stopAfter) watch->RequestStop();
  }
  std::vector<std::string> FirstColumn() const {
    std::vector<std::string> column;
    for (std::size_t i = 1; i < lines.size(); ++i) column.push_back(lines[i].substr(0, lines[i].find('\t')));
    return column;
  }
  int opens = 0;
  std::vector<std::string> lines;
  SweepWatch* watch = nullptr;
  std::size_t stopAfter = 0;
  int failAtLine = -1;
};

// Rows i = 0 … N with N = round((To − From)/Step), each at From + i·Step.
TEST(Sweep, RowsRunFromFromForNPlusOneSteps) {
  std::vector<std::string> initial;  // 0.10 … 10.00 (0.1·2 + 0.1 lies above 0.3 and shows 0.30)
  for (int k = 1; k <= 100; ++k) initial.push_back(std::to_string(k / 10) + "." + std::to_string(k % 10) + "0");
  const std::pair<SweepTexts, std::vector<std::string>> cases[] = {
      {{}, initial},                                           // q = 99
      {{"0", "1", "0.3"}, {"0.00", "0.30", "0.60", "0.90"}},   // q = 3.33
      {{"0", "1", "0.35"}, {"0.00", "0.35", "0.70", "1.05"}},  // q = 2.86: beyond To
      {{"2", "2", "0.5"}, {"2.00"}},                           // To = From
      {{"1", "0.25", "1"}, {}},                                // q = −0.75 → −1: header only
      {{"2", "1", "-0.5"}, {"2.00", "1.50", "1.00"}},          // downwards
      // Below a step of 0.01 the amplitude takes the decimals that keep the rows apart.
      {{"0", "0.01", "0.005"}, {"0.000", "0.005", "0.010"}},
      {{"1", "1.005", "0.0025"}, {"1.0000", "1.0025", "1.0050"}},
      {{"0", "0.0001", "-0.00005"}, {}},
      {{"0.0002", "0", "-0.0001"}, {"0.0002", "0.0001", "0.0000"}}};
  for (const auto& [range, firstColumn] : cases) {
    RecordingSink sink;
    BoucWenCase bw;
    RunSweep(CaseTexts{}, range, bw, sink);
    EXPECT_EQ(std::pair(sink.opens, sink.FirstColumn()), std::pair(1, firstColumn)) << range.Step;
    if (!firstColumn.empty()) {  // the last row's
      const std::string& last = firstColumn.back();
      EXPECT_EQ(FormatFixed(bw.UmaxOverUy, static_cast<int>(last.size() - last.find('.') - 1)), last);
    }
  }
}

TEST(Sweep, BadStepRangeOrFieldFailsBeforeOpening) {
  const std::pair<CaseTexts, SweepTexts> cases[] = {
      {{}, {"0", "1", "0"}},       {{}, {"0", "1", ""}},         {{}, {"1", "1", "0"}},
      {{}, {"0", "1e10", "1"}},    {{}, {"-1e308", "1.7e308", "1"}}, {{}, {"0", "1", "1e999"}},
      {{.Uy = "-1e999"}, {}}};
  for (const auto& [texts, range] : cases) {
    SCOPED_TRACE(range.From + " " + range.To + " " + range.Step + " " + texts.Uy);
    RecordingSink sink;
    BoucWenCase bw;
    EXPECT_THROW(RunSweep(texts, range, bw, sink), Refusal);
    EXPECT_EQ(std::pair(sink.opens, sink.lines), std::pair(0, std::vector<std::string>{}));
  }
}

// A stop ends the table between rows, on one thread and on every core, with the rows a full sweep wrote.
TEST(SweepStop, EndsBetweenRowsWithCompleteRowsOnly) {
  const SweepTexts range{"0.1", "100", "0.1"};  // 1000 rows, more than the workers run ahead
  RecordingSink full;
  BoucWenCase bw;
  RunSweep(CaseTexts{}, range, bw, full);
  ASSERT_EQ(full.lines.size(), 1001u);
  const bool straightforward = StraightforwardEvaluation();
  for (bool oneThread : {true, false}) {
    SetStraightforwardEvaluation(oneThread);
    for (std::size_t stopAfter : {0, 1, 2, 300, 999}) {  // 0: asked before it opens anything, it writes nothing
      SCOPED_TRACE(std::to_string(stopAfter) + (oneThread ? " one thread" : ""));
      SweepWatch watch;
      RecordingSink sink;
      sink.watch = &watch;
      sink.stopAfter = stopAfter;
      if (stopAfter == 0) watch.RequestStop();
      EXPECT_THROW(RunSweep(CaseTexts{}, range, bw, sink, &watch), SweepStopped);
      EXPECT_EQ(sink.opens, stopAfter == 0 ? 0 : 1);
      if (stopAfter == 0) continue;
      EXPECT_EQ(std::pair(watch.Rows(), watch.RowsWritten()), (std::pair<std::int64_t, std::int64_t>(1000, stopAfter)));
      EXPECT_EQ(sink.lines, std::vector<std::string>(full.lines.begin(), full.lines.begin() + 1 + stopAfter));
    }
  }
  SetStraightforwardEvaluation(straightforward);
}

TEST(SweepProgressText, CountsAndTimeLeft) {
  for (const auto& [n, text] : {std::pair<std::int64_t, const char*>{999, "999"}, {1000, "1,000"},
                                 {999999901, "999,999,901"}, {-1234567, "-1,234,567"}}) {
    EXPECT_EQ(GroupedCount(n), text);
  }
  // written, rows, elapsed seconds: the rest takes elapsed·(rows − written)/written.
  const std::tuple<std::int64_t, std::int64_t, double, const char*> times[] = {
      {10, 100, 1.0, "about 9 s left"}, {1, 3, 92.5, "about 3 min 05 s left"},
      {1000, 999999901, 0.5, "about 138 h 53 min left"}, {0, 100, 1.0, ""}, {3, 2, 1.0, ""}};  // no rate; none left
  for (const auto& [written, rows, elapsed, text] : times) {
    EXPECT_EQ(SweepTimeLeftText(written, rows, elapsed), text) << written << " " << rows;
  }
}

// N = round((To − From)/Step), ties to even, within the 32-bit range (0 below: beyond it, an error).
TEST(SweepCounters, RoundHalfToEvenWithinThe32BitRange) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  for (const auto& [to, n] : {std::pair{2.5, 2}, {3.5, 4}, {-2.5, -2}, {2147483647.4, kMax}, {2147483647.5, 0},
                              {-2147483648.5, std::numeric_limits<std::int32_t>::min()}, {-2147483649.0, 0}}) {
    if (n != 0) { EXPECT_EQ(SweepStepCount(0.0, to, 1.0), n) << to; }
    if (n == 0) { EXPECT_THROW(SweepStepCount(0.0, to, 1.0), Refusal) << to; }
  }
  // With N = 2^31 − 1 the index advanced after the last row leaves the range: that sweep fails after its rows.
  EXPECT_EQ(SweepNextRowIndex(kMax - 1), kMax);
  EXPECT_THROW(SweepNextRowIndex(kMax), Refusal);
}

// The sweep on the thread pool: rows in order up to a failure, which reaches the calling thread; a sweep that
// completes while every pool thread is busy; threads only where they pay.
struct RowFault {};

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

// The initial case over U = 0 … kRows − 1.
void Sweep(RecordingSink& sink, CaseSolver solve) {
  BoucWenCase inputs;
  ReadCase(CaseTexts{}, inputs);
  RunSweepRows(inputs, 0.0, kRows - 1, 1.0, sink, solve);
}

std::vector<std::string> Lines(CaseSolver solve) {
  RecordingSink sink;
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
  RecordingSink sink;
  EXPECT_THROW(Sweep(sink, SlowSolve<true>), RowFault);
  EXPECT_EQ(sink.lines, Head(kFailingRow));
  for (int failAtLine : {2, 300, kRows}) {
    RecordingSink failing;
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

}  // namespace
}  // namespace quorix
