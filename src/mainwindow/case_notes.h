// What the window tells the user beside the numbers it shows, as plain
// text: how a field that is not one complete number was read, how far the
// results lie from the model's exact values, and what a Loop found in its
// rows. No Qt here; the window puts these sentences on its fields, its
// result labels and its status line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "check.h"
#include "commands.h"

namespace quorix::window {

// Nothing when the text is one complete number (what the command line
// accepts); otherwise how the field reads it, which is always the number at
// the start of the text, or 0:
//   "2,5 read as 2: the decimal point is '.'"
//   "2.5abc read as 2.5: the number ends before 'abc'"
//   "abc read as 0: not a number"        "empty: read as 0"
// and the refusal of a number beyond the range of a double, which no
// command can read.
std::optional<std::string> ReadingNote(std::string_view text);

// An exact value as the window writes it beside a flagged result: nine
// decimals, as the results themselves, down to 1e-4; below, where nine
// decimals would keep few digits or none, six significant digits
// ("1.90986e-08").
std::string ExactText(double value);

// The name of each of the twelve checked results (accurate::kCheckedNames'
// order) as the window writes it: its caption without " :" ("Kcd*" in
// Complementary mode), then "XiEq", "Ksec", "Ksec/K0".
std::string CheckedResultName(int index, bool complementary);

// The sentence for the results of a Solve that the check flags, naming them,
// with the exact values of those the window has no label for (XiEq, Ksec,
// Ksec/K0):
//   "2 results differ from the exact values by more than 1e-4: DE, XiEq (exact 1.90986e-08)"
// Empty when nothing is flagged.
std::string FlagsNote(const accurate::ResultCheck& check, bool complementary);

// What a Loop found, row by row.
struct SweepTally {
  std::int64_t rows = 0;          // rows written
  std::int64_t flaggedRows = 0;   // rows with a result the check flags
  double firstFlaggedAt = 0.0;    // Umax/Uy of the first of them
  std::int64_t outsideRows = 0;   // rows outside the model's domain
  std::string firstBreach;        // the breach of the first of them
};

// How a Loop ended: the tally, and whether it was stopped or failed (with
// the reason) rather than completed.
struct SweepEnd {
  SweepTally tally;
  bool stopped = false;
  std::string failure;  // empty unless the sweep failed
};

// The status line's sentence after a Loop:
//   "Loop: 100 rows, every result within 1e-4 of its exact value"
//   "Loop: 101 rows; in 3 of them results differ from the exact values by more than 1e-4, the first at Umax/Uy = .1"
//   "Loop stopped after 1,234 rows; ..."      "Loop ended: step count: ..."
std::string LoopNote(const SweepEnd& end);

// Whether two sets of field texts (and option) give the same inputs as the
// fields read them, to the bit: "0.1" and ".1", "2,5" and "2" do. Texts
// that cannot be read (a number beyond the range of a double) are the same
// only as texts.
bool SameInputs(const CaseTexts& a, const CaseTexts& b);
bool SameInputs(const SweepTexts& a, const SweepTexts& b);

}  // namespace quorix::window
