// What a call tells beside its numbers: the first case outside the model's
// domain where the window's reading computes it, and the cases whose results
// of the specified arithmetic lie off the model's exact values.
#include <cmath>
#include <string>

#include "check.h"
#include "decimal.h"
#include "domain.h"
#include "python_module.h"

namespace quorix::python {

namespace {

// "n=1, gamma=0.1, u=1e-06": the inputs that name a case in a message.
std::string CaseText(const BoucWenCase& bw) {
  return "n=" + decimal::ShortestText(bw.Nee) + ", gamma=" + decimal::ShortestText(bw.GammaSmall) +
         ", beta=" + decimal::ShortestText(bw.BetaSmall) + ", alpha=" + decimal::ShortestText(bw.AlphaSmall) +
         ", fy=" + decimal::ShortestText(bw.Fy) + ", uy=" + decimal::ShortestText(bw.Uy) +
         ", u=" + decimal::ShortestText(bw.UmaxOverUy);
}

}  // namespace

void CallNotes::Look(std::size_t index, const BoucWenCase& solved) {
  if (!options_.refuseOutside && !outsideFound_.load(std::memory_order_relaxed)) {
    if (const auto breach = FindDomainBreach(CaseOf(solved), solved.UmaxOverUy)) {
      const std::lock_guard lock(mutex_);
      if (index < outsideIndex_) {
        outsideIndex_ = index;
        outside_ = breach->message + " (" + CaseText(solved) + ")";
      }
      outsideFound_.store(true, std::memory_order_relaxed);
    }
  }
  if (options_.accurate || !options_.check) return;
  const accurate::ResultCheck check = accurate::CheckAgainstExact(solved);
  if (check.Count() == 0) return;
  flagged_.fetch_add(1, std::memory_order_relaxed);
  const std::lock_guard lock(mutex_);
  if (index < flaggedIndex_) {
    flaggedIndex_ = index;
    firstFlagged_ = CaseText(solved) + ": " + accurate::FlaggedText(check, accurate::CheckedValues(solved));
  }
}

void CallNotes::AddTo(GatheredNotes& gathered, std::size_t count) const {
  // The pieces come in the call's order: the first note of the call is the
  // first piece's first.
  if (gathered.outside.empty()) gathered.outside = outside_;
  const std::size_t flagged = flagged_.load();
  if (gathered.flagged == 0 && flagged > 0) gathered.firstFlagged = firstFlagged_;
  gathered.flagged += flagged;
  gathered.count += count;
}

bool CallNotes::Warn(const char* call, std::size_t count) const {
  GatheredNotes notes;
  AddTo(notes, count);
  return notes.Warn(call);
}

bool GatheredNotes::Warn(const char* call) const {
  if (sumDiffers && !WarnIfSumDiffers(beta, gamma)) return false;
  if (!outside.empty()) {
    const std::string message = std::string(call) + ": outside the model's domain: " + outside +
                                "; computed as the window computes it";
    if (PyErr_WarnEx(PyExc_UserWarning, message.c_str(), 2) != 0) return false;
  }
  if (flagged == 0) return true;
  const std::string message =
      std::string(call) + ": " + std::to_string(flagged) + " of " + std::to_string(count) +
      (count == 1 ? " case has" : " cases have") +
      " results more than 1e-4 (relative) from the model's exact values or of the other sign, where the specified "
      "arithmetic loses its digits; the first: " + firstFlagged + "; accurate=True computes the exact values";
  return PyErr_WarnEx(PyExc_UserWarning, message.c_str(), 2) == 0;
}

}  // namespace quorix::python
