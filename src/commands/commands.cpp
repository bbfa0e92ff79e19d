// The toolkit-free core of the Solve and Loop commands.
#include "commands.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <limits>
#include <map>
#include <mutex>
#include <chrono>
#include <thread>

#include "decimal.h"
#include "energy_solver.h"
#include "ieee.h"
#include "numbertext.h"
#include "specialfunctions.h"
#include "thread_pool.h"
#include "workers.h"

namespace quorix {

namespace {

constexpr int kResultDecimals = 9;
constexpr int kAmplitudeDecimals = 2;

// The six case inputs both commands read, in the window's order, each
// stored before the next is parsed so that a failure leaves the earlier
// fields written.
void ReadCaseParameters(const CaseTexts& texts, BoucWenCase& bw) {
  bw.Nee = ParseNumber(texts.Nee);
  bw.BetaSmall = ParseNumber(texts.BetaSmall);
  bw.GammaSmall = ParseNumber(texts.GammaSmall);
  bw.AlphaSmall = ParseNumber(texts.AlphaSmall);
  bw.Fy = ParseNumber(texts.Fy);
  bw.Uy = ParseNumber(texts.Uy);
}

}  // namespace

std::array<double, kResultCount> ResultValues(const BoucWenCase& bw) {
  return {bw.Za, bw.Fha, bw.Fela, bw.Fa, bw.Kcd, bw.Kda, bw.DEOverFyUy, bw.DEOverFhUy, bw.DE};
}

std::array<std::string, kResultCount> ResultCaptions(bool complementary) {
  return {"Za :",
          "Fha :",
          "Fela :",
          "Fa :",
          complementary ? "Kcd* :" : "Kcd :",
          complementary ? "Kda* :" : "Kda :",
          "DE/(Fy Uy) :",
          "DE/(Fh Uy) :",
          "DE :"};
}

std::array<std::string, kResultCount> ResultTexts(const BoucWenCase& bw) {
  const std::array<double, kResultCount> values = ResultValues(bw);
  std::array<std::string, kResultCount> texts;
  for (int i = 0; i < kResultCount; ++i) texts[i] = FormatFixed(values[i], kResultDecimals);
  return texts;
}

void ReadCase(const CaseTexts& texts, BoucWenCase& bw) {
  ReadCaseParameters(texts, bw);
  bw.UmaxOverUy = ParseNumber(texts.UmaxOverUy);
  bw.Complementary = texts.Complementary;
}

void SolveCase(const CaseTexts& texts, BoucWenCase& bw) {
  ReadCase(texts, bw);
  SolveEnergy(bw);
}

std::int32_t SweepStepCount(double from, double to, double step) {
  double q = 0.0;
  {
    ieee::FaultScope scope;
    q = ((ieee::Real(to) - from) / step).value();
    // The fault check covers finite operands (a Step of 0, a difference
    // that overflows); the finiteness test covers callers that pass
    // infinities, which the fields cannot produce.
    if (scope.Raised() || !std::isfinite(q)) throw Refusal("step count: (To - From) / Step is not a finite number");
  }
  const double n = ieee::RoundHalfEven(q).value();
  if (n < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
      n > static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    throw Refusal("step count: round((To - From) / Step) = " + FormatPlainNumber(n) +
                     " is outside the 32-bit range");
  }
  return static_cast<std::int32_t>(n);
}

std::int32_t SweepNextRowIndex(std::int32_t i) {
  if (i == std::numeric_limits<std::int32_t>::max()) throw Refusal("row index passes 2147483647");
  return i + 1;
}

std::string SweepHeaderLine() { return "Umax/Uy\tZa\tFha\tFela\tFa\tKcd\tKda\tDE/ Fy /Uy\tDE /Fh /Uy\tDE"; }

std::string SweepRowLine(const BoucWenCase& bw, int amplitudeDecimals) {
  std::string line = FormatFixed(bw.UmaxOverUy, amplitudeDecimals);
  for (double value : ResultValues(bw)) {
    line += '\t';
    line += FormatFixed(value, kResultDecimals);
  }
  return line;
}

int AmplitudeDecimals(double step) {
  const double a = std::fabs(step);
  if (!(a < 0.01) || a == 0.0) return kAmplitudeDecimals;
  // a = d.ddd…·10^e with the fewest digits that read back to a: the
  // scientific text of each precision in turn.
  for (int p = 0; p <= 16; ++p) {
    char buffer[40];
    const auto written = decimal::WriteScientific(buffer, buffer + sizeof buffer, a, p);
    double back = 0.0;
    decimal::ReadDouble(std::string_view(buffer, written.ptr - buffer), back);
    if (back != a && p < 16) continue;
    const std::string text(buffer, written.ptr);
    const int e = std::stoi(text.substr(text.find('e') + 1));  // −e ≥ 2: a < 0.01
    return std::max(kAmplitudeDecimals, std::min(p - e, 1 - e));
  }
  return kAmplitudeDecimals;  // not reached: 17 digits read back every double
}

std::string GroupedCount(std::int64_t n) {
  const std::string digits = std::to_string(n);
  const std::size_t sign = n < 0 ? 1 : 0;
  std::string text = digits.substr(0, sign);
  for (std::size_t k = sign; k < digits.size(); ++k) {
    if (k > sign && (digits.size() - k) % 3 == 0) text += ',';
    text += digits[k];
  }
  return text;
}

std::string SweepTimeLeftText(std::int64_t written, std::int64_t rows, double elapsedSeconds) {
  if (written <= 0 || rows < written || !(elapsedSeconds >= 0.0)) return {};
  const double left = elapsedSeconds / static_cast<double>(written) * static_cast<double>(rows - written);
  if (!(left < 1e12)) return {};
  const auto seconds = static_cast<std::int64_t>(left);
  const auto twoDigits = [](std::int64_t v) {  // 0 … 59
    return std::string{static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
  };
  std::string text;
  if (seconds < 60) {
    text = std::to_string(seconds) + " s";
  } else if (seconds < 3600) {
    text = std::to_string(seconds / 60) + " min " + twoDigits(seconds % 60) + " s";
  } else {
    text = std::to_string(seconds / 3600) + " h " + twoDigits(seconds / 60 % 60) + " min";
  }
  return "about " + text + " left";
}

namespace {

// One row of a sweep: its record and line, or why it could not be computed.
struct SweepRow {
  BoucWenCase record;
  std::string line;
  std::exception_ptr failure;
};

Refusal AmplitudeFault(std::int32_t i) { return Refusal("row " + std::to_string(i) + ": amplitude overflows"); }

SweepRow ComputeRow(const BoucWenCase& inputs, double from, double step, std::int32_t i, CaseSolver solve,
                    int decimals) {
  SweepRow row;
  row.record = inputs;
  // U = Step·i + From, from the integer i on every row, never by adding
  // Step to the previous amplitude, so that rounding does not drift.
  {
    ieee::FaultScope scope;
    const ieee::Real u = ieee::Real(step) * static_cast<double>(i) + from;
    if (scope.Raised()) {
      row.failure = std::make_exception_ptr(AmplitudeFault(i));
      return row;
    }
    row.record.UmaxOverUy = u.value();
  }
  // Caught here, on whichever thread computes the row, and rethrown by the
  // writer when the row's turn comes, after the rows before it.
  try {
    solve(row.record);
  } catch (...) {
    row.failure = std::current_exception();
    return row;
  }
  row.line = SweepRowLine(row.record, decimals);
  return row;
}

// Ends the sweep here, between two rows, when its watch asks for it.
void CheckStop(const SweepWatch* watch) {
  if (watch != nullptr && watch->StopRequested()) {
    throw SweepStopped("stopped after " + std::to_string(watch->RowsWritten()) + " rows");
  }
}

// Hands one computed row to the sink, or ends the sweep with its failure.
void WriteRow(const SweepRow& row, SweepSink& sink, SweepWatch* watch) {
  if (row.failure) std::rethrow_exception(row.failure);
  sink.WriteLine(row.line);
  sink.RowWritten(row.record);
  if (watch != nullptr) watch->AddRowWritten();
}

// Rows are computed on every core, by the program's thread pool, and written
// in order on the sweep's own thread, each as soon as it and the rows before
// it are complete. Workers stay at most kWindow rows ahead of the writer, so
// a long sweep holds only a few rows in memory. A row that fails, or a stop
// request, ends the table after the rows before it; the rows computed ahead
// are dropped.
class ParallelRows {
 public:
  // Rows first … last; the rows before `first` have been written.
  ParallelRows(const BoucWenCase& inputs, double from, double step, std::int64_t first, std::int32_t last,
               CaseSolver solve)
      : inputs_(inputs),
        from_(from),
        step_(step),
        decimals_(AmplitudeDecimals(step)),
        last_(last),
        solve_(solve),
        next_(first),
        written_(first) {}

  void Run(SweepSink& sink, unsigned threadCount, SweepWatch* watch) {
    TaskGroup workers([this] { Work(); });  // ends after stopOnExit: its runs see the stop and return
    StopOnExit stopOnExit{*this};           // also when a row, the sink or a stop request throws
    workers.Spawn(threadCount);
    for (std::int64_t i = written_; i <= last_; ++i) {
      CheckStop(watch);
      WriteRow(Take(i), sink, watch);
    }
  }

 private:
  static constexpr std::int64_t kWindow = 256;

  struct StopOnExit {
    ParallelRows& rows;
    ~StopOnExit() {
      {
        std::lock_guard lock(rows.mutex_);
        rows.stop_ = true;
      }
      rows.changed_.notify_all();
    }
  };

  void Work() {
    {
      std::lock_guard lock(mutex_);
      ++working_;
    }
    for (;;) {
      std::int64_t i = 0;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stop_ || next_ - written_ < kWindow; });
        if (stop_ || next_ > last_ || next_ > firstFault_) {
          --working_;
          break;
        }
        i = next_++;
      }
      SweepRow row = ComputeRow(inputs_, from_, step_, static_cast<std::int32_t>(i), solve_, decimals_);
      {
        std::lock_guard lock(mutex_);
        if (row.failure) firstFault_ = std::min(firstFault_, i);
        done_.emplace(i, std::move(row));
      }
      changed_.notify_all();
    }
    changed_.notify_all();
  }

