// The toolkit-free core of the window's two commands: reading the field
// texts into the case record, the result texts of a Solve, and the sweep
// over Umax/Uy with the exact bytes of its results table.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "bouc_wen_case.h"
#include "energy_solver.h"
#include "refusal.h"

namespace quorix {

// The texts of the window's input fields. Defaults are the fields' initial
// texts.
struct CaseTexts {
  std::string Nee = "2.0";
  std::string BetaSmall = "0.1";
  std::string GammaSmall = "0.9";
  std::string AlphaSmall = "0.10";
  std::string Fy = "2.86";
  std::string Uy = "0.111";
  std::string UmaxOverUy = "1";
  bool Complementary = true;
};

struct SweepTexts {
  std::string From = "0.1";
  std::string To = "10.0";
  std::string Step = "0.1";
};

// The nine results in the order the window shows and the file writes them,
// with their names and the window's captions.
inline constexpr int kResultCount = 9;
inline constexpr std::array<std::string_view, kResultCount> kResultNames = {
    "Za", "Fha", "Fela", "Fa", "Kcd", "Kda", "DEOverFyUy", "DEOverFhUy", "DE"};
std::array<double, kResultCount> ResultValues(const BoucWenCase& bw);
// The captions beside the result labels; "Kcd* :" and "Kda* :" in
// Complementary mode.
std::array<std::string, kResultCount> ResultCaptions(bool complementary);
// The nine results as the window shows them: FormatFixed with 9 decimals.
std::array<std::string, kResultCount> ResultTexts(const BoucWenCase& bw);

// Reads the seven inputs (n, β, γ, α, Fy, Uy, Umax/Uy, in that order) and
// the option into the record. Throws Refusal at the first field
// beyond the range of a double; the fields before it stay written.
void ReadCase(const CaseTexts& texts, BoucWenCase& bw);

// ReadCase, then SolveEnergy.
void SolveCase(const CaseTexts& texts, BoucWenCase& bw);

// Where the rows of a sweep go. Open() is called once N is known and
// nothing can fail before the first byte; WriteLine() takes one line without
// its CR LF. Both may throw to end the sweep.
class SweepSink {
 public:
  virtual ~SweepSink() = default;
  virtual void Open() = 0;
  virtual void WriteLine(std::string_view line) = 0;
  // Called after the line of each row has been written, with that row's
  // solved record, for sinks that want the numbers rather than the text.
  virtual void RowWritten(const BoucWenCase& /*row*/) {}
};

// N = round((To − From)/Step), ties to even, as a 32-bit integer. Throws
// Refusal when the quotient faults or N is outside the 32-bit range.
std::int32_t SweepStepCount(double from, double to, double step);

// The row index after row i. It counts up by 1 like the 32-bit loop counter
// of the sweep, which is advanced once more after the last row: with
// N = 2147483647 that step would pass the 32-bit range, so it throws
// Refusal once every row has been written.
std::int32_t SweepNextRowIndex(std::int32_t i);

// The header line and one row line of the results table (TAB-separated,
// without the line end).
std::string SweepHeaderLine();
// Umax/Uy with `amplitudeDecimals` decimals, the results with nine.
std::string SweepRowLine(const BoucWenCase& bw, int amplitudeDecimals = 2);

// The decimals of Umax/Uy in the rows of a sweep of this step: two, the
// table's own, for a step of 0.01 or more; below it as many as keep the rows
// apart, one place finer than the step's first digit but no finer than its
// shortest decimal text needs (0.005: 3, 0.0025: 4, 1e-4/3: 6).
int AmplitudeDecimals(double step);

// Thrown by RunSweepRows when its watch asked it to stop: the header and
// every row completed before the stop are written, nothing after them.
class SweepStopped : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A running sweep seen from another thread: how many rows it has and has
// written, and a request to stop. The sweep checks the request between rows,
// so it ends after the row being written, with complete rows only. Every
// member may be called from any thread; RequestStop() only stores to a
// lock-free atomic, so a signal handler may call it too.
class SweepWatch {
 public:
  static constexpr std::int64_t kUnknown = -1;

  void RequestStop() noexcept { stop_.store(true, std::memory_order_relaxed); }
  bool StopRequested() const noexcept { return stop_.load(std::memory_order_relaxed); }
  // N + 1 (0 when N < 0) once the step count is known; kUnknown before.
  std::int64_t Rows() const noexcept { return rows_.load(std::memory_order_relaxed); }
  std::int64_t RowsWritten() const noexcept { return written_.load(std::memory_order_relaxed); }

  // Called after each row is written, on the sweep's own thread: where a
  // face passes a caught signal on as a stop request and shows progress,
  // without a thread of its own to watch. Set before the sweep starts.
  using RowHook = void (*)(SweepWatch& watch, void* context);
  void SetRowHook(RowHook hook, void* context) noexcept {
    hook_ = hook;
    context_ = context;
  }

  // Called by the sweep.
  void SetRows(std::int64_t rows) noexcept { rows_.store(rows, std::memory_order_relaxed); }
  void AddRowWritten() noexcept {
    written_.fetch_add(1, std::memory_order_relaxed);
    if (hook_ != nullptr) hook_(*this, context_);
  }

 private:
  static_assert(std::atomic<bool>::is_always_lock_free);
  std::atomic<bool> stop_{false};
  std::atomic<std::int64_t> rows_{kUnknown};
  std::atomic<std::int64_t> written_{0};
  RowHook hook_ = nullptr;
  void* context_ = nullptr;
};

// Texts of a long sweep's progress. A count grouped by thousands with
// commas ("999,999,901"), and the time left at the rate so far, rounded
// down: "about 42 s left", "about 3 min 05 s left", "about 2 h 13 min left";
// empty while no row is written or the time is not known.
std::string GroupedCount(std::int64_t n);
std::string SweepTimeLeftText(std::int64_t written, std::int64_t rows, double elapsedSeconds);

// What computes a row's nine results from its inputs: SolveEnergy, or
// another evaluation of the same model. It may throw to end the sweep; it
// must be safe to call from several threads at once.
using CaseSolver = void (*)(BoucWenCase&);

// The rows of a sweep of the case `inputs` (all but its Umax/Uy): computes
// N, opens the sink, writes the header and the rows i = 0 … N with
// U = Step·i + From, each solved by `solve`. Throws Refusal, what `solve`
// throws for a row, or what the sink throws; the lines written before a
// failure stay written. With a watch, the sweep reports its progress there
// and throws SweepStopped when a stop was requested before a row is written
// (also before the file is opened: then nothing is opened).
void RunSweepRows(const BoucWenCase& inputs, double from, double to, double step, SweepSink& sink,
                  CaseSolver solve = SolveEnergy, SweepWatch* watch = nullptr);

// The sweep: reads the case (all but Umax/Uy) and the range from the texts,
// then RunSweepRows. Throws Refusal or what RunSweepRows throws.
// The record holds the last row afterwards.
void RunSweep(const CaseTexts& texts, const SweepTexts& range, BoucWenCase& bw, SweepSink& sink,
              SweepWatch* watch = nullptr);

}  // namespace quorix