  // Row i. The writer computes it itself when no worker is there to take it
  // (none has started yet, the pool's threads being busy with other work),
  // so the table never waits for a thread that is not running; a worker that
  // is running takes every row up to the last, so otherwise the writer only
  // writes.
  SweepRow Take(std::int64_t i) {
    std::unique_lock lock(mutex_);
    const auto nobodyToTakeIt = [&] { return next_ == i && working_ == 0; };
    changed_.wait(lock, [&] { return done_.contains(i) || nobodyToTakeIt(); });
    SweepRow row;
    if (done_.contains(i)) {
      row = std::move(done_.extract(i).mapped());
    } else {
      ++next_;
      lock.unlock();
      row = ComputeRow(inputs_, from_, step_, static_cast<std::int32_t>(i), solve_, decimals_);
      lock.lock();
      if (row.failure) firstFault_ = std::min(firstFault_, i);
    }
    written_ = i + 1;
    lock.unlock();
    changed_.notify_all();
    return row;
  }

  const BoucWenCase inputs_;
  const double from_;
  const double step_;
  const int decimals_;
  const std::int64_t last_;
  const CaseSolver solve_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::int64_t, SweepRow> done_;
  std::int64_t next_;     // the next row to compute
  std::int64_t written_;  // rows handed to the sink
  unsigned working_ = 0;  // workers that have started and not yet ended
  std::int64_t firstFault_ = std::numeric_limits<std::int64_t>::max();
  bool stop_ = false;
};

}  // namespace

void RunSweepRows(const BoucWenCase& inputs, double from, double to, double step, SweepSink& sink, CaseSolver solve,
                  SweepWatch* watch) {
  const std::int32_t n = SweepStepCount(from, to, step);
  if (watch != nullptr) watch->SetRows(n < 0 ? 0 : std::int64_t{n} + 1);

  // Nothing has been written up to here, so a bad range or step leaves an
  // existing results table as it was.
  CheckStop(watch);
  sink.Open();
  sink.WriteLine(SweepHeaderLine());
  if (n < 0) return;

  // The first rows are written on this thread and timed: a sweep whose
  // remaining rows would take less than kWorthThreads in all at their pace
  // (cheap rows: the accurate arithmetic, or a short table) goes on here,
  // since starting threads, each with caches and an allocator arena of its
  // own to fill, would cost more than it saves. The first row says little:
  // it fills this thread's caches (the specified arithmetic's series too)
  // and may cost a hundred times the next. So the pace is that of the rows
  // after it, kProbeRows of them, measured together, which a single
  // preempted row cannot mislead far; only a first row of kDearRow or more
  // sends the rest to threads at once, since waiting for kProbeRows more
  // such rows would cost more than a wrong guess. A sweep run from a task of the
  // thread pool (none is) stays on its thread: it must not wait for the
  // pool's other threads while holding one of them.
  constexpr std::chrono::microseconds kWorthThreads{2000};
  constexpr std::int32_t kProbeRows = 3;
  constexpr std::chrono::milliseconds kDearRow{50};
  const unsigned cores = platform::WorkerCount();
  const bool mayShare = cores > 1 && !StraightforwardEvaluation() && !ThreadPool::OnPoolThread();
  std::chrono::steady_clock::time_point probeStart;
  const int decimals = AmplitudeDecimals(step);
  for (std::int32_t i = 0;; ++i) {
    CheckStop(watch);
    const auto start = std::chrono::steady_clock::now();
    WriteRow(ComputeRow(inputs, from, step, i, solve, decimals), sink, watch);
    if (i == n) break;
    if (!mayShare || i > kProbeRows) continue;
    const auto now = std::chrono::steady_clock::now();
    const std::int64_t left = n - i;
    bool share = false;
    if (i == 0) {
      probeStart = now;
      share = now - start >= kDearRow && (now - start) * left >= kWorthThreads;
    } else if (i == kProbeRows) {
      share = (now - probeStart) * left >= kWorthThreads * kProbeRows;
    }
    if (share) {
      ParallelRows(inputs, from, step, i + 1, n, solve).Run(sink, cores, watch);
      break;
    }
  }
  // i runs 0 … N like a 32-bit loop counter that is advanced after each row,
  // also after the last one. With N = 2147483647 that final advance
  // overflows, so such a sweep fails after writing all its rows.
  SweepNextRowIndex(n);
}

namespace {

// Passes everything on and keeps the last row written in the record.
class LastRowSink final : public SweepSink {
 public:
  LastRowSink(SweepSink& sink, BoucWenCase& bw) : sink_(sink), bw_(bw) {}
  void Open() override { sink_.Open(); }
  void WriteLine(std::string_view line) override { sink_.WriteLine(line); }
  void RowWritten(const BoucWenCase& row) override {
    sink_.RowWritten(row);
    bw_ = row;
  }

 private:
  SweepSink& sink_;
  BoucWenCase& bw_;
};

}  // namespace

void RunSweep(const CaseTexts& texts, const SweepTexts& range, BoucWenCase& bw, SweepSink& sink, SweepWatch* watch) {
  ReadCaseParameters(texts, bw);
  bw.Complementary = texts.Complementary;
  const double from = ParseNumber(range.From);
  const double to = ParseNumber(range.To);
  const double step = ParseNumber(range.Step);
  // The rows start from a copy: the record itself changes row by row.
  const BoucWenCase inputs = bw;
  LastRowSink lastRow(sink, bw);
  RunSweepRows(inputs, from, to, step, lastRow, SolveEnergy, watch);
}

}  // namespace quorix
